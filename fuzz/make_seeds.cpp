// make_seeds: writes the starting corpora of the fuzz targets, made with the
// project's own writers so every seed is a valid file the show could load.
//
//   make_seeds DIR    writes DIR/gsp/*.gsp, DIR/ebr/*.ebr, DIR/png/*.png and
//                     DIR/jpeg/*.jpg (the directories are made as needed;
//                     existing seeds are overwritten, other files are kept)
//
// Exit status 1, with the file named on stderr, when something cannot be
// made or written.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "scene/ebr_mesh.h"
#include "scene/gsp_file.h"
#include "scene/scene.h"
#include "support/picture_writer.h"

namespace {

using namespace demo;

bool failed = false;

void fail(const std::string &path, const std::string &why) {
  std::fprintf(stderr, "make_seeds: %s: %s\n", path.c_str(), why.c_str());
  failed = true;
}

void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes) {
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (!f)
    return fail(path, "cannot write");
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok)
    fail(path, "cannot write");
}

// ---- scenes ----------------------------------------------------------------------

NodeKey key(int32_t time, Vec3 position, Quat rotation) {
  NodeKey k;
  k.time = time;
  k.position = position;
  k.rotation = rotation;
  return k;
}

// Every node class and payload, nested lights, keys, a camera with a target
// and materials with and without texture names.
void everyNodeClass(Scene &scene) {
  auto &group = scene.addChild(std::make_unique<SceneNode>());
  group.name = "Group";
  group.type = 5;
  group.setPositionKeys({key(0, Vec3{0.f, 0.f, 0.f}, Quat{0.f, 0.f, 0.f, 1.f}),
                         key(3000, Vec3{10.f, 0.f, -5.f}, Quat{0.f, 0.f, 0.f, 1.f})});
  group.setRotationKeys({key(0, Vec3{}, Quat{0.f, 0.f, 0.f, 1.f}), key(1500, Vec3{}, Quat{0.f, 0.7071f, 0.f, 0.7071f}),
                         key(6000, Vec3{}, Quat{0.f, 1.f, 0.f, 0.f})});

  auto light = std::make_unique<LightNode>();
  light->name = "Omni01";
  light->colour = Vec3{1.f, 0.9f, 0.8f};
  light->multiplier = 1.5f;
  auto off = std::make_unique<LightNode>();
  off->name = "Omni02";
  off->enabled = 0;
  light->addChild(std::move(off));
  group.addChild(std::move(light));

  auto mesh = std::make_unique<MeshNode>();
  mesh->name = "Box01";
  mesh->resizeVertices(4);
  mesh->positions = {Vec3{0.f, 0.f, 0.f}, Vec3{1.f, 0.f, 0.f}, Vec3{1.f, 1.f, 0.f}, Vec3{0.f, 1.f, 0.f}};
  mesh->normals.assign(4, Vec3{0.f, 0.f, 1.f});
  mesh->texCoords = {0.f, 1.f, 1.f, 1.f, 1.f, 0.f, 0.f, 0.f};
  mesh->texCoords1 = mesh->texCoords;
  Submesh front;
  front.materialIndex = 0;
  front.setIndices({0, 1, 2});
  mesh->addSubmesh(std::move(front));
  Submesh back;
  back.materialIndex = 1;
  back.setIndices({0, 2, 3});
  mesh->addSubmesh(std::move(back));
  scene.addChild(std::move(mesh));

  auto camera = std::make_unique<CameraNode>();
  camera->name = "Camera01";
  camera->fov = 45.f;
  camera->targetName = "Box01";
  scene.addChild(std::move(camera));
  scene.addChild(std::make_unique<SceneNode>()); // no name, type 0

  for (int i = 0; i < 2; ++i) {
    auto material = std::make_unique<Material>();
    material->diffuse = {0.8f, 0.5f, 0.2f, 1.f};
    material->glossiness = 0.25f;
    material->specularLevel = 32.f;
    if (i == 0)
      material->textureNames[0] = "data/stone.jpg";
    scene.addMaterial(std::move(material));
  }
}

// Nodes inside nodes, a few levels down.
void chain(Scene &scene) {
  SceneNode *parent = &scene;
  for (int i = 0; i < 6; ++i) {
    parent = &parent->addChild(std::make_unique<SceneNode>());
    parent->name = "Level" + std::to_string(i);
  }
}

void writeScene(const std::string &path, void (*build)(Scene &)) {
  Scene scene;
  if (build)
    build(scene);
  std::string error;
  const std::vector<uint8_t> bytes = writeGsp(scene, &error);
  if (bytes.empty())
    return fail(path, error);
  writeBytes(path, bytes);
}

// ---- meshes ----------------------------------------------------------------------

void writeMesh(const std::string &path, const EbrMesh &mesh) {
  const std::vector<uint8_t> bytes = writeEbr(mesh);
  if (bytes.empty())
    return fail(path, "the writer refused the mesh");
  writeBytes(path, bytes);
}

void addPart(const std::string &path, EbrMesh &mesh, std::string name, std::vector<Vec3> positions,
             std::vector<float> texCoords, std::vector<uint32_t> indices) {
  if (!mesh.addPart(std::move(name), std::move(positions), std::move(texCoords), std::move(indices)))
    fail(path, "a seed part does not make a part");
}

void writeMeshes(const std::string &dir) {
  writeMesh(dir + "/empty.ebr", EbrMesh());

  EbrMesh triangle;
  addPart(dir + "/triangle.ebr", triangle, "tri", {Vec3{0.f, 0.f, 0.f}, Vec3{1.f, 0.f, 0.f}, Vec3{0.f, 1.f, 0.f}},
          {0.f, 0.f, 1.f, 0.2f, 0.f, 1.f}, {0, 1, 2});
  writeMesh(dir + "/triangle.ebr", triangle);

  // Two parts: a quad without a name and a part with no vertices at all.
  EbrMesh parts;
  addPart(dir + "/parts.ebr", parts, "",
          {Vec3{0.f, 0.f, 5.f}, Vec3{2.f, 0.f, 5.f}, Vec3{2.f, 3.f, 5.f}, Vec3{0.f, 3.f, 5.f}},
          {0.f, 0.f, 1.f, 0.f, 1.f, 1.f, 0.f, 1.f}, {0, 1, 2, 0, 2, 3});
  addPart(dir + "/parts.ebr", parts, "nothing", {}, {}, {});
  writeMesh(dir + "/parts.ebr", parts);
}

// ---- pictures --------------------------------------------------------------------

std::vector<uint8_t> ramp(size_t count) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i)
    bytes[i] = static_cast<uint8_t>(i * 29 + 7);
  return bytes;
}

void writePicture(const std::string &path, bool ok) {
  if (!ok)
    fail(path, "the picture writer failed");
}

void writePictures(const std::string &pngDir, const std::string &jpegDir) {
  using test::PngLayout;
  writePicture(pngDir + "/rgb.png", test::writePng(pngDir + "/rgb.png", 4, 4, 3, ramp(4 * 4 * 3)));
  writePicture(pngDir + "/rgba.png", test::writePng(pngDir + "/rgba.png", 3, 2, 4, ramp(3 * 2 * 4)));

  PngLayout grey1; // 1-bit grey, rows padded to whole bytes
  grey1.width = 9;
  grey1.height = 3;
  grey1.colorType = 0;
  grey1.bitDepth = 1;
  grey1.rows = ramp(2 * 3);
  writePicture(pngDir + "/grey1.png", test::writePng(pngDir + "/grey1.png", grey1));

  PngLayout palette; // palette with transparency
  palette.width = 4;
  palette.height = 2;
  palette.colorType = 3;
  palette.bitDepth = 4;
  palette.rows = {0x01, 0x23, 0x32, 0x10};
  palette.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  palette.paletteAlpha = {0, 128};
  writePicture(pngDir + "/palette.png", test::writePng(pngDir + "/palette.png", palette));

  PngLayout deep; // 16-bit RGB with a transparent colour
  deep.width = 2;
  deep.height = 2;
  deep.colorType = 2;
  deep.bitDepth = 16;
  deep.rows = ramp(2 * 2 * 6);
  deep.transparentColour = true;
  writePicture(pngDir + "/rgb16.png", test::writePng(pngDir + "/rgb16.png", deep));

  PngLayout interlaced; // Adam7 grey + alpha
  interlaced.width = 9;
  interlaced.height = 9;
  interlaced.colorType = 4;
  interlaced.interlaced = true;
  interlaced.rows = ramp(9 * 9 * 2);
  writePicture(pngDir + "/interlaced.png", test::writePng(pngDir + "/interlaced.png", interlaced));

  writePicture(jpegDir + "/grey.jpg", test::writeJpeg(jpegDir + "/grey.jpg", 8, 8, 1, ramp(8 * 8)));
  writePicture(jpegDir + "/rgb.jpg", test::writeJpeg(jpegDir + "/rgb.jpg", 17, 9, 3, ramp(17 * 9 * 3)));
  writePicture(jpegDir + "/rgb50.jpg", test::writeJpeg(jpegDir + "/rgb50.jpg", 16, 16, 3, ramp(16 * 16 * 3), 50));
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds DIR\n");
    return 2;
  }
  const std::string root = argv[1];
  for (const char *kind : {"gsp", "ebr", "png", "jpeg"}) {
    std::error_code ec;
    std::filesystem::create_directories(root + "/" + kind, ec);
    if (ec) {
      fail(root + "/" + kind, ec.message());
      return 1;
    }
  }
  writeScene(root + "/gsp/empty.gsp", nullptr);
  writeScene(root + "/gsp/nodes.gsp", everyNodeClass);
  writeScene(root + "/gsp/chain.gsp", chain);
  writeMeshes(root + "/ebr");
  writePictures(root + "/png", root + "/jpeg");
  return failed ? 1 : 0;
}
