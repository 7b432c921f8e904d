// The XM loader on any bytes, through createSong and the program's in-memory file
// operations: it either refuses, saying why, with nothing left allocated and the file
// closed, or builds a song that freeSongData takes apart again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "tests/fuzz/fuzzsong.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > fuzz::LargestInput) return 0;
  const char* reason = nullptr;
  Song* song = fuzz::loadSong(data, size, &reason);
  if (!song && !reason) std::abort(); // a refusal always says why
  freeSongData(song);
  return 0;
}
