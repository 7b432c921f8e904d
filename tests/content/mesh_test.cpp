#include "content/mesh.h"

#include <bit>

#include <gtest/gtest.h>

#include "content/heap.h"

namespace {

struct BuiltMesh {
  HeightMesh mesh{};
  std::int32_t result = buildHeightMesh(mesh);
  ~BuiltMesh() {
    memFree(mesh.points);
    memFree(mesh.screen);
    memFree(mesh.vertices);
    memFree(mesh.colours);
  }
  const TaggedPoint& point(int j, int k) const { return mesh.points[j * mesh.cols + k]; }
};

float tagFloat(std::uint32_t tag) { return std::bit_cast<float>(tag); }

TEST(HeightMesh, ShapeAndResult) {
  BuiltMesh built;
  EXPECT_EQ(built.result, 0);
  EXPECT_EQ(built.mesh.cols, 40);
  EXPECT_EQ(built.mesh.rows, 40);
  EXPECT_EQ(built.mesh.width, 800.0f);
  EXPECT_EQ(built.mesh.depth, 800.0f);
}

TEST(HeightMesh, SampleHeightsPositionsAndTextureCoordinates) {
  BuiltMesh built;
  const TaggedPoint& origin = built.point(0, 0);
  EXPECT_EQ(origin.x, -400.0f);
  EXPECT_EQ(origin.z, -400.0f);
  EXPECT_NEAR(origin.y, 67.5516f, 1e-4);
  EXPECT_EQ(tagFloat(origin.tag0), 0.0f);
  EXPECT_EQ(tagFloat(origin.tag1), 0.0f);
  EXPECT_NEAR(built.point(0, 1).y, 55.4690f, 1e-4);
  EXPECT_EQ(built.point(0, 1).x, -380.0f);
  EXPECT_NEAR(built.point(1, 0).y, 64.6057f, 1e-4);
  EXPECT_EQ(built.point(1, 0).z, -380.0f);
  EXPECT_NEAR(built.point(20, 20).y, 16.1325f, 1e-4);
  const TaggedPoint& last = built.point(39, 39);
  EXPECT_EQ(last.x, 380.0f);
  EXPECT_EQ(last.z, 380.0f);
  EXPECT_NEAR(last.y, 0.4299f, 1e-4);
  EXPECT_FLOAT_EQ(tagFloat(last.tag0), 1.95f);
  EXPECT_FLOAT_EQ(tagFloat(last.tag1), 1.95f);
  EXPECT_EQ(last.tag2, 0u);
  // u follows the row, v the column
  EXPECT_FLOAT_EQ(tagFloat(built.point(10, 0).tag0), 0.5f);
  EXPECT_FLOAT_EQ(tagFloat(built.point(10, 0).tag1), 0.0f);
}

TEST(HeightMesh, HeightsStayWithinZeroToEighty) {
  BuiltMesh built;
  float low = 1000, high = -1000;
  for (int i = 0; i < 1600; ++i) {
    low = std::min(low, built.mesh.points[i].y);
    high = std::max(high, built.mesh.points[i].y);
  }
  EXPECT_NEAR(low, 0.0002f, 1e-3);
  EXPECT_NEAR(high, 79.99996f, 1e-3);
}

TEST(HeightMesh, VerticesStartAsRhwOneWithTheGreenTintAndWorkArraysZero) {
  BuiltMesh built;
  for (int i = 0; i < 9600; ++i) {
    const ScreenVertex& v = built.mesh.vertices[i];
    ASSERT_EQ(v.rhw, 1.0f) << i;
    ASSERT_EQ(v.diffuse, 0x00BBFFBBu) << i;
    ASSERT_EQ(v.x + v.y + v.z + v.u + v.v, 0.0f) << i;
  }
  for (int i = 0; i < 1600; ++i) {
    ASSERT_EQ(built.mesh.colours[i], 0u);
    ASSERT_EQ(built.mesh.screen[i].x, 0.0f);
  }
}

} // namespace
