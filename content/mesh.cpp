#include "content/mesh.h"

#include <bit>

#include "content/heap.h"

namespace {

constexpr double MeshHeightScale = 40.0;       // (u + 1) x 40: heights 0..80
constexpr float MeshTextureRepeats = 2.0f;     // the texture repeats twice across the grid
constexpr DWORD MeshVertexDiffuse = 0x00BBFFBB;

// Height of grid point (row j, column k), from nested sines and cosines.
double meshHeight(double j, double k) {
  double m = sinD(cosD(sinD(j / 4.5 - k / 2.5) + k / 2.5) + j / 3.3);
  double t = cosD(sinD(k / 2.9) + k / 3.5 - cosD(j / 2.6 + k / 2.5));
  double u = sinD(cosD(sinD(k / 3.0) + j / 2.5) + t + m);
  return (u + 1.0) * MeshHeightScale;
}

void fillGrid(const HeightMesh& mesh) {
  float spacingX = mesh.width / static_cast<float>(mesh.cols);
  float spacingZ = mesh.depth / static_cast<float>(mesh.rows);
  for (std::int32_t j = 0; j < mesh.rows; ++j) {
    for (std::int32_t k = 0; k < mesh.cols; ++k) {
      TaggedPoint& p = mesh.points[j * mesh.cols + k];
      p.x = -mesh.width / 2 + spacingX * static_cast<float>(k);
      p.y = static_cast<float>(meshHeight(j, k));
      p.z = -mesh.depth / 2 + spacingZ * static_cast<float>(j);
      p.tag0 = std::bit_cast<std::uint32_t>(MeshTextureRepeats * static_cast<float>(j) / static_cast<float>(mesh.cols));
      p.tag1 = std::bit_cast<std::uint32_t>(MeshTextureRepeats * static_cast<float>(k) / static_cast<float>(mesh.rows));
      p.tag2 = 0;
    }
  }
}

} // namespace

std::int32_t buildHeightMesh(HeightMesh& mesh) {
  mesh.width = MeshExtent;
  mesh.depth = MeshExtent;
  mesh.cols = MeshGridSize;
  mesh.rows = MeshGridSize;
  std::size_t points = static_cast<std::size_t>(mesh.cols) * mesh.rows;
  std::size_t vertexCount = points * MeshVerticesPerPoint;
  mesh.points = static_cast<TaggedPoint*>(memAlloc(points * sizeof(TaggedPoint)));
  mesh.screen = static_cast<TaggedPoint*>(memAlloc(points * sizeof(TaggedPoint)));
  mesh.vertices = static_cast<ScreenVertex*>(memAlloc(vertexCount * sizeof(ScreenVertex)));
  mesh.colours = static_cast<std::uint32_t*>(memAlloc(points * sizeof(std::uint32_t)));
  if (!mesh.points || !mesh.screen || !mesh.vertices || !mesh.colours) return E_FAIL;
  fillGrid(mesh);
  for (std::size_t i = 0; i < vertexCount; ++i) {
    mesh.vertices[i] = ScreenVertex{0.0f, 0.0f, 0.0f, 1.0f, MeshVertexDiffuse, 0.0f, 0.0f};
  }
  return 0;
}
