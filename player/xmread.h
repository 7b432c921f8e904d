#pragma once
// Little-endian reads through the module file for the XM loader. Every destination is
// zeroed before the read, so a short read (a truncated file) yields zero fields. Positions
// are byte offsets from the start of the file.
#include <cstddef>
#include <cstdint>

#include "player/loadnotes.h"
#include "player/modulefile.h"

struct XmReader {
  ModuleFile* file;
  std::int64_t fileSize; // bytes; every seek target is clamped into 0..fileSize
  XmLoadNotes* notes;    // optional record of what the file declared (loadnotes.h)
  XmPlace place;         // the part being read, set by the loader as it goes
  bool cut;              // a read has met the end of the file
  XmPlace cutPlace;      // the part being read then
  bool cutInsidePart;    // some of that part's bytes were present
};

// Measures the file (seek to its end, tell) and rewinds to the start.
XmReader makeXmReader(ModuleFile* file, XmLoadNotes* notes);

// Marks the start of a part at the current position (for saying where a cut file ends).
void enterPart(XmReader& reader, XmPart part, int pattern = 0, int instrument = 0, int sample = 0);
// Records that the file ends inside (or before) the current part; the first call counts.
void noteFileEnd(XmReader& reader);

// Zero-fills destination, then reads up to bytes bytes into it; returns the bytes delivered.
std::int32_t readBytes(XmReader& reader, void* destination, std::size_t bytes);
std::uint8_t readU8(XmReader& reader);
std::uint16_t readU16(XmReader& reader);
std::uint32_t readU32(XmReader& reader);

std::int64_t tellPosition(XmReader& reader);
std::int64_t bytesLeft(XmReader& reader);
void seekTo(XmReader& reader, std::int64_t position);
void skipBytes(XmReader& reader, std::int64_t bytes);

// Reads a fixed-width name field into a zero-terminated string of width + 1 bytes.
void readName(XmReader& reader, char* name, std::size_t width);

// Little-endian decoding from a byte buffer.
inline std::uint16_t littleU16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}
inline std::uint32_t littleU32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}
