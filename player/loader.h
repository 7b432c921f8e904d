#pragma once
// The XM loader's steps (createSong in song.h is the public entry). Each step reads in
// file order through the reader and returns null on success or a static sentence saying
// why the module is refused. What a refused load has allocated is still owned by the song
// and released by freeSongData.
#include <cstddef>

#include "player/song.h"
#include "player/xmread.h"

struct XmLoadNotes;
struct XmSampleNotes;

// Limits checked at load; a module beyond one is refused.
constexpr int XmMaxSongLength = OrderTableSize;
constexpr int XmMaxPatterns = 256;
constexpr int XmMaxPatternRows = 256;
constexpr int XmMaxInstruments = InstrumentLast;
constexpr int XmMaxSamples = InstrumentSampleSlots;
// Sample widths in the file; after loading every sample is 16-bit.
constexpr std::uint8_t SampleBits8 = 8;
constexpr std::uint8_t SampleBits16 = 16;

// Format versions read, as stored (major in the high byte). They differ in layout: up to
// 1.03 all instrument and sample headers come first, then the patterns, then the data of
// every sample in instrument and sample order; 1.04 stores the patterns first and each
// instrument's sample data right after its headers. 1.02 pattern headers are 8 bytes, the
// row count one byte holding rows - 1.
constexpr std::uint16_t XmVersionShortPatterns = 0x0102;
constexpr std::uint16_t XmVersionInstrumentsFirst = 0x0103;
constexpr std::uint16_t XmVersionCurrent = 0x0104;

// Reads the whole module into the zeroed song. True on success; otherwise *reason (when
// non-null) receives the refusal. notes (optional) receives what the file declared.
bool loadXm(Song* song, ModuleFile* file, const char** reason = nullptr,
            XmLoadNotes* notes = nullptr);

// How a sample's data is stored, from its header; needed again where the data is read.
struct XmStoredSample {
  std::uint32_t declaredBytes; // the header's length field (a packed sample's: its samples)
  bool packed;                 // 16 bytes of delta table, then two 4-bit indices a byte
};
struct XmStoredInstrument {
  XmStoredSample samples[InstrumentSampleSlots];
};

// Patterns: the header's patternCount stored ones, then empty 64-row patterns for the
// numbers the order table uses beyond them. Allocates song->patterns. shortHeaders: the
// 8-byte headers of version 1.02.
const char* loadPatterns(Song* song, XmReader& reader, int patternCount, bool shortHeaders);
// Allocates song->instruments.
const char* allocateInstruments(Song* song);
// Instrument `index` (from 0): its header and sample headers; fills `stored`.
const char* loadInstrumentHeaders(Song* song, XmReader& reader, int index,
                                  XmStoredInstrument& stored);
// The data of every sample of instrument `index`, in sample order, from the reader's
// position.
const char* loadInstrumentData(Song* song, XmReader& reader, int index,
                               const XmStoredInstrument& stored);
// One sample's data; the reader is at its first byte. Cuts the length to the samples
// present in the file, clamps the loop into the sample, decodes to 16-bit PCM, writes the
// loop guard and moves the reader past the data's size in the file.
// notes (optional) records whether the file cut the sample or its loop was clamped.
const char* loadSampleData(Song* song, XmReader& reader, Sample& sample,
                           const XmStoredSample& stored, int instrumentIndex, int sampleIndex,
                           XmSampleNotes* notes);
// Bytes a sample's data takes in the file.
std::uint32_t storedDataBytes(const XmStoredSample& stored);
// Loop points into the sample: loopStart < length and loopStart + loopLength <= length; an
// unlooped sample's loop spans it, and a sample of no length is unlooped.
void clampLoop(Sample& sample);

// Refusal sentences shared by the steps.
extern const char* const RefusalOutOfMemory;
// printf's %s, %d, %u, %X, %lld and %%, with a zero flag and a width, into `size` bytes
// (cut as snprintf cuts); any other conversion ends the text there.
[[gnu::format(printf, 3, 4)]] void formatText(char* text, std::size_t size, const char* format, ...);
// A refusal formatted like printf; valid until the next load.
[[gnu::format(printf, 1, 2)]] const char* refusalText(const char* format, ...);
// "the file is cut short: it ends after N bytes, inside <part>".
const char* refuseCut(const XmReader& reader);
// reason, or refuseCut when the file has ended before: a check that fails on values read
// past the end fails because of the cut.
const char* refuseUnlessCut(const XmReader& reader, const char* reason);
