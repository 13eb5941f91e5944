// The logo scene's files as the build baked them, read back with the show's
// own readers and checked against what the logo scene does with them.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "bake/bake.h"
#include "gfx/texture.h"
#include "gl_fixture.h"
#include "base/data_path.h"
#include "base/byte_reader.h"
#include "scene/ebr_mesh.h"
#include "scene/scene.h"
#include "support/baked_data.h"

namespace demo::test {
namespace {

// The scene plays its file from 0 to 4.08 s (0.4 x the turn at 10.2 s).
constexpr float kTurnSceneTime = 4.08f;
// The scene lifts the card (and, a frame later, the tunnel) by 19 x
// bassLevel, and bassLevel = (bassLevel + s0) x 0.8 settles at 4 s0: a
// full-scale low band lifts by 76 units.
constexpr float kMostLift = 76.f;

class LogoData : public BakedDataTest {};

// The camera's frame as gluLookAt builds it.
struct View {
  Vec3 eye, forward, right, up;
  // Eye-space depth (distance along the view direction) and the point's
  // normalised device x and y for a vertical field of view and 4:3.
  float depth(const Vec3 &p) const { return dot(sub(p, eye), forward); }
  void project(const Vec3 &p, float fovDegrees, float &x, float &y) const {
    float t = std::tan(fovDegrees * 0.5f * 3.14159265f / 180.f);
    Vec3 d = sub(p, eye);
    x = dot(d, right) / depth(p) / (t * 4.f / 3.f);
    y = dot(d, up) / depth(p) / t;
  }
};

View viewAt(Scene &scene, CameraNode &camera, float seconds) {
  scene.animate(seconds);
  scene.updateTransforms(); // the file has no lights: no GL needed
  View v;
  v.eye = worldOf(camera);
  v.forward = sub(worldOf(*camera.target), v.eye);
  normalize(v.forward);
  v.right = cross(v.forward, Vec3{0.f, 1.f, 0.f});
  normalize(v.right);
  v.up = cross(v.right, v.forward);
  return v;
}

// World positions of a mesh node's vertices, under its current world matrix.
std::vector<Vec3> worldVertices(const MeshNode &node) {
  std::vector<Vec3> out;
  for (const Vec3 &p : node.positions)
    out.push_back(transformPoint(node.world, p));
  return out;
}

// --- The scene file ---------------------------------------------------------------

TEST_F(LogoData, SceneHoldsTheCardTheTextsAndATargetedCamera) {
  Scene scene("data/logoscene.gsp");
  for (const char *name : {"Box03", "Text08", "Text09"}) {
    auto *mesh = dynamic_cast<MeshNode *>(scene.findNode(name));
    ASSERT_NE(mesh, nullptr) << name;
    ASSERT_GE(mesh->submeshCount, 1) << name;
    EXPECT_GT(mesh->submeshes[0].indexCount, 0) << name;
    EXPECT_EQ(mesh->submeshes[0].indexCount % 3, 0) << name;
  }
  auto *camera = dynamic_cast<CameraNode *>(scene.findNode("Camera01"));
  ASSERT_NE(camera, nullptr);
  scene.prepare(false);
  EXPECT_NE(camera->target, nullptr);
}

TEST_F(LogoData, MaterialTexturesAreThreeComponentJpegsInTheDataSet) {
  Scene scene("data/logoscene.gsp");
  int textured = 0;
  for (const auto &material : scene.materials) {
    if (!material->textureNames[0])
      continue;
    ++textured;
    const std::string &name = *material->textureNames[0];
    ASSERT_EQ(name.rfind("data/", 0), 0u) << name;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(readWholeFile(resolveDataPath(name.c_str()), bytes)) << name;
    EXPECT_EQ(jpegComponents(bytes), 3) << name;
  }
  // The card and the logo are textured; the red line is drawn untextured.
  EXPECT_GE(textured, 2);
  auto *card = dynamic_cast<MeshNode *>(scene.findNode("Box03"));
  auto *logo = dynamic_cast<MeshNode *>(scene.findNode("Text08"));
  ASSERT_TRUE(card && logo);
  EXPECT_EQ(scene.materials[card->submeshes[0].materialIndex]->textureNames[0], std::string("data/bgcomplete.jpg"));
  EXPECT_EQ(scene.materials[logo->submeshes[0].materialIndex]->textureNames[0],
            std::string("data/logotextcomplete.jpg"));
}

TEST_F(LogoData, KeyTracksCoverTheWholeFlight) {
  Scene scene("data/logoscene.gsp");
  auto *camera = scene.findNode("Camera01");
  auto *line = scene.findNode("Text09");
  ASSERT_TRUE(camera && line);
  for (const auto *track : {&camera->positionKeys, &line->positionKeys, &line->rotationKeys}) {
    ASSERT_GE(track->size(), 2u);
    EXPECT_LE(track->front().time, 0);
    EXPECT_GE(track->back().time, static_cast<int32_t>(kTurnSceneTime * 3000.f));
    for (size_t i = 1; i < track->size(); ++i)
      EXPECT_LT((*track)[i - 1].time, (*track)[i].time) << "keys must be in increasing time order";
  }
}

TEST_F(LogoData, TheLogoIsInViewAllFlightAndWhollyOnScreenAtTheTurn) {
  Scene scene("data/logoscene.gsp");
  scene.prepare(false);
  auto *camera = dynamic_cast<CameraNode *>(scene.findNode("Camera01"));
  auto *logo = dynamic_cast<MeshNode *>(scene.findNode("Text08"));
  ASSERT_TRUE(camera && camera->target && logo);
  for (float t = 0.f; t <= kTurnSceneTime + 1e-4f; t += 0.04f) {
    View view = viewAt(scene, *camera, t);
    Vec3 lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
    for (const Vec3 &p : worldVertices(*logo)) {
      lo = Vec3{std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
      hi = Vec3{std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
      ASSERT_GT(view.depth(p), 1.f) << "behind the near plane at " << t << " s";
    }
    float x, y;
    view.project(Vec3{(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2}, camera->fov, x, y);
    EXPECT_LT(std::abs(x), 0.6f) << "at " << t << " s";
    EXPECT_LT(std::abs(y), 0.6f) << "at " << t << " s";
  }
  View turn = viewAt(scene, *camera, kTurnSceneTime);
  for (const Vec3 &p : worldVertices(*logo)) {
    float x, y;
    turn.project(p, camera->fov, x, y);
    ASSERT_LT(std::abs(x), 0.95f);
    ASSERT_LT(std::abs(y), 0.95f);
  }
}

// --- The tunnel ---------------------------------------------------------------------

// The scene draws the tube under glTranslatef(0, 0, -1000), glRotatef(90, 1,
// 0, 0), glScalef(8, 8, 8): mesh (x, y, z) lands at (8x, -8z, 8y - 1000).
Vec3 tunnelToWorld(const Vec3 &p) { return Vec3{8.f * p.x, -8.f * p.z, 8.f * p.y - 1000.f}; }

struct TubeExtent {
  float innerRadius = 1e9f, nearZ = -1e9f, farZ = 1e9f;
};

TubeExtent tubeExtent(const EbrPart &part) {
  TubeExtent e;
  for (const Vec3 &p : part.positions) {
    Vec3 w = tunnelToWorld(p);
    e.innerRadius = std::min(e.innerRadius, std::hypot(w.x, w.y));
    e.nearZ = std::max(e.nearZ, w.z);
    e.farZ = std::min(e.farZ, w.z);
  }
  return e;
}

TEST_F(LogoData, TunnelIsOneTexturedTubeWhoseFacesLookAtItsAxis) {
  EbrMesh tunnel("data/tunnel.ebr");
  ASSERT_GE(tunnel.partCount, 1);
  const EbrPart &part = *tunnel.parts[0];
  ASSERT_GT(part.triangleCount, 0);
  float uMin = 1e9f, uMax = -1e9f, vMin = 1e9f, vMax = -1e9f;
  for (int32_t i = 0; i < part.vertexCount; ++i) {
    const Vec3 &p = part.positions[i], &n = part.normals[i];
    EXPECT_LT(n.x * p.x + n.z * p.z, 0.f) << "vertex " << i << " faces away from the axis";
    uMin = std::min(uMin, part.texCoords[2 * i]);
    uMax = std::max(uMax, part.texCoords[2 * i]);
    vMin = std::min(vMin, part.texCoords[2 * i + 1]);
    vMax = std::max(vMax, part.texCoords[2 * i + 1]);
  }
  EXPECT_GE(uMax - uMin, 1.f) << "the picture should wrap at least once round";
  EXPECT_GE(vMax - vMin, 1.f) << "and repeat along the tube";
}

TEST_F(LogoData, TheWholeFlightStaysInsideTheTunnelClearOfItsWall) {
  EbrMesh tunnel("data/tunnel.ebr");
  ASSERT_GE(tunnel.partCount, 1);
  TubeExtent tube = tubeExtent(*tunnel.parts[0]);
  Scene scene("data/logoscene.gsp");
  scene.prepare(false);
  auto *camera = dynamic_cast<CameraNode *>(scene.findNode("Camera01"));
  ASSERT_TRUE(camera && camera->target);
  for (float t = 0.f; t <= kTurnSceneTime + 1e-4f; t += 0.1f) {
    View view = viewAt(scene, *camera, t);
    EXPECT_LT(std::hypot(view.eye.x, view.eye.y) + kMostLift, tube.innerRadius) << "at " << t << " s";
    EXPECT_LT(view.eye.z, tube.nearZ - 100.f) << "at " << t << " s";
  }
  for (const char *name : {"Box03", "Text08"}) {
    auto *mesh = dynamic_cast<MeshNode *>(scene.findNode(name));
    ASSERT_NE(mesh, nullptr);
    for (const Vec3 &p : worldVertices(*mesh))
      ASSERT_LT(std::hypot(p.x, p.y) + kMostLift, tube.innerRadius) << name;
  }
}

// The tunnel is drawn into the lower-left 256 x 256 pixels of the frame with
// the camera's projection and its depths stay there while the card is drawn
// over the whole screen: wherever a view ray meets the tube, it must do so
// behind every point of the card, or the card would be cut in that corner.
TEST_F(LogoData, TheTunnelWallLiesBehindTheCardFromEveryViewpoint) {
  EbrMesh tunnel("data/tunnel.ebr");
  ASSERT_GE(tunnel.partCount, 1);
  TubeExtent tube = tubeExtent(*tunnel.parts[0]);
  Scene scene("data/logoscene.gsp");
  scene.prepare(false);
  auto *camera = dynamic_cast<CameraNode *>(scene.findNode("Camera01"));
  ASSERT_TRUE(camera && camera->target);
  std::vector<MeshNode *> card;
  for (const char *name : {"Box03", "Text08", "Text09"})
    card.push_back(dynamic_cast<MeshNode *>(scene.findNode(name)));
  const float tanHalf = std::tan(camera->fov * 0.5f * 3.14159265f / 180.f);
  for (float t = 0.f; t <= kTurnSceneTime + 1e-4f; t += 0.2f) {
    View view = viewAt(scene, *camera, t);
    float farthestCard = 0.f;
    for (MeshNode *mesh : card)
      for (const Vec3 &p : worldVertices(*mesh))
        farthestCard = std::max(farthestCard, view.depth(p));
    for (int i = -4; i <= 4; ++i)
      for (int j = -4; j <= 4; ++j) {
        float sx = i / 4.f * tanHalf * 4.f / 3.f, sy = j / 4.f * tanHalf;
        Vec3 d{view.forward.x + sx * view.right.x + sy * view.up.x, view.forward.y + sx * view.right.y + sy * view.up.y,
               view.forward.z + sx * view.right.z + sy * view.up.z};
        // Where the ray leaves the cylinder x^2 + y^2 = r^2 (the eye is inside).
        float a = d.x * d.x + d.y * d.y, b = 2.f * (view.eye.x * d.x + view.eye.y * d.y);
        float c = view.eye.x * view.eye.x + view.eye.y * view.eye.y - tube.innerRadius * tube.innerRadius;
        if (a < 1e-9f)
          continue; // straight down the tube: no wall
        float s = (-b + std::sqrt(b * b - 4.f * a * c)) / (2.f * a);
        float hitZ = view.eye.z + s * d.z;
        if (hitZ > tube.nearZ || hitZ < tube.farZ)
          continue; // out through an open end
        EXPECT_GT(s, farthestCard) << "at " << t << " s, ray (" << i << ", " << j << ")";
      }
  }
}

// --- Pictures -------------------------------------------------------------------------

TEST_F(LogoData, PicturesAreThreeComponentJpegsOfPowerOfTwoSizes) {
  for (const char *name : {"bgcomplete.jpg", "logotextcomplete.jpg", "flare.jpg", "tunnel.jpg"}) {
    JpegImage image;
    ASSERT_NO_FATAL_FAILURE(loadThreeComponentJpeg(bakedFile(name), image)) << name;
    EXPECT_TRUE(powerOfTwo(image.width) && powerOfTwo(image.height)) << name;
  }
}

// --- The whole group -------------------------------------------------------------------

TEST_F(LogoData, BakingAgainWritesTheSameFilesByteForByte) {
  std::vector<std::string> names;
  expectBakingAgainWritesTheSameBytes(bake::bakeLogo, names);
  EXPECT_EQ(names, (std::vector<std::string>{"bgcomplete.jpg", "flare.jpg", "logoscene.gsp", "logotextcomplete.jpg",
                                             "tunnel.ebr", "tunnel.jpg"}));
}

class LogoDataGL : public BakedDataGLTest {};

// The card drawn the way the scene draws it (unlit, its own textures, culling
// off) through the camera at the turn fills the middle of the screen.
TEST_F(LogoDataGL, TheCardFillsTheMiddleOfTheScreenAtTheTurn) {
  Scene scene("data/logoscene.gsp");
  scene.prepare(true);
  auto *camera = dynamic_cast<CameraNode *>(scene.findNode("Camera01"));
  auto *card = dynamic_cast<MeshNode *>(scene.findNode("Box03"));
  auto *logo = dynamic_cast<MeshNode *>(scene.findNode("Text08"));
  ASSERT_TRUE(camera && card && logo);
  Texture backdrop("data/bgcomplete.jpg", 0), lettering("data/logotextcomplete.jpg", 0);
  ASSERT_NE(backdrop.textureId, 0u);
  ASSERT_NE(lettering.textureId, 0u);
  glDisable(GL_CULL_FACE);
  scene.update(kTurnSceneTime, *camera);
  backdrop.bind();
  scene.drawNode(*card, true);
  lettering.bind();
  scene.drawNode(*logo, true);
  lettering.unbind();
  EXPECT_EQ(takeGlError(), 0u);
  int lit = 0, samples = 0;
  for (int y = 200; y < 400; y += 10)
    for (int x = 250; x < 550; x += 10, ++samples) {
      Rgb p = pixel(x, y);
      lit += (p.r + p.g + p.b) > 30;
    }
  EXPECT_EQ(lit, samples);
}

} // namespace
} // namespace demo::test
