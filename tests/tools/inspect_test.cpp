#include "inspect/inspect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "audio/music_stream.h"
#include "base/byte_reader.h"
#include "base/math.h"
#include "scene/ebr_mesh.h"
#include "scene/gsp_file.h"
#include "scene/scene.h"
#include "support/ogg_writer.h"
#include "support/picture_writer.h"
#include "support/test_files.h"

namespace demo::test {
namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

// One run of the program: exit status, what it wrote, and anything that
// slipped past it onto the process's real standard error.
struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
  std::string leaked;
  InspectJson json() const { return InspectJson::parse(out); }
};

Outcome inspect(const std::vector<std::string> &args) {
  std::vector<const char *> argv{"quintervale-inspect"};
  for (const std::string &a : args)
    argv.push_back(a.c_str());
  std::ostringstream out, err;
  Outcome run;
  CaptureStderr();
  run.status = runInspect(static_cast<int>(argv.size()), argv.data(), out, err);
  run.leaked = GetCapturedStderr();
  run.out = out.str();
  run.err = err.str();
  return run;
}

size_t lineCount(const std::string &text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

// A failed run: status 1, nothing on stdout, one line on stderr that names the
// file and says `what`, and no second copy of a reader's message.
void expectOneLineFailure(const Outcome &run, const std::string &path, const std::string &what) {
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(lineCount(run.err), 1u) << run.err;
  EXPECT_EQ(run.err.rfind(path + ": ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find(what), std::string::npos) << run.err;
  EXPECT_EQ(run.leaked, "");
}

// ---- kind ----------------------------------------------------------------------

TEST(InspectKind, ContentDecidesBeforeTheName) {
  const uint8_t gsp[] = {'G', 'S', 'P', 1};
  const uint8_t png[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  const uint8_t jpeg[] = {0xFF, 0xD8, 0xFF};
  const uint8_t ogg[] = {'O', 'g', 'g', 'S'};
  EXPECT_EQ(detectFileKind("a.ebr", gsp, sizeof gsp), FileKind::Gsp);
  EXPECT_EQ(detectFileKind("a.jpg", png, sizeof png), FileKind::Png);
  EXPECT_EQ(detectFileKind("a.png", jpeg, sizeof jpeg), FileKind::Jpeg);
  EXPECT_EQ(detectFileKind("a.ebr", ogg, sizeof ogg), FileKind::Ogg);
  // Cut-short signatures are no signatures.
  EXPECT_EQ(detectFileKind("a.gsp", gsp, 2), FileKind::Unknown);
  EXPECT_EQ(detectFileKind("a.png", png, 7), FileKind::Unknown);
  EXPECT_EQ(detectFileKind("a.ogg", ogg, 3), FileKind::Unknown);
}

TEST(InspectKind, EbrOnlyByItsExtension) {
  const uint8_t zero[] = {0, 0, 0, 0};
  EXPECT_EQ(detectFileKind("data/m.ebr", zero, 4), FileKind::Ebr);
  EXPECT_EQ(detectFileKind("M.EBR", zero, 0), FileKind::Ebr);
  EXPECT_EQ(detectFileKind("m.ebr.bak", zero, 4), FileKind::Unknown);
  EXPECT_EQ(detectFileKind("ebr", zero, 4), FileKind::Unknown);
  EXPECT_STREQ(fileKindName(FileKind::Unknown), "unknown");
}

// ---- GSP -----------------------------------------------------------------------

NodeKey positionKey(int32_t time, Vec3 p) {
  NodeKey k;
  k.time = time;
  k.position = p;
  return k;
}

// Every node class: a plain group with a nested light, a mesh with two
// submeshes, a camera with a target, one without, a nameless node of type 7.
void buildScene(Scene &scene) {
  auto &group = scene.addChild(std::make_unique<SceneNode>());
  group.name = "Group";
  NodeKey rest;
  rest.position = Vec3{0.1f, -2.f, 3.5f};
  rest.rotation = Quat{0.f, 0.6f, 0.f, 0.8f};
  rest.scale = Vec3{2.f, 1.f, 0.5f};
  group.setRestTransform(rest);
  group.setPositionKeys({positionKey(-100, Vec3{1.f, 2.f, 3.f}), positionKey(4000, Vec3{5.f, 6.f, 7.f})});
  NodeKey turn;
  turn.time = 30;
  turn.rotation = Quat{0.f, 0.f, 1.f, 0.f};
  group.setRotationKeys({turn});

  auto light = std::make_unique<LightNode>();
  light->name = "Omni01";
  light->colour = Vec3{1.f, 0.5f, 0.25f};
  light->multiplier = 2.f;
  light->enabled = 0;
  group.addChild(std::move(light));

  auto mesh = std::make_unique<MeshNode>();
  mesh->name = "Box01";
  mesh->resizeVertices(3);
  mesh->positions = {Vec3{0.f, 0.f, 0.f}, Vec3{1.f, 0.f, 0.f}, Vec3{0.f, 1.f, 0.f}};
  mesh->normals = {Vec3{0.f, 0.f, 1.f}, Vec3{0.f, 0.f, 1.f}, Vec3{0.f, 0.f, 1.f}};
  mesh->texCoords = {0.f, 0.75f, 1.f, 0.5f, 0.5f, 1.f};
  mesh->texCoords1 = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
  Submesh first;
  first.materialIndex = 1;
  first.setIndices({0, 1, 2});
  mesh->addSubmesh(std::move(first));
  mesh->addSubmesh(Submesh());
  scene.addChild(std::move(mesh));

  auto camera = std::make_unique<CameraNode>();
  camera->name = "Camera01";
  camera->fov = 60.f;
  camera->targetName = "Box01";
  scene.addChild(std::move(camera));
  scene.addChild(std::make_unique<CameraNode>());

  auto unnamed = std::make_unique<SceneNode>();
  unnamed->type = 7;
  scene.addChild(std::move(unnamed));

  for (int i = 0; i < 2; ++i) {
    auto material = std::make_unique<Material>();
    material->diffuse = {0.5f, 0.25f, 0.125f, 1.f};
    material->glossiness = 0.3f;
    material->specularLevel = 128.f;
    material->textureNames[static_cast<size_t>(2 * i)] = "tex" + std::to_string(i) + ".jpg";
    scene.addMaterial(std::move(material));
  }
}

class InspectFiles : public ::testing::Test {
protected:
  std::string writeScene(const Scene &scene, const std::string &name = "scene.gsp") {
    std::string error;
    const std::vector<uint8_t> bytes = writeGsp(scene, &error);
    EXPECT_FALSE(bytes.empty()) << error;
    writeFile(dir.file(name), bytes);
    return dir.file(name);
  }

  std::string writeBuiltScene() {
    Scene scene;
    buildScene(scene);
    return writeScene(scene);
  }

  // Inspecting the scratch file `name` fails with one line that says `what`.
  void expectFails(const std::string &name, const std::string &what) {
    expectOneLineFailure(inspect({dir.file(name)}), dir.file(name), what);
  }

  template <typename Content>
  void expectFails(const std::string &name, const Content &content, const std::string &what) {
    writeFile(dir.file(name), content);
    expectFails(name, what);
  }

  TempDir dir;
};

TEST_F(InspectFiles, SceneDescribesEveryNodeClassAndMaterial) {
  const Outcome run = inspect({writeBuiltScene()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const InspectJson doc = run.json();
  EXPECT_EQ(doc.begin().key(), "kind");
  EXPECT_EQ(doc["kind"], "gsp");
  ASSERT_EQ(doc["nodes"].size(), 5u);

  const InspectJson &group = doc["nodes"][0];
  EXPECT_EQ(group["name"], "Group");
  EXPECT_EQ(group["type"], 0);
  EXPECT_EQ(group["position"], InspectJson::array({0.1f, -2.f, 3.5f}));
  EXPECT_EQ(group["rotation"], InspectJson::array({0.f, 0.6f, 0.f, 0.8f}));
  EXPECT_EQ(group["scale"], InspectJson::array({2.f, 1.f, 0.5f}));
  EXPECT_EQ(group["positionKeys"], InspectJson::parse(R"({"count": 2, "first": -100, "last": 4000})"));
  EXPECT_EQ(group["rotationKeys"], InspectJson::parse(R"({"count": 1, "first": 30, "last": 30})"));
  EXPECT_FALSE(group.contains("mesh") || group.contains("light") || group.contains("camera"));

  ASSERT_EQ(group["children"].size(), 1u);
  const InspectJson &light = group["children"][0];
  EXPECT_EQ(light["type"], 1);
  EXPECT_EQ(light["light"]["color"], InspectJson::array({1.f, 0.5f, 0.25f}));
  EXPECT_EQ(light["light"]["multiplier"], 2.f);
  EXPECT_EQ(light["light"]["enabled"], false);
  EXPECT_EQ(light["children"], InspectJson::array());

  const InspectJson &mesh = doc["nodes"][1]["mesh"];
  EXPECT_EQ(mesh["vertices"], 3);
  EXPECT_EQ(mesh["submeshes"], InspectJson::parse(R"([{"indices": 3, "material": 1},
                                                       {"indices": 0, "material": 0}])"));
  EXPECT_FALSE(mesh.contains("positions"));

  EXPECT_EQ(doc["nodes"][2]["camera"]["fov"], 60.f);
  EXPECT_EQ(doc["nodes"][2]["camera"]["target"], "Box01");
  EXPECT_TRUE(doc["nodes"][3]["name"].is_null());
  EXPECT_TRUE(doc["nodes"][3]["camera"]["target"].is_null());

  const InspectJson &unnamed = doc["nodes"][4];
  EXPECT_TRUE(unnamed["name"].is_null());
  EXPECT_EQ(unnamed["type"], 7);
  EXPECT_TRUE(unnamed["positionKeys"]["first"].is_null());
  EXPECT_TRUE(unnamed["positionKeys"]["last"].is_null());
  EXPECT_EQ(unnamed["positionKeys"]["count"], 0);
  EXPECT_FALSE(unnamed["positionKeys"].contains("keys"));

  ASSERT_EQ(doc["materials"].size(), 2u);
  const InspectJson &material = doc["materials"][1];
  EXPECT_EQ(material["diffuse"], InspectJson::array({0.5f, 0.25f, 0.125f, 1.f}));
  EXPECT_EQ(material["ambient"], InspectJson::array({0.f, 0.f, 0.f, 1.f}));
  EXPECT_EQ(material["glossiness"], 0.3f);
  EXPECT_EQ(material["specularLevel"], 128.f);
  EXPECT_EQ(material["textures"], InspectJson::parse(R"([null, null, "tex1.jpg", null])"));
}

TEST_F(InspectFiles, FullSceneCarriesEveryArrayAsLoaded) {
  const Outcome run = inspect({"--full", writeBuiltScene()});
  ASSERT_EQ(run.status, 0) << run.err;
  const InspectJson doc = run.json();
  const InspectJson &mesh = doc["nodes"][1]["mesh"];
  EXPECT_EQ(mesh["positions"], InspectJson::parse("[[0, 0, 0], [1, 0, 0], [0, 1, 0]]"));
  EXPECT_EQ(mesh["normals"], InspectJson::parse("[[0, 0, 1], [0, 0, 1], [0, 0, 1]]"));
  // Set 0 as drawn (the file holds 1 - v), set 1 as stored.
  EXPECT_EQ(mesh["texCoords"], InspectJson::parse("[[0, 0.75], [1, 0.5], [0.5, 1]]"));
  EXPECT_EQ(mesh["texCoords1"], InspectJson::parse("[[0.1, 0.2], [0.3, 0.4], [0.5, 0.6]]"));
  EXPECT_EQ(mesh["submeshes"][0]["indexList"], InspectJson::parse("[0, 1, 2]"));
  EXPECT_EQ(mesh["submeshes"][1]["indexList"], InspectJson::array());

  const InspectJson &group = doc["nodes"][0];
  EXPECT_EQ(group["positionKeys"]["keys"], InspectJson::parse(R"([{"time": -100, "position": [1, 2, 3]},
                                                                   {"time": 4000, "position": [5, 6, 7]}])"));
  EXPECT_EQ(group["rotationKeys"]["keys"], InspectJson::parse(R"([{"time": 30, "rotation": [0, 0, 1, 0]}])"));
  EXPECT_EQ(doc["nodes"][4]["rotationKeys"]["keys"], InspectJson::array());
}

TEST_F(InspectFiles, FloatsPrintAsTheirShortestDecimal) {
  const Outcome run = inspect({writeBuiltScene()});
  ASSERT_EQ(run.status, 0);
  // Read back as doubles: 0.1f must say 0.1, not 0.10000000149011612.
  EXPECT_EQ(nlohmann::json::parse(run.out)["nodes"][0]["position"][0].get<double>(), 0.1);
}

TEST_F(InspectFiles, NamesThatAreNotUtf8StillPrint) {
  Scene scene;
  scene.addChild(std::make_unique<SceneNode>()).name = std::string("bad\xff", 4);
  const Outcome run = inspect({writeScene(scene)});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.json()["nodes"][0]["name"], "bad\xEF\xBF\xBD");
}

// ---- EBR -----------------------------------------------------------------------

TEST_F(InspectFiles, MeshPartsGiveCountsAndBounds) {
  EbrMesh mesh;
  ASSERT_TRUE(mesh.addPart("a", {Vec3{-1.f, 2.f, 0.f}, Vec3{3.f, -4.f, 5.f}, Vec3{0.f, 0.f, -6.f}},
                           {0.f, 0.25f, 1.f, 0.5f, 0.f, 1.f}, {0, 1, 2}));
  ASSERT_TRUE(mesh.addPart("", {}, {}, {}));
  const std::string path = dir.file("two.ebr");
  writeFile(path, writeEbr(mesh));

  const Outcome run = inspect({path});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.json(), InspectJson::parse(R"({"kind": "ebr", "parts": [
      {"vertices": 3, "triangles": 1, "min": [-1, -4, -6], "max": [3, 2, 5]},
      {"vertices": 0, "triangles": 0, "min": null, "max": null}]})"));

  const InspectJson part = inspect({"--full", path}).json()["parts"][0];
  EXPECT_EQ(part["positions"], InspectJson::parse("[[-1, 2, 0], [3, -4, 5], [0, 0, -6]]"));
  EXPECT_EQ(part["texCoords"], InspectJson::parse("[[0, 0.25], [1, 0.5], [0, 1]]"));
  EXPECT_EQ(part["indexList"], InspectJson::parse("[0, 1, 2]"));
  ASSERT_EQ(part["normals"].size(), 3u);
  // One triangle: every corner has its (unit) face normal.
  const InspectJson n = part["normals"][0];
  EXPECT_NEAR(n[0].get<float>() * n[0].get<float>() + n[1].get<float>() * n[1].get<float>() +
                  n[2].get<float>() * n[2].get<float>(),
              1.f, 1e-5f);
  EXPECT_EQ(part["normals"][1], n);
}

TEST_F(InspectFiles, BoundsLeaveNanCoordinatesOut) {
  EbrMesh mesh;
  const float nan = std::nanf("");
  ASSERT_TRUE(mesh.addPart("", {Vec3{nan, 1.f, nan}, Vec3{2.f, -1.f, nan}}, {0.f, 0.f, 0.f, 0.f}, {}));
  writeFile(dir.file("nan.ebr"), writeEbr(mesh));
  const InspectJson part = inspect({dir.file("nan.ebr")}).json()["parts"][0];
  EXPECT_EQ(part["min"], InspectJson::parse("[2, -1, null]"));
  EXPECT_EQ(part["max"], InspectJson::parse("[2, 1, null]"));
}

TEST_F(InspectFiles, MeshFileWithNoPartsIsValid) {
  writeFile(dir.file("empty.ebr"), writeEbr(EbrMesh()));
  const Outcome run = inspect({dir.file("empty.ebr")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.json(), InspectJson::parse(R"({"kind": "ebr", "parts": []})"));
}

// ---- pictures ------------------------------------------------------------------

TEST_F(InspectFiles, PicturesGiveTheirDecodedSize) {
  ASSERT_TRUE(writePng(dir.file("rgba.png"), 3, 2, 4, std::vector<uint8_t>(3 * 2 * 4, 200)));
  PngLayout grey;
  grey.width = 5;
  grey.height = 1;
  grey.colorType = 0;
  grey.rows = std::vector<uint8_t>(5, 7);
  ASSERT_TRUE(writePng(dir.file("grey.png"), grey));
  // Named .png, but the content is a grey JPEG.
  ASSERT_TRUE(writeJpeg(dir.file("grey.jpg.png"), 7, 4, 1, std::vector<uint8_t>(7 * 4, 90)));

  EXPECT_EQ(inspect({dir.file("rgba.png")}).json(),
            InspectJson::parse(R"({"kind": "png", "width": 3, "height": 2, "channels": 4})"));
  EXPECT_EQ(inspect({dir.file("grey.png")}).json()["channels"], 3);
  EXPECT_EQ(inspect({dir.file("grey.jpg.png")}).json(),
            InspectJson::parse(R"({"kind": "jpeg", "width": 7, "height": 4, "channels": 3})"));
}

// A busy 32 x 32 JPEG with junk before its scan marker: libjpeg warns and
// decodes. `scanStart` receives where the scan's marker ended up.
std::vector<uint8_t> jpegWithJunkBeforeScan(const TempDir &dir, size_t *scanStart = nullptr) {
  std::vector<uint8_t> pixels(32 * 32 * 3);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint8_t>(i * 37 % 251);
  EXPECT_TRUE(writeJpeg(dir.file("clean.jpg"), 32, 32, 3, pixels));
  std::vector<uint8_t> bytes = readFile(dir.file("clean.jpg"));
  for (size_t i = 0; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) {
      bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(i), {0x00, 0x00});
      if (scanStart)
        *scanStart = i + 2;
      break;
    }
  return bytes;
}

TEST_F(InspectFiles, JpegWarningOfAFileThatLoadsIsPassedOn) {
  writeFile(dir.file("junk.jpg"), jpegWithJunkBeforeScan(dir));
  const Outcome run = inspect({dir.file("junk.jpg")});
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.json()["width"], 32);
  EXPECT_EQ(lineCount(run.err), 1u) << run.err;
  EXPECT_EQ(run.leaked, "");
}

// ---- Ogg -----------------------------------------------------------------------

// One second of stereo sine at bin `bin`'s centre frequency, then silence.
std::string writeTone(const TempDir &dir, int bin) {
  const int rate = 44100;
  std::vector<float> samples;
  for (int n = 0; n < 2 * rate; ++n) {
    const float v = n < rate ? 0.5f * static_cast<float>(std::sin(2.0 * kPi * bin * n / 512.0)) : 0.f;
    samples.push_back(v);
    samples.push_back(v);
  }
  const std::string path = dir.file("tone.ogg");
  EXPECT_TRUE(writeOggVorbis(path, samples, 2, rate));
  return path;
}

TEST_F(InspectFiles, MusicGivesLengthRateAndChannels) {
  const InspectJson doc = inspect({writeTone(dir, 20)}).json();
  EXPECT_EQ(doc["kind"], "ogg");
  EXPECT_NEAR(doc["seconds"].get<float>(), 2.f, 1e-3f);
  EXPECT_EQ(doc["rate"], 44100);
  EXPECT_EQ(doc["channels"], 2);
  EXPECT_FALSE(doc.contains("spectrum"));
}

TEST_F(InspectFiles, SpectrumOfASinePeaksAtItsBin) {
  const std::string path = writeTone(dir, 20);
  const Outcome run = inspect({"--spectrum", "0.5", path});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<float> bins = run.json()["spectrum"].get<std::vector<float>>();
  ASSERT_EQ(bins.size(), 256u);
  EXPECT_EQ(std::max_element(bins.begin(), bins.end()) - bins.begin(), 20);
  EXPECT_NEAR(bins[20], 0.5f, 0.05f);

  // Past the tone the music is silent.
  const std::vector<float> late = inspect({"--spectrum", "1.5", path}).json()["spectrum"].get<std::vector<float>>();
  EXPECT_LT(*std::max_element(late.begin(), late.end()), 0.01f);
}

TEST_F(InspectFiles, SpectrumNeedsMusicAndATime) {
  ASSERT_TRUE(writePng(dir.file("p.png"), 1, 1, 3, {1, 2, 3}));
  expectOneLineFailure(inspect({"--spectrum", "1", dir.file("p.png")}), dir.file("p.png"), "needs an Ogg file");
  for (const char *bad : {"-1", "nan", "inf", "1s"}) {
    const Outcome run = inspect({"--spectrum", bad, dir.file("p.png")});
    EXPECT_EQ(run.status, 2) << bad;
    EXPECT_EQ(run.out, "");
  }
}

// ---- failures ------------------------------------------------------------------

TEST_F(InspectFiles, MissingUnreadableAndUnknownFilesFailWithOneLine) {
  expectFails("none.gsp", "cannot open");
  expectOneLineFailure(inspect({dir.path()}), dir.path(), "cannot read");
  expectFails("notes.txt", std::string("GS"), "unknown kind");
}

TEST_F(InspectFiles, DamagedFilesFailWithTheReadersLineOnce) {
  Scene scene;
  buildScene(scene);
  std::vector<uint8_t> gsp = writeGsp(scene);
  gsp.resize(gsp.size() - 3);
  expectFails("cut.gsp", gsp, "corrupt or truncated file");
  expectFails("v2.gsp", std::vector<uint8_t>{'G', 'S', 'P', 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
              "not a GSP scene file");

  ByteWriter ebr; // one part, one vertex, a triangle that points past it
  for (int32_t v : {1, 1, 1, 0})
    ebr.i32(v);
  ebr.u8('n');
  for (int i = 0; i < 5; ++i)
    ebr.f32(0.f);
  for (int32_t i : {0, 0, 1})
    ebr.i32(i);
  expectFails("bad.ebr", ebr.bytes(), "corrupt or truncated file");
  expectFails("short.ebr", std::vector<uint8_t>{0, 0}, "corrupt or truncated file");
  expectFails("cut.png", std::vector<uint8_t>{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0},
              "not a readable PNG picture");
  expectFails("cut.ogg", std::string("OggS and nothing else"), "Ogg");
}

TEST_F(InspectFiles, JpegThatWarnsThenIsCutOffLoadsWithOneLine) {
  // The junk draws a warning, the cut in the scan another: the picture is
  // described as the decoder recovered it, with the first warning only.
  size_t scanStart = 0;
  std::vector<uint8_t> bytes = jpegWithJunkBeforeScan(dir, &scanStart);
  ASSERT_GT(bytes.size(), scanStart + 400);
  bytes.resize(scanStart + 200);
  writeFile(dir.file("cut.jpg"), bytes);
  const Outcome run = inspect({dir.file("cut.jpg")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.json()["width"], 32);
  EXPECT_EQ(lineCount(run.err), 1u) << run.err;
}

TEST_F(InspectFiles, PngCutInItsImageDataIsDescribedWithTheRowItBreaksAt) {
  std::vector<uint8_t> pixels(16 * 64 * 3);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint8_t>(i * 31);
  ASSERT_TRUE(writePng(dir.file("whole.png"), 16, 64, 3, pixels));
  std::vector<uint8_t> bytes = test::readFile(dir.file("whole.png"));
  bytes.resize(bytes.size() / 2);
  writeFile(dir.file("half.png"), bytes);
  const Outcome run = inspect({dir.file("half.png")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.json()["height"], 64);
  EXPECT_EQ(lineCount(run.err), 1u) << run.err;
  EXPECT_NE(run.err.find(dir.file("half.png") + ": the picture is damaged from row "), std::string::npos) << run.err;
}

TEST(InspectArguments, FileIsRequiredAndHelpListsTheOptions) {
  const Outcome none = inspect({});
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.out, "");
  EXPECT_NE(none.err.find("FILE"), std::string::npos);
  const Outcome help = inspect({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--spectrum"), std::string::npos);
  EXPECT_NE(help.out.find("--full"), std::string::npos);
}

} // namespace
} // namespace demo::test
