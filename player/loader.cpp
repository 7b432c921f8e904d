// createSong, the XM module header, and the order of the parts by format version.
#include "player/loader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "player/loadnotes.h"

namespace {
constexpr char XmSignature[] = "Extended Module: ";
constexpr std::size_t XmSignatureBytes = sizeof XmSignature - 1; // 17, the last a space
// The header size field sits here, after name, 0x1A, tracker name and version.
constexpr std::int64_t XmHeaderSizeOffset = 60;
constexpr std::int64_t XmTrackerNameOffset = 38;
constexpr std::int64_t XmVersionOffset = 58;
constexpr std::uint8_t InitialGlobalVolume = 64;

// The fixed part of the header after its size field, as stored in the file.
struct XmHeader {
  std::uint16_t songLength, restartPosition, numChannels, patternCount;
  std::uint16_t numInstruments, flags, defaultSpeed, defaultBpm;
};

XmHeader readHeader(XmReader& reader) {
  XmHeader header;
  header.songLength = readU16(reader);
  header.restartPosition = readU16(reader);
  header.numChannels = readU16(reader);
  header.patternCount = readU16(reader);
  header.numInstruments = readU16(reader);
  header.flags = readU16(reader);
  header.defaultSpeed = readU16(reader);
  header.defaultBpm = readU16(reader);
  return header;
}

const char* checkHeader(const XmHeader& header) {
  if (header.songLength == 0) return "the song length is 0";
  if (header.songLength > XmMaxSongLength)
    return refusalText("the song length is %u, above 256", header.songLength);
  if (header.numChannels == 0) return "the module has no channels";
  if (header.numChannels > SongMaxChannels)
    return refusalText("the module has more than 32 channels (%u)", header.numChannels);
  if (header.patternCount > XmMaxPatterns)
    return refusalText("the module has more than 256 patterns (%u)", header.patternCount);
  if (header.numInstruments > XmMaxInstruments)
    return refusalText("the module has more than 128 instruments (%u)", header.numInstruments);
  // The song keeps the BPM as a signed 16-bit field, which must be at least 1.
  if (header.defaultBpm == 0) return "the default BPM is 0";
  if (static_cast<std::int16_t>(header.defaultBpm) < 1)
    return refusalText("the default BPM is %u, above 32767", header.defaultBpm);
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

const char* checkSignature(XmReader& reader) {
  enterPart(reader, XmPart::Signature);
  char signature[XmSignatureBytes];
  const std::int32_t got = readBytes(reader, signature, XmSignatureBytes);
  const std::size_t present = got > 0 ? static_cast<std::size_t>(got) : 0;
  if (present == 0) return "the file is empty";
  if (std::memcmp(signature, XmSignature, present) != 0)
    return "not an XM module (no \"Extended Module: \" signature)";
  return reader.cut ? refuseCut(reader) : nullptr; // the start of one, cut short
}

// Module name, tracker name: only read for the notes. The version decides the layout.
const char* readVersion(XmReader& reader, std::uint16_t& version) {
  enterPart(reader, XmPart::Header);
  if (XmLoadNotes* notes = reader.notes) {
    notes->fileSize = reader.fileSize;
    readName(reader, notes->moduleName, XmNameBytes);
    seekTo(reader, XmTrackerNameOffset);
    readName(reader, notes->trackerName, XmNameBytes);
  }
  seekTo(reader, XmVersionOffset);
  version = readU16(reader);
  if (reader.notes) reader.notes->version = version;
  if (reader.cut) return refuseCut(reader);
  if (version < XmVersionShortPatterns || version > XmVersionCurrent)
    return refusalText("the XM format version is %X.%02X; the versions read are 1.02, 1.03 and 1.04",
                       version >> 8, version & 0xFF);
  return nullptr;
}

void noteHeader(XmReader& reader, std::uint32_t headerSize, const XmHeader& header) {
  if (!reader.notes) return;
  reader.notes->headerSize = headerSize;
  reader.notes->patternCount = header.patternCount;
  reader.notes->restartPosition = header.restartPosition;
}

const char* loadModuleHeader(Song* song, XmReader& reader, XmHeader& header) {
  seekTo(reader, XmHeaderSizeOffset);
  const std::uint32_t headerSize = readU32(reader);
  header = readHeader(reader);
  noteHeader(reader, headerSize, header);
  // Zeros read past the end would fail the checks for the wrong reason.
  if (reader.cut) return refuseCut(reader);
  if (const char* refusal = checkHeader(header)) return refusal;
  storeHeader(song, header);
  readBytes(reader, song->orderTable, OrderTableSize);
  seekTo(reader, XmHeaderSizeOffset + headerSize);
  song->usedPatterns = countUsedPatterns(song);
  return nullptr;
}

// Up to 1.03: every instrument's headers, the patterns, then all sample data.
const char* loadInstrumentsFirst(Song* song, XmReader& reader, const XmHeader& header,
                                 bool shortPatterns) {
  auto* stored = static_cast<XmStoredInstrument*>(
      std::calloc(std::max<std::size_t>(song->numInstruments, 1), sizeof(XmStoredInstrument)));
  if (!stored) return RefusalOutOfMemory;
  const char* refusal = allocateInstruments(song);
  for (int index = 0; !refusal && index < song->numInstruments; ++index)
    refusal = loadInstrumentHeaders(song, reader, index, stored[index]);
  if (!refusal) refusal = loadPatterns(song, reader, header.patternCount, shortPatterns);
  for (int index = 0; !refusal && index < song->numInstruments; ++index)
    refusal = loadInstrumentData(song, reader, index, stored[index]);
  std::free(stored);
  return refusal;
}

// 1.04: the patterns, then each instrument's headers followed by its sample data.
const char* loadPatternsFirst(Song* song, XmReader& reader, const XmHeader& header) {
  if (const char* refusal = loadPatterns(song, reader, header.patternCount, false)) return refusal;
  if (const char* refusal = allocateInstruments(song)) return refusal;
  for (int index = 0; index < song->numInstruments; ++index) {
    XmStoredInstrument stored{};
    if (const char* refusal = loadInstrumentHeaders(song, reader, index, stored)) return refusal;
    if (const char* refusal = loadInstrumentData(song, reader, index, stored)) return refusal;
  }
  return nullptr;
}

const char* loadParts(Song* song, XmReader& reader) {
  if (const char* refusal = checkSignature(reader)) return refusal;
  song->tickHandler = playTick;
  song->initialGlobalVolume = InitialGlobalVolume;
  std::uint16_t version = 0;
  if (const char* refusal = readVersion(reader, version)) return refusal;
  XmHeader header{};
  if (const char* refusal = loadModuleHeader(song, reader, header)) return refusal;
  if (version <= XmVersionInstrumentsFirst)
    return loadInstrumentsFirst(song, reader, header, version == XmVersionShortPatterns);
  return loadPatternsFirst(song, reader, header);
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
