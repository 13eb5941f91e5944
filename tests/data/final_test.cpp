// The final boxes scene's files as the build baked them, read back with the
// show's own readers and checked against how the scene uses them: four named
// crates drawn unlit with their own maps, and seven cameras cut in at random
// points of their paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "bake/bake.h"
#include "gfx/texture.h"
#include "base/data_path.h"
#include "scene/scene.h"
#include "support/baked_data.h"

namespace demo::test {
namespace {

const std::array<const char *, 4> kBoxes = {"Box1", "Box2", "Box4", "Box5"};
const std::array<const char *, 4> kBoxMaps = {"data/Box1CompleteMap.jpg", "data/Box2CompleteMap.jpg",
                                              "data/Box4CompleteMap.jpg", "data/Box5CompleteMap.jpg"};
// The cut list's cameras (Camera01 stands in it twice, there is no Camera05).
const std::array<const char *, 7> kCameras = {"Camera01", "Camera02", "Camera03", "Camera04",
                                              "Camera06", "Camera07", "Camera08"};
// A shot runs at scene time speed (up to 3) x (head start up to 2 s + clock)
// x 0.6. The longest gap between cuts (2.46 s) gives 8.0 s; the last shot of
// the first run, Camera03 from 235.13 s, runs 2.39 s until the quick cuts
// and 2.81 s more in them before the list starts again: 12.96 s.
constexpr float kLongestShot = 12.96f;
constexpr float kUsualShot = 8.f;

class FinalData : public BakedDataTest {};

// A box's world centre and the radius of the sphere round it.
struct Bound {
  Vec3 centre;
  float radius;
};

Bound worldBound(const MeshNode &node) {
  Vec3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
  for (const Vec3 &p : node.positions) {
    Vec3 w = transformPoint(node.world, p);
    lo = Vec3{std::min(lo.x, w.x), std::min(lo.y, w.y), std::min(lo.z, w.z)};
    hi = Vec3{std::max(hi.x, w.x), std::max(hi.y, w.y), std::max(hi.z, w.z)};
  }
  Vec3 centre{(lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f};
  return Bound{centre, length(sub(hi, centre))};
}

// --- The crates ---------------------------------------------------------------

TEST_F(FinalData, EveryBoxIsATexturedMeshWithItsOwnMap) {
  Scene scene("data/final.gsp");
  for (size_t i = 0; i < kBoxes.size(); ++i) {
    auto *box = dynamic_cast<MeshNode *>(scene.findNode(kBoxes[i]));
    ASSERT_NE(box, nullptr) << kBoxes[i];
    ASSERT_GE(box->submeshCount, 1) << kBoxes[i];
    const Submesh &sub0 = box->submeshes[0];
    EXPECT_GT(sub0.indexCount, 0);
    EXPECT_EQ(sub0.indexCount % 3, 0);
    EXPECT_TRUE(std::all_of(sub0.indices.begin(), sub0.indices.end(),
                            [&](uint32_t v) { return v < box->positions.size(); }));
    EXPECT_TRUE(std::all_of(box->texCoords.begin(), box->texCoords.end(), [](float t) { return t >= 0.f && t <= 1.f; }))
        << kBoxes[i] << ": the maps are atlases, nothing may wrap";
    ASSERT_LT(static_cast<size_t>(sub0.materialIndex), scene.materials.size());
    EXPECT_EQ(scene.materials[static_cast<size_t>(sub0.materialIndex)]->textureNames[0], std::string(kBoxMaps[i]));
  }
}

TEST_F(FinalData, BoxesAreClosedAndFaceOutwards) {
  // Culling may be on when the scene draws: every edge must meet its twin
  // running the other way (closed, consistently wound), and each triangle
  // must wind the way its normals point.
  Scene scene("data/final.gsp");
  for (const char *name : kBoxes) {
    auto *box = dynamic_cast<MeshNode *>(scene.findNode(name));
    ASSERT_NE(box, nullptr) << name;
    const Submesh &sub0 = box->submeshes[0];
    using Key = std::tuple<long, long, long>;
    auto key = [&](uint32_t v) {
      const Vec3 &p = box->positions[v];
      return Key{std::lround(p.x * 1000.f), std::lround(p.y * 1000.f), std::lround(p.z * 1000.f)};
    };
    std::map<std::pair<Key, Key>, int> edges;
    int wrong = 0;
    for (size_t t = 0; t + 2 < sub0.indices.size(); t += 3) {
      const uint32_t v[3] = {sub0.indices[t], sub0.indices[t + 1], sub0.indices[t + 2]};
      for (int k = 0; k < 3; ++k)
        ++edges[{key(v[k]), key(v[(k + 1) % 3])}];
      Vec3 face = cross(sub(box->positions[v[1]], box->positions[v[0]]),
                        sub(box->positions[v[2]], box->positions[v[0]]));
      if (dot(face, box->normals[v[0]]) <= 0.f)
        ++wrong;
    }
    EXPECT_EQ(wrong, 0) << name;
    int open = 0;
    for (const auto &[edge, count] : edges) {
      auto twin = edges.find({edge.second, edge.first});
      if (twin == edges.end() || twin->second != count)
        ++open;
    }
    EXPECT_EQ(open, 0) << name;
  }
}

TEST_F(FinalData, BoxMapsAreThreeComponentPowerOfTwoSquares) {
  for (const char *name : kBoxMaps) {
    JpegImage map;
    ASSERT_NO_FATAL_FAILURE(loadThreeComponentJpeg(resolveDataPath(name), map)) << name;
    EXPECT_EQ(map.width, map.height) << name;
    EXPECT_TRUE(powerOfTwo(map.width)) << name;
  }
}

// --- The cameras -------------------------------------------------------------

TEST_F(FinalData, EveryCameraOfTheCutListFindsItsTarget) {
  Scene scene("data/final.gsp");
  scene.prepare(false);
  for (const char *name : kCameras) {
    auto *camera = dynamic_cast<CameraNode *>(scene.findNode(name));
    ASSERT_NE(camera, nullptr) << name;
    EXPECT_NE(camera->target, nullptr) << name;
    EXPECT_GT(camera->fov, 10.f) << name;
    EXPECT_LT(camera->fov, 90.f) << name;
  }
}

TEST_F(FinalData, CameraAndTargetPathsLastTheLongestShot) {
  Scene scene("data/final.gsp");
  scene.prepare(false);
  for (const char *name : kCameras) {
    auto *camera = dynamic_cast<CameraNode *>(scene.findNode(name));
    ASSERT_TRUE(camera && camera->target) << name;
    for (const SceneNode *node : {static_cast<const SceneNode *>(camera), static_cast<const SceneNode *>(camera->target)}) {
      const auto &keys = node->positionKeys;
      ASSERT_GE(keys.size(), 2u) << name;
      EXPECT_LE(keys.front().time, 0) << name;
      EXPECT_GE(keys.back().time, static_cast<int32_t>(kLongestShot * 3000.f)) << name;
      for (size_t k = 1; k < keys.size(); ++k)
        EXPECT_LT(keys[k - 1].time, keys[k].time) << name << " key " << k;
    }
  }
}

TEST_F(FinalData, EveryShotKeepsABoxInViewAndTheEyeOutsideThem) {
  // Whatever the rolling up vector, the picture holds the cone of half the
  // vertical field of view round the line of sight. A box is in view when the
  // sphere of half its bounding radius (about its half thickness) reaches
  // into that cone.
  Scene scene("data/final.gsp");
  scene.prepare(false);
  for (const char *name : kCameras) {
    auto *camera = dynamic_cast<CameraNode *>(scene.findNode(name));
    ASSERT_TRUE(camera && camera->target) << name;
    const float halfFov = camera->fov * 0.5f * 3.14159265f / 180.f;
    for (float t = 0.f; t <= kLongestShot + 0.01f; t += 0.25f) {
      scene.animate(t);
      scene.updateTransforms(); // no lights in the file: no GL needed
      const Vec3 eye = worldOf(*camera);
      Vec3 forward = sub(worldOf(*camera->target), eye);
      normalize(forward);
      bool seen = false;
      for (const char *boxName : kBoxes) {
        auto *box = dynamic_cast<MeshNode *>(scene.findNode(boxName));
        ASSERT_NE(box, nullptr);
        Bound b = worldBound(*box);
        Vec3 toBox = sub(b.centre, eye);
        float distance = length(toBox);
        EXPECT_GT(distance, b.radius + 2.f) << name << " at " << t << " s is inside " << boxName;
        float offAxis = std::acos(std::clamp(dot(toBox, forward) / distance, -1.f, 1.f));
        if (offAxis < halfFov + std::asin(std::min(1.f, 0.5f * b.radius / distance)))
          seen = true;
      }
      EXPECT_TRUE(seen) << name << " sees no box at " << t << " s";
    }
  }
}

TEST_F(FinalData, CamerasTakeDifferentShots) {
  Scene scene("data/final.gsp");
  scene.prepare(false);
  std::vector<std::vector<Vec3>> paths;
  for (const char *name : kCameras) {
    auto *camera = dynamic_cast<CameraNode *>(scene.findNode(name));
    ASSERT_NE(camera, nullptr) << name;
    std::vector<Vec3> path;
    for (float t = 0.f; t <= kUsualShot; t += 0.5f) {
      scene.animate(t);
      scene.updateTransforms();
      path.push_back(worldOf(*camera));
    }
    paths.push_back(path);
  }
  for (size_t a = 0; a < paths.size(); ++a)
    for (size_t b = a + 1; b < paths.size(); ++b) {
      float mean = 0.f;
      for (size_t k = 0; k < paths[a].size(); ++k)
        mean += length(sub(paths[a][k], paths[b][k])) / static_cast<float>(paths[a].size());
      EXPECT_GT(mean, 20.f) << kCameras[a] << " and " << kCameras[b];
    }
}

// --- Determinism -----------------------------------------------------------

TEST_F(FinalData, BakingAgainWritesTheSameBytes) {
  expectBakingAgainWritesTheSameBytes(bake::bakeFinal);
}

} // namespace
} // namespace demo::test
