// quintervale-view: renders a baked scene through one of its cameras (or a mesh, or
// a picture) to a PNG with the show's own loaders and drawing code, so the
// assets can be looked at without the scenes that use them.
//
//   quintervale-view OUT.png data/final.gsp --camera Camera01 --time 2.5
//   quintervale-view OUT.png data/gummi.ebr --texture data/phong.jpg --sphere-map
//   quintervale-view OUT.png data/overlays/logo_quintervale.png
//
// Scenes draw every mesh node with its own materials, lit by the scene's
// lights (or a head light when it has none), over a grey background.
#include <CLI/CLI.hpp>

#include <GL/glew.h>

#include <cstdio>
#include <functional>
#include <memory>

#include "bake/image.h"
#include "gfx/texture.h"
#include "base/data_path.h"
#include "platform/gl_window.h"
#include "base/byte_reader.h"
#include "scene/ebr_mesh.h"
#include "scene/view.h"
#include "scene/scene.h"

using namespace demo;

namespace {

void drawTree(SceneNode &node, Scene &scene) {
  if (node.type == kMeshNodeType) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMultMatrixf(node.world.m);
    node.draw(scene.materials);
    glPopMatrix();
  }
  for (auto &child : node.children)
    drawTree(*child, scene);
}

bool hasLights(const Scene &scene) {
  for (const auto &child : scene.children)
    if (child->type == kLightNodeType)
      return true;
  return false;
}

void headLight() {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  const float position[4] = {0.3f, 0.5f, 1.f, 0.f};
  const float white[4] = {0.9f, 0.9f, 0.9f, 1.f};
  const float ambient[4] = {0.25f, 0.25f, 0.25f, 1.f};
  glLightfv(GL_LIGHT0, GL_POSITION, position);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
  glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
  glEnable(GL_LIGHT0);
  glPopMatrix();
}

bool savePng(const std::string &path, GLWindow &window) {
  std::vector<uint8_t> rgb;
  window.readPixels(rgb);
  bake::Image image(window.width(), window.height(), 3);
  for (int y = 0; y < image.height; ++y) // the frame buffer's bottom row comes first
    std::copy_n(&rgb[static_cast<size_t>(window.height() - 1 - y) * image.width * 3], image.width * 3,
                &image.data[static_cast<size_t>(y) * image.width * 3]);
  return writeWholeFile(path, bake::encodePng(image));
}

} // namespace

int main(int argc, char **argv) {
  CLI::App app("quintervale-view - renders a scene, mesh or picture of the data set to a PNG", "quintervale-view");
  std::string out, file, cameraName, texturePath, dataDir;
  float time = 0.f, fov = 45.f;
  bool sphereMap = false;
  app.add_option("OUT", out, "PNG to write")->required();
  app.add_option("FILE", file, "a .gsp scene, .ebr mesh or a picture")->required();
  app.add_option("--camera", cameraName, "camera node of a scene (default: the first camera)");
  app.add_option("--time", time, "scene time in seconds");
  app.add_option("--texture", texturePath, "texture for a mesh");
  app.add_flag("--sphere-map", sphereMap, "map the texture as a sphere environment map");
  app.add_option("--fov", fov, "field of view for a mesh, degrees");
  app.add_option("--data", dataDir, "the data directory that \"data/...\" names refer to");
  CLI11_PARSE(app, argc, argv);

  if (!dataDir.empty())
    setDataDirectory(dataDir);
  const std::unique_ptr<GLWindow> headless = openHeadlessWindow();
  if (!headless->isOpen())
    return 1;
  GLWindow &window = *headless;
  glClearColor(0.35f, 0.37f, 0.42f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  const std::string ext = file.size() > 4 ? file.substr(file.size() - 4) : std::string();
  if (ext == ".gsp") {
    Scene scene(file);
    if (scene.children.empty())
      return 1;
    scene.prepare(true);
    CameraNode *camera = nullptr;
    std::function<void(SceneNode &)> findCamera = [&](SceneNode &node) {
      if (!camera && node.type == kCameraNodeType &&
          (cameraName.empty() || (node.name && *node.name == cameraName)))
        camera = static_cast<CameraNode *>(&node);
      for (auto &child : node.children)
        findCamera(*child);
    };
    findCamera(scene);
    if (!camera) {
      std::fprintf(stderr, "quintervale-view: %s: no camera %s\n", file.c_str(), cameraName.c_str());
      return 1;
    }
    // Lights are placed under the previous view: load this view once first.
    scene.update(time, *camera);
    scene.update(time, *camera);
    if (hasLights(scene)) {
      glEnable(GL_LIGHTING);
    } else {
      headLight();
      glEnable(GL_LIGHTING);
    }
    drawTree(scene, scene);
  } else if (ext == ".ebr") {
    EbrMesh mesh(file);
    if (mesh.partCount == 0)
      return 1;
    Vec3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
    for (auto &part : mesh.parts)
      for (const Vec3 &p : part->positions) {
        lo = Vec3{std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = Vec3{std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
      }
    Vec3 centre{(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2};
    float radius = std::max({hi.x - lo.x, hi.y - lo.y, hi.z - lo.z}) * 0.5f;
    float distance = radius / std::tan(fov * 0.5f * 3.14159265f / 180.f) * 1.3f;
    setViewClip(centre.x + distance * 0.5f, centre.y + distance * 0.4f, centre.z + distance, centre.x, centre.y,
                centre.z, 0, 1, 0, fov, 4.f / 3.f, distance * 0.01f, distance * 10.f);
    headLight();
    glEnable(GL_LIGHTING);
    std::unique_ptr<Texture> texture;
    if (!texturePath.empty()) {
      texture = std::make_unique<Texture>(texturePath.c_str(), 0);
      texture->bind();
      if (sphereMap)
        enableSphereMap();
    }
    mesh.draw();
  } else {
    Texture picture(file.c_str(), 0);
    if (!picture.textureId)
      return 1;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Overlay units: the base picture's 800 x 600.
    const float w = static_cast<float>(kBaseFrameWidth), h = static_cast<float>(kBaseFrameHeight);
    float scale = std::min(w / picture.width, h / picture.height);
    scale = std::min(scale, 1.f);
    // drawAt scales about the screen centre: place the picture centred.
    picture.drawAt(0.5f * w - picture.width * 0.5f, 0.5f * h - picture.height * 0.5f, scale);
  }
  glFinish();
  if (!savePng(out, window)) {
    std::fprintf(stderr, "quintervale-view: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
