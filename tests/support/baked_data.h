// baked_data.h - what the data tests (tests/data/) share: where the build put
// the baked data set, a fixture that points the show's "data/..." names at it,
// reading its JPEGs the way the show does, baking a group a second time to
// compare bytes, and the few vector sums used to measure the baked meshes.
//
// Header only: the tests' support library keeps a fixed list of sources.
// DEMO_BAKED_DATA_DIR comes from the build, on the data tests' target alone.
#pragma once

#ifndef DEMO_BAKED_DATA_DIR
#error "baked_data.h is for the data tests: DEMO_BAKED_DATA_DIR is not defined"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "bake/bake.h"
#include "gfx/texture.h"
#include "base/data_path.h"
#include "base/byte_reader.h"
#include "base/math.h"
#include "scene/scene.h"
#include "support/test_files.h"

namespace demo::test {

// --- The baked data set ---------------------------------------------------------

// The full path of a file of the data set as the build baked it ("x.jpg",
// "overlays/y.png").
inline std::string bakedFile(const std::string &name) { return std::string(DEMO_BAKED_DATA_DIR) + "/" + name; }

// A fixture whose tests name files the way the show does ("data/x.jpg") and
// get the build's baked copies. The directory goes back to the default after
// each test, so nothing later depends on which test ran first. The GL checks
// use BakedDataGLTest (gl_fixture.h), which does the same for a GLTest.
class BakedDataTest : public ::testing::Test {
protected:
  void SetUp() override { setDataDirectory(DEMO_BAKED_DATA_DIR); }
  void TearDown() override { setDataDirectory(""); }
};

// --- Pictures ---------------------------------------------------------------------

// The number of colour components a JPEG declares in its frame header, or -1
// when the markers before it are broken or the frame is of a kind the show's
// reader cannot decode (only baseline, extended and progressive: SOF0..SOF2).
inline int jpegComponents(const std::vector<uint8_t> &bytes) {
  for (size_t i = 2; i + 9 < bytes.size();) {
    if (bytes[i] != 0xFF)
      return -1;
    const uint8_t marker = bytes[i + 1];
    const size_t length = (static_cast<size_t>(bytes[i + 2]) << 8) | bytes[i + 3];
    if (marker >= 0xC0 && marker <= 0xC2)
      return bytes[i + 9];
    i += 2 + length;
  }
  return -1;
}

// Reads a baked JPEG at `path` the way the show's texture loader gets it: the
// file is there and not empty, declares three colour components, and decodes
// into `image`. Call it under ASSERT_NO_FATAL_FAILURE: a file that is missing
// or does not decode stops the test.
inline void loadThreeComponentJpeg(const std::string &path, JpegImage &image) {
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(readWholeFile(path, bytes)) << path;
  ASSERT_FALSE(bytes.empty()) << path;
  EXPECT_EQ(jpegComponents(bytes), 3) << path;
  image = loadJpeg(path.c_str());
  ASSERT_FALSE(image.empty()) << path;
}

inline bool powerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

// --- Baking again -------------------------------------------------------------------

// One group of the bake (bake::bakeLogo, bake::bakeWater, ...).
using BakeGroup = void (*)(bake::BakeContext &);

// Bakes `group` a second time into a scratch directory: the bake succeeds,
// writes something, and every file it writes has, byte for byte, the content
// of the build's copy. `written` gets the names it wrote, sorted, for the
// caller to check against the files the group should make.
inline void expectBakingAgainWritesTheSameBytes(BakeGroup group, std::vector<std::string> &written) {
  TempDir dir;
  bake::BakeContext context(dir.path(), false);
  group(context);
  written = context.written();
  std::sort(written.begin(), written.end());
  ASSERT_FALSE(context.failed());
  ASSERT_FALSE(written.empty());
  for (const std::string &name : written) {
    std::vector<uint8_t> again, build;
    ASSERT_TRUE(readWholeFile(dir.file(name), again)) << name;
    ASSERT_TRUE(readWholeFile(bakedFile(name), build)) << name;
    EXPECT_TRUE(again == build) << name;
  }
}

// The same, for a group whose list of files is not checked by name.
inline void expectBakingAgainWritesTheSameBytes(BakeGroup group) {
  std::vector<std::string> written;
  expectBakingAgainWritesTheSameBytes(group, written);
}

// --- Measuring the meshes ---------------------------------------------------------------

inline Vec3 sub(const Vec3 &a, const Vec3 &b) { return Vec3{a.x - b.x, a.y - b.y, a.z - b.z}; }
inline float dot(const Vec3 &a, const Vec3 &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float length(const Vec3 &a) { return std::sqrt(dot(a, a)); }

// A node's place in the world: the translation of its world matrix.
inline Vec3 worldOf(const SceneNode &node) { return Vec3{node.world[12], node.world[13], node.world[14]}; }

// p under the matrix m (column order, translation at 12, 13, 14).
inline Vec3 transformPoint(const Matrix4 &m, const Vec3 &p) {
  return Vec3{m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
              m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

} // namespace demo::test
