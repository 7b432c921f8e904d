#pragma once
// The XM loader's steps (createSong in song.h is the public entry). Each step reads in
// file order through the reader and returns null on success or a static sentence saying
// why the module is refused. What a refused load has allocated is still owned by the song
// and released by freeSongData.
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

// Reads the whole module into the zeroed song. True on success; otherwise *reason (when
// non-null) receives the refusal. notes (optional) receives what the file declared.
bool loadXm(Song* song, ModuleFile* file, const char** reason = nullptr,
            XmLoadNotes* notes = nullptr);

// Patterns: the header's patternCount stored ones, then empty 64-row patterns for the
// numbers the order table uses beyond them. Allocates song->patterns.
const char* loadPatterns(Song* song, XmReader& reader, int patternCount);
// Instruments with their sample headers and sample data. Allocates song->instruments.
const char* loadInstruments(Song* song, XmReader& reader);
// One sample's data; the reader is at its first byte and fileBytes is its declared size in
// the file. Cuts the length to the samples present in the file, clamps the loop into the
// sample, decodes to 16-bit PCM, writes the loop guard and moves the reader past the
// declared size.
// notes (optional) records whether the file cut the sample or its loop was clamped.
const char* loadSampleData(Song* song, XmReader& reader, Sample& sample, std::uint32_t fileBytes,
                           int instrumentIndex, int sampleIndex, XmSampleNotes* notes);
// Loop points into the sample: loopStart < length and loopStart + loopLength <= length; an
// unlooped sample's loop spans it, and a sample of no length is unlooped.
void clampLoop(Sample& sample);

// Refusal sentences shared by the steps.
extern const char* const RefusalOutOfMemory;
