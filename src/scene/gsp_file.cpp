#include "scene/gsp_file.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <typeinfo>
#include <utility>

#include "base/data_path.h"
#include "base/byte_reader.h"

namespace demo {

namespace {

// The fewest bytes each record can take, for checking counts before
// allocating: a node with an absent name, no keys, no payload and no children
// (4 + 40 + 4 + 4 + 4 + 4); a material with four absent names (76); a vertex
// in all four arrays (12 + 12 + 8 + 8); a submesh without indices.
constexpr size_t kMinNodeBytes = 60;
constexpr size_t kMinMaterialBytes = 76;
constexpr size_t kVertexBytes = 40;
constexpr size_t kMinSubmeshBytes = 8;
constexpr size_t kPositionKeyBytes = 16;
constexpr size_t kRotationKeyBytes = 20;

// Named by the path that was opened ("data/..." resolved).
void report(const std::string &path, const char *what) {
  std::fprintf(stderr, "%s: %s\n", resolveDataPath(path.c_str()).c_str(), what);
  std::fflush(stderr);
}

// ---- reading ----------------------------------------------------------------

class GspParser {
public:
  GspParser(const std::vector<uint8_t> &bytes, int32_t materialCount)
      : in_(bytes), materialCount_(materialCount) {}

  ByteReader &in() { return in_; }

  bool readString(std::optional<std::string> &out) {
    const int32_t length = in_.i32();
    if (!in_.ok())
      return false;
    if (length == 0) {
      out.reset();
      return true;
    }
    if (!in_.fits(length, 1))
      return false;
    std::string s(static_cast<size_t>(length), '\0');
    in_.bytes(s.data(), s.size());
    out = std::move(s);
    return in_.ok();
  }

  Vec3 readVec3() {
    Vec3 v;
    v.x = in_.f32();
    v.y = in_.f32();
    v.z = in_.f32();
    return v;
  }

  Quat readQuat() {
    Quat q;
    q.x = in_.f32();
    q.y = in_.f32();
    q.z = in_.f32();
    q.w = in_.f32();
    return q;
  }

  // The node and its children; null when anything is wrong. The recursion
  // stays lean (the fields are read by readRecord), so a tree nested to the
  // limit fits an ordinary stack (under ASan too).
  std::unique_ptr<SceneNode> readNode(int depth) {
    if (depth > kMaxGspDepth)
      return nullptr;
    std::unique_ptr<SceneNode> node = readRecord();
    if (!node)
      return nullptr;
    const int32_t c = in_.i32();
    if (!in_.fits(c, kMinNodeBytes))
      return nullptr;
    node->children.reserve(static_cast<size_t>(c));
    for (int32_t i = 0; i < c; ++i) {
      std::unique_ptr<SceneNode> child = readNode(depth + 1);
      if (!child)
        return nullptr;
      node->addChild(std::move(child));
    }
    return node;
  }

  // A node's fields up to (not including) its child count.
  [[gnu::noinline]] std::unique_ptr<SceneNode> readRecord() {
    std::optional<std::string> nodeName;
    if (!readString(nodeName))
      return nullptr;
    NodeKey rest;
    rest.position = readVec3();
    rest.rotation = readQuat();
    rest.scale = readVec3();

    const int32_t p = in_.i32();
    if (!in_.fits(p, kPositionKeyBytes))
      return nullptr;
    std::vector<NodeKey> positionKeys(static_cast<size_t>(p));
    for (NodeKey &key : positionKeys) {
      key.time = in_.i32();
      key.position = readVec3();
    }
    const int32_t r = in_.i32();
    if (!in_.fits(r, kRotationKeyBytes))
      return nullptr;
    std::vector<NodeKey> rotationKeys(static_cast<size_t>(r));
    for (NodeKey &key : rotationKeys) {
      key.time = in_.i32();
      key.rotation = readQuat();
    }

    const int32_t nodeType = in_.i32();
    if (!in_.ok())
      return nullptr;
    std::unique_ptr<SceneNode> node;
    switch (nodeType) {
    case kLightNodeType:
      node = readLight();
      break;
    case kMeshNodeType:
      node = readMesh();
      break;
    case kCameraNodeType:
      node = readCamera();
      break;
    default:
      node = std::make_unique<SceneNode>();
      break;
    }
    if (!node)
      return nullptr;
    node->name = std::move(nodeName);
    node->setRestTransform(rest);
    node->setPositionKeys(std::move(positionKeys));
    node->setRotationKeys(std::move(rotationKeys));
    node->type = nodeType;
    return node;
  }

  std::unique_ptr<Material> readMaterial() {
    auto material = std::make_unique<Material>();
    for (std::array<float, 4> *colour : {&material->ambient, &material->diffuse, &material->specular,
                                         &material->emission}) {
      const Vec3 rgb = readVec3();
      *colour = {rgb.x, rgb.y, rgb.z, 1.f};
    }
    material->value = in_.f32();
    material->glossiness = in_.f32();
    const float level = in_.f32();
    // 0 and 128 stay; anything outside (NaN included) is 0.
    material->specularLevel = level >= 0.f && level <= 128.f ? level : 0.f;
    for (auto &textureName : material->textureNames) {
      if (!readString(textureName))
        return nullptr;
    }
    return in_.ok() ? std::move(material) : nullptr;
  }

private:
  std::unique_ptr<SceneNode> readLight() {
    auto light = std::make_unique<LightNode>();
    light->word0 = in_.u32();
    light->colour = readVec3();
    light->multiplier = in_.f32();
    light->word1 = in_.u32();
    light->word2 = in_.u32();
    light->word3 = in_.u32();
    light->flag = in_.u8();
    light->enabled = in_.u8();
    return in_.ok() ? std::move(light) : nullptr;
  }

  std::unique_ptr<SceneNode> readMesh() {
    auto mesh = std::make_unique<MeshNode>();
    mesh->flag = in_.u8();
    const int32_t v = in_.i32();
    const int32_t s = in_.i32();
    if (!in_.fits(v, kVertexBytes))
      return nullptr;
    mesh->resizeVertices(v);
    for (Vec3 &position : mesh->positions)
      position = readVec3();
    for (Vec3 &normal : mesh->normals)
      normal = readVec3();
    for (size_t i = 0; i < mesh->texCoords.size(); i += 2) {
      mesh->texCoords[i] = in_.f32();
      // The file's v runs the other way from OpenGL's t.
      mesh->texCoords[i + 1] = 1.f - in_.f32();
    }
    for (float &coordinate : mesh->texCoords1)
      coordinate = in_.f32();
    if (!in_.fits(s, kMinSubmeshBytes))
      return nullptr;
    mesh->submeshes.reserve(static_cast<size_t>(s));
    for (int32_t i = 0; i < s; ++i) {
      Submesh submesh;
      const int32_t k = in_.i32();
      const int32_t materialIndex = in_.i32();
      if (!in_.fits(k, 4))
        return nullptr;
      // A material index must name one of the file's materials; a negative
      // one means the first.
      if (materialIndex >= materialCount_)
        return nullptr;
      submesh.materialIndex = materialIndex < 0 ? 0 : materialIndex;
      std::vector<uint32_t> indices(static_cast<size_t>(k));
      for (uint32_t &index : indices) {
        index = in_.u32();
        if (index >= static_cast<uint32_t>(v))
          return nullptr;
      }
      submesh.setIndices(std::move(indices));
      mesh->addSubmesh(std::move(submesh));
    }
    return in_.ok() ? std::move(mesh) : nullptr;
  }

  std::unique_ptr<SceneNode> readCamera() {
    auto camera = std::make_unique<CameraNode>();
    camera->word0 = in_.u32();
    camera->word1 = in_.u32();
    camera->fov = in_.f32();
    if (!readString(camera->targetName))
      return nullptr;
    return camera;
  }

  ByteReader in_;
  int32_t materialCount_;
};

enum class ParseResult { Ok, BadMagic, Corrupt };

ParseResult parseInto(const std::vector<uint8_t> &bytes, std::vector<std::unique_ptr<SceneNode>> &nodes,
                      std::vector<std::unique_ptr<Material>> &materials) {
  ByteReader header(bytes);
  char magic[3];
  if (!header.bytes(magic, 3))
    return ParseResult::Corrupt;
  if (std::memcmp(magic, "GSP", 3) != 0)
    return ParseResult::BadMagic;
  const int32_t version = header.i32();
  if (!header.ok())
    return ParseResult::Corrupt;
  if (version != 1)
    return ParseResult::BadMagic;
  const int32_t n = header.i32();
  const int32_t m = header.i32();
  if (!header.fits(n, kMinNodeBytes) || !header.fits(m, kMinMaterialBytes))
    return ParseResult::Corrupt;

  GspParser parser(bytes, m);
  parser.in().skip(header.position());
  nodes.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    std::unique_ptr<SceneNode> node = parser.readNode(1);
    if (!node)
      return ParseResult::Corrupt;
    nodes.push_back(std::move(node));
  }
  if (!parser.in().fits(m, kMinMaterialBytes))
    return ParseResult::Corrupt;
  materials.reserve(static_cast<size_t>(m));
  for (int32_t i = 0; i < m; ++i) {
    std::unique_ptr<Material> material = parser.readMaterial();
    if (!material)
      return ParseResult::Corrupt;
    materials.push_back(std::move(material));
  }
  return ParseResult::Ok;
}

// ---- writing ----------------------------------------------------------------

// The stored value that reads back as `held` after the reader's 1 - v. For
// all but a handful of floats that is 1 - held itself; where rounding gets in
// the way, one of its neighbours is.
float unflipV(float held) {
  const float v = 1.f - held;
  if (1.f - v == held)
    return v;
  for (float candidate : {std::nextafter(v, std::numeric_limits<float>::infinity()),
                          std::nextafter(v, -std::numeric_limits<float>::infinity())}) {
    if (1.f - candidate == held)
      return candidate;
  }
  return v;
}

class GspWriter {
public:
  explicit GspWriter(int32_t materialCount) : materialCount_(materialCount) {}

  ByteWriter &out() { return out_; }
  const std::string &error() const { return error_; }

  bool fail(const std::string &what) {
    if (error_.empty())
      error_ = what;
    return false;
  }

  bool writeString(const std::optional<std::string> &s, const std::string &what) {
    if (!s) {
      out_.i32(0);
      return true;
    }
    if (s->empty())
      return fail(what + " is present but empty (length 0 means absent)");
    if (s->size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
      return fail(what + " is too long");
    out_.i32(static_cast<int32_t>(s->size()));
    out_.raw(s->data(), s->size());
    return true;
  }

  void writeVec3(const Vec3 &v) {
    out_.f32(v.x);
    out_.f32(v.y);
    out_.f32(v.z);
  }

  void writeQuat(const Quat &q) {
    out_.f32(q.x);
    out_.f32(q.y);
    out_.f32(q.z);
    out_.f32(q.w);
  }

  // The recursion stays lean (the checks, labels and payloads live in
  // writeRecord), so a tree nested to the limit fits an ordinary stack (under ASan too).
  bool writeNode(const SceneNode &node, int depth) {
    if (!writeRecord(node, depth))
      return false;
    out_.i32(node.childCount);
    for (const auto &child : node.children) {
      if (!writeNode(*child, depth + 1))
        return false;
    }
    return true;
  }

  // The node's own fields up to (not including) its child count.
  [[gnu::noinline]] bool writeRecord(const SceneNode &node, int depth) {
    const std::string label = "node \"" + (node.name ? *node.name : std::string()) + "\"";
    if (depth > kMaxGspDepth)
      return fail(label + " is nested deeper than " + std::to_string(kMaxGspDepth) + " levels");
    if (node.positionKeyCount != static_cast<int64_t>(node.positionKeys.size()) ||
        node.rotationKeyCount != static_cast<int64_t>(node.rotationKeys.size()) ||
        node.childCount != static_cast<int64_t>(node.children.size()))
      return fail(label + ": a key or child count disagrees with its array");
    if (!writeString(node.name, label + "'s name"))
      return false;
    writeVec3(node.rest.position);
    writeQuat(node.rest.rotation);
    writeVec3(node.rest.scale);
    out_.i32(node.positionKeyCount);
    for (const NodeKey &key : node.positionKeys) {
      out_.i32(key.time);
      writeVec3(key.position);
    }
    out_.i32(node.rotationKeyCount);
    for (const NodeKey &key : node.rotationKeys) {
      out_.i32(key.time);
      writeQuat(key.rotation);
    }

    const auto *light = dynamic_cast<const LightNode *>(&node);
    const auto *mesh = dynamic_cast<const MeshNode *>(&node);
    const auto *camera = dynamic_cast<const CameraNode *>(&node);
    const bool plain = !light && !mesh && !camera;
    if ((light && node.type != kLightNodeType) || (mesh && node.type != kMeshNodeType) ||
        (camera && node.type != kCameraNodeType) ||
        (plain && (node.type == kLightNodeType || node.type == kMeshNodeType || node.type == kCameraNodeType)))
      return fail(label + ": its type " + std::to_string(node.type) + " does not match its class");
    out_.i32(node.type);
    if (light)
      writeLight(*light);
    else if (mesh && !writeMesh(*mesh, label))
      return false;
    else if (camera && !writeCamera(*camera, label))
      return false;
    for (const auto &child : node.children) {
      if (!child)
        return fail(label + " has an empty child slot");
    }
    return true;
  }

  bool writeMaterial(const Material &material, int32_t index) {
    const std::string label = "material " + std::to_string(index);
    // Alpha is not stored: the reader sets it to 1.
    for (const std::array<float, 4> *colour : {&material.ambient, &material.diffuse, &material.specular,
                                               &material.emission})
      writeVec3(Vec3{(*colour)[0], (*colour)[1], (*colour)[2]});
    out_.f32(material.value);
    out_.f32(material.glossiness);
    out_.f32(material.specularLevel);
    for (size_t i = 0; i < material.textureNames.size(); ++i) {
      if (!writeString(material.textureNames[i], label + "'s texture name " + std::to_string(i)))
        return false;
    }
    return true;
  }

private:
  void writeLight(const LightNode &light) {
    out_.u32(light.word0);
    writeVec3(light.colour);
    out_.f32(light.multiplier);
    out_.u32(light.word1);
    out_.u32(light.word2);
    out_.u32(light.word3);
    out_.u8(light.flag);
    out_.u8(light.enabled);
  }

  bool writeCamera(const CameraNode &camera, const std::string &label) {
    out_.u32(camera.word0);
    out_.u32(camera.word1);
    out_.f32(camera.fov);
    return writeString(camera.targetName, label + "'s target name");
  }

  bool writeMesh(const MeshNode &mesh, const std::string &label) {
    const size_t v = mesh.positions.size();
    if (mesh.vertexCount != static_cast<int64_t>(v) || mesh.normals.size() != v || mesh.texCoords.size() != 2 * v ||
        mesh.texCoords1.size() != 2 * v || mesh.submeshCount != static_cast<int64_t>(mesh.submeshes.size()))
      return fail(label + ": a vertex or submesh count disagrees with its arrays");
    for (size_t i = 0; i < mesh.submeshes.size(); ++i) {
      const Submesh &submesh = mesh.submeshes[i];
      const std::string part = label + " submesh " + std::to_string(i);
      if (submesh.indexCount != static_cast<int64_t>(submesh.indices.size()))
        return fail(part + ": its index count disagrees with its indices");
      for (uint32_t index : submesh.indices) {
        if (index >= v)
          return fail(part + ": index " + std::to_string(index) + " is past the " + std::to_string(v) + " vertices");
      }
      if (submesh.materialIndex >= materialCount_ && !(submesh.materialIndex == 0 && materialCount_ == 0))
        return fail(part + ": material " + std::to_string(submesh.materialIndex) + " is past the " +
                    std::to_string(materialCount_) + " materials");
    }
    out_.u8(mesh.flag);
    out_.i32(mesh.vertexCount);
    out_.i32(mesh.submeshCount);
    for (const Vec3 &position : mesh.positions)
      writeVec3(position);
    for (const Vec3 &normal : mesh.normals)
      writeVec3(normal);
    for (size_t i = 0; i < mesh.texCoords.size(); i += 2) {
      out_.f32(mesh.texCoords[i]);
      out_.f32(unflipV(mesh.texCoords[i + 1]));
    }
    for (float coordinate : mesh.texCoords1)
      out_.f32(coordinate);
    for (const Submesh &submesh : mesh.submeshes) {
      out_.i32(submesh.indexCount);
      // Without materials, index 0 can only have come from a negative index,
      // which reads back as 0 again; 0 itself would not read.
      out_.i32(submesh.materialIndex == 0 && materialCount_ == 0 ? -1 : submesh.materialIndex);
      for (uint32_t index : submesh.indices)
        out_.u32(index);
    }
    return true;
  }

  ByteWriter out_;
  std::string error_;
  int32_t materialCount_;
};

} // namespace

bool parseGsp(const std::vector<uint8_t> &bytes, const std::string &path, Scene &scene) {
  scene.clearContents();
  scene.path = path;
  scene.unreadable = true;
  std::vector<std::unique_ptr<SceneNode>> nodes;
  std::vector<std::unique_ptr<Material>> materials;
  switch (parseInto(bytes, nodes, materials)) {
  case ParseResult::BadMagic:
    report(path, "not a GSP scene file (bad magic or version)");
    return false;
  case ParseResult::Corrupt:
    report(path, "corrupt or truncated file");
    return false;
  case ParseResult::Ok:
    break;
  }
  scene.unreadable = false;
  for (auto &node : nodes)
    scene.addChild(std::move(node));
  for (auto &material : materials)
    scene.addMaterial(std::move(material));
  return true;
}

bool readGsp(const std::string &path, Scene &scene) {
  std::vector<uint8_t> bytes;
  if (!readWholeFile(resolveDataPath(path.c_str()), bytes)) {
    scene.clearContents();
    scene.path = path;
    scene.unreadable = true;
    report(path, "cannot open");
    return false;
  }
  return parseGsp(bytes, path, scene);
}

std::vector<uint8_t> writeGsp(const Scene &scene, std::string *error) {
  GspWriter writer(scene.materialCount);
  auto refuse = [&]() {
    if (error)
      *error = writer.error();
    return std::vector<uint8_t>();
  };
  if (scene.childCount != static_cast<int64_t>(scene.children.size()) ||
      scene.materialCount != static_cast<int64_t>(scene.materials.size())) {
    writer.fail("the scene's node or material count disagrees with its arrays");
    return refuse();
  }
  ByteWriter &out = writer.out();
  out.raw("GSP", 3);
  out.i32(1);
  out.i32(scene.childCount);
  out.i32(scene.materialCount);
  for (const auto &node : scene.children) {
    if (!node) {
      writer.fail("the scene has an empty node slot");
      return refuse();
    }
    if (!writer.writeNode(*node, 1))
      return refuse();
  }
  for (int32_t i = 0; i < scene.materialCount; ++i) {
    const auto &material = scene.materials[static_cast<size_t>(i)];
    if (!material) {
      writer.fail("material " + std::to_string(i) + " is empty");
      return refuse();
    }
    if (!writer.writeMaterial(*material, i))
      return refuse();
  }
  if (error)
    error->clear();
  return std::move(out.bytes());
}

bool saveGsp(const Scene &scene, const std::string &path) {
  std::string error;
  const std::vector<uint8_t> bytes = writeGsp(scene, &error);
  if (bytes.empty()) {
    report(path, error.c_str());
    return false;
  }
  if (!writeWholeFile(resolveDataPath(path.c_str()), bytes)) {
    report(path, "cannot write");
    return false;
  }
  return true;
}

} // namespace demo
