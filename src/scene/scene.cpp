#include "scene/scene.h"

#include <cstdio>
#include <utility>

#include "base/data_path.h"
#include "draw/draw.h"
#include "scene/gsp_file.h"

namespace demo {

namespace {

// Where a track stands at tick t: either between keys `index` and index + 1
// at `fraction`, or holding key `index`.
struct TrackSample {
  size_t index = 0;
  double fraction = 0.0;
  bool between = false;
};

// Key times compare with T as floats, the way the tracks were authored.
double keyTime(const NodeKey &key) { return static_cast<double>(static_cast<float>(key.time)); }

// keys must not be empty.
TrackSample sampleTrack(const std::vector<NodeKey> &keys, double t) {
  TrackSample s;
  const size_t n = keys.size();
  if (n == 1 || t <= keyTime(keys[0]))
    return s; // key 0
  if (t >= keyTime(keys[n - 1])) {
    s.index = n - 1;
    return s;
  }
  // The first open interval that holds t; the search starts at key 0 every
  // frame (nothing is cached).
  for (size_t i = 0; i + 1 < n; ++i) {
    if (keyTime(keys[i]) < t && t < keyTime(keys[i + 1])) {
      s.index = i;
      s.between = true;
      // From the integer times: t(i + 1) > t(i) because their floats are
      // ordered, so the denominator is at least 1. Rounding of large times to
      // float can put t past t(i + 1) itself, hence the cap; there is no lower
      // bound.
      s.fraction = (t - static_cast<double>(keys[i].time)) /
                   (static_cast<double>(keys[i + 1].time) - static_cast<double>(keys[i].time));
      if (s.fraction > 1.0)
        s.fraction = 1.0;
      return s;
    }
  }
  // Exactly on an interior key's time.
  for (size_t i = 1; i + 1 < n; ++i) {
    if (keyTime(keys[i]) == t) {
      s.index = i;
      return s;
    }
  }
  // Only keys out of order get here: hold the last key.
  s.index = n - 1;
  return s;
}

float lerp(float a, float b, double f) { return static_cast<float>(a + f * (b - a)); }

void linkTree(SceneNode &node, Scene &root) {
  node.link(root);
  for (auto &child : node.children)
    linkTree(*child, root);
}

} // namespace

// ---- SceneNode ------------------------------------------------------------

SceneNode::~SceneNode() = default;

SceneNode *SceneNode::findNode(const std::string &wanted) {
  if (name && *name == wanted)
    return this;
  for (auto &child : children) {
    if (SceneNode *found = child->findNode(wanted))
      return found;
  }
  return nullptr;
}

void SceneNode::animate(float time) {
  // Kept in double: a time of 0.1f is T = 300.0000045, just past a key at 300.
  const double t = 3000.0 * static_cast<double>(time);
  if (!positionKeys.empty()) {
    const TrackSample s = sampleTrack(positionKeys, t);
    const Vec3 &a = positionKeys[s.index].position;
    if (s.between) {
      const Vec3 &b = positionKeys[s.index + 1].position;
      current.position = Vec3{lerp(a.x, b.x, s.fraction), lerp(a.y, b.y, s.fraction), lerp(a.z, b.z, s.fraction)};
    } else {
      current.position = a;
    }
  }
  if (!rotationKeys.empty()) {
    const TrackSample s = sampleTrack(rotationKeys, t);
    if (s.between)
      current.rotation = slerp(rotationKeys[s.index].rotation, rotationKeys[s.index + 1].rotation,
                               static_cast<float>(s.fraction));
    else
      current.rotation = rotationKeys[s.index].rotation;
  }
  current.scale = rest.scale;
  for (auto &child : children)
    child->animate(time);
}

void SceneNode::updateWorld(const Matrix4 &parent) {
  // A point is scaled first, then rotated, then translated, then taken into
  // the parent's frame.
  const Matrix4 local =
      multiply(multiply(translation(current.position), quatToMatrix(current.rotation)), scaling(current.scale));
  world = multiply(parent, local);
  for (auto &child : children)
    child->updateWorld(world);
}

void SceneNode::link(Scene &) {}

void SceneNode::draw(const std::vector<std::unique_ptr<Material>> &) {}

void SceneNode::applyLight(Scene &) {}

SceneNode &SceneNode::addChild(std::unique_ptr<SceneNode> child) {
  children.push_back(std::move(child));
  childCount = static_cast<int32_t>(children.size());
  return *children.back();
}

void SceneNode::setPositionKeys(std::vector<NodeKey> keys) {
  positionKeys = std::move(keys);
  positionKeyCount = static_cast<int32_t>(positionKeys.size());
}

void SceneNode::setRotationKeys(std::vector<NodeKey> keys) {
  rotationKeys = std::move(keys);
  rotationKeyCount = static_cast<int32_t>(rotationKeys.size());
}

void SceneNode::setRestTransform(const NodeKey &transform) {
  rest = transform;
  current = transform;
}

// ---- LightNode ------------------------------------------------------------

void LightNode::applyLight(Scene &root) {
  // Intentional: a light always shines from its rest position; its tracks
  // move only its world matrix, never the OpenGL light.
  current = rest;
  // Intentional: three lights at most; later ones are skipped silently,
  // neither enabled nor disabled.
  if (root.lightCount >= 3)
    return;
  const int light = root.lightCount;
  ++root.lightCount;
  // Intentional: a disabled light still takes its number (and turns it off).
  draw::disable(draw::lightCap(light));
  if (enabled == 0)
    return;
  draw::enable(draw::lightCap(light));
  const float ambient[4] = {0.f, 0.f, 0.f, 1.f};
  const float colourM[4] = {colour.x * multiplier, colour.y * multiplier, colour.z * multiplier, 1.f};
  const float position[4] = {current.position.x, current.position.y, current.position.z, 1.f};
  draw::light(light, draw::LightParam::Ambient, ambient);
  draw::light(light, draw::LightParam::Diffuse, colourM);
  draw::light(light, draw::LightParam::Specular, colourM);
  // Fixed in eye space by the modelview of this moment: the scene sets its
  // lights once, under the camera it is loaded with.
  draw::light(light, draw::LightParam::Position, position);
}

// ---- MeshNode -------------------------------------------------------------

void Submesh::setIndices(std::vector<uint32_t> values) {
  indices = std::move(values);
  indexCount = static_cast<int32_t>(indices.size());
}

void MeshNode::resizeVertices(int32_t n) {
  const size_t count = n > 0 ? static_cast<size_t>(n) : 0;
  positions.resize(count, Vec3{0.f, 0.f, 0.f});
  normals.resize(count, Vec3{0.f, 0.f, 0.f});
  texCoords.resize(2 * count, 0.f);
  texCoords1.resize(2 * count, 0.f);
  vertexCount = static_cast<int32_t>(count);
}

Submesh &MeshNode::addSubmesh(Submesh submesh) {
  submeshes.push_back(std::move(submesh));
  submeshCount = static_cast<int32_t>(submeshes.size());
  return submeshes.back();
}

void MeshNode::draw(const std::vector<std::unique_ptr<Material>> &materials) {
  draw::IndexedArrays arrays;
  arrays.primitive = draw::Primitive::Triangles;
  arrays.positions = reinterpret_cast<const float *>(positions.data());
  arrays.normals = reinterpret_cast<const float *>(normals.data());
  arrays.texCoords = texCoords.data();
  for (const Submesh &submesh : submeshes) {
    // Files always index a material of their own list; a mesh built in
    // memory might not, and then draws with whatever material is set.
    const int32_t m = submesh.materialIndex;
    if (m >= 0 && static_cast<size_t>(m) < materials.size() && materials[static_cast<size_t>(m)])
      materials[static_cast<size_t>(m)]->apply();
    arrays.indices = submesh.indices.data();
    arrays.count = static_cast<int32_t>(submesh.indices.size());
    draw::drawIndexed(arrays);
  }
}

// ---- CameraNode -----------------------------------------------------------

void CameraNode::link(Scene &root) {
  target = targetName ? root.findNode(*targetName) : nullptr;
  if (!target && !reportedMissingTarget_) {
    reportedMissingTarget_ = true;
    std::fprintf(stderr, "%s: camera \"%s\" has no target \"%s\"\n", resolveDataPath(root.path.c_str()).c_str(),
                 name ? name->c_str() : "", targetName ? targetName->c_str() : "");
    std::fflush(stderr);
  }
}

// ---- Material -------------------------------------------------------------

void Material::loadTextures() {
  if (textureNames[0])
    texture0 = std::make_unique<Texture>(textureNames[0]->c_str(), 0);
  if (textureNames[1])
    texture1 = std::make_unique<Texture>(textureNames[1]->c_str(), 0);
}

void Material::apply() {
  draw::colour(1.f, 1.f, 1.f, 1.f);
  if (texture0)
    texture0->bind();
  else
    draw::disable(draw::Cap::Texture2D);
  const float specularLevelled[4] = {specular[0] * specularLevel, specular[1] * specularLevel,
                                     specular[2] * specularLevel, specular[3] * specularLevel};
  if (!texture0) {
    draw::material(draw::MaterialParam::Ambient, ambient.data());
    draw::material(draw::MaterialParam::Diffuse, diffuse.data());
    draw::disable(draw::Cap::Blend);
  } else {
    // Intentional: a textured material shows its texture unmodulated by the
    // file's colours and is always blended with the texture's alpha.
    const float none[4] = {0.f, 0.f, 0.f, 0.f};
    const float white[4] = {1.f, 1.f, 1.f, 1.f};
    draw::material(draw::MaterialParam::Ambient, none);
    draw::material(draw::MaterialParam::Diffuse, white);
    draw::enable(draw::Cap::Blend);
    draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::OneMinusSrcAlpha);
  }
  draw::material(draw::MaterialParam::Specular, specularLevelled);
  draw::material(draw::MaterialParam::Emission, emission.data());
  draw::shininess(100.f * glossiness);
}

// ---- Scene ----------------------------------------------------------------

Scene::Scene() { name = "Scene"; }

Scene::Scene(const std::string &file) : Scene() {
  readGsp(file, *this);
  up = Vec3{0.f, 1.f, 0.f};
  aspect = 4.f / 3.f;
}

void Scene::prepare(bool loadTextures) {
  linkTree(*this, *this);
  if (loadTextures) {
    for (auto &material : materials) {
      if (material)
        material->loadTextures();
    }
  }
}

void Scene::update(float time, CameraNode &camera) {
  animate(time);
  applyCamera(camera);
}

void Scene::updateTransforms() {
  updateWorld(identity());
  lightCount = 0;
  applyLight(*this);
  // Intentional: only the root's direct children are asked; a light further
  // down the tree never lights anything.
  for (auto &child : children)
    child->applyLight(*this);
}

void Scene::applyCamera(CameraNode &camera) {
  // Lights first: OpenGL transforms their positions by the modelview matrix
  // current now, before the new view replaces it.
  updateTransforms();
  const Matrix4 &w = camera.world;
  const Vec3 eye{w[12], w[13], w[14]};
  Vec3 centre;
  if (camera.target) {
    const Matrix4 &t = camera.target->world;
    centre = Vec3{t[12], t[13], t[14]};
  } else {
    // Forward is the camera's local -z: the third column of its world
    // matrix, normalised. A collapsed (zero) axis falls back to world -z.
    Vec3 axis{w[8], w[9], w[10]};
    normalize(axis);
    if (axis.x == 0.f && axis.y == 0.f && axis.z == 0.f)
      axis = Vec3{0.f, 0.f, 1.f};
    centre = Vec3{eye.x - axis.x, eye.y - axis.y, eye.z - axis.z};
  }
  draw::matrixMode(draw::MatrixMode::Projection);
  draw::loadIdentity();
  draw::perspective(static_cast<double>(camera.fov), static_cast<double>(aspect), 1.0, 100000.0);
  draw::matrixMode(draw::MatrixMode::ModelView);
  draw::loadIdentity();
  draw::lookAt(eye.x, eye.y, eye.z, centre.x, centre.y, centre.z, up.x, up.y, up.z);
}

void Scene::setUpVector(float x, float y, float z) {
  up = Vec3{x, y, z};
  aspect = 4.f / 3.f;
}

void Scene::drawNode(MeshNode &node, bool useWorldMatrix) {
  if (node.submeshes.empty())
    return;
  if (useWorldMatrix) {
    draw::matrixMode(draw::MatrixMode::ModelView);
    draw::pushMatrix();
    draw::multMatrix(node.world.m);
  }
  // Intentional: only submesh 0 is drawn; the scenes draw single-piece meshes
  // with their own state.
  const Submesh &first = node.submeshes[0];
  draw::IndexedArrays arrays;
  arrays.primitive = draw::Primitive::Triangles;
  arrays.positions = reinterpret_cast<const float *>(node.positions.data());
  arrays.normals = reinterpret_cast<const float *>(node.normals.data());
  arrays.texCoords = node.texCoords.data();
  arrays.indices = first.indices.data();
  arrays.count = static_cast<int32_t>(first.indices.size());
  draw::drawIndexed(arrays);
  if (useWorldMatrix)
    draw::popMatrix();
}

Vec3 Scene::nodePosition(const SceneNode &node) const { return node.rest.position; }

const std::vector<Vec3> &Scene::meshVertices(const MeshNode &node) const { return node.positions; }

const std::vector<Vec3> &Scene::meshNormals(const MeshNode &node) const { return node.normals; }

const std::vector<float> &Scene::meshTexCoords(const MeshNode &node) const { return node.texCoords; }

int32_t Scene::submeshIndexCount(const MeshNode &node, int32_t i) const {
  if (i < 0 || static_cast<size_t>(i) >= node.submeshes.size())
    return 0;
  return static_cast<int32_t>(node.submeshes[static_cast<size_t>(i)].indices.size());
}

const uint32_t *Scene::submeshIndices(const MeshNode &node, int32_t i) const {
  if (i < 0 || static_cast<size_t>(i) >= node.submeshes.size())
    return nullptr;
  return node.submeshes[static_cast<size_t>(i)].indices.data();
}

Material &Scene::addMaterial(std::unique_ptr<Material> material) {
  materials.push_back(std::move(material));
  materialCount = static_cast<int32_t>(materials.size());
  return *materials.back();
}

void Scene::clearContents() {
  children.clear();
  childCount = 0;
  materials.clear();
  materialCount = 0;
  lightCount = 0;
}

} // namespace demo
