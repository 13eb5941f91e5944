#include "bake/letters_assets.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

#include "bake/bake_math.h"
#include "bake/text.h"
#include "scene/scene.h"

namespace demo::bake {

const LetterNode kLetterNodes[kLetterNodeCount] = {
    {"Mesh29", "q", Colour{0.3f, 0.3f, 0.75f, 1.f}},
    {"Mesh39", "v", Colour{0.2f, 0.2f, 0.8f, 1.f}},
    {"Mesh52", "k", Colour{0.8f, 0.8f, 0.8f, 1.f}},
    {"Text02", "kestrane", Colour{0.9f, 0.9f, 0.95f, 1.f}},
};

namespace {

// The quaternion that this engine turns by `angle` (right-handed) about
// `axis`: its matrix is the transpose of the textbook one, so the textbook
// quaternion of -angle.
Quat turn(const Vec3 &axis, float angle) {
  Vec3 a = unit(axis);
  float s = std::sin(-angle * 0.5f);
  return Quat{a.x * s, a.y * s, a.z * s, std::cos(-angle * 0.5f)};
}

float radians(float degrees) { return degrees * kPi / 180.f; }

// Coverage of a pixel whose centre lies `d` pixels outside a shape's edge.
// The painters measure d in base pixels and pass d times the detail, so that
// an edge is one pixel soft at every detail.
float cover(float d) { return clamp01(0.5f - d); }

// Signed distance (approximate, in pixels) from p to an ellipse centred on c
// with radii (rx, ry), turned by `angle` radians.
float ellipse(float px, float py, float cx, float cy, float rx, float ry, float angle = 0.f) {
  float c = std::cos(angle), s = std::sin(angle);
  float x = (px - cx) * c + (py - cy) * s, y = -(px - cx) * s + (py - cy) * c;
  float k = std::sqrt((x * x) / (rx * rx) + (y * y) / (ry * ry));
  return (k - 1.f) * std::min(rx, ry);
}

// Signed distance to a rectangle with rounded corners of radius r.
float roundedRect(float px, float py, float x0, float y0, float x1, float y1, float r) {
  float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
  float hx = (x1 - x0) * 0.5f - r, hy = (y1 - y0) * 0.5f - r;
  float qx = std::abs(px - cx) - hx, qy = std::abs(py - cy) - hy;
  float outside = std::hypot(std::max(qx, 0.f), std::max(qy, 0.f));
  return outside + std::min(std::max(qx, qy), 0.f) - r;
}

// Blends a coverage mask (the alpha of `mask`) into `target` at pixel (x, y)
// (pixels held, not base pixels: both are at the same detail), each pixel
// tinted by colour(maskX, maskY).
void drawMask(Image &target, const Image &mask, int x, int y, const std::function<Colour(int, int)> &colour,
              float opacity = 1.f) {
  for (int my = 0; my < mask.height; ++my)
    for (int mx = 0; mx < mask.width; ++mx) {
      float a = mask.get(mx, my).a * opacity;
      if (a > 0.f)
        target.blend(x + mx, y + my, colour(mx, my), a);
    }
}

// The same mask blurred, for soft shadows and glows: `padding` pixels held
// round it, blurred by `radius` base pixels, at the mask's detail.
Image blurredMask(const Image &mask, int padding, int radius) {
  Image out(mask.width + 2 * padding, mask.height + 2 * padding, 4, Colour{1, 1, 1, 0});
  out.detail = mask.detail;
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x)
      out.set(x + padding, y + padding, Colour{1, 1, 1, mask.get(x, y).a});
  out.blur(radius);
  return out;
}

// A solid letter mesh `height` units per em, its front facing +z, centred.
MeshData letterMesh(const char *text, float height, float depth, const char *font) {
  MeshData mesh = extrudeText(text, height, depth, font);
  // extrudeText centres x and y; centre the depth as well, so a letter
  // tumbles about its middle.
  mesh.transform(translation(Vec3{0.f, 0.f, depth * 0.5f}));
  return mesh;
}

} // namespace

// --- The letter cluster -------------------------------------------------------

std::unique_ptr<Scene> buildLetterScene() {
  auto scene = std::make_unique<Scene>();
  // One untextured material per letter in its drawing colour, glossy, and a
  // steel one for the ring. The scene itself draws with its own colours and
  // sphere map; the materials show the same when the file is viewed alone.
  auto material = [&](const Colour &c) {
    auto m = std::make_unique<Material>();
    m->ambient = {c.r * 0.3f, c.g * 0.3f, c.b * 0.3f, 1.f};
    m->diffuse = {c.r, c.g, c.b, 1.f};
    m->specular = {1.f, 1.f, 1.f, 1.f};
    m->glossiness = 0.4f;
    m->specularLevel = 0.8f;
    scene->addMaterial(std::move(m));
  };
  for (const LetterNode &letter : kLetterNodes)
    material(letter.colour);
  material(Colour{0.55f, 0.6f, 0.7f, 1.f});

  // Where each letter rests in the cluster (centre, tilt axis and angle).
  struct Pose {
    const char *font;
    float height, depth;
    Vec3 at, axis;
    float degrees;
  };
  const Pose poses[kLetterNodeCount] = {
      {kFontSansBold, 13.f, 3.5f, Vec3{-12.f, 7.f, 4.f}, Vec3{0.3f, 1.f, 0.1f}, 24.f},
      {kFontSerifBold, 12.f, 3.5f, Vec3{12.f, 4.f, -5.f}, Vec3{-0.2f, 1.f, 0.4f}, -30.f},
      {kFontSerifBold, 12.f, 3.5f, Vec3{2.f, -11.f, 6.f}, Vec3{1.f, 0.4f, 0.f}, 35.f},
      {kFontSansBold, 7.f, 2.5f, Vec3{0.f, 0.f, -2.f}, Vec3{0.f, 0.f, 1.f}, -12.f},
  };
  for (int i = 0; i < kLetterNodeCount; ++i) {
    const Pose &pose = poses[i];
    MeshData mesh = letterMesh(kLetterNodes[i].text, pose.height, pose.depth, pose.font);
    auto node = toMeshNode(mesh, kLetterNodes[i].name, i);
    NodeKey rest;
    rest.position = pose.at;
    rest.rotation = turn(pose.axis, radians(pose.degrees));
    node->setRestTransform(rest);
    scene->addChild(std::move(node));
  }

  // The ring round the cluster (kept in the file; the scene does not draw it).
  {
    MeshData torus = makeTorus(16.f, 1.2f, 48, 12);
    auto node = toMeshNode(torus, "Torus02", kLetterNodeCount);
    NodeKey rest;
    rest.rotation = turn(Vec3{1.f, 0.2f, 0.f}, radians(70.f));
    node->setRestTransform(rest);
    scene->addChild(std::move(node));
  }

  // A camera for viewers of the file, in front of the letters, close enough
  // for them to fill the view about as the scene's first round does.
  auto target = std::make_unique<SceneNode>();
  target->name = "Camera01.Target";
  scene->addChild(std::move(target));
  auto camera = std::make_unique<CameraNode>();
  camera->name = "Camera01";
  camera->fov = 90.f;
  camera->targetName = "Camera01.Target";
  NodeKey eye;
  eye.position = Vec3{12.f, 6.f, 34.f};
  camera->setRestTransform(eye);
  scene->addChild(std::move(camera));
  return scene;
}

// --- The jelly ------------------------------------------------------------------

MeshData makeGeodesicSphere(int frequency) {
  const int n = std::max(frequency, 1);
  const float t = (1.f + std::sqrt(5.f)) * 0.5f;
  std::array<Vec3, 12> corners = {Vec3{-1, t, 0}, {1, t, 0},  {-1, -t, 0}, {1, -t, 0}, {0, -1, t}, {0, 1, t},
                                  {0, -1, -t},    {0, 1, -t}, {t, 0, -1},  {t, 0, 1},  {-t, 0, -1}, {-t, 0, 1}};
  for (Vec3 &c : corners)
    normalize(c);
  // The twenty faces, counter-clockwise seen from outside.
  const int faces[20][3] = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11}, {1, 5, 9},  {5, 11, 4},
                            {11, 10, 2}, {10, 7, 6}, {7, 1, 8},   {3, 9, 4},  {3, 4, 2},   {3, 2, 6},  {3, 6, 8},
                            {3, 8, 9},  {4, 9, 5},  {2, 4, 11},  {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};

  // Points on shared corners and edges are keyed by the edge they lie on
  // (lower corner first) and their step from that corner, and computed from
  // that edge alone: neighbouring faces then share the very same vertex.
  MeshData mesh;
  std::map<std::tuple<int, int, int>, uint32_t> shared;
  auto vertex = [&](const Vec3 &p) {
    Vec3 d = unit(p);
    float u = 0.5f + std::atan2(d.z, d.x) / (2.f * kPi);
    float v = std::acos(std::clamp(d.y, -1.f, 1.f)) / kPi;
    return mesh.addVertex(d, d, u, v);
  };
  auto onEdge = [&](int a, int b, int step) -> uint32_t {
    if (step == 0)
      b = a;
    if (step == n)
      a = b, step = 0;
    if (a == b) {
      auto key = std::make_tuple(a, a, 0);
      auto it = shared.find(key);
      if (it != shared.end())
        return it->second;
      return shared[key] = vertex(corners[a]);
    }
    if (a > b) {
      std::swap(a, b);
      step = n - step;
    }
    auto key = std::make_tuple(a, b, step);
    auto it = shared.find(key);
    if (it != shared.end())
      return it->second;
    float f = static_cast<float>(step) / n;
    return shared[key] = vertex(corners[a] + (corners[b] - corners[a]) * f);
  };
  for (const auto &face : faces) {
    const int a = face[0], b = face[1], c = face[2];
    // Grid point (i, j) = a + i/n (b - a) + j/n (c - a), for i + j <= n.
    std::vector<uint32_t> grid(static_cast<size_t>((n + 1) * (n + 1)), 0);
    auto at = [&](int i, int j) -> uint32_t & { return grid[static_cast<size_t>(i * (n + 1) + j)]; };
    for (int i = 0; i <= n; ++i)
      for (int j = 0; i + j <= n; ++j) {
        if (j == 0)
          at(i, j) = onEdge(a, b, i);
        else if (i == 0)
          at(i, j) = onEdge(a, c, j);
        else if (i + j == n)
          at(i, j) = onEdge(b, c, j);
        else
          at(i, j) = vertex(corners[a] + ((corners[b] - corners[a]) * (static_cast<float>(i) / n) +
                                                 (corners[c] - corners[a]) * (static_cast<float>(j) / n)));
      }
    for (int i = 0; i < n; ++i)
      for (int j = 0; i + j < n; ++j) {
        mesh.addTriangle(at(i, j), at(i + 1, j), at(i, j + 1));
        if (i + j + 1 < n)
          mesh.addTriangle(at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
      }
  }
  return mesh;
}

EbrMesh buildJellyBlob() {
  MeshData sphere = makeGeodesicSphere(kJellyFrequency);
  // Smooth lumps: two octaves of 3D value noise over the directions, so the
  // blob stays round enough for its wobble to read as a wobble.
  for (Vec3 &p : sphere.positions) {
    float lumps = 0.16f * (valueNoise3(p.x * 1.3f + 4.f, p.y * 1.3f + 9.f, p.z * 1.3f + 2.f, 71u) - 0.5f) +
                  0.07f * (valueNoise3(p.x * 2.7f, p.y * 2.7f, p.z * 2.7f, 72u) - 0.5f);
    float squash = 1.f - 0.08f * p.y * p.y; // a little wider than tall, like a gum drop
    p = p * (kJellyRadius * (1.f + lumps) * squash);
  }
  sphere.computeNormals();
  EbrMesh blob;
  addToEbr(blob, sphere, "gummi");
  return blob;
}

// --- Sphere maps ----------------------------------------------------------------

Image paintPhongMap(int detail) {
  // Directions: x right, y up, z towards the viewer. The surface normal that
  // reflects the view into r is halfway between r and the view direction.
  const Vec3 key = unit(Vec3{-0.45f, 0.6f, 0.66f});
  const Vec3 rim = unit(Vec3{0.7f, -0.35f, 0.2f});
  const Vec3 half = unit(key + Vec3{0.f, 0.f, 1.f});
  return sphereMap(256, [&](float dx, float dy, float dz) {
    Vec3 n = unit(Vec3{dx, dy, dz + 1.f});
    float diffuse = std::max(0.f, dot(n, key));
    float specular = std::pow(std::max(0.f, dot(n, half)), 48.f);
    float sheen = std::pow(std::max(0.f, dot(n, rim)), 6.f);
    float grain = 0.03f * (valueNoise3(dx * 6.f, dy * 6.f, dz * 6.f, 31u) - 0.5f);
    float k = 0.04f + 0.42f * diffuse + grain;
    return Colour{clamp01(k + specular + 0.12f * sheen), clamp01(k + specular + 0.16f * sheen),
                  clamp01(k * 1.06f + specular + 0.24f * sheen), 1.f};
  }, detail);
}

Image paintGummiMap(int detail) {
  // A studio seen in glossy orange candy: deep red below, warm orange above,
  // two soft boxes and a bright back light that rims the blob.
  auto softBox = [](float az, float el, float az0, float el0, float halfAz, float halfEl) {
    float x = std::abs(az - az0) / halfAz, y = std::abs(el - el0) / halfEl;
    return (1.f - smoothstep(0.75f, 1.f, x)) * (1.f - smoothstep(0.7f, 1.f, y));
  };
  return sphereMap(256, [&](float dx, float dy, float dz) {
    float az = std::atan2(dx, dz), el = std::asin(std::clamp(dy, -1.f, 1.f));
    float up = dy * 0.5f + 0.5f;
    Colour body = mix(Colour{0.45f, 0.04f, 0.03f, 1.f}, Colour{1.f, 0.48f, 0.1f, 1.f}, smoothstep(0.1f, 0.85f, up));
    float swirl = valueNoise3(dx * 2.5f + 3.f, dy * 2.5f, dz * 2.5f, 41u);
    body = scaled(body, 0.85f + 0.3f * swirl);
    // The floor's horizon: a darker band just below eye level.
    body = scaled(body, 1.f - 0.35f * (1.f - smoothstep(0.f, 0.12f, std::abs(el + 0.08f))));
    float light = 1.1f * softBox(az, el, radians(-45.f), radians(38.f), radians(28.f), radians(16.f)) +
                  0.8f * softBox(az, el, radians(60.f), radians(12.f), radians(9.f), radians(22.f));
    float back = smoothstep(-0.2f, -0.95f, dz); // directions behind: the rim
    Colour c = mix(body, Colour{1.f, 0.82f, 0.55f, 1.f}, 0.55f * back);
    c = mix(c, Colour{1.f, 0.97f, 0.9f, 1.f}, clamp01(light));
    return c;
  }, detail);
}

// --- Pictures ---------------------------------------------------------------------

Image paintCredit(const std::string &role, const Colour &accent, int detail) {
  const int w = kCreditWidth, h = kCreditHeight;
  const float k = static_cast<float>(detail);
  Image image = Image::atDetail(w, h, 4, detail, Colour{0.f, 0.f, 0.f, 0.f});
  // The panel: dark glass with a faint vertical sheen, edged in the accent.
  const float x0 = 6.f, y0 = 10.f, x1 = w - 6.f, y1 = h - 10.f, r = 10.f;
  for (int py = 0; py < image.height; ++py)
    for (int px = 0; px < image.width; ++px) {
      const float x = basePosition(px, detail), y = basePosition(py, detail);
      float d = roundedRect(x + 0.5f, y + 0.5f, x0, y0, x1, y1, r);
      float inside = cover(d * k);
      if (inside <= 0.f && d > 3.f)
        continue;
      float shade = 0.5f + 0.5f * (1.f - y / h);
      Colour glass{0.02f + 0.05f * shade, 0.03f + 0.06f * shade, 0.07f + 0.1f * shade, 0.6f * inside};
      image.blend(px, py, glass);
      float edge = cover((std::abs(d + 1.f) - 0.75f) * k);
      image.blend(px, py, Colour{accent.r, accent.g, accent.b, 0.85f}, edge);
      // The clear pixels round the edge carry the accent's colour (at no
      // opacity), as the rim's pixels do at detail 1, so that filtering the
      // picture does not darken its edge.
      if (detail != 1 && image.get(px, py).a <= 0.f) {
        const float dc = roundedRect(baseCell(x) + 0.5f, baseCell(y) + 0.5f, x0, y0, x1, y1, r);
        if (cover(std::abs(dc + 1.f) - 0.75f) > 0.f)
          image.set(px, py, Colour{accent.r, accent.g, accent.b, 0.f});
      }
    }
  // The group's name, small and spaced, with a rule under it.
  const Image group = renderText("kestrane", 15, kFontSans, 0, 3.f, detail);
  const int gx = 22, gy = 22, nameHeight = group.baseHeight();
  drawMask(image, group, gx * detail, gy * detail,
           [&](int, int) { return Colour{accent.r, accent.g, accent.b, 1.f}; });
  image.fillRect(static_cast<float>(gx), static_cast<float>(gy + nameHeight + 5), static_cast<float>(w - 22),
                 static_cast<float>(gy + nameHeight + 6), Colour{accent.r, accent.g, accent.b, 0.55f});
  // The role: large, white fading into the accent, over a soft shadow. The
  // size shrinks until the word fits the panel.
  int size = 50;
  Image word = renderText(role, size, kFontSansBold, 0, 0.f, detail);
  while (word.baseWidth() > w - 48 && size > 16) {
    size -= 2;
    word = renderText(role, size, kFontSansBold, 0, 0.f, detail);
  }
  const int wx = (w - word.baseWidth()) / 2, wy = 50 + (h - 62 - word.baseHeight()) / 2;
  Image shadow = blurredMask(word, 6 * detail, 3);
  drawMask(image, shadow, (wx - 6 + 2) * detail, (wy - 6 + 3) * detail,
           [](int, int) { return Colour{0.f, 0.f, 0.f, 1.f}; }, 0.8f);
  drawMask(image, word, wx * detail, wy * detail, [&](int, int my) {
    float t = static_cast<float>(my) / std::max(1, word.height - 1);
    return mix(Colour{1.f, 1.f, 1.f, 1.f}, mix(accent, Colour{1.f, 1.f, 1.f, 1.f}, 0.35f), smoothstep(0.35f, 1.f, t));
  });
  return image;
}

Image paintBorder(int detail) {
  const int size = 128;
  const float k = static_cast<float>(detail);
  Image image = Image::atDetail(size, size, 4, detail, Colour{0.f, 0.f, 0.f, 0.f});
  for (int py = 0; py < image.height; ++py)
    for (int px = 0; px < image.width; ++px) {
      const float x = basePosition(px, detail), y = basePosition(py, detail);
      float u = (x + 0.5f) / size, v = (y + 0.5f) / size; // v = 1 at the screen edge
      // The band's inner edge wanders once per tile, with fine tileable grain.
      float edge = 0.42f + 0.06f * std::sin(2.f * kPi * u) + 0.08f * (fbm(u * 8.f, v * 2.f, 51u, 3, 0.5f, 8) - 0.5f);
      float a = smoothstep(edge - 0.1f, edge + 0.22f, v);
      // A row of slots near the outer edge, four to a tile.
      float slot = roundedRect(std::fmod(x + 0.5f, 32.f), y + 0.5f, 9.f, 96.f, 23.f, 110.f, 3.f);
      a *= 1.f - 0.55f * cover(slot * k);
      float shade = 0.04f + 0.05f * fbm(u * 16.f, v * 16.f, 52u, 2, 0.5f, 16);
      image.set(px, py, Colour{shade, shade, shade * 1.2f, a});
    }
  return image;
}

Image paintSquirrel(int detail) {
  const int size = 256;
  const float k = static_cast<float>(detail);
  Image image = Image::atDetail(size, size, 3, detail);
  // The wood: blue-green shade above, moss below, a sunny glow top right and
  // soft leaf blotches.
  for (int iy = 0; iy < image.height; ++iy)
    for (int ix = 0; ix < image.width; ++ix) {
      const float x = basePosition(ix, detail), y = basePosition(iy, detail);
      float fx = x / 256.f, fy = y / 256.f;
      Colour c = mix(Colour{0.16f, 0.3f, 0.28f, 1.f}, Colour{0.2f, 0.28f, 0.1f, 1.f}, fy);
      float leaves = fbm(fx * 7.f, fy * 7.f, 61u, 4);
      c = mix(c, Colour{0.32f, 0.5f, 0.2f, 1.f}, smoothstep(0.5f, 0.75f, leaves) * 0.7f);
      float sun = std::max(0.f, 1.f - std::hypot(fx - 0.85f, fy - 0.1f) / 0.7f);
      c = mix(c, Colour{1.f, 0.93f, 0.65f, 1.f}, sun * sun * 0.75f);
      image.set(ix, iy, c);
    }
  // The branch it sits on.
  for (int iy = 0; iy < image.height; ++iy)
    for (int ix = 0; ix < image.width; ++ix) {
      const float x = basePosition(ix, detail), y = basePosition(iy, detail);
      float centre = 212.f + 0.06f * (x - 128.f) + 3.f * std::sin(x * 0.05f);
      float d = std::abs(y + 0.5f - centre) - (11.f - 0.02f * x);
      float a = cover(d * k);
      if (a <= 0.f)
        continue;
      float bark = fbm(x * 0.08f, y * 0.4f, 62u, 3);
      float light = clamp01(0.5f - (y - centre) / 22.f);
      Colour c = mix(Colour{0.16f, 0.1f, 0.06f, 1.f}, Colour{0.42f, 0.3f, 0.18f, 1.f}, 0.4f * bark + 0.6f * light);
      image.blend(ix, iy, c, a);
    }
  // The squirrel, facing left: shapes as signed distances in pixels.
  auto tail = [](float px, float py) {
    float d = 1e9f;
    for (int i = 0; i <= 24; ++i) {
      float s = i / 24.f;
      // An S curve up from the rump, curling over at the top.
      float cx = 158.f + 50.f * std::sin(s * 2.2f) - 18.f * s * s * s;
      float cy = 190.f - 150.f * s + 40.f * s * s * s;
      float r = 16.f + 20.f * std::sin(s * kPi * 0.85f);
      d = std::min(d, std::hypot(px - cx, py - cy) - r);
    }
    return d;
  };
  auto body = [](float px, float py) {
    float d = ellipse(px, py, 128.f, 162.f, 32.f, 40.f, radians(-18.f));
    d = std::min(d, ellipse(px, py, 100.f, 110.f, 24.f, 22.f));            // head
    d = std::min(d, ellipse(px, py, 80.f, 117.f, 14.f, 10.f, radians(15.f))); // snout
    d = std::min(d, ellipse(px, py, 110.f, 84.f, 6.f, 14.f, radians(15.f)));   // ear
    d = std::min(d, ellipse(px, py, 146.f, 190.f, 24.f, 14.f));             // hind leg
    d = std::min(d, ellipse(px, py, 104.f, 198.f, 16.f, 6.f));              // hind foot
    d = std::min(d, ellipse(px, py, 96.f, 148.f, 7.f, 15.f, radians(-35.f))); // fore leg
    return d;
  };
  for (int iy = 0; iy < image.height; ++iy)
    for (int ix = 0; ix < image.width; ++ix) {
      float px = basePosition(ix, detail) + 0.5f, py = basePosition(iy, detail) + 0.5f;
      float fur = fbm(px * 0.15f, py * 0.15f, 63u, 3);
      // The light comes from the top right.
      float lit = clamp01(0.55f + (px - 120.f) / 300.f - (py - 120.f) / 300.f);
      float dt = tail(px, py) + 3.f * (fur - 0.5f);
      if (float a = cover(dt * k); a > 0.f) {
        Colour c = mix(Colour{0.4f, 0.16f, 0.05f, 1.f}, Colour{0.9f, 0.5f, 0.2f, 1.f}, 0.5f * lit + 0.5f * fur);
        float edge = clamp01(1.f + dt / 6.f); // the fluffy rim catches the sun
        image.blend(ix, iy, mix(c, Colour{1.f, 0.8f, 0.5f, 1.f}, 0.5f * edge), a);
      }
      float db = body(px, py);
      if (float a = cover(db * k); a > 0.f) {
        Colour c = mix(Colour{0.45f, 0.18f, 0.06f, 1.f}, Colour{0.95f, 0.52f, 0.2f, 1.f}, 0.6f * lit + 0.4f * fur);
        float belly = cover((ellipse(px, py, 112.f, 165.f, 15.f, 28.f, radians(-12.f)) + 4.f * (fur - 0.5f)) * k);
        c = mix(c, Colour{0.98f, 0.88f, 0.7f, 1.f}, 0.85f * belly);
        image.blend(ix, iy, c, a);
      }
    }
  // The nut in its paws, and the face.
  image.fillCircle(86.f, 140.f, 9.f, Colour{0.45f, 0.28f, 0.1f, 1.f});
  image.fillCircle(84.f, 137.f, 3.f, Colour{0.75f, 0.55f, 0.3f, 1.f});
  image.fillCircle(93.f, 104.f, 4.2f, Colour{0.03f, 0.02f, 0.02f, 1.f});
  image.fillCircle(92.f, 102.5f, 1.3f, Colour{1.f, 1.f, 1.f, 1.f});
  image.fillCircle(68.5f, 114.f, 2.6f, Colour{0.08f, 0.04f, 0.04f, 1.f});
  return image;
}

} // namespace demo::bake
