// Packs the embedded files: packdata OUT.pack IN... (data/CMakeLists.txt names the files
// and their order; its `repack` target runs this on them).
#include <cstdio>
#include <fstream>
#include <iterator>

#include "tools/packer.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: packdata OUT.pack IN...\n");
    return 2;
  }
  std::vector<PackBytes> files;
  std::size_t total = 0;
  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "packdata: cannot read %s\n", argv[i]);
      return 1;
    }
    files.push_back({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
    total += files.back().size();
  }
  const PackBytes pack = packFiles(files);
  std::ofstream out(argv[1], std::ios::binary);
  out.write(reinterpret_cast<const char*>(pack.data()), static_cast<std::streamsize>(pack.size()));
  if (pack.empty() || !out.flush()) {
    std::fprintf(stderr, "packdata: cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("%s: %zu files, %zu bytes packed into %zu\n", argv[1], files.size(), total, pack.size());
  return 0;
}
