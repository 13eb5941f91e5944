#include "bake/logo_assets.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "bake/bake_math.h"
#include "bake/event_lettering.h"
#include "bake/mesh_builder.h"
#include "bake/text.h"
#include "scene/scene.h"

namespace demo::bake {

namespace {

float radians(float degrees) { return degrees * kPi / 180.f; }

// The quaternion that this engine turns by `angle` (right-handed) about
// `axis`: its matrix is the transpose of the textbook one, so the textbook
// quaternion of -angle.
Quat turn(Vec3 axis, float angle) {
  normalize(axis);
  float s = std::sin(-angle * 0.5f);
  return Quat{axis.x * s, axis.y * s, axis.z * s, std::cos(-angle * 0.5f)};
}

int32_t ticks(float seconds) { return static_cast<int32_t>(std::lround(seconds * 3000.f)); }

// 0 to 1 over the flight, fast at first and settling into the last pose.
float easeOut(float u) {
  u = std::clamp(u, 0.f, 1.f);
  return 1.f - (1.f - u) * (1.f - u) * (1.f - u);
}

float lerp(float a, float b, float t) { return a + (b - a) * t; }

// Solid lettering `width` units wide, front face at z = 0 facing +z.
MeshData lettering(const char *text, float width, float depth, const char *font, float tracking) {
  MeshData mesh = extrudeText(text, 32.f, depth, font, tracking);
  Vec3 lo, hi;
  mesh.bounds(lo, hi);
  float k = width / std::max(hi.x - lo.x, 1e-3f);
  // Scale x and y only: the depth stays as asked.
  for (Vec3 &p : mesh.positions)
    p = Vec3{p.x * k, p.y * k, p.z};
  return mesh;
}

// The plate's layout, in scene units (the card faces +z).
constexpr float kPlateWidth = 280.f, kPlateHeight = 140.f, kPlateDepth = 12.f;
constexpr float kPlateZ = -16.f; // centre: the front face is at z = -10
const Vec3 kLogoAt{0.f, 16.f, 5.f};
const Vec3 kLineAt{0.f, -30.f, 3.f};

} // namespace

Vec3 logoCameraPath(float seconds) {
  // A swing round the card from its right-hand side, high up, down to a view
  // from just left of the front, closing in on the way.
  float e = easeOut(seconds / kLogoFlightSeconds);
  float angle = radians(lerp(68.f, -10.f, e));
  float distance = lerp(430.f, 300.f, e);
  float height = lerp(150.f, 24.f, e);
  return Vec3{distance * std::sin(angle), height, distance * std::cos(angle)};
}

std::unique_ptr<Scene> buildLogoScene() {
  auto scene = std::make_unique<Scene>();
  // Materials: the plate and the letters show their pictures unmodulated
  // (a textured material draws white, blended by the picture's alpha); the
  // group's line is plain red.
  auto textured = [](const char *texture) {
    auto m = std::make_unique<Material>();
    m->ambient = {0.6f, 0.6f, 0.6f, 1.f};
    m->diffuse = {1.f, 1.f, 1.f, 1.f};
    m->specular = {0.9f, 0.9f, 0.9f, 1.f};
    m->glossiness = 0.3f;
    m->specularLevel = 0.5f;
    m->textureNames[0] = std::string(texture);
    return m;
  };
  scene->addMaterial(textured(kBackdropTexture));
  scene->addMaterial(textured(kLogoTextTexture));
  {
    auto red = std::make_unique<Material>();
    red->ambient = {0.4f, 0.f, 0.f, 1.f};
    red->diffuse = {1.f, 0.f, 0.f, 1.f};
    red->specular = {1.f, 0.6f, 0.6f, 1.f};
    red->glossiness = 0.25f;
    red->specularLevel = 0.6f;
    scene->addMaterial(std::move(red));
  }

  auto placed = [](std::unique_ptr<MeshNode> node, const Vec3 &at) {
    NodeKey rest;
    rest.position = at;
    node->setRestTransform(rest);
    return node;
  };
  scene->addChild(placed(toMeshNode(makeBox(Vec3{kPlateWidth, kPlateHeight, kPlateDepth}), "Box03", 0),
                         Vec3{0.f, 0.f, kPlateZ}));
  scene->addChild(placed(toMeshNode(lettering("quintervale", 236.f, 10.f, kFontSansBold, 0.6f), "Text08", 1), kLogoAt));

  // The group's line rises from below the card, tipped back, and settles
  // into place two thirds into the flight.
  auto line = placed(toMeshNode(lettering("a kestrane production", 150.f, 4.f, kFontSansBold, 0.4f), "Text09", 2),
                     kLineAt);
  std::vector<NodeKey> linePositions, lineRotations;
  for (float s = 0.f; s <= kLogoKeysUntil + 1e-4f; s += kLogoKeyStep) {
    float e = easeOut(s / 2.7f);
    NodeKey p, r;
    p.time = r.time = ticks(s);
    p.position = Vec3{kLineAt.x, lerp(kLineAt.y - 45.f, kLineAt.y, e), lerp(kLineAt.z + 70.f, kLineAt.z, e)};
    r.rotation = turn(Vec3{1.f, 0.f, 0.f}, radians(lerp(-80.f, 0.f, e)));
    linePositions.push_back(p);
    lineRotations.push_back(r);
  }
  line->setPositionKeys(std::move(linePositions));
  line->setRotationKeys(std::move(lineRotations));
  scene->addChild(std::move(line));

  // The camera looks at a point just behind the letters' middle.
  auto target = std::make_unique<SceneNode>();
  target->name = "Camera01.Target";
  NodeKey aim;
  aim.position = Vec3{0.f, 4.f, -5.f};
  target->setRestTransform(aim);
  scene->addChild(std::move(target));

  auto camera = std::make_unique<CameraNode>();
  camera->name = "Camera01";
  camera->fov = 45.f;
  camera->targetName = "Camera01.Target";
  std::vector<NodeKey> cameraKeys;
  for (float s = 0.f; s <= kLogoKeysUntil + 1e-4f; s += kLogoKeyStep) {
    NodeKey k;
    k.time = ticks(s);
    k.position = logoCameraPath(s);
    cameraKeys.push_back(k);
  }
  NodeKey start;
  start.position = cameraKeys.front().position;
  camera->setRestTransform(start);
  camera->setPositionKeys(std::move(cameraKeys));
  scene->addChild(std::move(camera));
  return scene;
}

EbrMesh buildTunnelMesh() {
  MeshData tube = makeCylinder(kTunnelRadius, kTunnelLength, 64, 46, true, kTunnelRepeatsRound, kTunnelRepeatsAlong);
  tube.transform(translation(Vec3{0.f, -kTunnelLength * 0.5f, 0.f}));
  EbrMesh mesh;
  addToEbr(mesh, tube, "tunnel");
  return mesh;
}

// --- Pictures -------------------------------------------------------------------

Image paintBackdrop(int detail) {
  const int w = 512, h = 256;
  // Brushed gunmetal, lit from behind the letters by a cool light.
  Image image = paintImage(w, h, [&](float fx, float fy) {
    float brushed = valueNoise(fx * 0.012f, fy * 0.9f, 11u) * 0.6f + valueNoise(fx * 0.05f, fy * 0.3f, 12u) * 0.4f;
    float cloud = fbm(fx / 90.f, fy / 90.f, 13u, 4);
    Colour c = mix(Colour{0.05f, 0.06f, 0.08f, 1.f}, Colour{0.16f, 0.18f, 0.22f, 1.f}, 0.55f * brushed + 0.45f * cloud);
    float dx = (fx - 256.f) / 300.f, dy = (fy - 112.f) / 150.f;
    float light = std::max(0.f, 1.f - std::sqrt(dx * dx + dy * dy));
    c = mix(c, Colour{0.2f, 0.36f, 0.66f, 1.f}, light * light * 0.8f);
    // A fine grid etched into the plate: a dark base pixel and a lit one.
    const int x = baseCell(fx), y = baseCell(fy);
    bool grid = (x % 32 == 0) || (y % 32 == 0);
    if (grid)
      c = scaled(c, 0.8f);
    else if ((x % 32 == 1) || (y % 32 == 1))
      c = scaled(c, 1.12f);
    // Darker towards the rim.
    float ex = std::min(fx, w - 1.f - fx) / 60.f, ey = std::min(fy, h - 1.f - fy) / 40.f;
    c = scaled(c, 0.55f + 0.45f * smoothstep(0.f, 1.f, std::min(ex, ey)));
    return c;
  }, detail);
  // The bevelled frame: lit along the top and left, shaded bottom and right.
  const float frame = 12.f;
  image.fillRect(0.f, 0.f, static_cast<float>(w), frame, Colour{0.42f, 0.45f, 0.52f, 0.7f});
  image.fillRect(0.f, 0.f, frame, static_cast<float>(h), Colour{0.36f, 0.39f, 0.46f, 0.6f});
  image.fillRect(0.f, h - frame, static_cast<float>(w), static_cast<float>(h), Colour{0.02f, 0.02f, 0.03f, 0.75f});
  image.fillRect(w - frame, 0.f, static_cast<float>(w), static_cast<float>(h), Colour{0.03f, 0.03f, 0.04f, 0.65f});
  // A glowing trim line inside the frame.
  const float inset = 22.f;
  for (int pass = 0; pass < 3; ++pass) {
    float width = 9.f - 3.f * pass;
    Colour glow{0.2f, 0.7f, 1.f, 0.12f + 0.2f * pass};
    image.strokeRect(inset - width * 0.5f, inset - width * 0.5f, w - inset + width * 0.5f, h - inset + width * 0.5f,
                     width, glow);
  }
  image.strokeRect(inset - 1.f, inset - 1.f, w - inset + 1.f, h - inset + 1.f, 2.f, Colour{0.75f, 0.95f, 1.f, 0.9f});
  // Rivets along the frame.
  auto rivet = [&](float cx, float cy) {
    image.fillCircle(cx + 1.f, cy + 1.5f, 4.f, Colour{0.f, 0.f, 0.f, 0.6f});
    image.fillCircle(cx, cy, 4.f, Colour{0.5f, 0.53f, 0.6f, 1.f});
    image.fillCircle(cx - 1.2f, cy - 1.2f, 1.6f, Colour{0.9f, 0.92f, 0.95f, 0.9f});
  };
  for (int i = 0; i <= 8; ++i) {
    float x = 6.f + (w - 12.f) * i / 8.f;
    rivet(x, 6.f);
    rivet(x, h - 6.f);
  }
  for (int i = 1; i < 4; ++i) {
    float y = 6.f + (h - 12.f) * i / 4.f;
    rivet(6.f, y);
    rivet(w - 6.f, y);
  }
  // Small print in the corners, laid out for the base size.
  drawTextCentred(image, "KST-05 / QV", 84.f, h - 34.f, 11, kFontMonoBold, Colour{0.55f, 0.8f, 1.f, 0.55f});
  drawTextCentred(image, "kestrane", w - 76.f, h - 34.f, 12, kFontSans, Colour{0.55f, 0.8f, 1.f, 0.55f}, 2.f);
  return image;
}

Image paintLogoLettering(int detail) {
  const int w = 512, h = 128;
  // Chrome: a pale sky in the upper half, a sharp dark horizon, and warm
  // ground reflected in the lower half; brushed along the letters.
  Image image = paintImage(w, h, [&](float x, float y) {
    float v = (y + 0.5f) / h;
    Colour c;
    if (v < 0.48f)
      c = mix(Colour{0.97f, 0.98f, 1.f, 1.f}, Colour{0.45f, 0.62f, 0.88f, 1.f}, smoothstep(0.f, 0.48f, v));
    else if (v < 0.54f)
      c = mix(Colour{0.1f, 0.14f, 0.3f, 1.f}, Colour{0.32f, 0.2f, 0.12f, 1.f}, (v - 0.48f) / 0.06f);
    else
      c = mix(Colour{0.5f, 0.28f, 0.1f, 1.f}, Colour{1.f, 0.82f, 0.45f, 1.f}, smoothstep(0.54f, 1.f, v));
    float brushed = valueNoise(x * 0.02f, y * 1.5f, 21u);
    float wave = 0.03f * std::sin(x * 0.05f + 3.f * valueNoise(x * 0.01f, 0.f, 22u));
    c = scaled(c, 0.9f + 0.16f * brushed + wave);
    return c;
  }, detail);
  // A few glints.
  Rng rng(23u);
  for (int i = 0; i < 14; ++i) {
    float x = rng.range(10.f, w - 10.f), y = rng.range(6.f, h * 0.45f);
    float size = rng.range(3.f, 9.f);
    image.glow(x, y, size, Colour{1.f, 1.f, 1.f, 0.9f}, 2.5f);
    image.line(x - size * 1.8f, y, x + size * 1.8f, y, 1.f, Colour{1.f, 1.f, 1.f, 0.5f});
    image.line(x, y - size, x, y + size, 1.f, Colour{1.f, 1.f, 1.f, 0.4f});
  }
  return image;
}

Image paintFlare(int detail) {
  const int size = 256;
  const float c = size * 0.5f;
  return paintImage(size, size, [&](float x, float y) {
    float dx = x + 0.5f - c, dy = y + 0.5f - c;
    float d = std::hypot(dx, dy) / c; // 0 at the centre, 1 at the edge
    float fade = clamp01(1.f - d);
    float angle = std::atan2(dy, dx);
    float core = std::pow(fade, 12.f);
    float halo = std::pow(fade, 3.f) * 0.55f;
    float rays = std::pow(std::abs(std::cos(angle * 6.f)), 60.f) * fade * fade * 0.45f;
    float streak = std::exp(-std::abs(dy) / 2.5f) * clamp01(1.f - std::abs(dx) / c) * 0.75f;
    float ring = std::exp(-std::pow((d - 0.62f) / 0.025f, 2.f)) * 0.22f;
    Colour col{0.f, 0.f, 0.f, 1.f};
    auto add = [&](const Colour &tint, float k) {
      col.r += tint.r * k;
      col.g += tint.g * k;
      col.b += tint.b * k;
    };
    add(Colour{1.f, 1.f, 1.f, 1.f}, core * 1.4f);
    add(Colour{1.f, 0.62f, 0.28f, 1.f}, halo);
    add(Colour{1.f, 0.9f, 0.75f, 1.f}, rays);
    add(Colour{0.6f, 0.8f, 1.f, 1.f}, streak);
    add(Colour{0.4f + 0.6f * clamp01((d - 0.6f) / 0.05f), 0.6f, 1.f - 0.6f * clamp01((d - 0.6f) / 0.05f), 1.f}, ring);
    return col;
  }, detail);
}

Image paintTunnel(int detail) {
  const int size = 256, panel = 64;
  // Each panel gets its own tone (a fixed pattern: the picture must not
  // depend on anything but this code).
  float tone[4][4];
  Rng rng(31u);
  for (auto &row : tone)
    for (float &t : row)
      t = rng.range(-0.05f, 0.05f);
  Image image = paintImage(size, size, [&](float fx, float fy) {
    // Noise with a period of the whole picture tiles without a seam.
    float metal = fbm(fx / 32.f, fy / 32.f, 32u, 4, 0.5f, 8);
    // Panels and their seams are whole base pixels.
    const int x = baseCell(fx), y = baseCell(fy);
    float k = 0.07f + 0.1f * metal + tone[y / panel][x / panel] * 0.6f;
    Colour c{k * 0.85f, k * 0.95f, k * 1.15f, 1.f};
    int px = x % panel, py = y % panel;
    if (px == 0 || py == 0)
      c = scaled(c, 0.35f);
    else if (px == 1 || py == 1)
      c = scaled(c, 1.5f);
    // A ring of light across every tile (rings round the tube), bright in
    // the middle with a soft spill.
    float ring = std::abs(fy - 128.f);
    float light = std::exp(-ring * ring / 18.f) + 0.35f * std::exp(-ring / 14.f);
    c = mix(c, Colour{0.55f, 0.85f, 1.f, 1.f}, clamp01(light));
    // Thin guide lines along the tube.
    float guide = std::abs(std::fmod(fx, 64.f) - 32.f);
    c = mix(c, Colour{0.15f, 0.35f, 0.6f, 1.f}, 0.5f * std::exp(-guide * guide / 1.5f));
    return c;
  }, detail);
  // Warning lamps at the panel corners half way between the rings.
  for (int i = 0; i < 4; ++i) {
    float x = i * 64.f + 32.f;
    for (float y : {32.f, 224.f}) {
      image.glow(x, y, 10.f, Colour{1.f, 0.55f, 0.15f, 1.f}, 2.f);
      image.fillCircle(x, y, 2.5f, Colour{1.f, 0.9f, 0.6f, 1.f});
    }
  }
  return image;
}

} // namespace demo::bake
