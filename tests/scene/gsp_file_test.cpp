#include "scene/gsp_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/byte_reader.h"
#include "support/test_files.h"

namespace demo::test {
namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

// Writes GSP files field by field, independently of the writer under test,
// and remembers where chosen fields sit so that tests can damage them.
class GspBuilder {
public:
  std::vector<uint8_t> &bytes() { return out_.bytes(); }
  size_t at(const std::string &field) const { return marks_.at(field); }
  void mark(const std::string &field) { marks_[field] = out_.bytes().size(); }

  void header(int32_t nodes, int32_t materials) {
    out_.raw("GSP", 3);
    out_.i32(1);
    mark("N");
    out_.i32(nodes);
    mark("M");
    out_.i32(materials);
  }

  void string(const std::optional<std::string> &s, const std::string &field = "") {
    if (!field.empty())
      mark(field);
    out_.i32(s ? static_cast<int32_t>(s->size()) : 0);
    if (s)
      out_.raw(s->data(), s->size());
  }

  void vec3(float x, float y, float z) {
    out_.f32(x);
    out_.f32(y);
    out_.f32(z);
  }

  // Name, rest transform, both tracks and the type: everything before the
  // payload. Keys: times with positions (x, 0, 0) and rotations about z.
  void nodeHead(const std::optional<std::string> &name, int32_t type, const std::vector<int32_t> &positionTimes = {},
                const std::vector<int32_t> &rotationTimes = {}, Vec3 restPosition = {1.f, 2.f, 3.f}) {
    string(name, "name");
    vec3(restPosition.x, restPosition.y, restPosition.z);
    out_.f32(0.f);
    out_.f32(0.f);
    out_.f32(0.6f);
    out_.f32(0.8f);
    vec3(1.f, 2.f, 4.f);
    mark("P");
    out_.i32(static_cast<int32_t>(positionTimes.size()));
    for (size_t i = 0; i < positionTimes.size(); ++i) {
      out_.i32(positionTimes[i]);
      vec3(static_cast<float>(i) * 10.f, 0.f, 0.f);
    }
    mark("R");
    out_.i32(static_cast<int32_t>(rotationTimes.size()));
    for (size_t i = 0; i < rotationTimes.size(); ++i) {
      out_.i32(rotationTimes[i]);
      out_.f32(0.f);
      out_.f32(0.f);
      out_.f32(static_cast<float>(i) * 0.6f);
      out_.f32(i == 0 ? 1.f : 0.8f);
    }
    out_.i32(type);
  }

  void children(int32_t count) {
    mark("C");
    out_.i32(count);
  }

  void light(float r, float g, float b, float multiplier, uint8_t enabled) {
    out_.u32(0x11223344u);
    vec3(r, g, b);
    out_.f32(multiplier);
    out_.u32(0x55667788u);
    out_.u32(0x99aabbccu);
    out_.u32(0xddeeff00u);
    out_.u8(0x7f);
    out_.u8(enabled);
  }

  // A mesh of `vertices` vertices: vertex i at (i, 0, 0), normal (0, 0, 1),
  // uv set 0 (i, 0.25) and set 1 (0.5, 0.25).
  void meshHead(int32_t vertices, int32_t submeshes) {
    out_.u8(0x42);
    mark("V");
    out_.i32(vertices);
    mark("S");
    out_.i32(submeshes);
    for (int32_t i = 0; i < vertices; ++i)
      vec3(static_cast<float>(i), 0.f, 0.f);
    for (int32_t i = 0; i < vertices; ++i)
      vec3(0.f, 0.f, 1.f);
    for (int32_t i = 0; i < vertices; ++i) {
      out_.f32(static_cast<float>(i));
      out_.f32(0.25f);
    }
    for (int32_t i = 0; i < vertices; ++i) {
      out_.f32(0.5f);
      out_.f32(0.25f);
    }
  }

  void submesh(int32_t material, const std::vector<uint32_t> &indices) {
    mark("K");
    out_.i32(static_cast<int32_t>(indices.size()));
    mark("material");
    out_.i32(material);
    mark("indices");
    for (uint32_t index : indices)
      out_.u32(index);
  }

  void camera(float fov, const std::optional<std::string> &target) {
    out_.u32(0xcafef00du);
    out_.u32(0x0badbeefu);
    out_.f32(fov);
    string(target, "target");
  }

  void material(float specularLevel, const std::vector<std::optional<std::string>> &textures) {
    mark("material record");
    vec3(0.1f, 0.2f, 0.3f);
    vec3(0.4f, 0.5f, 0.6f);
    vec3(1.f, 1.f, 1.f);
    vec3(0.f, 0.25f, 0.5f);
    out_.f32(7.f);
    out_.f32(0.25f);
    out_.f32(specularLevel);
    for (const auto &name : textures)
      string(name);
  }

  void putI32(const std::string &field, int32_t value) {
    std::vector<uint8_t> &b = out_.bytes();
    const uint32_t u = static_cast<uint32_t>(value);
    for (int k = 0; k < 4; ++k)
      b[at(field) + static_cast<size_t>(k)] = static_cast<uint8_t>(u >> (8 * k));
  }

private:
  ByteWriter out_;
  std::map<std::string, size_t> marks_;
};

const std::optional<std::string> kAbsent;
const std::vector<std::optional<std::string>> kNoTextures(4, kAbsent);
const std::string kCorrupt = "test.gsp: corrupt or truncated file\n";

// One mesh node of `vertices` vertices and a single submesh, then `materials`
// materials without textures.
GspBuilder oneMeshFile(int32_t materials, int32_t material, const std::vector<uint32_t> &indices,
                       int32_t vertices = 3) {
  GspBuilder b;
  b.header(1, materials);
  b.nodeHead("Mesh", 2);
  b.meshHead(vertices, 1);
  b.submesh(material, indices);
  b.children(0);
  for (int32_t i = 0; i < materials; ++i)
    b.material(1.f, kNoTextures);
  return b;
}

// Every node type, nested children and lights, a camera with its target, a
// mesh of two submeshes, absent and present strings, two materials. Nothing in
// it changes when read (v of set 0 flips exactly, levels are in range,
// material indices are not negative), so writing it back gives these bytes.
std::vector<uint8_t> sampleFile() {
  GspBuilder b;
  b.header(2, 2);
  b.nodeHead("Root", 0, {0, 3000}, {0});
  b.children(4);
  b.nodeHead("Lamp", 1);
  b.light(1.f, 0.5f, 0.f, 2.f, 1);
  b.children(1);
  b.nodeHead("Inner", 1, {0});
  b.light(0.f, 0.f, 1.f, 1.f, 0);
  b.children(0);
  b.nodeHead("Box", 2);
  b.meshHead(4, 2);
  b.submesh(1, {0, 1, 2});
  b.submesh(0, {1, 3, 2});
  b.children(0);
  b.nodeHead("Cam", 4, {0, 1500, 3000});
  b.camera(50.f, "Box");
  b.children(0);
  b.nodeHead(kAbsent, 6);
  b.children(1);
  b.nodeHead("Deep", 9);
  b.children(0);
  b.nodeHead("Top", 3);
  b.children(2);
  b.nodeHead("Five", 5);
  b.children(0);
  b.nodeHead("Seven", 7);
  b.children(0);
  b.material(0.5f, {"a.png", kAbsent, "c.jpg", kAbsent});
  b.material(128.f, {kAbsent, kAbsent, kAbsent, "d"});
  return b.bytes();
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void expectSameKey(const NodeKey &a, const NodeKey &b) {
  EXPECT_EQ(a.time, b.time);
  for (auto [x, y] : {std::pair{a.position.x, b.position.x}, std::pair{a.position.y, b.position.y},
                      std::pair{a.position.z, b.position.z}, std::pair{a.rotation.x, b.rotation.x},
                      std::pair{a.rotation.y, b.rotation.y}, std::pair{a.rotation.z, b.rotation.z},
                      std::pair{a.rotation.w, b.rotation.w}, std::pair{a.scale.x, b.scale.x},
                      std::pair{a.scale.y, b.scale.y}, std::pair{a.scale.z, b.scale.z}})
    EXPECT_TRUE(sameBits(x, y)) << x << " vs " << y;
}

void expectSameFloats(const std::vector<float> &a, const std::vector<float> &b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i)
    EXPECT_TRUE(sameBits(a[i], b[i])) << "element " << i << ": " << a[i] << " vs " << b[i];
}

std::vector<float> flatten(const std::vector<Vec3> &v) {
  std::vector<float> f;
  for (const Vec3 &p : v)
    f.insert(f.end(), {p.x, p.y, p.z});
  return f;
}

// Two trees hold the same data, field by field and class by class.
void expectSameNode(const SceneNode &a, const SceneNode &b) {
  SCOPED_TRACE(a.name ? *a.name : std::string("(absent)"));
  EXPECT_EQ(a.name, b.name);
  EXPECT_EQ(a.type, b.type);
  expectSameKey(a.rest, b.rest);
  expectSameKey(a.current, b.current);
  ASSERT_EQ(a.positionKeyCount, b.positionKeyCount);
  ASSERT_EQ(a.rotationKeyCount, b.rotationKeyCount);
  ASSERT_EQ(a.positionKeys.size(), b.positionKeys.size());
  ASSERT_EQ(a.rotationKeys.size(), b.rotationKeys.size());
  for (size_t i = 0; i < a.positionKeys.size(); ++i)
    expectSameKey(a.positionKeys[i], b.positionKeys[i]);
  for (size_t i = 0; i < a.rotationKeys.size(); ++i)
    expectSameKey(a.rotationKeys[i], b.rotationKeys[i]);
  const auto *la = dynamic_cast<const LightNode *>(&a);
  const auto *lb = dynamic_cast<const LightNode *>(&b);
  ASSERT_EQ(la == nullptr, lb == nullptr);
  if (la) {
    EXPECT_EQ(la->word0, lb->word0);
    EXPECT_EQ(la->word1, lb->word1);
    EXPECT_EQ(la->word2, lb->word2);
    EXPECT_EQ(la->word3, lb->word3);
    EXPECT_EQ(la->flag, lb->flag);
    EXPECT_EQ(la->enabled, lb->enabled);
    expectSameFloats({la->colour.x, la->colour.y, la->colour.z, la->multiplier},
                     {lb->colour.x, lb->colour.y, lb->colour.z, lb->multiplier});
  }
  const auto *ma = dynamic_cast<const MeshNode *>(&a);
  const auto *mb = dynamic_cast<const MeshNode *>(&b);
  ASSERT_EQ(ma == nullptr, mb == nullptr);
  if (ma) {
    EXPECT_EQ(ma->flag, mb->flag);
    EXPECT_EQ(ma->vertexCount, mb->vertexCount);
    expectSameFloats(flatten(ma->positions), flatten(mb->positions));
    expectSameFloats(flatten(ma->normals), flatten(mb->normals));
    expectSameFloats(ma->texCoords, mb->texCoords);
    expectSameFloats(ma->texCoords1, mb->texCoords1);
    ASSERT_EQ(ma->submeshCount, mb->submeshCount);
    ASSERT_EQ(ma->submeshes.size(), mb->submeshes.size());
    for (size_t i = 0; i < ma->submeshes.size(); ++i) {
      EXPECT_EQ(ma->submeshes[i].indexCount, mb->submeshes[i].indexCount);
      EXPECT_EQ(ma->submeshes[i].materialIndex, mb->submeshes[i].materialIndex);
      EXPECT_EQ(ma->submeshes[i].indices, mb->submeshes[i].indices);
    }
  }
  const auto *ca = dynamic_cast<const CameraNode *>(&a);
  const auto *cb = dynamic_cast<const CameraNode *>(&b);
  ASSERT_EQ(ca == nullptr, cb == nullptr);
  if (ca) {
    EXPECT_EQ(ca->word0, cb->word0);
    EXPECT_EQ(ca->word1, cb->word1);
    EXPECT_TRUE(sameBits(ca->fov, cb->fov));
    EXPECT_EQ(ca->targetName, cb->targetName);
  }
  ASSERT_EQ(a.childCount, b.childCount);
  ASSERT_EQ(a.children.size(), b.children.size());
  for (size_t i = 0; i < a.children.size(); ++i)
    expectSameNode(*a.children[i], *b.children[i]);
}

void expectSameScene(const Scene &a, const Scene &b) {
  ASSERT_EQ(a.childCount, b.childCount);
  ASSERT_EQ(a.children.size(), b.children.size());
  for (size_t i = 0; i < a.children.size(); ++i)
    expectSameNode(*a.children[i], *b.children[i]);
  ASSERT_EQ(a.materialCount, b.materialCount);
  ASSERT_EQ(a.materials.size(), b.materials.size());
  for (size_t i = 0; i < a.materials.size(); ++i) {
    const Material &x = *a.materials[i];
    const Material &y = *b.materials[i];
    for (auto [p, q] : {std::pair{&x.ambient, &y.ambient}, std::pair{&x.diffuse, &y.diffuse},
                        std::pair{&x.specular, &y.specular}, std::pair{&x.emission, &y.emission}})
      expectSameFloats({p->begin(), p->end()}, {q->begin(), q->end()});
    expectSameFloats({x.value, x.glossiness, x.specularLevel}, {y.value, y.glossiness, y.specularLevel});
    EXPECT_EQ(x.textureNames, y.textureNames);
  }
}

void expectEmpty(const Scene &scene) {
  EXPECT_EQ(scene.childCount, 0);
  EXPECT_TRUE(scene.children.empty());
  EXPECT_EQ(scene.materialCount, 0);
  EXPECT_TRUE(scene.materials.empty());
  EXPECT_EQ(scene.name, std::optional<std::string>("Scene"));
}

// Parses bytes, returning what went to stderr.
std::string parseCapturing(const std::vector<uint8_t> &bytes, Scene &scene, bool *ok = nullptr) {
  CaptureStderr();
  const bool result = parseGsp(bytes, "test.gsp", scene);
  if (ok)
    *ok = result;
  return GetCapturedStderr();
}

// Reading the bytes fails as corrupt and leaves only the root.
void expectCorrupt(const std::vector<uint8_t> &bytes, Scene &scene) {
  EXPECT_EQ(parseCapturing(bytes, scene), kCorrupt);
  expectEmpty(scene);
}

// ---- well-formed files --------------------------------------------------------

TEST(GspRead, EveryNodeTypeLoadsWithItsPayloadAndChildrenInFileOrder) {
  Scene scene;
  ASSERT_TRUE(parseGsp(sampleFile(), "sample.gsp", scene));
  EXPECT_EQ(scene.path, "sample.gsp");
  ASSERT_EQ(scene.childCount, 2);
  const SceneNode &root = *scene.children[0];
  EXPECT_EQ(root.name, std::optional<std::string>("Root"));
  ASSERT_EQ(root.childCount, 4);

  const auto *lamp = dynamic_cast<const LightNode *>(root.children[0].get());
  ASSERT_NE(lamp, nullptr);
  EXPECT_EQ(lamp->type, 1);
  EXPECT_EQ(lamp->word0, 0x11223344u);
  EXPECT_EQ(lamp->word1, 0x55667788u);
  EXPECT_EQ(lamp->word2, 0x99aabbccu);
  EXPECT_EQ(lamp->word3, 0xddeeff00u);
  EXPECT_EQ(lamp->flag, 0x7f);
  EXPECT_EQ(lamp->enabled, 1);
  EXPECT_FLOAT_EQ(lamp->colour.y, 0.5f);
  EXPECT_FLOAT_EQ(lamp->multiplier, 2.f);
  ASSERT_EQ(lamp->childCount, 1);
  const auto *inner = dynamic_cast<const LightNode *>(lamp->children[0].get());
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->enabled, 0);

  const auto *box = dynamic_cast<const MeshNode *>(root.children[1].get());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->flag, 0x42);
  EXPECT_EQ(box->vertexCount, 4);
  ASSERT_EQ(box->positions.size(), 4u);
  EXPECT_FLOAT_EQ(box->positions[3].x, 3.f);
  EXPECT_FLOAT_EQ(box->normals[2].z, 1.f);
  ASSERT_EQ(box->submeshCount, 2);
  EXPECT_EQ(box->submeshes[0].materialIndex, 1);
  EXPECT_EQ(box->submeshes[1].indexCount, 3);
  EXPECT_EQ(box->submeshes[1].indices, (std::vector<uint32_t>{1, 3, 2}));

  const auto *cam = dynamic_cast<const CameraNode *>(root.children[2].get());
  ASSERT_NE(cam, nullptr);
  EXPECT_EQ(cam->word0, 0xcafef00du);
  EXPECT_EQ(cam->word1, 0x0badbeefu);
  EXPECT_FLOAT_EQ(cam->fov, 50.f);
  EXPECT_EQ(cam->targetName, std::optional<std::string>("Box"));
  EXPECT_EQ(cam->target, nullptr) << "targets are found by prepare, not while reading";
  EXPECT_EQ(cam->positionKeyCount, 3);
  EXPECT_EQ(cam->positionKeys[1].time, 1500);
  EXPECT_FLOAT_EQ(cam->positionKeys[2].position.x, 20.f);
}

TEST(GspRead, TypesWithoutPayloadArePlainNodesThatKeepTheirType) {
  Scene scene;
  ASSERT_TRUE(parseGsp(sampleFile(), "sample.gsp", scene));
  const SceneNode &six = *scene.children[0]->children[3];
  EXPECT_EQ(six.type, 6);
  EXPECT_FALSE(six.name.has_value());
  // Type 6 consumed no payload bytes, so its child count was read next.
  ASSERT_EQ(six.childCount, 1);
  EXPECT_EQ(six.children[0]->type, 9);
  EXPECT_EQ(six.children[0]->name, std::optional<std::string>("Deep"));
  const SceneNode &top = *scene.children[1];
  EXPECT_EQ(top.type, 3);
  ASSERT_EQ(top.childCount, 2);
  EXPECT_EQ(top.children[0]->type, 5);
  EXPECT_EQ(top.children[1]->type, 7);
  for (const SceneNode *node : std::vector<const SceneNode *>{&six, six.children[0].get(), &top, top.children[0].get(),
                                                             top.children[1].get()}) {
    EXPECT_EQ(dynamic_cast<const LightNode *>(node), nullptr);
    EXPECT_EQ(dynamic_cast<const MeshNode *>(node), nullptr);
    EXPECT_EQ(dynamic_cast<const CameraNode *>(node), nullptr);
  }
}

TEST(GspRead, RestAndCurrentTransformsBothComeFromTheFileAndTracksKeepTheirTimes) {
  Scene scene;
  ASSERT_TRUE(parseGsp(sampleFile(), "sample.gsp", scene));
  const SceneNode &root = *scene.children[0];
  for (const NodeKey *key : {&root.rest, &root.current}) {
    EXPECT_FLOAT_EQ(key->position.z, 3.f);
    EXPECT_FLOAT_EQ(key->rotation.z, 0.6f);
    EXPECT_FLOAT_EQ(key->rotation.w, 0.8f);
    EXPECT_FLOAT_EQ(key->scale.z, 4.f);
  }
  ASSERT_EQ(root.positionKeyCount, 2);
  EXPECT_EQ(root.positionKeys[1].time, 3000);
  EXPECT_FLOAT_EQ(root.positionKeys[1].position.x, 10.f);
  ASSERT_EQ(root.rotationKeyCount, 1);
  EXPECT_FLOAT_EQ(root.rotationKeys[0].rotation.w, 1.f);
}

TEST(GspRead, VOfTextureSetZeroIsFlippedAndSetOneIsNot) {
  Scene scene;
  ASSERT_TRUE(parseGsp(sampleFile(), "sample.gsp", scene));
  const auto &box = dynamic_cast<const MeshNode &>(*scene.children[0]->children[1]);
  ASSERT_EQ(box.texCoords.size(), 8u);
  ASSERT_EQ(box.texCoords1.size(), 8u);
  EXPECT_FLOAT_EQ(box.texCoords[4], 2.f); // u unchanged
  EXPECT_FLOAT_EQ(box.texCoords[5], 0.75f);
  EXPECT_FLOAT_EQ(box.texCoords1[4], 0.5f);
  EXPECT_FLOAT_EQ(box.texCoords1[5], 0.25f);
}

TEST(GspRead, MaterialsGetAlphaOneAndTheirTextureNamesAsStored) {
  Scene scene;
  ASSERT_TRUE(parseGsp(sampleFile(), "sample.gsp", scene));
  ASSERT_EQ(scene.materialCount, 2);
  const Material &m = *scene.materials[0];
  EXPECT_FLOAT_EQ(m.ambient[2], 0.3f);
  EXPECT_FLOAT_EQ(m.diffuse[0], 0.4f);
  EXPECT_FLOAT_EQ(m.emission[1], 0.25f);
  for (const auto *colour : {&m.ambient, &m.diffuse, &m.specular, &m.emission})
    EXPECT_EQ((*colour)[3], 1.f);
  EXPECT_FLOAT_EQ(m.value, 7.f);
  EXPECT_FLOAT_EQ(m.glossiness, 0.25f);
  EXPECT_FLOAT_EQ(m.specularLevel, 0.5f);
  EXPECT_EQ(m.textureNames[0], std::optional<std::string>("a.png"));
  EXPECT_FALSE(m.textureNames[1].has_value());
  EXPECT_EQ(m.textureNames[2], std::optional<std::string>("c.jpg"));
  EXPECT_EQ(scene.materials[1]->textureNames[3], std::optional<std::string>("d"));
  EXPECT_EQ(m.texture0, nullptr) << "textures load in prepare";
}

TEST(GspRead, SpecularLevelOutsideZeroTo128LoadsAsZero) {
  const float levels[] = {-0.5f, 200.f, 128.f, 0.9f, 0.f, 128.00002f, -0.f,
                          std::numeric_limits<float>::quiet_NaN()};
  const float expected[] = {0.f, 0.f, 128.f, 0.9f, 0.f, 0.f, 0.f, 0.f};
  GspBuilder b;
  b.header(0, 8);
  for (float level : levels)
    b.material(level, kNoTextures);
  Scene scene;
  ASSERT_TRUE(parseGsp(b.bytes(), "levels.gsp", scene));
  ASSERT_EQ(scene.materialCount, 8);
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(scene.materials[static_cast<size_t>(i)]->specularLevel, expected[i]) << "level " << levels[i];
}

TEST(GspRead, NegativeMaterialIndexLoadsAsZeroEvenWithoutMaterials) {
  Scene scene;
  ASSERT_TRUE(parseGsp(oneMeshFile(0, -1, {0, 1, 2}).bytes(), "negative.gsp", scene));
  EXPECT_EQ(dynamic_cast<const MeshNode &>(*scene.children[0]).submeshes[0].materialIndex, 0);
}

TEST(GspRead, LastVertexAndLastMaterialAreValidReferences) {
  Scene scene;
  EXPECT_TRUE(parseGsp(oneMeshFile(2, 1, {2, 2, 2}).bytes(), "edges.gsp", scene));
}

TEST(GspRead, EmptySceneAndTrailingBytesAreFine) {
  GspBuilder b;
  b.header(0, 0);
  Scene scene;
  EXPECT_TRUE(parseGsp(b.bytes(), "nothing.gsp", scene));
  expectEmpty(scene);

  std::vector<uint8_t> bytes = sampleFile();
  bytes.insert(bytes.end(), {1, 2, 3, 4, 5});
  ASSERT_TRUE(parseGsp(bytes, "trailing.gsp", scene));
  EXPECT_EQ(scene.childCount, 2);
  EXPECT_EQ(scene.materialCount, 2);
}

TEST(GspRead, ReadingReplacesWhatTheSceneHeld) {
  Scene scene;
  ASSERT_TRUE(parseGsp(sampleFile(), "first.gsp", scene));
  GspBuilder b;
  b.header(1, 0);
  b.nodeHead("Only", 0);
  b.children(0);
  ASSERT_TRUE(parseGsp(b.bytes(), "second.gsp", scene));
  ASSERT_EQ(scene.childCount, 1);
  EXPECT_EQ(scene.materialCount, 0);
  EXPECT_EQ(scene.findNode("Root"), nullptr);
  EXPECT_NE(scene.findNode("Only"), nullptr);
}

TEST(GspRead, SceneConstructorReadsTheFileAndSetsTheDefaults) {
  TempDir dir;
  writeFile(dir.file("s.gsp"), sampleFile());
  Scene scene(dir.file("s.gsp"));
  EXPECT_EQ(scene.childCount, 2);
  EXPECT_EQ(scene.name, std::optional<std::string>("Scene"));
  EXPECT_EQ(scene.path, dir.file("s.gsp"));
  EXPECT_FLOAT_EQ(scene.up.y, 1.f);
  EXPECT_EQ(scene.aspect, 4.f / 3.f);
  EXPECT_NE(scene.findNode("Cam"), nullptr);
}

// ---- files that are not GSP scenes ------------------------------------------

TEST(GspReject, MissingFileIsReportedAndLeavesTheSceneEmpty) {
  TempDir dir;
  const std::string path = dir.file("missing.gsp");
  CaptureStderr();
  Scene scene(path);
  EXPECT_EQ(GetCapturedStderr(), path + ": cannot open\n");
  expectEmpty(scene);
  EXPECT_EQ(scene.findNode("Scene"), &scene);
}

TEST(GspReject, BadMagicOrVersionTwoLeavesOnlyTheRoot) {
  std::vector<uint8_t> badMagic = sampleFile();
  badMagic[2] = 'X';
  std::vector<uint8_t> version2 = sampleFile();
  version2[3] = 2;
  for (const auto *bytes : {&badMagic, &version2}) {
    Scene scene;
    bool ok = true;
    EXPECT_EQ(parseCapturing(*bytes, scene, &ok), "test.gsp: not a GSP scene file (bad magic or version)\n");
    EXPECT_FALSE(ok);
    expectEmpty(scene);
    EXPECT_EQ(scene.findNode("Scene"), &scene);
    EXPECT_EQ(scene.findNode("Root"), nullptr);
  }
}

TEST(GspReject, EveryTruncationLeavesTheSceneEmptyWithOneMessage) {
  const std::vector<uint8_t> full = sampleFile();
  Scene scene;
  ASSERT_TRUE(parseGsp(full, "full.gsp", scene));
  for (size_t size = 0; size < full.size(); ++size) {
    const std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
    bool ok = true;
    const std::string message = parseCapturing(cut, scene, &ok);
    ASSERT_FALSE(ok) << "cut at " << size;
    ASSERT_EQ(message, kCorrupt) << "cut at " << size;
    ASSERT_EQ(scene.childCount, 0) << "cut at " << size;
    ASSERT_EQ(scene.materialCount, 0) << "cut at " << size;
    ASSERT_EQ(scene.findNode("Scene"), &scene);
  }
}

// A file with one of each counted thing, its count fields marked.
GspBuilder countedFile() {
  GspBuilder b;
  b.header(1, 1);
  b.nodeHead("Mesh", 2, {0}, {0});
  b.meshHead(3, 1);
  b.submesh(0, {0, 1, 2});
  b.children(1);
  b.nodeHead("Child", 0);
  b.children(0);
  b.material(1.f, {"t.png", kAbsent, kAbsent, kAbsent});
  return b;
}

TEST(GspReject, HugeOrNegativeCountsAreRefusedWithoutAllocating) {
  {
    GspBuilder b = countedFile();
    Scene scene;
    ASSERT_TRUE(parseGsp(b.bytes(), "counted.gsp", scene)) << "the undamaged file must load";
  }
  // "C" is the child's own (last written) count; "name" the child's name.
  for (const char *field : {"N", "M", "P", "R", "V", "S", "K", "C", "name"}) {
    for (int32_t value : {std::numeric_limits<int32_t>::max(), -1, std::numeric_limits<int32_t>::min()}) {
      GspBuilder b = countedFile();
      b.putI32(field, value);
      Scene scene;
      const auto start = std::chrono::steady_clock::now();
      bool ok = true;
      const std::string message = parseCapturing(b.bytes(), scene, &ok);
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      EXPECT_FALSE(ok) << field << " = " << value;
      EXPECT_EQ(message, kCorrupt) << field << " = " << value;
      expectEmpty(scene);
      // Not a timing goal: a reader that allocated 2^31 elements would take
      // seconds (or die), far beyond this.
      EXPECT_LT(seconds, 1.0) << field;
    }
  }
}

TEST(GspReject, MaterialNameLengthPastTheEndIsRefused) {
  GspBuilder b = countedFile();
  // The first texture name of the material: its length is the int32 after
  // the 76 - 16 bytes of colours and values.
  std::vector<uint8_t> &bytes = b.bytes();
  const size_t lengthAt = b.at("material record") + 60;
  bytes[lengthAt] = 0xff;
  bytes[lengthAt + 1] = 0xff;
  bytes[lengthAt + 2] = 0xff;
  bytes[lengthAt + 3] = 0x7f;
  Scene scene;
  expectCorrupt(bytes, scene);
}

TEST(GspReject, IndexAtTheVertexCountIsCorrupt) {
  Scene scene;
  expectCorrupt(oneMeshFile(0, -1, {0, 1, 3}).bytes(), scene);
}

TEST(GspReject, MaterialIndexAtTheMaterialCountIsCorrupt) {
  for (int32_t materials : {0, 2}) {
    SCOPED_TRACE(materials);
    Scene scene;
    expectCorrupt(oneMeshFile(materials, materials, {0, 1, 2}).bytes(), scene);
  }
}

// A chain of `depth` nodes, each the only child of the one before.
std::vector<uint8_t> chain(int depth) {
  GspBuilder b;
  b.header(1, 0);
  for (int i = 0; i < depth; ++i) {
    b.nodeHead("n" + std::to_string(i), 0);
    b.children(i + 1 < depth ? 1 : 0);
  }
  return b.bytes();
}

TEST(GspReject, NestingDeeperThanTheLimitIsCorrupt) {
  Scene scene;
  ASSERT_TRUE(parseGsp(chain(kMaxGspDepth), "deep.gsp", scene));
  EXPECT_NE(scene.findNode("n" + std::to_string(kMaxGspDepth - 1)), nullptr);
  expectCorrupt(chain(kMaxGspDepth + 1), scene);
  // Far deeper than any stack would take if the reader simply recursed.
  expectCorrupt(chain(200000), scene);
}

// ---- writing ------------------------------------------------------------------

TEST(GspWrite, AFileThatReadingDoesNotChangeIsWrittenBackByteForByte) {
  const std::vector<uint8_t> original = sampleFile();
  Scene scene;
  ASSERT_TRUE(parseGsp(original, "sample.gsp", scene));
  std::string error = "stale";
  const std::vector<uint8_t> written = writeGsp(scene, &error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(written, original);
}

TEST(GspWrite, OneWayChangesReadBackAsTheFirstReadGaveThem) {
  // v values whose flip rounds: 0.1, 0.9, 2^24 + 2, -0.3, 1e10, 3.
  GspBuilder b = oneMeshFile(0, -1, {0, 1, 2, 3, 4, 5}, 6);
  std::vector<uint8_t> bytes = b.bytes();
  // Patch the six v values of set 0 (after 9 + 24 V bytes from the mesh
  // start; the mesh starts after the node head).
  const float awkward[] = {0.1f, 0.9f, 16777218.f, -0.3f, 1e10f, 3.f};
  const size_t setZero = b.at("V") - 1 + 9 + 24 * 6;
  for (int i = 0; i < 6; ++i) {
    uint32_t bits;
    std::memcpy(&bits, &awkward[i], 4);
    for (int k = 0; k < 4; ++k)
      bytes[setZero + static_cast<size_t>(8 * i + 4 + k)] = static_cast<uint8_t>(bits >> (8 * k));
  }
  Scene first;
  ASSERT_TRUE(parseGsp(bytes, "awkward.gsp", first));
  const auto &mesh = dynamic_cast<const MeshNode &>(*first.children[0]);
  EXPECT_FLOAT_EQ(mesh.texCoords[1], 0.9f);
  EXPECT_EQ(mesh.submeshes[0].materialIndex, 0);
  std::string error;
  const std::vector<uint8_t> written = writeGsp(first, &error);
  ASSERT_FALSE(written.empty()) << error;
  Scene second;
  ASSERT_TRUE(parseGsp(written, "again.gsp", second));
  expectSameScene(first, second);
}

// A scene built in memory: every node class, lights nested, a camera aiming
// at a node, a mesh of three submeshes, absent and present strings.
void buildScene(Scene &scene) {
  auto &group = scene.addChild(std::make_unique<SceneNode>());
  group.name = "Group";
  group.type = 7;
  NodeKey rest;
  rest.position = Vec3{1.f, -2.f, 3.5f};
  rest.rotation = Quat{0.f, 0.6f, 0.f, 0.8f};
  rest.scale = Vec3{2.f, 2.f, 2.f};
  group.setRestTransform(rest);
  NodeKey k0, k1, turn;
  k0.time = -100;
  k1.time = 4000;
  k1.position = Vec3{5.f, 6.f, 7.f};
  turn.time = 4000;
  turn.rotation = Quat{0.f, 0.f, 1.f, 0.f};
  group.setPositionKeys({k0, k1});
  group.setRotationKeys({turn});

  auto light = std::make_unique<LightNode>();
  light->name = "Lamp";
  light->colour = Vec3{0.25f, 0.5f, 1.f};
  light->multiplier = 3.f;
  light->word0 = 1;
  light->word3 = 0xffffffffu;
  light->flag = 9;
  light->enabled = 0;
  auto nested = std::make_unique<LightNode>();
  nested->name = "Nested";
  light->addChild(std::move(nested));
  group.addChild(std::move(light));

  auto mesh = std::make_unique<MeshNode>();
  mesh->name = "Mesh";
  mesh->flag = 3;
  mesh->resizeVertices(3);
  mesh->positions[2] = Vec3{1.f, 2.f, 3.f};
  mesh->normals[1] = Vec3{0.f, 1.f, 0.f};
  mesh->texCoords = {0.f, 0.75f, 1.f, 0.5f, 0.5f, 1.f};
  mesh->texCoords1 = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
  for (int32_t m : {1, 0, 1}) {
    Submesh s;
    s.materialIndex = m;
    s.setIndices({0, 1, 2});
    mesh->addSubmesh(std::move(s));
  }
  group.addChild(std::move(mesh));

  auto camera = std::make_unique<CameraNode>();
  camera->name = "Camera01";
  camera->fov = 70.f;
  camera->targetName = "Mesh";
  camera->word1 = 77;
  scene.addChild(std::move(camera));

  auto unnamed = std::make_unique<SceneNode>();
  unnamed->type = 3;
  scene.addChild(std::move(unnamed));

  for (int i = 0; i < 2; ++i) {
    auto material = std::make_unique<Material>();
    material->ambient = {0.1f, 0.2f, 0.3f, 1.f};
    material->glossiness = 0.5f * static_cast<float>(i);
    material->specularLevel = 64.f;
    material->textureNames[static_cast<size_t>(i)] = "tex" + std::to_string(i) + ".png";
    scene.addMaterial(std::move(material));
  }
}

TEST(GspWrite, ASceneBuiltInMemoryReadsBackTheSame) {
  Scene built;
  buildScene(built);
  TempDir dir;
  ASSERT_TRUE(saveGsp(built, dir.file("built.gsp")));
  Scene read(dir.file("built.gsp"));
  expectSameScene(built, read);
  read.prepare(false);
  const auto *camera = dynamic_cast<const CameraNode *>(read.findNode("Camera01"));
  ASSERT_NE(camera, nullptr);
  EXPECT_EQ(camera->target, read.findNode("Mesh"));
}

TEST(GspWrite, MaterialIndexZeroWithoutMaterialsIsWrittenSoThatItReadsBack) {
  Scene scene;
  auto mesh = std::make_unique<MeshNode>();
  mesh->resizeVertices(3);
  Submesh s;
  s.setIndices({0, 1, 2});
  mesh->addSubmesh(std::move(s));
  scene.addChild(std::move(mesh));
  const std::vector<uint8_t> bytes = writeGsp(scene);
  ASSERT_FALSE(bytes.empty());
  Scene read;
  ASSERT_TRUE(parseGsp(bytes, "zero.gsp", read));
  expectSameScene(scene, read);
}

TEST(GspWrite, ScenesThatWouldNotReadBackAreRefusedWithAReason) {
  struct Case {
    const char *what;
    void (*damage)(Scene &);
  };
  const Case cases[] = {
      {"child count", [](Scene &s) { s.children[0]->childCount = 5; }},
      {"position key count", [](Scene &s) { s.children[0]->positionKeyCount = 1; }},
      {"node count", [](Scene &s) { s.childCount = 1; }},
      {"material count", [](Scene &s) { s.materialCount = 3; }},
      {"vertex count", [](Scene &s) { dynamic_cast<MeshNode &>(*s.findNode("Mesh")).vertexCount = 2; }},
      {"short normals", [](Scene &s) { dynamic_cast<MeshNode &>(*s.findNode("Mesh")).normals.pop_back(); }},
      {"index count", [](Scene &s) { dynamic_cast<MeshNode &>(*s.findNode("Mesh")).submeshes[1].indexCount = 2; }},
      {"index past vertices",
       [](Scene &s) { dynamic_cast<MeshNode &>(*s.findNode("Mesh")).submeshes[2].indices[1] = 3; }},
      {"material past list",
       [](Scene &s) { dynamic_cast<MeshNode &>(*s.findNode("Mesh")).submeshes[0].materialIndex = 2; }},
      {"empty name", [](Scene &s) { s.findNode("Lamp")->name = std::string(); }},
      {"empty texture name", [](Scene &s) { s.materials[1]->textureNames[2] = std::string(); }},
      {"empty target", [](Scene &s) { dynamic_cast<CameraNode &>(*s.findNode("Camera01")).targetName = ""; }},
      {"plain node of mesh type", [](Scene &s) { s.findNode("Group")->type = 2; }},
      {"light of another type", [](Scene &s) { s.findNode("Nested")->type = 0; }},
  };
  for (const Case &c : cases) {
    Scene scene;
    buildScene(scene);
    ASSERT_FALSE(writeGsp(scene).empty()) << "the undamaged scene must write";
    c.damage(scene);
    std::string error;
    EXPECT_TRUE(writeGsp(scene, &error).empty()) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
    TempDir dir;
    CaptureStderr();
    EXPECT_FALSE(saveGsp(scene, dir.file("refused.gsp"))) << c.what;
    EXPECT_EQ(GetCapturedStderr(), dir.file("refused.gsp") + ": " + error + "\n");
    EXPECT_TRUE(readFile(dir.file("refused.gsp")).empty()) << c.what << ": nothing may be written";
  }
}

TEST(GspWrite, NestingPastTheLimitIsRefused) {
  Scene scene;
  SceneNode *parent = &scene;
  for (int i = 0; i <= kMaxGspDepth; ++i)
    parent = &parent->addChild(std::make_unique<SceneNode>());
  std::string error;
  EXPECT_TRUE(writeGsp(scene, &error).empty());
  EXPECT_NE(error.find("deeper"), std::string::npos) << error;
}

TEST(GspWrite, UnwritablePathIsReported) {
  Scene scene;
  buildScene(scene);
  CaptureStderr();
  EXPECT_FALSE(saveGsp(scene, "/nonexistent-dir/x.gsp"));
  EXPECT_EQ(GetCapturedStderr(), "/nonexistent-dir/x.gsp: cannot write\n");
}

} // namespace
} // namespace demo::test
