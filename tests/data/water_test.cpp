// The water scene's files as the build baked them, read back with the show's
// own readers and checked against what the water scene does with them: the
// names it looks up, the camera times it plays, the fog it draws the room in,
// and the pool it draws into the tank.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "bake/bake.h"
#include "bake/water_room.h"
#include "effects/water_surface.h"
#include "gfx/texture.h"
#include "gl_fixture.h"
#include "base/data_path.h"
#include "scene/scene.h"
#include "support/baked_data.h"

namespace demo::test {
namespace {

using bake::kWaterCameras;
using bake::kWaterMeshes;

// The scene times the water scene plays each camera at: local time a maps to
// camera time u and scene time 0.2 u + 0.1; camera05 runs forwards to u = 25
// and then backwards from 16.
struct Shot {
  int camera; // index into kWaterCameras
  float sceneTime;
};
std::vector<Shot> shotsTheSceneUses() {
  std::vector<Shot> shots;
  for (int k = 0; k < 1972; k += 10) // first visit, Camera01
    shots.push_back({0, 0.2f * (k / 100.f) + 0.1f});
  for (int k = 1972; k < 3957; k += 10) // then Camera03
    shots.push_back({2, 0.2f * (k / 100.f - 17.72f) + 0.1f});
  for (int k = 0; k < 1977; k += 5) { // second visit and quick cuts, Camera05
    const float h = k / 100.f;
    const float u = 2.5f * h <= 25.f ? 2.5f * h : 30.f - 1.4f * h;
    shots.push_back({3, 0.2f * u + 0.1f});
  }
  return shots;
}

// Distance from p to the triangle abc (closest point by regions).
float distanceToTriangle(const Vec3 &p, const Vec3 &a, const Vec3 &b, const Vec3 &c) {
  const Vec3 ab = sub(b, a), ac = sub(c, a), ap = sub(p, a);
  const float d1 = dot(ab, ap), d2 = dot(ac, ap);
  if (d1 <= 0.f && d2 <= 0.f)
    return length(ap);
  const Vec3 bp = sub(p, b);
  const float d3 = dot(ab, bp), d4 = dot(ac, bp);
  if (d3 >= 0.f && d4 <= d3)
    return length(bp);
  const Vec3 cp = sub(p, c);
  const float d5 = dot(ab, cp), d6 = dot(ac, cp);
  if (d6 >= 0.f && d5 <= d6)
    return length(cp);
  const float vc = d1 * d4 - d3 * d2, vb = d5 * d2 - d1 * d6, va = d3 * d6 - d5 * d4;
  auto at = [&](float s, float t) {
    return length(sub(p, Vec3{a.x + ab.x * s + ac.x * t, a.y + ab.y * s + ac.y * t, a.z + ab.z * s + ac.z * t}));
  };
  if (vc <= 0.f && d1 >= 0.f && d3 <= 0.f)
    return at(d1 / (d1 - d3), 0.f);
  if (vb <= 0.f && d2 >= 0.f && d6 <= 0.f)
    return at(0.f, d2 / (d2 - d6));
  if (va <= 0.f && d4 - d3 >= 0.f && d5 - d6 >= 0.f) {
    const float w = (d4 - d3) / ((d4 - d3) + (d5 - d6));
    return length(sub(p, Vec3{b.x + (c.x - b.x) * w, b.y + (c.y - b.y) * w, b.z + (c.z - b.z) * w}));
  }
  const float denom = 1.f / (va + vb + vc);
  return at(vb * denom, vc * denom);
}

// Where a straight-down ray from `top` first meets a triangle of the mesh
// (its height), or -infinity.
float firstHitBelow(const MeshNode &mesh, const Vec3 &top) {
  float best = -INFINITY;
  const std::vector<uint32_t> &idx = mesh.submeshes[0].indices;
  for (size_t t = 0; t + 2 < idx.size(); t += 3) {
    const Vec3 &a = mesh.positions[idx[t]], &b = mesh.positions[idx[t + 1]], &c = mesh.positions[idx[t + 2]];
    // Barycentric test in the x-z plane, then the height at that point.
    const float det = (b.z - c.z) * (a.x - c.x) + (c.x - b.x) * (a.z - c.z);
    if (std::fabs(det) < 1e-9f)
      continue;
    const float l1 = ((b.z - c.z) * (top.x - c.x) + (c.x - b.x) * (top.z - c.z)) / det;
    const float l2 = ((c.z - a.z) * (top.x - c.x) + (a.x - c.x) * (top.z - c.z)) / det;
    const float l3 = 1.f - l1 - l2;
    if (l1 < 0.f || l2 < 0.f || l3 < 0.f)
      continue;
    const float y = l1 * a.y + l2 * b.y + l3 * c.y;
    if (y <= top.y)
      best = std::max(best, y);
  }
  return best;
}

class WaterData : public BakedDataTest {
protected:
  void SetUp() override {
    BakedDataTest::SetUp();
    scene = std::make_unique<Scene>(bakedFile("vannscene.gsp"));
    ASSERT_FALSE(scene->children.empty()) << "vannscene.gsp did not load";
    scene->prepare(false);
  }
  std::unique_ptr<Scene> scene;
};

TEST_F(WaterData, EveryMeshTheSceneDrawsIsThereWithItsOwnTexture) {
  for (const auto &entry : kWaterMeshes) {
    auto *mesh = dynamic_cast<MeshNode *>(scene->findNode(entry.node));
    ASSERT_NE(mesh, nullptr) << entry.node;
    ASSERT_GE(mesh->submeshCount, 1) << entry.node;
    const Submesh &first = mesh->submeshes[0]; // the only one the scene draws
    EXPECT_GT(first.indexCount, 0) << entry.node;
    EXPECT_EQ(first.indexCount % 3, 0) << entry.node;
    EXPECT_TRUE(std::all_of(first.indices.begin(), first.indices.end(), [&](uint32_t i) {
      return i < static_cast<uint32_t>(mesh->vertexCount);
    })) << entry.node;
    ASSERT_LT(first.materialIndex, scene->materialCount) << entry.node;
    EXPECT_EQ(scene->materials[static_cast<size_t>(first.materialIndex)]->textureNames[0],
              std::string("data/") + entry.texture)
        << entry.node;
  }
}

TEST_F(WaterData, CamerasFindTheirTargetsAndTheirKeysCoverEverySceneTimeUsed) {
  float latest = 0.f;
  for (const Shot &shot : shotsTheSceneUses())
    latest = std::max(latest, shot.sceneTime);
  EXPECT_NEAR(latest, 5.1f, 0.01f); // camera05 at its turn
  for (const char *name : kWaterCameras) {
    auto *camera = dynamic_cast<CameraNode *>(scene->findNode(name));
    ASSERT_NE(camera, nullptr) << name;
    ASSERT_NE(camera->target, nullptr) << name << " has no target";
    EXPECT_GT(camera->fov, 20.f) << name;
    EXPECT_LT(camera->fov, 90.f) << name;
    for (const SceneNode *node :
         {static_cast<const SceneNode *>(camera), static_cast<const SceneNode *>(camera->target)}) {
      const std::vector<NodeKey> &keys = node->positionKeys;
      ASSERT_GE(keys.size(), 2u) << *node->name;
      EXPECT_LE(keys.front().time, 0) << *node->name;
      EXPECT_GE(keys.back().time, static_cast<int32_t>(latest * 3000.f)) << *node->name;
      for (size_t k = 1; k < keys.size(); ++k)
        EXPECT_LT(keys[k - 1].time, keys[k].time) << *node->name << " key " << k;
    }
  }
}

// Every shot the scene plays stays inside the hall, above the water, clear
// of every surface (the near plane is 1 unit) and looks at a point well
// inside the fog's start.
TEST_F(WaterData, EveryShotStaysInsideTheHallAndClearOfEverySurface) {
  std::vector<const MeshNode *> meshes;
  for (const auto &entry : kWaterMeshes)
    meshes.push_back(dynamic_cast<MeshNode *>(scene->findNode(entry.node)));
  Vec3 lo, hi;
  {
    const MeshNode &shell = *meshes[4];
    lo = hi = shell.positions[0];
    for (const Vec3 &p : shell.positions) {
      lo = Vec3{std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
      hi = Vec3{std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
  }
  int shot = 0;
  for (const Shot &s : shotsTheSceneUses()) {
    if (shot++ % 3 != 0) // every third is plenty: the paths are smooth
      continue;
    auto *camera = dynamic_cast<CameraNode *>(scene->findNode(kWaterCameras[s.camera]));
    scene->animate(s.sceneTime);
    scene->updateTransforms(); // the file has no lights: no GL needed
    const Vec3 eye = worldOf(*camera), target = worldOf(*camera->target);
    SCOPED_TRACE(std::string(kWaterCameras[s.camera]) + " at " + std::to_string(s.sceneTime));
    EXPECT_TRUE(eye.x > lo.x && eye.x < hi.x && eye.y > lo.y && eye.y < hi.y && eye.z > lo.z && eye.z < hi.z);
    EXPECT_GT(eye.y, bake::kWaterLevel + 3.f);
    EXPECT_LT(length(sub(target, eye)), 300.f);
    float nearest = INFINITY;
    for (const MeshNode *mesh : meshes) {
      const std::vector<uint32_t> &idx = mesh->submeshes[0].indices;
      for (size_t t = 0; t + 2 < idx.size(); t += 3)
        nearest = std::min(nearest, distanceToTriangle(eye, mesh->positions[idx[t]], mesh->positions[idx[t + 1]],
                                                       mesh->positions[idx[t + 2]]));
    }
    EXPECT_GT(nearest, 2.f);
  }
}

// The scene draws the water's cells 1..128 at 0.55 units with cell 65 at the
// origin. Looking straight down, just outside the drawn water the tank's top
// covers the edge (no gap between water and wall anywhere round the pool),
// and a little inside it the water is open to view.
TEST_F(WaterData, TheTankTopCoversTheWaterEdgeAllRound) {
  const MeshNode &tank = *dynamic_cast<MeshNode *>(scene->findNode("tank"));
  const float cell = 0.55f;
  const float first = (1 - 65) * cell, last = (WaterSurface::kSide - 2 - 65) * cell;
  for (float t = first; t <= last; t += 2.5f) {
    for (const Vec3 &edge : {Vec3{last + 0.1f, 40.f, t}, Vec3{first - 0.1f, 40.f, t}, Vec3{t, 40.f, last + 0.1f},
                             Vec3{t, 40.f, first - 0.1f}}) {
      EXPECT_GT(firstHitBelow(tank, edge), bake::kWaterLevel + 1.f) << edge.x << ", " << edge.z;
    }
    // A little further in, past the coping's lip, the water shows.
    if (t > first + 2.5f && t < last - 2.5f) {
      EXPECT_LT(firstHitBelow(tank, Vec3{last - 2.5f, 40.f, t}), bake::kWaterLevel) << t;
      EXPECT_LT(firstHitBelow(tank, Vec3{first + 2.5f, 40.f, t}), bake::kWaterLevel) << t;
    }
  }
}

TEST(WaterPictures, EveryPictureIsAThreeComponentJpegOfPowerOfTwoSize) {
  std::vector<std::string> names = {"envmap_old.jpg", "vannbump.jpg", "kestranelogo3d.jpg", "sq.jpg"};
  for (const auto &entry : kWaterMeshes)
    names.push_back(entry.texture);
  for (const std::string &name : names) {
    JpegImage image;
    ASSERT_NO_FATAL_FAILURE(loadThreeComponentJpeg(bakedFile(name), image)) << name;
    EXPECT_TRUE(powerOfTwo(image.width) && powerOfTwo(image.height)) << name;
    EXPECT_GE(std::min(image.width, image.height), 128) << name;
  }
  JpegImage env = loadJpeg(bakedFile("envmap_old.jpg").c_str());
  EXPECT_EQ(env.width, env.height); // a sphere map is square
}

// Unlit and then glowed to about twice its brightness, the room must carry
// its own light: dim surfaces, with a few lamp and screen pixels near white.
TEST(WaterPictures, RoomTexturesAreDimWithBrightLampsAndScreens) {
  auto luminance = [](const JpegImage &image, int x0, int y0, int x1, int y1, float &mean, float &brightest) {
    double sum = 0.0;
    brightest = 0.f;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const uint8_t *p = &image.data[static_cast<size_t>(y) * image.stride + 3 * static_cast<size_t>(x)];
        const float l = 0.3f * p[0] + 0.59f * p[1] + 0.11f * p[2];
        sum += l;
        brightest = std::max(brightest, l);
      }
    mean = static_cast<float>(sum / ((x1 - x0) * (y1 - y0)));
  };
  for (const auto &entry : kWaterMeshes) {
    JpegImage image = loadJpeg(bakedFile(entry.texture).c_str());
    ASSERT_FALSE(image.empty()) << entry.texture;
    float mean, brightest;
    luminance(image, 0, 0, image.width, image.height, mean, brightest);
    EXPECT_GT(mean, 6.f) << entry.texture;
    EXPECT_LT(mean, 95.f) << entry.texture;
  }
  JpegImage shell = loadJpeg(bakedFile("vannscene/takboks.jpg").c_str());
  ASSERT_EQ(shell.width, bake::kShellPictureSize);
  float mean, brightest;
  const bake::AtlasCell &ceiling = bake::kShellCeilingCell;
  luminance(shell, ceiling.x0, ceiling.y0, ceiling.x1, ceiling.y1, mean, brightest);
  EXPECT_GT(brightest, 240.f) << "the ceiling has no lamps";
  JpegImage screens = loadJpeg(bakedFile("vannscene/ytterstenger_og_skjermer.jpg").c_str());
  ASSERT_EQ(screens.width, bake::kScreenPictureSize);
  for (const bake::AtlasCell &cell : bake::kScreenCells) {
    luminance(screens, cell.x0, cell.y0, cell.x1, cell.y1, mean, brightest);
    EXPECT_GT(brightest, 170.f) << "a screen at " << cell.x0 << ", " << cell.y0 << " does not glow";
  }
  const bake::AtlasCell &band = bake::kScreenBarBand;
  luminance(screens, band.x0, band.y0, band.x1, band.y1, mean, brightest);
  EXPECT_LT(mean, 60.f);
}

// vannbump.jpg is loaded as a height picture and turned into a normal map:
// it must have relief, and tile without a seam (the conversion wraps).
TEST(WaterPictures, BumpPictureHasReliefAndTilesWithoutASeam) {
  JpegImage bump = loadJpeg(bakedFile("vannbump.jpg").c_str());
  ASSERT_FALSE(bump.empty());
  const std::vector<uint8_t> normals = heightToNormalMap(bump.data, bump.width, bump.height);
  int tilted = 0;
  for (size_t i = 0; i < normals.size(); i += 3)
    if (std::abs(normals[i] - 127) > 1 || std::abs(normals[i + 1] - 127) > 1)
      ++tilted;
  EXPECT_GT(tilted, bump.width * bump.height / 3);
  auto red = [&](int x, int y) { return static_cast<int>(bump.data[static_cast<size_t>(y) * bump.stride + 3 * x]); };
  double inside = 0.0, seam = 0.0;
  for (int y = 0; y < bump.height; ++y) {
    inside += std::abs(red(bump.width / 2, y) - red(bump.width / 2 - 1, y));
    seam += std::abs(red(0, y) - red(bump.width - 1, y));
  }
  EXPECT_LT(seam, inside * 2.0 + bump.height);
}

// The room drawn through every camera as the water scene draws it (unlit,
// textured, white linear fog from 300 to 800) is a dim room, not a wall of
// fog: most pixels are well below white.
class WaterLook : public BakedDataGLTest {};

TEST_F(WaterLook, EveryCameraSeesTheRoomThroughTheFog) {
  Scene scene("data/vannscene.gsp");
  ASSERT_FALSE(scene.children.empty());
  scene.prepare(false);
  std::vector<std::unique_ptr<Texture>> textures;
  std::vector<MeshNode *> meshes;
  for (const auto &entry : kWaterMeshes) {
    textures.push_back(std::make_unique<Texture>((std::string("data/") + entry.texture).c_str(), 0));
    ASSERT_NE(textures.back()->textureId, 0u) << entry.texture;
    meshes.push_back(dynamic_cast<MeshNode *>(scene.findNode(entry.node)));
  }
  const Shot shots[] = {{0, 0.1f}, {0, 2.f}, {0, 4.04f}, {2, 0.5f}, {2, 2.5f}, {2, 4.46f},
                        {3, 0.1f}, {3, 2.f}, {3, 3.3f},  {3, 4.2f}, {3, 5.1f}};
  for (const Shot &s : shots) {
    SCOPED_TRACE(std::string(kWaterCameras[s.camera]) + " at " + std::to_string(s.sceneTime));
    glClearColor(1.f, 1.f, 1.f, 1.f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glEnable(GL_FOG);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    const float white[4] = {1.f, 1.f, 1.f, 1.f};
    glFogfv(GL_FOG_COLOR, white);
    glFogf(GL_FOG_START, 300.f);
    glFogf(GL_FOG_END, 800.f);
    glColor4f(1.f, 1.f, 1.f, 1.f);
    auto *camera = dynamic_cast<CameraNode *>(scene.findNode(kWaterCameras[s.camera]));
    scene.update(s.sceneTime, *camera);
    for (size_t i = 0; i < meshes.size(); ++i) {
      textures[i]->bind();
      scene.drawNode(*meshes[i], true);
    }
    glDisable(GL_FOG);
    glDisable(GL_TEXTURE_2D);
    const std::vector<uint8_t> frame = readFrame();
    double sum = 0.0;
    int nearWhite = 0;
    for (size_t i = 0; i < frame.size(); i += 3) {
      const int l = (frame[i] * 3 + frame[i + 1] * 6 + frame[i + 2]) / 10;
      sum += l;
      if (l > 235)
        ++nearWhite;
    }
    const int pixels = static_cast<int>(frame.size() / 3);
    EXPECT_LT(sum / pixels, 110.0);
    EXPECT_GT(sum / pixels, 12.0);
    EXPECT_LT(nearWhite, pixels / 4);
  }
  EXPECT_EQ(takeGlError(), 0u);
}

// The builders behind the room: every triangle faces the way its normals
// say (the show culls back faces), on every mesh of the room as baked.
TEST(WaterRoomKit, EveryTriangleFacesTheWayItsNormalsPoint) {
  auto check = [](const bake::MeshData &mesh, const std::string &what) {
    int wrong = 0, checked = 0;
    for (size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
      const Vec3 &a = mesh.positions[mesh.indices[t]], &b = mesh.positions[mesh.indices[t + 1]],
                 &c = mesh.positions[mesh.indices[t + 2]];
      const Vec3 face = cross(sub(b, a), sub(c, a));
      if (length(face) < 1e-5f)
        continue;
      ++checked;
      const Vec3 &n0 = mesh.normals[mesh.indices[t]], &n1 = mesh.normals[mesh.indices[t + 1]],
                 &n2 = mesh.normals[mesh.indices[t + 2]];
      if (dot(face, Vec3{n0.x + n1.x + n2.x, n0.y + n1.y + n2.y, n0.z + n1.z + n2.z}) <= 0.f)
        ++wrong;
    }
    EXPECT_GT(checked, 0) << what;
    EXPECT_EQ(wrong, 0) << what << ": " << wrong << " of " << checked;
  };
  bake::SweepUv uv;
  bake::MeshData panel, beam, girder, tube, lathe;
  bake::addPanel(panel, Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{0, 0, 1}, 10.f, 4.f, 4.f, 4.f, bake::UvRect{});
  bake::addBeam(beam, Vec3{0, 0, 0}, Vec3{3, 7, 1}, Vec3{1, 0, 0}, 2.f, 1.f, uv);
  bake::addGirder(girder, Vec3{0, 0, 0}, Vec3{0, 0, -20}, Vec3{1, 0, 0}, 4.f, 6.f, uv);
  bake::addTube(tube, {Vec3{0, 0, 0}, Vec3{5, 0, 0}, Vec3{5, 5, 0}, Vec3{5, 5, 5}}, 1.f, 8, uv, true);
  bake::addLathe(lathe, Vec3{0, 0, 0}, {{0.f, 0.f}, {3.f, 0.f}, {3.f, 0.f}, {3.f, 5.f}, {1.f, 7.f}, {0.f, 7.5f}}, 12,
                 uv);
  check(panel, "panel");
  check(beam, "beam");
  check(girder, "girder");
  check(tube, "tube");
  check(lathe, "lathe");
  const std::vector<bake::MeshData> room = bake::buildWaterRoom();
  ASSERT_EQ(room.size(), 8u);
  for (size_t i = 0; i < room.size(); ++i)
    check(room[i], kWaterMeshes[i].node);
}

TEST(WaterRoomKit, PanelsTileTheirCellAndCutTheLastTileShort) {
  bake::MeshData panel;
  const bake::UvRect rect{0.5f, 0.f, 1.f, 0.25f};
  bake::addPanel(panel, Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{0, -1, 0}, 10.f, 4.f, 4.f, 4.f, rect);
  ASSERT_EQ(panel.vertexCount(), 12u); // tiles of 4, 4 and 2 units
  auto u = [&](size_t vertex) { return panel.uvs[2 * vertex]; };
  EXPECT_FLOAT_EQ(u(0), 0.5f);
  EXPECT_FLOAT_EQ(u(1), 1.f);   // a whole tile spans the cell
  EXPECT_FLOAT_EQ(u(9), 0.75f); // the last, half tile, half the cell
  EXPECT_FLOAT_EQ(panel.positions[9].x, 10.f);
  EXPECT_FLOAT_EQ(panel.uvs[2 * 2 + 1], 0.25f);
  for (const Vec3 &n : panel.normals) // right along x, down along -y: facing +z
    EXPECT_FLOAT_EQ(n.z, 1.f);
  const bake::UvRect cell = bake::cellUv(bake::AtlasCell{0, 0, 512, 256}, 1024, 1024);
  EXPECT_FLOAT_EQ(cell.u0, 1.f / 1024.f);
  EXPECT_FLOAT_EQ(cell.u1, 511.f / 1024.f);
  EXPECT_FLOAT_EQ(cell.v1, 255.f / 1024.f);
}

TEST(WaterRoomKit, HangingCableEndsAtItsPointsAndSagsMostInTheMiddle) {
  const std::vector<Vec3> cable = bake::hangingCurve(Vec3{0, 10, 0}, Vec3{20, 10, 0}, 4.f, 21);
  ASSERT_EQ(cable.size(), 21u);
  EXPECT_FLOAT_EQ(cable.front().y, 10.f);
  EXPECT_FLOAT_EQ(cable.back().x, 20.f);
  EXPECT_NEAR(cable[10].y, 6.f, 1e-5f);
  for (size_t i = 1; i < cable.size(); ++i)
    EXPECT_EQ(cable[i].y < cable[i - 1].y, i <= 10) << i;
}

// A second bake writes the same names and the same bytes as the build's.
TEST(WaterBake, BakingAgainWritesTheSameFiles) {
  std::vector<std::string> written;
  expectBakingAgainWritesTheSameBytes(bake::bakeWater, written);
  std::vector<std::string> expected = {"vannscene.gsp", "envmap_old.jpg", "vannbump.jpg", "kestranelogo3d.jpg",
                                       "sq.jpg"};
  for (const auto &entry : kWaterMeshes)
    expected.push_back(entry.texture);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(written, expected);
}

} // namespace
} // namespace demo::test
