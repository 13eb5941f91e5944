// The event overlay scene's baked files, read back with the show's readers
// and checked against what the scene does with them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <tuple>

#include "bake/bake.h"
#include "gfx/texture.h"
#include "scene/ebr_mesh.h"
#include "support/baked_data.h"

namespace demo::test {
namespace {

const std::string kTitle = "quintervale";

struct Box {
  Vec3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
};

Box boundsOf(const EbrPart &part) {
  Box b;
  for (const Vec3 &p : part.positions) {
    b.lo = Vec3{std::min(b.lo.x, p.x), std::min(b.lo.y, p.y), std::min(b.lo.z, p.z)};
    b.hi = Vec3{std::max(b.hi.x, p.x), std::max(b.hi.y, p.y), std::max(b.hi.z, p.z)};
  }
  return b;
}

// A closed surface wound counter-clockwise seen from outside (what face
// culling keeps): every directed edge (by position, so split vertices count
// as one) meets its reverse exactly once, and the enclosed volume is positive.
bool closedFacingOutwards(const EbrPart &part) {
  using Key = std::tuple<long, long, long>;
  auto key = [&](uint32_t i) {
    const Vec3 &p = part.positions[i];
    return Key{std::lround(p.x * 1000.f), std::lround(p.y * 1000.f), std::lround(p.z * 1000.f)};
  };
  std::map<std::pair<Key, Key>, int> edges;
  double volume6 = 0.0;
  for (size_t t = 0; t < part.indices.size(); t += 3) {
    for (int e = 0; e < 3; ++e)
      ++edges[{key(part.indices[t + e]), key(part.indices[t + (e + 1) % 3])}];
    const Vec3 &a = part.positions[part.indices[t]];
    Vec3 n = cross(part.positions[part.indices[t + 1]], part.positions[part.indices[t + 2]]);
    volume6 += static_cast<double>(a.x) * n.x + static_cast<double>(a.y) * n.y + static_cast<double>(a.z) * n.z;
  }
  for (const auto &[edge, count] : edges) {
    auto reverse = edges.find({edge.second, edge.first});
    if (count != 1 || reverse == edges.end() || reverse->second != 1)
      return false;
  }
  return volume6 > 0.0;
}

TEST(EventMeshes, SpikeIsAClosedSpikyBallAbout100UnitsAcross) {
  EbrMesh spike(bakedFile("yollspike.ebr"));
  ASSERT_GE(spike.partCount, 1);
  const EbrPart &part = *spike.parts[0];
  ASSERT_GT(part.triangleCount, 0);
  Box box = boundsOf(part);
  for (float extent : {box.hi.x - box.lo.x, box.hi.y - box.lo.y, box.hi.z - box.lo.z}) {
    EXPECT_GT(extent, 85.f);
    EXPECT_LT(extent, 115.f);
  }
  // Centred, so the scene's rotations spin it in place.
  EXPECT_NEAR(box.lo.x + box.hi.x, 0.f, 10.f);
  EXPECT_NEAR(box.lo.y + box.hi.y, 0.f, 10.f);
  EXPECT_NEAR(box.lo.z + box.hi.z, 0.f, 10.f);
  // Spiky: the tips stand well out of the ball.
  float inner = 1e30f, outer = 0.f;
  for (const Vec3 &p : part.positions) {
    float r = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    inner = std::min(inner, r);
    outer = std::max(outer, r);
  }
  EXPECT_GT(outer / inner, 1.5f);
  EXPECT_TRUE(closedFacingOutwards(part));
}

TEST(EventMeshes, GridHolds32RowsOf32PointsUnderTheSpike) {
  EbrMesh grid(bakedFile("grid.ebr"));
  ASSERT_GE(grid.partCount, 1);
  const EbrPart &part = *grid.parts[0];
  // Exactly 32 x 32: cube j shows colour map row j / 32, column j mod 32, so
  // more points would not line up with the map's rows.
  ASSERT_EQ(part.vertexCount, 1024);
  const std::vector<Vec3> &p = part.positions;
  const float spacing = p[1].x - p[0].x;
  ASSERT_GT(spacing, 0.f);
  for (int j = 0; j < 1024; ++j) {
    const int row = j / 32, column = j % 32;
    ASSERT_FLOAT_EQ(p[j].z, p[0].z) << "point " << j;                            // a plane parallel to x-y
    ASSERT_NEAR(p[j].x, p[0].x + column * spacing, 1e-3f) << "point " << j;  // columns along +x
    ASSERT_NEAR(p[j].y, p[0].y - row * spacing, 1e-3f) << "point " << j;     // rows down from +y
  }
  // Drawn at 3 x 10 times its size with cubes 2 x 10 times theirs: the cubes
  // stand apart, and at rest all of them lie under the spike's lowest tip.
  EbrMesh cube(bakedFile("kubedritt.ebr"));
  ASSERT_GE(cube.partCount, 1);
  Box cubeBox = boundsOf(*cube.parts[0]);
  EbrMesh spike(bakedFile("yollspike.ebr"));
  ASSERT_GE(spike.partCount, 1);
  Box spikeBox = boundsOf(*spike.parts[0]);
  EXPECT_GT(spacing * 30.f, (cubeBox.hi.x - cubeBox.lo.x) * 20.f);
  EXPECT_LT(p[0].z * 30.f + cubeBox.hi.z * 20.f, spikeBox.lo.z);
}

TEST(EventMeshes, CubeIsASmallClosedBoxFacingOutwards) {
  EbrMesh cube(bakedFile("kubedritt.ebr"));
  ASSERT_GE(cube.partCount, 1);
  const EbrPart &part = *cube.parts[0];
  Box box = boundsOf(part);
  const float size = box.hi.x - box.lo.x;
  EXPECT_GT(size, 0.5f);
  EXPECT_LT(size, 4.f);
  EXPECT_NEAR(box.hi.y - box.lo.y, size, 1e-3f);
  EXPECT_NEAR(box.hi.z - box.lo.z, size, 1e-3f);
  EXPECT_NEAR(box.lo.x + box.hi.x, 0.f, 1e-3f);
  EXPECT_TRUE(closedFacingOutwards(part));
}

TEST(EventPictures, EnvironmentMapsAreSquareColourPicturesWithDetail) {
  for (const char *name : {"poopscience.jpg", "grey.jpg"}) {
    SCOPED_TRACE(name);
    JpegImage image = loadJpeg(bakedFile(name).c_str());
    ASSERT_FALSE(image.empty());
    EXPECT_EQ(image.width, image.height);
    EXPECT_EQ(image.stride, 3 * image.width);
    EXPECT_EQ(image.width & (image.width - 1), 0) << "a power of two";
    double sum = 0.0, sum2 = 0.0;
    for (uint8_t v : image.data)
      sum += v, sum2 += static_cast<double>(v) * v;
    const double n = static_cast<double>(image.data.size());
    EXPECT_GT(std::sqrt(sum2 / n - (sum / n) * (sum / n)), 15.0) << "not a flat picture";
  }
  // The cubes tint grey.jpg with their own colours: it stays neutral.
  JpegImage grey = loadJpeg(bakedFile("grey.jpg").c_str());
  for (size_t i = 0; i < grey.data.size(); i += 3)
    ASSERT_LT(std::abs(grey.data[i] - grey.data[i + 2]), 24) << "pixel " << i / 3;
}

// Whether the scene colours cube (row, column) as ink.
bool bright(const JpegImage &map, int row, int column) {
  const uint8_t *p = &map.data[static_cast<size_t>(row) * map.stride + column * 3];
  return p[0] + p[1] + p[2] > 500;
}

TEST(EventPictures, UltramapCarriesAClearPatternAcrossItsScrolledWindow) {
  JpegImage map = loadJpeg(bakedFile("ultramap.jpg").c_str());
  ASSERT_FALSE(map.empty());
  ASSERT_EQ(map.width, 256);
  ASSERT_EQ(map.stride, 768);
  ASSERT_GE(map.height, 32);
  // The scene reads rows 0..31, columns 0..223 and only asks R + G + B > 500:
  // nearly every pixel must sit clearly on one side, or cubes flicker as the
  // map scrolls.
  int inkCount = 0, clear = 0;
  for (int row = 0; row < 32; ++row)
    for (int column = 0; column < 224; ++column) {
      const uint8_t *p = &map.data[static_cast<size_t>(row) * map.stride + column * 3];
      int sum = p[0] + p[1] + p[2];
      inkCount += sum > 500;
      clear += std::abs(sum - 500) > 90;
    }
  EXPECT_GT(inkCount, 32 * 224 / 6);
  EXPECT_LT(inkCount, 32 * 224 * 2 / 3);
  EXPECT_GT(clear, 32 * 224 * 97 / 100);
  // Every window of 32 columns the field can show (wrapping at 224) has
  // light and dark cubes, and moving it by a column changes what it shows.
  for (int scroll = 0; scroll < 224; ++scroll) {
    int ink = 0, changed = 0;
    for (int row = 0; row < 32; ++row)
      for (int c = 0; c < 32; ++c) {
        ink += bright(map, row, (c + scroll) % 224);
        changed += bright(map, row, (c + scroll) % 224) != bright(map, row, (c + scroll + 1) % 224);
      }
    ASSERT_GT(ink, 32) << "scroll " << scroll;
    ASSERT_LT(ink, 1024 - 32) << "scroll " << scroll;
    ASSERT_GT(changed, 8) << "scroll " << scroll;
  }
}

int alphaAt(const PngImage &image, int x, int y) { return image.data[(static_cast<size_t>(y) * image.width + x) * 4 + 3]; }

int inkCount(const PngImage &image) {
  int count = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      count += alphaAt(image, x, y) >= 128;
  return count;
}

// Nothing is cut off at the picture's edges: its outermost pixels are clear.
bool clearBorder(const PngImage &image) {
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; x += (y == 0 || y == image.height - 1) ? 1 : image.width - 1)
      if (alphaAt(image, x, y) != 0)
        return false;
  return true;
}

TEST(EventTitle, ElevenOverlaysSpellTheTitleInPlace) {
  PngImage whole = decodePng(bakedFile("overlays/logo_" + kTitle + ".png").c_str());
  ASSERT_FALSE(whole.empty());
  int lastInk = 0;
  for (size_t letters = 1; letters <= kTitle.size(); ++letters) {
    const std::string name = "overlays/logo_" + kTitle.substr(0, letters) + ".png";
    SCOPED_TRACE(name);
    PngImage overlay = decodePng(bakedFile(name).c_str());
    ASSERT_FALSE(overlay.empty());
    ASSERT_EQ(overlay.width, 800);
    ASSERT_EQ(overlay.height, 128);
    ASSERT_EQ(overlay.channels, 4);
    EXPECT_TRUE(clearBorder(overlay));
    // One more letter each time, and each letter exactly where the whole
    // word has it: nothing is drawn where the whole title has no ink.
    int ink = inkCount(overlay);
    EXPECT_GT(ink, lastInk);
    lastInk = ink;
    for (int y = 0; y < 128; ++y)
      for (int x = 0; x < 800; ++x)
        ASSERT_LE(alphaAt(overlay, x, y), alphaAt(whole, x, y) + 2) << "at " << x << ", " << y;
  }
  // The whole word is centred on the picture.
  int left = 800, right = -1, top = 128, bottom = -1;
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 800; ++x)
      if (alphaAt(whole, x, y) >= 128) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  EXPECT_NEAR((left + right) * 0.5, 399.5, 4.0);
  EXPECT_NEAR((top + bottom) * 0.5, 63.5, 8.0);
}

TEST(EventTitle, EventOverlayShowsInTheLowerLetterboxBar) {
  PngImage overlay = decodePng(bakedFile("overlays/scene-event.png").c_str());
  ASSERT_FALSE(overlay.empty());
  ASSERT_EQ(overlay.width, 432);
  ASSERT_EQ(overlay.height, 128);
  ASSERT_EQ(overlay.channels, 4);
  EXPECT_TRUE(clearBorder(overlay));
  // Drawn at (368, 0) once the bars have closed to 75 pixels: most of its
  // ink falls on the black bar, its lowest 75 rows.
  int ink = inkCount(overlay), inBar = 0;
  for (int y = 128 - 75; y < 128; ++y)
    for (int x = 0; x < overlay.width; ++x)
      inBar += alphaAt(overlay, x, y) >= 128;
  EXPECT_GT(ink, 500);
  EXPECT_GT(inBar * 2, ink);
}

TEST(EventBake, BakingAgainWritesTheSameBytes) {
  std::vector<std::string> written;
  expectBakingAgainWritesTheSameBytes(bake::bakeEvent, written);
  std::set<std::string> names(written.begin(), written.end());
  std::set<std::string> expected = {"yollspike.ebr", "grid.ebr", "kubedritt.ebr", "poopscience.jpg", "grey.jpg",
                                    "ultramap.jpg", "overlays/scene-event.png"};
  for (size_t letters = 1; letters <= kTitle.size(); ++letters)
    expected.insert("overlays/logo_" + kTitle.substr(0, letters) + ".png");
  EXPECT_EQ(names, expected);
}

} // namespace
} // namespace demo::test
