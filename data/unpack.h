#pragma once
// The unpacker of the embedded data. A pack is a header (a byte holding the file count,
// then each file's size as a 4-byte little-endian number) followed by the files' bytes,
// one after another, arithmetic-coded bit by bit under data/packmodel.h's predictor.
// tools/packer writes packs.
#include <cstddef>
#include <cstdint>

constexpr std::size_t PackSizeBytes = 4;

// The number of files in the pack, or -1 for a pack too short to hold its header.
int packedFileCount(const unsigned char* pack, std::size_t packBytes);

struct UnpackTarget {
  unsigned char* bytes; // where file i goes
  std::size_t size;     // its size, as the pack's header must say
};

// Decodes the pack's files into the `count` targets, in order. False, with nothing
// written, when the header does not fit the pack, the count or a size differs from the
// targets', or the model's tables cannot be allocated. Bytes past the pack's end read as
// zero, as the packer relies on.
bool unpackFiles(const unsigned char* pack, std::size_t packBytes, const UnpackTarget* targets, int count);
