// songgen OUT.xm: composes the show's song and writes it as an XM module. The output is
// the same byte for byte on every machine (integer synthesis only); data/song.xm is made
// with it.
#include <cstdio>

#include "tools/songgen/arrangement.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: songgen OUT.xm\n");
    return 2;
  }
  const std::vector<std::uint8_t> bytes = songgen::encodeXm(songgen::makeSong());
  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (std::fclose(out) != 0 || !written) {
    std::fprintf(stderr, "songgen: could not write %s\n", argv[1]);
    return 1;
  }
  std::printf("songgen: wrote %s (%zu bytes)\n", argv[1], bytes.size());
  return 0;
}
