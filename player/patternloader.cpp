// XM patterns: unpacking into fixed 5-byte cells.
#include <algorithm>
#include <cstdlib>

#include "player/loader.h"

namespace {
// The fixed fields of a pattern header: length (4), packing type (1), rows (2), packed size
// (2). Version 1.02 stores the rows in one byte, as rows - 1.
constexpr std::int64_t PatternHeaderBytes = 9;
constexpr std::int64_t ShortPatternHeaderBytes = 8;
constexpr std::int32_t MissingPatternRows = 64;
// A rows field of 0 means 256 rows, as the original tracker reads it.
constexpr std::int32_t ZeroRowsMeans = 256;

// Packed cell: bit 7 of the first byte marks a mask of the fields that follow.
constexpr std::uint8_t PackedCellMarker = 0x80;
constexpr int CellFields = 5; // note, instrument, volume, effect, param
constexpr std::uint8_t FileNoteKeyOff = 97;

// Reads the packed bytes of one pattern; past their end it yields zeros.
struct PackedCursor {
  const std::uint8_t* bytes;
  std::size_t size;
  std::size_t at;
  bool atEnd() const { return at >= size; }
  std::uint8_t next() { return at < size ? bytes[at++] : 0; }
};

void normaliseCell(NoteCell& cell) {
  if (cell.note == FileNoteKeyOff) cell.note = NoteKeyOff;
  // Notes past key-off are not notes; the player would index its note tables with them.
  else if (cell.note > FileNoteKeyOff)
    cell.note = NoteNone;
  if (cell.instrument > InstrumentLast) cell.instrument = 0;
}

void unpackCell(PackedCursor& cursor, NoteCell& cell) {
  std::uint8_t fields[CellFields] = {};
  const std::uint8_t first = cursor.next();
  if (first & PackedCellMarker) {
    for (int field = 0; field < CellFields; ++field)
      if (first & (1u << field)) fields[field] = cursor.next();
  } else {
    fields[0] = first;
    for (int field = 1; field < CellFields; ++field) fields[field] = cursor.next();
  }
  cell = {fields[0], fields[1], fields[2], fields[3], fields[4]};
  normaliseCell(cell);
}

const char* allocateCells(Pattern& pattern, std::int32_t rows, int numChannels) {
  pattern.rows = rows;
  pattern.cells = static_cast<NoteCell*>(
      std::calloc(static_cast<std::size_t>(rows) * numChannels, sizeof(NoteCell)));
  return pattern.cells ? nullptr : RefusalOutOfMemory;
}

// Unpacks up to the end of the packed data; cells after it stay empty.
const char* unpackPattern(Pattern& pattern, XmReader& reader, std::uint16_t packedSize,
                          int numChannels) {
  auto* packed = static_cast<std::uint8_t*>(std::malloc(packedSize));
  if (!packed) return RefusalOutOfMemory;
  readBytes(reader, packed, packedSize);
  PackedCursor cursor{packed, packedSize, 0};
  const std::int32_t cells = pattern.rows * numChannels;
  for (std::int32_t index = 0; index < cells && !cursor.atEnd(); ++index)
    unpackCell(cursor, pattern.cells[index]);
  std::free(packed);
  return nullptr;
}

// The rows field: 1..256 rows (0 means 256), or one byte of rows - 1 in short headers.
std::uint32_t readRows(XmReader& reader, bool shortHeader) {
  if (shortHeader) return readU8(reader) + 1u;
  const std::uint16_t rowsField = readU16(reader);
  return rowsField ? rowsField : ZeroRowsMeans;
}

const char* loadPattern(Pattern& pattern, XmReader& reader, int index, int numChannels,
                        bool shortHeader) {
  enterPart(reader, XmPart::PatternHeader, index);
  const std::int64_t start = tellPosition(reader);
  const std::uint32_t headerLength = readU32(reader);
  readU8(reader); // packing type: always 0
  const std::uint32_t rows = readRows(reader, shortHeader);
  const std::uint16_t packedSize = readU16(reader);
  if (rows > XmMaxPatternRows)
    return refuseUnlessCut(reader, refusalText("pattern %d has more than 256 rows (%u)", index, rows));
  const std::int64_t fixedBytes = shortHeader ? ShortPatternHeaderBytes : PatternHeaderBytes;
  seekTo(reader, start + std::max<std::int64_t>(headerLength, fixedBytes));
  if (const char* refusal = allocateCells(pattern, static_cast<std::int32_t>(rows), numChannels))
    return refusal;
  if (packedSize == 0) return nullptr;
  enterPart(reader, XmPart::PatternData, index);
  return unpackPattern(pattern, reader, packedSize, numChannels);
}
} // namespace

const char* loadPatterns(Song* song, XmReader& reader, int patternCount, bool shortHeaders) {
  song->numPatterns = std::max<std::int32_t>(patternCount, song->usedPatterns);
  song->patterns = static_cast<Pattern*>(std::calloc(song->numPatterns, sizeof(Pattern)));
  if (!song->patterns) return RefusalOutOfMemory;
  for (int index = 0; index < patternCount; ++index)
    if (const char* refusal =
            loadPattern(song->patterns[index], reader, index, song->numChannels, shortHeaders))
      return refusal;
  for (int index = patternCount; index < song->usedPatterns; ++index)
    if (const char* refusal =
            allocateCells(song->patterns[index], MissingPatternRows, song->numChannels))
      return refusal;
  return nullptr;
}
