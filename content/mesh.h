#pragma once
// The height field the terrain scene draws: a 40 x 40 grid of points over 800 x 800
// model units, heights 0..80 from nested sines.
#include <cstdint>

#include "content/maths.h"
#include "shell/globals.h"

constexpr std::int32_t MeshGridSize = 40;        // points per row and per column
constexpr float MeshExtent = 800.0f;             // model units along x and along z
constexpr std::int32_t MeshVerticesPerPoint = 6; // two triangles per grid cell

// One program-wide instance. All four arrays come from memAlloc and live for the run.
struct HeightMesh {
  TaggedPoint* points;    // cols x rows, row-major: x, y, z, tag0/tag1 = texture u/v as float bits, tag2 = 0
  TaggedPoint* screen;    // cols x rows: screen x, y and depth, written by the scene each frame
  ScreenVertex* vertices; // cols x rows x 6, assembled by the scene each frame
  std::uint32_t* colours; // cols x rows ARGB, written by the scene each frame
  std::int32_t cols;
  std::int32_t rows;
  float width; // extent along x, model units
  float depth; // extent along z, model units
};

// Fills `mesh` (allocating its arrays). 0, or E_FAIL when the heap refuses an array (the
// arrays it did get are left in the mesh).
std::int32_t buildHeightMesh(HeightMesh& mesh);
