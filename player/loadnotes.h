#pragma once
// What an XM file declared beyond what the Song keeps (names, stored sample widths, raw
// header values), and where the loader had to cut. For inspection tools; the player never
// needs it. Sizes are in bytes as the file states them.
#include <cstddef>
#include <cstdint>

#include "player/song.h"

constexpr int XmNameBytes = 20;     // module and tracker names
constexpr int XmItemNameBytes = 22; // instrument and sample names

// The parts of an XM file, for saying where a file that is cut short ends.
enum class XmPart : std::uint8_t {
  Signature,
  Header, // names, version, and the header that the size field at byte 60 measures
  PatternHeader,
  PatternData,
  InstrumentHeader, // with its settings, up to its sample headers
  SampleHeader,
  SampleData,
};

// A place in the file: a part and whose it is. Patterns count from 0, instruments from 1
// and samples from 0, as trackers show them.
struct XmPlace {
  XmPart part = XmPart::Signature;
  int pattern = 0;
  int instrument = 0;
  int sample = 0;
  std::int64_t start = 0; // byte offset of the part's first byte
};

// Where a cut file ends: "inside the header of sample 0 of instrument 3", or "before ..."
// when none of the part's bytes are present. Writes a zero-terminated text of at most
// size - 1 characters.
void describeFileEnd(const XmPlace& place, bool insidePart, char* text, std::size_t size);
constexpr std::size_t XmPlaceTextBytes = 96;

struct XmSampleNotes {
  char name[XmItemNameBytes + 1]; // zero-terminated
  std::uint8_t typeByte;          // loop bits 0-1, 16-bit flag bit 4
  std::uint8_t fileBits;          // 8 or 16, as stored
  bool packed;                    // stored as 4-bit indices into a table of 8-bit deltas
  std::uint32_t fileBytes;        // declared data size (for a packed sample: its samples)
  std::uint32_t storedBytes;      // bytes its data takes in the file
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
  XmPlace fileEnd;    // then: the part being read when the end came
  bool fileEndInsidePart; // some of that part's bytes are present
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
