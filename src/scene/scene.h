// scene.h - the animated node tree of one GSP scene file, its materials, and
// how it is animated, lit, viewed and drawn with fixed-function OpenGL.
//
// Use (one scene of the show):
//   Scene scene("data/vannscene.gsp");     // reads the file (gsp_file.h)
//   scene.prepare(true);                   // cameras find targets, textures load
//   auto *camera = dynamic_cast<CameraNode *>(scene.findNode("Camera01"));
//   auto *box = dynamic_cast<MeshNode *>(scene.findNode("Box03"));
//   per frame:
//     scene.update(seconds, *camera);      // animate, world matrices, lights, view
//     ...set colour, texture, lighting...
//     scene.drawNode(*box, true);
//
// The Scene is the root of its own tree (named "Scene"); every node owns its
// children. Each node has a rest transform from the file, a current transform
// that animate() rewrites from its two key tracks, and a world matrix that
// updateTransforms() rebuilds from the current transforms, parent first.
//
// Key tracks. animate(time) evaluates every track at tick T = 3000 x time, held
// in double precision. Inside an open interval between consecutive keys,
// t(i) < T < t(i+1) with the key times taken as floats, the first such i is
// used: f = (T - t(i)) / (t(i+1) - t(i)) in double from the integer times,
// capped at 1 (no lower bound); positions blend linearly, rotations by slerp.
// Outside every open interval a track holds the nearest key: at or before
// the first key's time it gives key 0, at or after the last key's time the
// last key, exactly at an interior key's time that key (the first with that
// time), and a track of one key always gives that key. A node without keys
// keeps its load-time transform; scale is never animated.
//
// Lights. updateTransforms() hands lights 0..2 to the light nodes
// that are direct children of the root, in order; deeper lights never light
// anything and a fourth light is skipped. A light always shines from its rest
// position: applying it copies the rest transform back into its current one.
//
// Cameras. applyCamera() looks from the camera's world translation at its
// target's. A camera without a target (its target name names no node, or
// prepare() was never called) looks along its own forward axis, local -z.
//
// The count fields (childCount, positionKeyCount, vertexCount, ...) mirror the
// sizes of their vectors; the add/set helpers keep them in sync. Everything
// here walks the vectors themselves, so a stale count never reads out of
// bounds; the writer (gsp_file.h) refuses a scene whose counts disagree.
//
// What it does not do: check that a mesh built in memory has indices inside
// its vertex arrays before drawing it (the reader and writer guarantee that for
// files), sort key tracks, or free GL objects (textures live as long as the
// show). Everything that touches OpenGL (prepare with textures, updateTransforms
// with lights, applyCamera, update, drawNode, draw, apply, applyLight) needs the
// GL context current on the calling thread; the rest is plain C++.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gfx/texture.h"
#include "base/math.h"

namespace demo {

class Scene;
struct Material;

// One transform record: a node's rest and current transforms, and the
// elements of its tracks (a position key uses time and position, a rotation
// key time and rotation).
struct NodeKey {
  int32_t time = 0; // ticks
  Vec3 position{0.f, 0.f, 0.f};
  Quat rotation{0.f, 0.f, 0.f, 1.f};
  Vec3 scale{1.f, 1.f, 1.f};
};

// Node types of the file. Every other value is a plain node that keeps its
// type value.
constexpr int32_t kLightNodeType = 1;
constexpr int32_t kMeshNodeType = 2;
constexpr int32_t kCameraNodeType = 4;

class SceneNode {
public:
  SceneNode() = default;
  virtual ~SceneNode();
  SceneNode(const SceneNode &) = delete;
  SceneNode &operator=(const SceneNode &) = delete;

  // This node if its name is exactly `name`, else the first match among its
  // descendants, depth-first, parent before children; null when none. A node
  // without a name never matches.
  SceneNode *findNode(const std::string &name);

  // current.position / rotation from the tracks at tick 3000 x time (see the
  // top of this file), current.scale = rest.scale, then every child.
  void animate(float time);

  // world = parent x translation x rotation x scaling of the current
  // transform, then every child with this world.
  void updateWorld(const Matrix4 &parent);

  // Resolves references after loading (cameras find their targets).
  virtual void link(Scene &root);
  // Draws the node with the scene's materials (meshes).
  virtual void draw(const std::vector<std::unique_ptr<Material>> &materials);
  // Configures the next OpenGL light (lights).
  virtual void applyLight(Scene &root);

  // Appends a child (childCount follows); returns it.
  SceneNode &addChild(std::unique_ptr<SceneNode> child);
  // Replace a track (the key count follows).
  void setPositionKeys(std::vector<NodeKey> keys);
  void setRotationKeys(std::vector<NodeKey> keys);
  // rest and current both become `transform`.
  void setRestTransform(const NodeKey &transform);

  int32_t childCount = 0;
  std::vector<std::unique_ptr<SceneNode>> children; // file order
  std::optional<std::string> name;                  // absent: the file's length 0
  NodeKey rest;
  NodeKey current;
  int32_t positionKeyCount = 0;
  int32_t rotationKeyCount = 0;
  std::vector<NodeKey> positionKeys;
  std::vector<NodeKey> rotationKeys;
  int32_t type = 0;
  Matrix4 world = identity(); // valid after updateTransforms
};

class LightNode : public SceneNode {
public:
  LightNode() { type = kLightNodeType; }

  // Copies rest into current. While the root has handed out fewer than three
  // lights, takes light root.lightCount (and counts it), disables it, and
  // when enabled != 0 enables it again with ambient (0, 0, 0, 1), diffuse and
  // specular (r m, g m, b m, 1), and the position (x, y, z, 1) from the rest
  // position, fixed in eye space by the modelview matrix current now.
  // Drawing state left: that light's enable, colours and position; lighting
  // itself (Cap::Lighting) is not touched.
  void applyLight(Scene &root) override;

  uint32_t word0 = 0; // the file's light words and flag: kept for writing back,
  Vec3 colour{0.f, 0.f, 0.f};
  float multiplier = 1.f;
  uint32_t word1 = 0; // not interpreted
  uint32_t word2 = 0;
  uint32_t word3 = 0;
  uint8_t flag = 0;
  uint8_t enabled = 1; // 0 = off, anything else = on
};

// One piece of a mesh drawn with one material: consecutive triples of
// indices are triangles.
struct Submesh {
  // indexCount follows.
  void setIndices(std::vector<uint32_t> values);

  int32_t indexCount = 0;
  int32_t materialIndex = 0; // into the scene's materials
  std::vector<uint32_t> indices;
};

class MeshNode : public SceneNode {
public:
  MeshNode() { type = kMeshNodeType; }

  // Every submesh with its material: enables the vertex, normal and
  // texture-coordinate client arrays, points them at this mesh, applies each
  // submesh's material (a material index outside the list applies nothing)
  // and draws its triangles. Leaves the three arrays disabled, the material
  // state of the last submesh set, and the matrix stack untouched (the caller
  // has the node's matrix loaded).
  void draw(const std::vector<std::unique_ptr<Material>> &materials) override;

  // Sizes all four vertex arrays (and vertexCount) for n vertices; new
  // entries are zero.
  void resizeVertices(int32_t n);
  // Appends a submesh (submeshCount follows); returns it.
  Submesh &addSubmesh(Submesh submesh);

  uint8_t flag = 0; // kept for writing back, not interpreted
  int32_t vertexCount = 0;
  int32_t submeshCount = 0;
  std::vector<Vec3> positions;
  std::vector<Vec3> normals;
  std::vector<float> texCoords;  // u, v per vertex; v as drawn (the file's 1 - v)
  std::vector<float> texCoords1; // u, v per vertex as in the file; never drawn
  std::vector<Submesh> submeshes;
};

class CameraNode : public SceneNode {
public:
  CameraNode() { type = kCameraNodeType; }

  // target = the first node named targetName, or null. A camera whose target
  // is missing is reported once on stderr:
  //   <scene path>: camera "<name>" has no target "<target>"
  void link(Scene &root) override;

  uint32_t word0 = 0; // the file's camera words: kept, not interpreted
  uint32_t word1 = 0;
  float fov = 45.f;                       // vertical, degrees
  SceneNode *target = nullptr;            // not owned; set by prepare()
  std::optional<std::string> targetName;

private:
  bool reportedMissingTarget_ = false;
};

struct Material {
  // texture0 from textureNames[0] and texture1 from textureNames[1], each
  // only when the name is present (a new Texture, normal map 0; names are
  // paths as they stand). GL state: see Texture's loader.
  void loadTextures();

  // Colour (1, 1, 1, 1). With texture0: binds it (texturing on), ambient
  // (0, 0, 0, 0), diffuse (1, 1, 1, 1), blending on with source alpha, one
  // minus source alpha. Without: texturing off, the material's own ambient
  // and diffuse, blending off. Then specular = specular x specularLevel (all
  // four components), emission, shininess 100 x glossiness. All for front
  // and back faces; the state stays set.
  void apply();

  std::array<float, 4> ambient{0.f, 0.f, 0.f, 1.f};
  std::array<float, 4> diffuse{0.f, 0.f, 0.f, 1.f};
  std::array<float, 4> specular{0.f, 0.f, 0.f, 1.f};
  std::array<float, 4> emission{0.f, 0.f, 0.f, 1.f};
  float value = 0.f;         // kept, not interpreted
  float glossiness = 0.f;    // OpenGL shininess is 100 x this
  float specularLevel = 0.f; // 0 to 128, multiplies the specular colour
  std::array<std::optional<std::string>, 4> textureNames;
  std::unique_ptr<Texture> texture0; // drawn
  std::unique_ptr<Texture> texture1; // loaded, never bound
};

class Scene : public SceneNode {
public:
  // An empty scene (no nodes, no materials), for building one in memory.
  Scene();
  // Reads the GSP file at path ("data/..." goes to the data directory). A
  // file that cannot be read is reported on stderr and leaves the scene
  // empty (see gsp_file.h).
  explicit Scene(const std::string &path);

  // link() on every node, depth-first from the root; with loadTextures, then
  // loadTextures() on every material in order. Meant to be called once (a
  // second call links again and, with textures, loads them again). GL state:
  // none without textures; with them, the last loaded texture stays bound.
  void prepare(bool loadTextures);

  // animate(time), then applyCamera(camera).
  void update(float time, CameraNode &camera);

  // World matrices of the whole tree from the identity, then lightCount = 0
  // and applyLight on the root and each of its direct children, in order.
  // Drawing state: lights 0..2 as the lights among those children set
  // them; nothing at all when there are none (no context needed then).
  void updateTransforms();

  // updateTransforms() (the lights see the modelview matrix current before
  // this call), then projection = draw::perspective(fov, aspect, 1, 100000)
  // and model-view = draw::lookAt(eye, centre, up): eye the camera's world
  // translation, centre its target's world translation or, without a target,
  // eye minus the camera's normalised world z axis. Leaves the model-view
  // matrix current with the view loaded.
  void applyCamera(CameraNode &camera);

  // up = (x, y, z); aspect back to 4/3.
  void setUpVector(float x, float y, float z);

  // Draws submesh 0 of the node as indexed arrays: with useWorldMatrix, in
  // its world matrix pushed onto the model-view stack (left current and as
  // it was found); without, in whatever matrix is current, touching no matrix
  // state. Sets no material, colour, texture, blend or lighting state (the
  // classic backend leaves the three client arrays disabled). A mesh without
  // submeshes draws nothing and makes no drawing call.
  void drawNode(MeshNode &node, bool useWorldMatrix);

  // The node's rest position.
  Vec3 nodePosition(const SceneNode &node) const;
  const std::vector<Vec3> &meshVertices(const MeshNode &node) const;
  const std::vector<Vec3> &meshNormals(const MeshNode &node) const;
  // u, v per vertex (v as drawn).
  const std::vector<float> &meshTexCoords(const MeshNode &node) const;
  // Submesh i's index count and indices; 0 and null for an i outside the mesh.
  int32_t submeshIndexCount(const MeshNode &node, int32_t i) const;
  const uint32_t *submeshIndices(const MeshNode &node, int32_t i) const;

  // Appends a material (materialCount follows); returns it.
  Material &addMaterial(std::unique_ptr<Material> material);
  // Drops every node and material; the root keeps its name and transform.
  void clearContents();

  std::string path; // the file it was read from, for messages
  // The file could not be read (missing, corrupt, not a scene file). That was
  // said once; lookups in the empty scene then stay silent.
  bool unreadable = false;
  Vec3 up{0.f, 1.f, 0.f};
  float aspect = 4.f / 3.f; // a scene may overwrite it between calls
  std::vector<std::unique_ptr<Material>> materials;
  int32_t materialCount = 0;
  int32_t lightCount = 0; // lights handed out in the current pass
};

} // namespace demo
