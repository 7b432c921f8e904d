#include "player/xmread.h"

#include <algorithm>
#include <cstring>

#include "player/loadnotes.h"

namespace {
// The file operations take 32-bit counts; larger reads go in pieces of this size.
constexpr std::size_t ReadPieceBytes = 1u << 30;
} // namespace

XmReader makeXmReader(ModuleFile* file, XmLoadNotes* notes) {
  moduleSeek(file, 0, FileSeekEnd);
  XmReader reader{};
  reader.file = file;
  reader.fileSize = std::max<std::int64_t>(moduleTell(file), 0);
  reader.notes = notes;
  moduleSeek(file, 0, FileSeekStart);
  return reader;
}

void enterPart(XmReader& reader, XmPart part, int pattern, int instrument, int sample) {
  reader.place = {part, pattern, instrument, sample, tellPosition(reader)};
}

void noteFileEnd(XmReader& reader) {
  if (reader.cut) return;
  reader.cut = true;
  reader.cutPlace = reader.place;
  reader.cutInsidePart = reader.fileSize > reader.place.start;
  if (!reader.notes) return;
  reader.notes->fileEndsEarly = true;
  reader.notes->fileEnd = reader.cutPlace;
  reader.notes->fileEndInsidePart = reader.cutInsidePart;
}

std::int32_t readBytes(XmReader& reader, void* destination, std::size_t bytes) {
  std::memset(destination, 0, bytes);
  auto* out = static_cast<std::uint8_t*>(destination);
  std::int64_t delivered = 0;
  while (bytes > 0) {
    const auto piece = static_cast<std::int32_t>(std::min(bytes, ReadPieceBytes));
    // Never trust a read operation to deliver more than asked.
    const std::int32_t got = std::min(moduleRead(out, piece, reader.file), piece);
    if (got <= 0) break;
    delivered += got;
    out += got;
    bytes -= static_cast<std::size_t>(got);
    if (got < piece) break;
  }
  if (bytes > 0) noteFileEnd(reader);
  return static_cast<std::int32_t>(delivered);
}

std::uint8_t readU8(XmReader& reader) {
  std::uint8_t value;
  readBytes(reader, &value, 1);
  return value;
}

std::uint16_t readU16(XmReader& reader) {
  std::uint8_t bytes[2];
  readBytes(reader, bytes, sizeof bytes);
  return littleU16(bytes);
}

std::uint32_t readU32(XmReader& reader) {
  std::uint8_t bytes[4];
  readBytes(reader, bytes, sizeof bytes);
  return littleU32(bytes);
}

void readName(XmReader& reader, char* name, std::size_t width) {
  readBytes(reader, name, width);
  name[width] = 0;
}

std::int64_t tellPosition(XmReader& reader) { return moduleTell(reader.file); }

std::int64_t bytesLeft(XmReader& reader) {
  return std::max<std::int64_t>(reader.fileSize - tellPosition(reader), 0);
}

void seekTo(XmReader& reader, std::int64_t position) {
  const std::int64_t target = std::clamp<std::int64_t>(position, 0, reader.fileSize);
  moduleSeek(reader.file, static_cast<std::int32_t>(target), FileSeekStart);
}

void skipBytes(XmReader& reader, std::int64_t bytes) {
  seekTo(reader, tellPosition(reader) + bytes);
}
