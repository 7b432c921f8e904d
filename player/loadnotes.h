#pragma once
// What an XM file declared beyond what the Song keeps (names, stored sample widths, raw
// header values), and where the loader had to cut. For inspection tools; the player never
// needs it. Sizes are in bytes as the file states them.
#include <cstdint>

#include "player/song.h"

constexpr int XmNameBytes = 20;     // module and tracker names
constexpr int XmItemNameBytes = 22; // instrument and sample names

struct XmSampleNotes {
  char name[XmItemNameBytes + 1]; // zero-terminated
  std::uint8_t typeByte;          // loop bits 0-1, 16-bit flag bit 4
  std::uint8_t fileBits;          // 8 or 16, as stored
  std::uint32_t fileBytes;        // declared data size
  std::uint32_t fileLoopStart;    // declared, bytes
  std::uint32_t fileLoopLength;   // declared, bytes
  bool cutByFileEnd;              // the file ends inside the data: the sample was shortened
  bool loopClamped;               // the declared loop reached outside the sample
};

struct XmInstrumentNotes {
  char name[XmItemNameBytes + 1];
  std::uint32_t headerSize;
  std::uint32_t sampleHeaderSize; // 0 when the instrument has no samples
  XmSampleNotes samples[InstrumentSampleSlots];
};

struct XmLoadNotes {
  std::int64_t fileSize;
  bool fileEndsEarly; // some part lay past the end of the file and was read as zeros
  char moduleName[XmNameBytes + 1];
  char trackerName[XmNameBytes + 1];
  std::uint16_t version;
  std::uint32_t headerSize;
  std::uint16_t patternCount;    // patterns stored in the file
  std::uint16_t restartPosition; // as declared (the song's may have been moved to 0)
  XmInstrumentNotes instruments[InstrumentLast];
};

// As createSongWithReason, and fills *notes (when non-null) with what was read, also for
// a refused module up to the point of refusal.
Song* createSongWithNotes(const void* source, SampleDataCallback sampleDataCallback,
                          const char** reason, XmLoadNotes* notes);
