// createSong and the XM module header.
#include "player/loader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "player/loadnotes.h"

const char* const RefusalOutOfMemory = "out of memory while loading";

namespace {
constexpr char XmSignature[] = "Extended Module: ";
constexpr std::size_t XmSignatureBytes = sizeof XmSignature - 1; // 17, the last a space
// The header size field sits here, after name, 0x1A, tracker name and version.
constexpr std::int64_t XmHeaderSizeOffset = 60;
constexpr std::int64_t XmTrackerNameOffset = 38;
constexpr std::uint8_t InitialGlobalVolume = 64;

// The fixed part of the header after its size field, as stored in the file.
struct XmHeader {
  std::uint16_t songLength, restartPosition, numChannels, patternCount;
  std::uint16_t numInstruments, flags, defaultSpeed, defaultBpm;
};

XmHeader readHeader(XmReader& reader, Song* song) {
  XmHeader header;
  header.songLength = readU16(reader);
  header.restartPosition = readU16(reader);
  header.numChannels = readU16(reader);
  header.patternCount = readU16(reader);
  header.numInstruments = readU16(reader);
  header.flags = readU16(reader);
  header.defaultSpeed = readU16(reader);
  header.defaultBpm = readU16(reader);
  readBytes(reader, song->orderTable, OrderTableSize);
  return header;
}

const char* checkHeader(const XmHeader& header) {
  if (header.songLength == 0) return "the song length is 0";
  if (header.songLength > XmMaxSongLength) return "the song length is above 256";
  if (header.numChannels == 0) return "the module has no channels";
  if (header.numChannels > SongMaxChannels) return "the module has more than 32 channels";
  if (header.patternCount > XmMaxPatterns) return "the module has more than 256 patterns";
  if (header.numInstruments > XmMaxInstruments) return "the module has more than 128 instruments";
  // The song keeps the BPM as a signed 16-bit field, which must be at least 1.
  if (static_cast<std::int16_t>(header.defaultBpm) < 1) return "the default BPM is 0 (or above 32767)";
  return nullptr;
}

void storeHeader(Song* song, const XmHeader& header) {
  song->songLength = static_cast<std::int16_t>(header.songLength);
  // An order position at or past the song length would index patterns the song lacks.
  song->restartPosition = header.restartPosition < header.songLength
                              ? static_cast<std::int16_t>(header.restartPosition)
                              : 0;
  song->numChannels = static_cast<std::int16_t>(header.numChannels);
  song->numInstruments = static_cast<std::int16_t>(header.numInstruments);
  song->flags = header.flags;
  song->defaultSpeed = static_cast<std::int16_t>(header.defaultSpeed);
  song->defaultBpm = static_cast<std::int16_t>(header.defaultBpm);
}

// 1 + the highest pattern number among the order entries that are played.
std::int32_t countUsedPatterns(const Song* song) {
  std::int32_t used = 0;
  for (int index = 0; index < song->songLength; ++index)
    used = std::max<std::int32_t>(used, song->orderTable[index] + 1);
  return used;
}

// Module name, tracker name and version: only read for the notes.
void noteNames(XmReader& reader) {
  if (!reader.notes) return;
  XmLoadNotes& notes = *reader.notes;
  notes.fileSize = reader.fileSize;
  readName(reader, notes.moduleName, XmNameBytes);
  seekTo(reader, XmTrackerNameOffset);
  readName(reader, notes.trackerName, XmNameBytes);
  notes.version = readU16(reader);
}

void noteHeader(XmReader& reader, std::uint32_t headerSize, const XmHeader& header) {
  if (!reader.notes) return;
  reader.notes->headerSize = headerSize;
  reader.notes->patternCount = header.patternCount;
  reader.notes->restartPosition = header.restartPosition;
}

const char* loadParts(Song* song, XmReader& reader) {
  char signature[XmSignatureBytes];
  readBytes(reader, signature, XmSignatureBytes);
  if (std::memcmp(signature, XmSignature, XmSignatureBytes) != 0)
    return "not an XM module (no \"Extended Module: \" signature)";
  song->tickHandler = playTick;
  song->initialGlobalVolume = InitialGlobalVolume;
  noteNames(reader);

  seekTo(reader, XmHeaderSizeOffset);
  const std::uint32_t headerSize = readU32(reader);
  const XmHeader header = readHeader(reader, song);
  noteHeader(reader, headerSize, header);
  if (const char* refusal = checkHeader(header)) return refusal;
  storeHeader(song, header);
  seekTo(reader, XmHeaderSizeOffset + headerSize);

  song->usedPatterns = countUsedPatterns(song);
  if (const char* refusal = loadPatterns(song, reader, header.patternCount)) return refusal;
  return loadInstruments(song, reader);
}
} // namespace

bool loadXm(Song* song, ModuleFile* file, const char** reason, XmLoadNotes* notes) {
  XmReader reader = makeXmReader(file, notes);
  const char* refusal = loadParts(song, reader);
  if (reason) *reason = refusal;
  return refusal == nullptr;
}

Song* createSongWithNotes(const void* source, SampleDataCallback sampleDataCallback,
                          const char** reason, XmLoadNotes* notes) {
  const char* refusal = nullptr;
  if (notes) *notes = XmLoadNotes{};
  auto* song = static_cast<Song*>(std::calloc(1, sizeof(Song)));
  ModuleFile* file = song ? moduleOpen(source) : nullptr;
  if (!song) {
    refusal = RefusalOutOfMemory;
  } else if (!fileCallbacksInstalled()) {
    refusal = "the file operations are not installed";
  } else if (!file) {
    refusal = "the module file cannot be opened";
  } else {
    song->sampleDataCallback = sampleDataCallback;
    loadXm(song, file, &refusal, notes);
  }
  moduleClose(file);
  if (refusal) {
    freeSongData(song);
    song = nullptr;
  }
  if (reason) *reason = refusal;
  return song;
}

Song* createSongWithReason(const void* source, SampleDataCallback sampleDataCallback,
                           const char** reason) {
  return createSongWithNotes(source, sampleDataCallback, reason, nullptr);
}

Song* createSong(const void* source, SampleDataCallback sampleDataCallback) {
  return createSongWithNotes(source, sampleDataCallback, nullptr, nullptr);
}
