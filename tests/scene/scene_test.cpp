#include "scene/scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/matrix_checks.h"

namespace demo::test {
namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

NodeKey positionKey(int32_t time, float x, float y = 0.f, float z = 0.f) {
  NodeKey k;
  k.time = time;
  k.position = Vec3{x, y, z};
  return k;
}

NodeKey rotationKey(int32_t time, Quat q) {
  NodeKey k;
  k.time = time;
  k.rotation = q;
  return k;
}

SceneNode &addNamed(SceneNode &parent, const std::string &name, std::unique_ptr<SceneNode> node = nullptr) {
  if (!node)
    node = std::make_unique<SceneNode>();
  node->name = name;
  return parent.addChild(std::move(node));
}

// Half of a right angle about z, as (x, y, z, w).
const float kHalf = std::sqrt(0.5f);

// ---- construction ----------------------------------------------------------------

TEST(SceneNodeBasics, DefaultsAreTheIdentityTransformWithoutKeys) {
  SceneNode node;
  for (const NodeKey *k : {&node.rest, &node.current}) {
    expectVec(k->position, 0.f, 0.f, 0.f, 0.f);
    EXPECT_EQ(k->rotation.w, 1.f);
    EXPECT_EQ(k->rotation.x, 0.f);
    expectVec(k->scale, 1.f, 1.f, 1.f, 0.f);
  }
  EXPECT_EQ(node.positionKeyCount, 0);
  EXPECT_EQ(node.rotationKeyCount, 0);
  EXPECT_EQ(node.childCount, 0);
  EXPECT_FALSE(node.name.has_value());
  EXPECT_EQ(LightNode().type, 1);
  EXPECT_EQ(MeshNode().type, 2);
  EXPECT_EQ(CameraNode().type, 4);

  Scene scene;
  EXPECT_EQ(scene.name, std::optional<std::string>("Scene"));
  expectVec(scene.up, 0.f, 1.f, 0.f, 0.f);
  EXPECT_EQ(scene.aspect, 4.f / 3.f);
  EXPECT_FLOAT_EQ(scene.aspect, 1.3333334f);
}

TEST(SceneNodeBasics, HelpersKeepEveryCountInStepWithItsArray) {
  Scene scene;
  SceneNode &a = addNamed(scene, "a");
  addNamed(scene, "b");
  EXPECT_EQ(scene.childCount, 2);
  a.setPositionKeys({positionKey(0, 1.f), positionKey(1, 2.f), positionKey(2, 3.f)});
  a.setRotationKeys({rotationKey(0, Quat{0, 0, 0, 1})});
  EXPECT_EQ(a.positionKeyCount, 3);
  EXPECT_EQ(a.rotationKeyCount, 1);
  auto &mesh = dynamic_cast<MeshNode &>(addNamed(scene, "m", std::make_unique<MeshNode>()));
  mesh.resizeVertices(5);
  EXPECT_EQ(mesh.vertexCount, 5);
  EXPECT_EQ(mesh.positions.size(), 5u);
  EXPECT_EQ(mesh.normals.size(), 5u);
  EXPECT_EQ(mesh.texCoords.size(), 10u);
  EXPECT_EQ(mesh.texCoords1.size(), 10u);
  Submesh s;
  s.setIndices({0, 1, 2, 2, 3, 4});
  EXPECT_EQ(s.indexCount, 6);
  mesh.addSubmesh(std::move(s));
  EXPECT_EQ(mesh.submeshCount, 1);
  scene.addMaterial(std::make_unique<Material>());
  EXPECT_EQ(scene.materialCount, 1);
  scene.lightCount = 2;
  scene.clearContents();
  EXPECT_EQ(scene.childCount, 0);
  EXPECT_EQ(scene.materialCount, 0);
  EXPECT_EQ(scene.lightCount, 0);
  EXPECT_EQ(scene.findNode("Scene"), &scene);
}

// ---- findNode ----------------------------------------------------------------------

TEST(SceneFind, TheRootIsCalledSceneAndMissingNamesFindNothing) {
  Scene scene;
  addNamed(scene, "Box03");
  EXPECT_EQ(scene.findNode("Scene"), &scene);
  EXPECT_EQ(scene.findNode("box03"), nullptr) << "names compare case-sensitively";
  EXPECT_EQ(scene.findNode("Box0"), nullptr);
  EXPECT_EQ(scene.findNode("Box033"), nullptr);
  EXPECT_EQ(scene.findNode("Nowhere"), nullptr);
}

TEST(SceneFind, DuplicateNamesGiveTheFirstMetDepthFirst) {
  Scene scene;
  SceneNode &a = addNamed(scene, "A");
  SceneNode &b = addNamed(a, "B");
  SceneNode &deep = addNamed(b, "X");
  addNamed(a, "X");     // shallower, but after B's subtree
  addNamed(scene, "X"); // a top-level node, later still
  EXPECT_EQ(scene.findNode("X"), &deep);

  SceneNode &parent = addNamed(scene, "P");
  addNamed(parent, "P");
  EXPECT_EQ(scene.findNode("P"), &parent) << "a parent comes before its children";
}

TEST(SceneFind, AbsentNamesNeverMatchButAnEmptyNameDoes) {
  Scene scene;
  scene.addChild(std::make_unique<SceneNode>()); // absent name
  EXPECT_EQ(scene.findNode(""), nullptr);
  SceneNode &empty = addNamed(scene, "");
  EXPECT_EQ(scene.findNode(""), &empty);
}

// ---- animation -----------------------------------------------------------------------

TEST(SceneAnimate, PositionBlendsInsideAnInterval) {
  SceneNode node;
  node.setPositionKeys({positionKey(0, 0.f), positionKey(3000, 10.f)});
  node.animate(0.5f);
  expectVec(node.current.position, 5.f, 0.f, 0.f);
  node.animate(0.25f);
  expectVec(node.current.position, 2.5f, 0.f, 0.f);
}

TEST(SceneAnimate, TracksHoldTheNearestKeyOutsideEveryOpenInterval) {
  SceneNode node;
  node.setPositionKeys({positionKey(-3000, 1.f), positionKey(0, 2.f), positionKey(3000, 3.f)});
  const std::pair<float, float> cases[] = {
      {-5.f, 1.f}, // before the first key
      {-1.f, 1.f}, // exactly at the first key
      {0.f, 2.f},  // exactly at the interior key
      {1.f, 3.f},  // exactly at the last key
      {9.f, 3.f},  // after the last key
  };
  for (auto [time, x] : cases) {
    node.animate(time);
    EXPECT_EQ(node.current.position.x, x) << "time " << time;
  }
}

TEST(SceneAnimate, ASingleKeyGivesItsValueAtAnyTime) {
  SceneNode node;
  node.setPositionKeys({positionKey(600, 7.f, 8.f, 9.f)});
  node.setRotationKeys({rotationKey(600, Quat{0.f, 0.f, kHalf, kHalf})});
  for (float time : {-1.f, 0.f, 0.2f, 0.3f}) {
    node.current = NodeKey();
    node.animate(time);
    expectVec(node.current.position, 7.f, 8.f, 9.f, 0.f);
    EXPECT_EQ(node.current.rotation.z, kHalf);
    EXPECT_EQ(node.current.rotation.w, kHalf);
  }
}

TEST(SceneAnimate, TickIsComputedInDoublePrecision) {
  // 3000 x 0.1f is 300.0000045 in double but exactly 300 in float: the node
  // must already have left the key at 300 for the next one.
  SceneNode node;
  node.setPositionKeys({positionKey(0, 0.f), positionKey(300, 0.f), positionKey(600, 3e8f)});
  node.animate(0.1f);
  const double t = 3000.0 * static_cast<double>(0.1f);
  const double expected = (t - 300.0) / 300.0 * 3e8;
  EXPECT_GT(node.current.position.x, 1.f);
  EXPECT_NEAR(node.current.position.x, expected, 1e-3 * expected);
}

TEST(SceneAnimate, FractionIsCappedAtOneWhereFloatTimesRoundUp) {
  // Large key times round to float. Find a time whose tick T lies between an
  // integer key time t1 and float(t1) > T: the open-interval test (on floats)
  // accepts T, but (T - t0) / (t1 - t0) from the integers exceeds 1.
  float time = 100000.f;
  int32_t t1 = 0;
  for (int i = 0; i < 100000; ++i, time = std::nextafter(time, 1e9f)) {
    const double tick = 3000.0 * static_cast<double>(time);
    const auto candidate = static_cast<int32_t>(std::floor(tick));
    if (static_cast<double>(static_cast<float>(candidate)) > tick && tick > candidate) {
      t1 = candidate;
      break;
    }
  }
  ASSERT_NE(t1, 0) << "no suitable time found";
  SceneNode node;
  const auto t0 = static_cast<int32_t>(static_cast<float>(t1 - 1000)); // a float-exact time below
  node.setPositionKeys({positionKey(t0, 0.f), positionKey(t1, 100.f), positionKey(t1 + 100000, 1e6f)});
  node.animate(time);
  EXPECT_EQ(node.current.position.x, 100.f) << "f must stop at 1, not run past the key";
}

TEST(SceneAnimate, RotationSlerpsAndPositionOnlyTracksKeepTheRestRotation) {
  SceneNode turning;
  turning.setRotationKeys({rotationKey(0, Quat{0.f, 0.f, 0.f, 1.f}), rotationKey(3000, Quat{0.f, 0.f, kHalf, kHalf})});
  turning.animate(0.5f);
  // Half way to a quarter turn about z is an eighth turn.
  EXPECT_NEAR(turning.current.rotation.z, std::sin(3.14159265f / 8.f), 1e-5f);
  EXPECT_NEAR(turning.current.rotation.w, std::cos(3.14159265f / 8.f), 1e-5f);

  SceneNode moving;
  NodeKey rest;
  rest.rotation = Quat{0.6f, 0.f, 0.f, 0.8f};
  rest.scale = Vec3{2.f, 3.f, 4.f};
  moving.setRestTransform(rest);
  moving.setPositionKeys({positionKey(0, 0.f), positionKey(3000, 10.f)});
  moving.current.scale = Vec3{9.f, 9.f, 9.f};
  moving.animate(0.5f);
  EXPECT_EQ(moving.current.rotation.x, 0.6f);
  EXPECT_EQ(moving.current.rotation.w, 0.8f);
  expectVec(moving.current.scale, 2.f, 3.f, 4.f, 0.f);
}

TEST(SceneAnimate, NodesWithoutKeysKeepTheirTransformButScaleFollowsRest) {
  Scene scene;
  SceneNode &still = addNamed(scene, "still");
  NodeKey rest;
  rest.position = Vec3{1.f, 2.f, 3.f};
  rest.scale = Vec3{5.f, 5.f, 5.f};
  still.setRestTransform(rest);
  still.current.position = Vec3{7.f, 7.f, 7.f}; // whatever it was left at
  still.current.scale = Vec3{0.f, 0.f, 0.f};
  SceneNode &child = addNamed(still, "child");
  child.setPositionKeys({positionKey(0, 0.f), positionKey(3000, 30.f)});
  scene.animate(1.f / 3.f);
  expectVec(still.current.position, 7.f, 7.f, 7.f, 0.f);
  expectVec(still.current.scale, 5.f, 5.f, 5.f, 0.f);
  expectVec(child.current.position, 10.f, 0.f, 0.f, 1e-4f);
}

// ---- world matrices ----------------------------------------------------------------

TEST(SceneWorld, ScaleThenRotateThenTranslateThenTheParent) {
  Scene scene;
  SceneNode &parent = addNamed(scene, "parent");
  NodeKey p;
  p.position = Vec3{10.f, 0.f, 0.f};
  p.rotation = Quat{0.f, 0.f, kHalf, kHalf}; // turns x to -y (the matrix is the transposed one)
  parent.setRestTransform(p);
  SceneNode &child = addNamed(parent, "child");
  NodeKey c;
  c.position = Vec3{1.f, 0.f, 0.f};
  c.rotation = Quat{0.f, 0.f, kHalf, kHalf};
  c.scale = Vec3{2.f, 1.f, 1.f};
  child.setRestTransform(c);
  scene.updateTransforms();

  // Parent alone: (1, 0, 0) -> rotate (0, -1, 0) -> translate (10, -1, 0).
  expectVec(apply(parent.world, 1.f, 0.f, 0.f), 10.f, -1.f, 0.f);
  // Child: (1, 0, 0) -> scale (2, 0, 0) -> rotate (0, -2, 0) -> translate
  // (1, -2, 0) -> parent: rotate (-2, -1, 0) -> translate (8, -1, 0).
  expectVec(apply(child.world, 1.f, 0.f, 0.f), 8.f, -1.f, 0.f);
  // Scale acts along the child's own x before its rotation: (0, 1, 0) is
  // not stretched -> rotate (1, 0, 0) -> (2, 0, 0) -> parent (10, -2, 0).
  expectVec(apply(child.world, 0.f, 1.f, 0.f), 10.f, -2.f, 0.f);
}

TEST(SceneWorld, RootWorldIsIdentityAndTopLevelWorldsAreLocal) {
  Scene scene;
  SceneNode &top = addNamed(scene, "top");
  NodeKey k;
  k.position = Vec3{1.f, 2.f, 3.f};
  top.setRestTransform(k);
  scene.lightCount = 7;
  scene.updateTransforms();
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(scene.world[i], identity()[i]);
  expectVec(apply(top.world, 0.f, 0.f, 0.f), 1.f, 2.f, 3.f, 0.f);
  EXPECT_EQ(scene.lightCount, 0) << "each pass hands out lights from 0";
}

TEST(SceneWorld, WorldFollowsTheAnimatedTransform) {
  Scene scene;
  SceneNode &mover = addNamed(scene, "mover");
  mover.setPositionKeys({positionKey(0, 0.f), positionKey(3000, 0.f, 10.f)});
  SceneNode &rider = addNamed(mover, "rider");
  NodeKey k;
  k.position = Vec3{0.f, 0.f, 1.f};
  rider.setRestTransform(k);
  scene.animate(0.5f);
  scene.updateTransforms();
  expectVec(apply(rider.world, 0.f, 0.f, 0.f), 0.f, 5.f, 1.f);
}

// ---- prepare, cameras, up vector ------------------------------------------------------

TEST(ScenePrepare, CamerasFindTheirTargetsAndMissingOnesAreReportedOnce) {
  Scene scene;
  scene.path = "s.gsp";
  SceneNode &target = addNamed(scene, "Target");
  addNamed(target, "Target"); // a duplicate further down: the first wins
  auto &good = dynamic_cast<CameraNode &>(addNamed(scene, "Cam1", std::make_unique<CameraNode>()));
  good.targetName = "Target";
  SceneNode &holder = addNamed(scene, "holder");
  auto &lost = dynamic_cast<CameraNode &>(addNamed(holder, "Cam2", std::make_unique<CameraNode>()));
  lost.targetName = "Nobody";
  auto &none = dynamic_cast<CameraNode &>(addNamed(scene, "Cam3", std::make_unique<CameraNode>()));

  CaptureStderr();
  scene.prepare(false);
  scene.prepare(false);
  EXPECT_EQ(GetCapturedStderr(), "s.gsp: camera \"Cam2\" has no target \"Nobody\"\n"
                                 "s.gsp: camera \"Cam3\" has no target \"\"\n");
  EXPECT_EQ(good.target, &target);
  EXPECT_EQ(lost.target, nullptr);
  EXPECT_EQ(none.target, nullptr);
}

TEST(ScenePrepare, WithoutTexturesNoMaterialGetsOne) {
  Scene scene;
  Material &m = scene.addMaterial(std::make_unique<Material>());
  m.textureNames[0] = "data/never-loaded.png";
  scene.prepare(false);
  EXPECT_EQ(m.texture0, nullptr);
  EXPECT_EQ(m.texture1, nullptr);
}

TEST(SceneUp, SetUpVectorResetsTheAspect) {
  Scene scene;
  scene.aspect = 16.f / 9.f;
  scene.setUpVector(0.f, 0.f, 1.f);
  expectVec(scene.up, 0.f, 0.f, 1.f, 0.f);
  EXPECT_EQ(scene.aspect, 4.f / 3.f);
}

// ---- accessors -----------------------------------------------------------------------

TEST(SceneAccess, NodePositionIsTheRestPositionWhateverTheAnimation) {
  Scene scene;
  SceneNode &n = addNamed(scene, "n");
  NodeKey k;
  k.position = Vec3{4.f, 5.f, 6.f};
  n.setRestTransform(k);
  n.setPositionKeys({positionKey(0, 100.f)});
  scene.animate(0.f);
  expectVec(scene.nodePosition(n), 4.f, 5.f, 6.f, 0.f);
}

TEST(SceneAccess, MeshArraysAndSubmeshIndicesWithOutOfRangeSubmeshes) {
  Scene scene;
  MeshNode mesh;
  mesh.resizeVertices(3);
  mesh.positions[1] = Vec3{1.f, 2.f, 3.f};
  mesh.normals[2] = Vec3{0.f, 0.f, 1.f};
  mesh.texCoords[5] = 0.5f;
  for (uint32_t first : {0u, 1u}) {
    Submesh s;
    s.setIndices(std::vector<uint32_t>(3 + 3 * first, first));
    mesh.addSubmesh(std::move(s));
  }
  EXPECT_EQ(&scene.meshVertices(mesh), &mesh.positions);
  EXPECT_EQ(scene.meshVertices(mesh)[1].y, 2.f);
  EXPECT_EQ(scene.meshNormals(mesh)[2].z, 1.f);
  EXPECT_EQ(scene.meshTexCoords(mesh)[5], 0.5f);
  EXPECT_EQ(scene.submeshIndexCount(mesh, 0), 3);
  EXPECT_EQ(scene.submeshIndexCount(mesh, 1), 6);
  EXPECT_EQ(scene.submeshIndices(mesh, 1), mesh.submeshes[1].indices.data());
  EXPECT_EQ(scene.submeshIndices(mesh, 1)[5], 1u);
  for (int32_t outside : {-1, 2, 1000}) {
    EXPECT_EQ(scene.submeshIndexCount(mesh, outside), 0);
    EXPECT_EQ(scene.submeshIndices(mesh, outside), nullptr);
  }
}

} // namespace
} // namespace demo::test
