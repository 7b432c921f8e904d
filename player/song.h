#pragma once
// The in-memory song: plain data built once by the XM loader and read by the player.
// Every record is zero-filled (runtime calloc) and owned by its Song; the pattern,
// instrument and sample parts never change after loading. Sample lengths and loop points
// are in samples (16-bit frames of one channel), never in bytes.
#include <cstdint>

struct Song;

// Cell note values: 0 = none, 1..NoteLast = notes, NoteKeyOff = key-off (the file's 97).
constexpr std::uint8_t NoteNone = 0;
constexpr std::uint8_t NoteLast = 96;
constexpr std::uint8_t NoteKeyOff = 255;
// Cell instrument values: 0 = none, 1..InstrumentLast.
constexpr std::uint8_t InstrumentLast = 128;

// Sample::loopKind. emptySample alone has 0.
constexpr std::uint8_t LoopNone = 1;
constexpr std::uint8_t LoopForward = 2;
constexpr std::uint8_t LoopPingPong = 4;

// Instrument envelope type bits (volumeType, panningType).
constexpr std::uint8_t EnvelopeOn = 1;
constexpr std::uint8_t EnvelopeSustain = 2;
constexpr std::uint8_t EnvelopeLoop = 4;

// Song::flags bit 0: linear frequency table; clear: Amiga table.
constexpr std::uint16_t SongFlagLinear = 1;

// Sizes of the fixed arrays.
constexpr int InstrumentSampleSlots = 16;
constexpr int InstrumentNoteMap = 96;
constexpr int EnvelopePointCount = 12;
constexpr int OrderTableSize = 256;
// Zero samples after the last one in Sample::data; the first may hold the loop guard.
constexpr int SampleGuardSamples = 8;
// The player's channel and voice tables hold this many channels; the loader refuses more.
constexpr int SongMaxChannels = 32;

// One pattern cell, 5 bytes.
struct NoteCell {
  std::uint8_t note;       // NoteNone, 1..NoteLast, NoteKeyOff
  std::uint8_t instrument; // 0 = none, 1..InstrumentLast
  std::uint8_t volume;     // the XM volume-column byte unchanged
  std::uint8_t effect;     // XM effect type
  std::uint8_t param;      // XM effect parameter
};
static_assert(sizeof(NoteCell) == 5);

struct Pattern {
  std::int32_t rows;
  NoteCell* cells; // rows x numChannels, row-major: channel k of row r is [r * numChannels + k]
};

struct EnvelopePoint {
  std::uint16_t x; // tick
  std::uint16_t y; // value 0..64
};

struct Sample {
  std::int16_t* data;       // signed 16-bit PCM, length + SampleGuardSamples long; null if length 0
  std::uint32_t length;     // samples
  std::uint32_t loopStart;  // samples; loopStart + loopLength <= length
  std::uint32_t loopLength; // samples; equals length for LoopNone
  std::uint8_t volume;      // 0..64
  std::int8_t finetune;
  std::int32_t panning;       // 0..255
  std::uint8_t bitsPerSample; // 8 or 16 while loading, 16 after
  std::uint8_t loopKind;      // LoopNone, LoopForward, LoopPingPong (0 only in emptySample)
  std::int8_t relativeNote;
};

struct Instrument {
  std::int32_t numSamples;                       // 0..InstrumentSampleSlots
  Sample* samples[InstrumentSampleSlots];        // slots from numSamples on: &emptySample
  std::uint8_t sampleForNote[InstrumentNoteMap]; // sample index per note
  EnvelopePoint volumeEnvelope[EnvelopePointCount];
  EnvelopePoint panningEnvelope[EnvelopePointCount];
  std::uint8_t numVolumePoints;
  std::uint8_t numPanningPoints;
  std::uint8_t volumeSustainPoint;
  std::uint8_t volumeLoopStart;
  std::uint8_t volumeLoopEnd;
  std::uint8_t panningSustainPoint;
  std::uint8_t panningLoopStart;
  std::uint8_t panningLoopEnd;
  std::uint8_t volumeType;  // EnvelopeOn | EnvelopeSustain | EnvelopeLoop; 0 if < 2 points
  std::uint8_t panningType; // likewise
  std::uint8_t vibratoType;
  std::uint8_t vibratoSweep;
  std::uint8_t vibratoDepth;
  std::uint8_t vibratoRate;
  std::uint16_t volumeFadeout; // twice the file value
};

// Called once per tick by the block renderer.
using TickHandler = void (*)(Song* song);
// Optional supplier of sample data, used instead of the file's bytes. destination is the
// zeroed buffer of 2 x length + 16 bytes; byteCount is the number of sample-data bytes in
// the file; bitsPerSample is 8 or 16; both indices count from 0. It writes plain (not
// delta-coded) values in the sample's own width.
using SampleDataCallback = void (*)(void* destination, std::int32_t byteCount,
                                    std::int32_t bitsPerSample, std::int32_t instrumentIndex,
                                    std::int32_t sampleIndex);

struct Song {
  Pattern* patterns;            // numPatterns entries
  Instrument* instruments;      // numInstruments entries
  std::int32_t tickSamplesLeft; // output frames still to render before the next tick
  std::int32_t samplesPerTick;  // output frames per tick
  std::int16_t songLength;      // order entries played, 1..OrderTableSize
  std::int16_t restartPosition; // order index to continue at after the last entry
  std::int16_t numChannels;     // 1..SongMaxChannels
  std::int32_t usedPatterns;    // 1 + highest pattern number in orderTable[0 .. songLength-1]
  std::int32_t numPatterns;     // max(header pattern count, usedPatterns)
  std::int16_t numInstruments;  // 0..InstrumentLast
  std::uint16_t flags;          // SongFlagLinear
  std::int16_t defaultSpeed;    // ticks per row
  std::int16_t defaultBpm;      // at least 1
  std::uint8_t orderTable[OrderTableSize];
  std::uint8_t initialGlobalVolume; // 64
  std::int32_t globalVolume;        // 0..64
  std::uint8_t globalVolumeSlideMemory;
  std::int32_t tick;
  std::int32_t speed;
  std::int32_t bpm;
  std::int32_t row;
  std::int32_t orderPos;
  std::int32_t patternDelayTicks;
  std::int32_t nextRow;   // -1 = none
  std::int32_t nextOrder; // -1 = none
  std::int32_t elapsedMs; // milliseconds of audio rendered since start
  TickHandler tickHandler;
  SampleDataCallback sampleDataCallback; // null: sample data comes from the file
};

// The shared all-zero sample: null data, length 0, loopKind 0. Never freed.
extern Sample emptySample;

// The tick driver the loader installs as every song's tickHandler (defined with the row
// processing).
void playTick(Song* song);

// Loads an XM module read through the installed file operations (modulefile.h); source is
// passed unchanged to the open operation. Returns a new Song owned by the caller (release
// with freeSong), or null with nothing left allocated. The file is closed in every case.
Song* createSong(const void* source, SampleDataCallback sampleDataCallback);

// As createSong; on refusal *reason (if reason is non-null) receives a static
// human-readable sentence saying why. On success *reason is null.
Song* createSongWithReason(const void* source, SampleDataCallback sampleDataCallback,
                           const char** reason);

// Frees everything the loader allocated for the song, and the song: every pattern's cells,
// the pattern array, the sample slots below numSamples (never emptySample) with their
// data, the instrument array. Null does nothing. Does not touch playback: freeSong stops
// playback first and then calls this.
void freeSongData(Song* song);
