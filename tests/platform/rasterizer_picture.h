#pragma once
// A small picture for rasterizer tests: an X8R8G8B8 image with its own depth buffer,
// text dumps for messages and a PPM written when a comparison fails, so the wrong
// picture can be looked at.
#include "platform/port/rasterizer.h"
#include "platform/port/rasterspan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace rastertest {

struct Picture {
  int width, height;
  std::vector<std::uint32_t> pixels;
  std::vector<std::uint16_t> depth;

  Picture(int w, int h, std::uint32_t fill = 0) : width(w), height(h), pixels(std::size_t(w) * h, fill),
                                                  depth(std::size_t(w) * h, 0xFFFF) {}
  std::uint32_t& at(int x, int y) { return pixels[std::size_t(y) * width + x]; }
  std::uint32_t at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
  raster::ColorTarget color() { return {pixels.data(), width, height, width}; }
  raster::DepthTarget depthTarget() { return {depth.data(), width, height, width}; }
  int count(std::uint32_t value) const {
    int n = 0;
    for (std::uint32_t p : pixels) n += p == value;
    return n;
  }
};

// Writes the picture as a binary PPM under the build directory; returns the path.
inline std::string writePpm(const std::vector<std::uint32_t>& pixels, int width, int height, const std::string& name) {
  std::filesystem::path dir = std::filesystem::path(NYRA_BINARY_DIR) / "test-pictures";
  std::filesystem::create_directories(dir);
  std::string path = (dir / (name + ".ppm")).string();
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (std::uint32_t p : pixels) {
      unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                              static_cast<unsigned char>(p)};
      std::fwrite(rgb, 1, 3, f);
    }
    std::fclose(f);
  }
  return path;
}

inline std::string testName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string(info->test_suite_name()) + "." + info->name();
}

// Compares every pixel with what `expected(x, y)` says; on a mismatch reports the first
// few differences and writes the actual picture.
template <class Expected>
void expectPicture(const Picture& actual, Expected expected) {
  int mismatches = 0;
  std::string report;
  for (int y = 0; y < actual.height; ++y)
    for (int x = 0; x < actual.width; ++x) {
      std::uint32_t want = expected(x, y);
      if (actual.at(x, y) == want) continue;
      if (++mismatches <= 8) {
        char line[96];
        std::snprintf(line, sizeof line, "  (%d, %d): got %06X, want %06X\n", x, y, unsigned(actual.at(x, y)),
                      unsigned(want));
        report += line;
      }
    }
  if (mismatches > 0) {
    std::string path = writePpm(actual.pixels, actual.width, actual.height, testName());
    ADD_FAILURE() << mismatches << " pixels differ; picture written to " << path << "\n" << report;
  }
}

inline raster::Vertex vertex(float x, float y, std::uint32_t diffuse = 0xFFFFFFFF, float u = 0, float v = 0,
                             float z = 0, float rhw = 1) {
  return raster::Vertex{x, y, z, rhw, diffuse, u, v};
}

// Draws the vertices into `fast` through drawTriangles and into `reference` (the same
// size, holding the same start) through the general loop alone, and reports a failure
// naming `what` when the pictures or depth buffers differ; both pictures are then written,
// named after the test and `fastName` or "general".
inline void expectDrawnAsGeneral(Picture& fast, Picture& reference, const raster::RasterState& state,
                                 const std::vector<raster::Vertex>& vertices, raster::Topology topology,
                                 const std::string& what, const std::string& fastName) {
  raster::drawTriangles(fast.color(), fast.depthTarget(), state, vertices.data(), int(vertices.size()), topology);
  raster::detail::drawTrianglesGeneral(reference.color(), reference.depthTarget(), state, vertices.data(),
                                       int(vertices.size()), topology);
  int differing = 0, first = -1;
  for (std::size_t i = 0; i < fast.pixels.size(); ++i)
    if (fast.pixels[i] != reference.pixels[i] || fast.depth[i] != reference.depth[i]) {
      if (first < 0) first = int(i);
      ++differing;
    }
  if (differing > 0) {
    writePpm(fast.pixels, fast.width, fast.height, testName() + "." + fastName);
    writePpm(reference.pixels, fast.width, fast.height, testName() + ".general");
    ADD_FAILURE() << what << " (" << fastName << "): " << differing << " pixels differ, first at ("
                  << first % fast.width << ", " << first / fast.width << ")";
  }
}

// A texture of distinct texels, the largest size the show uses (512 x 512); a smaller
// texture may view its first texels.
inline const std::vector<std::uint32_t>& distinctTexels() {
  static const std::vector<std::uint32_t> t = [] {
    std::vector<std::uint32_t> v(512 * 512);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = std::uint32_t(i * 2654435761u) ^ std::uint32_t(i >> 5);
    return v;
  }();
  return t;
}

// Two triangles covering the axis-aligned rectangle, as a list.
inline std::vector<raster::Vertex> quad(float x0, float y0, float x1, float y1, std::uint32_t diffuse = 0xFFFFFFFF,
                                        float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1, float z = 0) {
  return {vertex(x0, y0, diffuse, u0, v0, z), vertex(x1, y0, diffuse, u1, v0, z), vertex(x0, y1, diffuse, u0, v1, z),
          vertex(x1, y0, diffuse, u1, v0, z), vertex(x1, y1, diffuse, u1, v1, z), vertex(x0, y1, diffuse, u0, v1, z)};
}

} // namespace rastertest
