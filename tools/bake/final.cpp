// The final boxes scene's files: final.gsp with four designed crates and
// seven cameras, and each crate's complete map.
//
// The scene cuts between the cameras on a fixed list of show times and runs
// each shot from a random head start (0 to 2 s) at a random speed (0 to 3,
// at least 1.5 on Camera01 and Camera08), at scene time speed x clock x 0.6.
// The longest gap between two cuts is 2.46 s, so a shot reaches at most
// (2 + 2.46) x 3 x 0.6 = 8.0 s; the last shot of the first run (Camera03)
// keeps going through the quick cuts until the list starts again, 5.2 s of
// clock, which can reach 13 s. Every path is laid out to 14 s and holds its
// last key after that.
//
// The scene sets its own up vector, which rolls with the show time, so the
// shots make no assumption about which way is up; y is up in the layout.
#include "bake/bake.h"

#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "bake/bake_math.h"
#include "bake/final_pictures.h"
#include "bake/mesh_builder.h"
#include "scene/scene.h"

namespace demo::bake {

namespace {

constexpr float kPathSeconds = 14.f;
constexpr float kKeyStep = 0.25f;
constexpr int kTicksPerSecond = 3000;

Vec3 lerp(const Vec3 &a, const Vec3 &b, float t) { return a + (b - a) * t; }
float ease(float t) { return t * t * (3.f - 2.f * t); }

// --- Crates --------------------------------------------------------------

// An axis-aligned box between lo and hi, each face mapped onto the cell that
// `cellFor` picks for its normal, counter-clockwise seen from outside.
void addBlock(MeshData &mesh, const Vec3 &lo, const Vec3 &hi, const std::function<BoxCell(int)> &cellFor) {
  // Faces in cell order +x, -x, +y, -y, +z, -z: normal, u axis, v axis (v
  // down), the same frames as makeBox.
  struct Frame {
    Vec3 n, u, v;
  };
  const std::array<Frame, 6> frames = {{
      {{1, 0, 0}, {0, 0, -1}, {0, -1, 0}},
      {{-1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
      {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},
      {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}},
      {{0, 0, 1}, {1, 0, 0}, {0, -1, 0}},
      {{0, 0, -1}, {-1, 0, 0}, {0, -1, 0}},
  }};
  const Vec3 centre = (lo + hi) * 0.5f, half = (hi - lo) * 0.5f;
  auto scaleBy = [&](const Vec3 &axis) { return Vec3{axis.x * half.x, axis.y * half.y, axis.z * half.z}; };
  for (int face = 0; face < 6; ++face) {
    const Frame &f = frames[static_cast<size_t>(face)];
    const CellRect r = boxCell(cellFor(face));
    const Vec3 c = centre + scaleBy(f.n), du = scaleBy(f.u), dv = scaleBy(f.v);
    uint32_t i0 = mesh.addVertex(c - du - dv, f.n, r.u0, r.v0);
    uint32_t i1 = mesh.addVertex(c + du - dv, f.n, r.u1, r.v0);
    uint32_t i2 = mesh.addVertex(c + du + dv, f.n, r.u1, r.v1);
    uint32_t i3 = mesh.addVertex(c - du + dv, f.n, r.u0, r.v1);
    mesh.addQuad(i0, i1, i2, i3, true);
  }
}

// Trim faces take the light of the way they face.
BoxCell trimCell(int face) {
  switch (face) {
  case 2: // +y
  case 4: // +z
    return kCellTrimLit;
  case 0:
  case 1:
    return kCellTrimSide;
  default:
    return kCellTrimShade;
  }
}

// A crate centred on its origin: the painted body, a steel rail along each
// of its twelve edges and a cap on each corner, both standing proud of the
// faces.
MeshData buildCrate(const Vec3 &size) {
  MeshData mesh;
  const Vec3 h = size * 0.5f;
  addBlock(mesh, h * -1.f, h, [](int face) { return static_cast<BoxCell>(face); });
  const float smallest = std::min({size.x, size.y, size.z});
  const float rail = smallest * 0.07f, railOut = 0.5f;
  const float cap = rail * 1.6f, capOut = 0.9f;
  const float hs[3] = {h.x, h.y, h.z};
  for (int axis = 0; axis < 3; ++axis)
    for (int corner = 0; corner < 4; ++corner) {
      float lo[3], hi[3];
      const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
      lo[axis] = -hs[axis] + cap - capOut - 0.3f; // into the caps, so no two faces share a plane
      hi[axis] = hs[axis] - cap + capOut + 0.3f;
      for (int k = 0; k < 2; ++k) {
        const int a = k == 0 ? a1 : a2;
        const float sign = ((corner >> k) & 1) ? 1.f : -1.f;
        const float outer = sign * (hs[a] + railOut), inner = sign * (hs[a] - rail + railOut);
        lo[a] = std::min(outer, inner);
        hi[a] = std::max(outer, inner);
      }
      addBlock(mesh, Vec3{lo[0], lo[1], lo[2]}, Vec3{hi[0], hi[1], hi[2]}, trimCell);
    }
  for (int corner = 0; corner < 8; ++corner) {
    Vec3 sign{(corner & 1) ? 1.f : -1.f, (corner & 2) ? 1.f : -1.f, (corner & 4) ? 1.f : -1.f};
    Vec3 outer{sign.x * (h.x + capOut), sign.y * (h.y + capOut), sign.z * (h.z + capOut)};
    Vec3 inner{sign.x * (h.x - cap + capOut), sign.y * (h.y - cap + capOut), sign.z * (h.z - cap + capOut)};
    addBlock(mesh, Vec3{std::min(outer.x, inner.x), std::min(outer.y, inner.y), std::min(outer.z, inner.z)},
             Vec3{std::max(outer.x, inner.x), std::max(outer.y, inner.y), std::max(outer.z, inner.z)}, trimCell);
  }
  return mesh;
}

struct CrateSpec {
  const char *node;
  const char *texture; // file name under the data directory
  BoxDesign design;
  Vec3 position;
  float turnDegrees; // about +y, counter-clockwise seen from above
};

const std::array<CrateSpec, 4> &crates() {
  static const std::array<CrateSpec, 4> list = {{
      {"Box1", "Box1CompleteMap.jpg",
       {"KX-01", Vec3{60.f, 40.f, 40.f}, Colour{0.34f, 0.39f, 0.27f, 1.f}, Colour{0.93f, 0.86f, 0.55f, 1.f},
        BoxKind::Cargo, 11},
       Vec3{0.f, 20.9f, 0.f}, 0.f},
      {"Box2", "Box2CompleteMap.jpg",
       {"KX-02", Vec3{30.f, 64.f, 30.f}, Colour{0.8f, 0.42f, 0.12f, 1.f}, Colour{0.07f, 0.07f, 0.07f, 1.f},
        BoxKind::Canister, 22},
       Vec3{56.f, 32.9f, -10.f}, -14.f},
      {"Box4", "Box4CompleteMap.jpg",
       {"KX-04", Vec3{50.f, 14.f, 34.f}, Colour{0.8f, 0.81f, 0.82f, 1.f}, Colour{0.78f, 0.1f, 0.08f, 1.f},
        BoxKind::Instruments, 44},
       Vec3{-3.f, 49.7f, 1.f}, 9.f},
      {"Box5", "Box5CompleteMap.jpg",
       {"KX-05", Vec3{20.f, 20.f, 20.f}, Colour{0.16f, 0.26f, 0.44f, 1.f}, Colour{0.35f, 0.92f, 1.f, 1.f},
        BoxKind::PowerCell, 55},
       Vec3{-46.f, 10.9f, 26.f}, 28.f},
  }};
  return list;
}

// A rotation about +y by `degrees` (counter-clockwise seen from above) as
// this engine's quaternion, which turns the opposite way of the textbook one.
Quat turnAboutY(float degrees) {
  const float half = -degrees * 3.14159265f / 360.f;
  return Quat{0.f, std::sin(half), 0.f, std::cos(half)};
}

// --- Cameras ---------------------------------------------------------------

struct Shot {
  const char *camera;
  float fov;
  std::function<Vec3(float)> eye, target;
};

// Where the shots look: the middle of the stack.
const Vec3 kCentre{5.f, 28.f, 2.f};

std::array<Shot, 7> shots() {
  const Vec3 box2 = crates()[1].position, box4 = crates()[2].position, box5 = crates()[3].position;
  return {{
      // A wide, slow orbit round the whole group, rising and closing in.
      {"Camera01", 45.f,
       [](float t) {
         float angle = 0.35f + 0.09f * t, radius = 150.f - 3.f * t;
         return kCentre + Vec3{radius * std::cos(angle), 45.f + 2.f * t, radius * std::sin(angle)};
       },
       [](float t) { return kCentre + Vec3{6.f * std::sin(0.3f * t), 0.f, 0.f}; }},
      // A low dolly along the front, left to right.
      {"Camera02", 40.f, [](float t) { return Vec3{-110.f + 15.f * t, 8.f + 0.8f * t, 95.f - 1.5f * t}; },
       [](float t) { return Vec3{-40.f + 8.f * t, 24.f, 0.f}; }},
      // A crane coming down from high above onto the instrument case's lid.
      {"Camera03", 42.f, [](float t) { return Vec3{30.f - 4.f * t, 190.f - 10.f * t, 70.f - 1.5f * t}; },
       [box4](float t) { return lerp(Vec3{0.f, 30.f, 0.f}, box4 + Vec3{0.f, 7.f, 0.f}, ease(t / kPathSeconds)); }},
      // Close along the cargo crate's front, reading its markings.
      {"Camera04", 35.f, [](float t) { return Vec3{-45.f + 6.5f * t, 22.f + 3.f * std::sin(0.5f * t), 62.f}; },
       [](float t) { return Vec3{-30.f + 6.f * t, 20.f, 20.f}; }},
      // A push in on the power cell.
      {"Camera06", 38.f,
       [](float t) { return lerp(Vec3{-150.f, 40.f, 120.f}, Vec3{-80.f, 17.f, 60.f}, ease(t / kPathSeconds)); },
       [box5](float t) { return box5 + Vec3{2.f * std::sin(0.4f * t), 1.f, 0.f}; }},
      // Round the canister's far side, tilting up it.
      {"Camera07", 40.f,
       [box2](float t) {
         float angle = -1.3f + 0.12f * t;
         return box2 + Vec3{70.f * std::cos(angle), 10.f + 2.f * t, 70.f * std::sin(angle)};
       },
       [box2](float t) { return box2 + Vec3{0.f, -10.f + 2.f * t, 0.f}; }},
      // A spiral looking down on the stack.
      {"Camera08", 50.f,
       [](float t) {
         float angle = 0.4f * t, radius = 75.f - 2.f * t;
         return kCentre + Vec3{radius * std::cos(angle), 130.f - 3.f * t, radius * std::sin(angle)};
       },
       [](float) { return kCentre + Vec3{0.f, -10.f, 0.f}; }},
  }};
}

std::vector<NodeKey> sampleTrack(const std::function<Vec3(float)> &path) {
  std::vector<NodeKey> keys;
  const int count = static_cast<int>(std::lround(kPathSeconds / kKeyStep));
  for (int i = 0; i <= count; ++i) {
    const float t = i * kKeyStep;
    NodeKey key;
    key.time = static_cast<int32_t>(std::lround(t * kTicksPerSecond));
    key.position = path(t);
    keys.push_back(key);
  }
  return keys;
}

// Keys the node along `path` and rests it where the path starts.
void followPath(SceneNode &node, const std::function<Vec3(float)> &path) {
  node.setPositionKeys(sampleTrack(path));
  NodeKey rest;
  rest.position = path(0.f);
  node.setRestTransform(rest);
}

} // namespace

void bakeFinal(BakeContext &context) {
  context.group("final boxes");

  Scene scene;
  int32_t materialIndex = 0;
  for (const CrateSpec &crate : crates()) {
    auto material = std::make_unique<Material>();
    material->ambient = {1.f, 1.f, 1.f, 1.f};
    material->diffuse = {1.f, 1.f, 1.f, 1.f};
    material->textureNames[0] = std::string("data/") + crate.texture;
    scene.addMaterial(std::move(material));

    std::unique_ptr<MeshNode> node = toMeshNode(buildCrate(crate.design.size), crate.node, materialIndex++);
    NodeKey rest;
    rest.position = crate.position;
    rest.rotation = turnAboutY(crate.turnDegrees);
    node->setRestTransform(rest);
    scene.addChild(std::move(node));
  }

  for (const Shot &shot : shots()) {
    const std::string targetName = std::string(shot.camera) + ".Target";
    auto camera = std::make_unique<CameraNode>();
    camera->name = shot.camera;
    camera->fov = shot.fov;
    camera->targetName = targetName;
    followPath(*camera, shot.eye);
    scene.addChild(std::move(camera));

    auto target = std::make_unique<SceneNode>();
    target->name = targetName;
    followPath(*target, shot.target);
    scene.addChild(std::move(target));
  }
  context.writeGsp("final.gsp", scene);

  for (const CrateSpec &crate : crates())
    context.writeJpeg(crate.texture, paintBoxMap(crate.design, context.detail()), 90);
}

} // namespace demo::bake
