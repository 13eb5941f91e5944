// Looking up a scene's named nodes: a missing or mistyped name is reported
// once and gives null, never a node of the wrong kind.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/data_path.h"
#include "scene/scene.h"
#include "scenes/effect.h"
#include "support/test_files.h"

namespace demo {
namespace {

void addBoxAndCamera(Scene &scene) {
  scene.path = "data/test.gsp";
  auto box = std::make_unique<MeshNode>();
  box->name = "Box1";
  auto camera = std::make_unique<CameraNode>();
  camera->name = "Camera01";
  box->addChild(std::move(camera));
  scene.addChild(std::move(box));
}

TEST(FindNamedNode, FindsMeshesAndCamerasAtAnyDepth) {
  Scene scene;
  addBoxAndCamera(scene);
  testing::internal::CaptureStderr();
  MeshNode *box = findMesh(scene, "Box1");
  CameraNode *camera = findCamera(scene, "Camera01");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  ASSERT_NE(box, nullptr);
  ASSERT_NE(camera, nullptr);
  EXPECT_EQ(*camera->name, "Camera01");
}

TEST(FindNamedNode, MissingOrWrongKindIsReportedAndNull) {
  Scene scene;
  addBoxAndCamera(scene);
  testing::internal::CaptureStderr();
  EXPECT_EQ(findMesh(scene, "Box9"), nullptr);
  EXPECT_EQ(findCamera(scene, "Box1"), nullptr);
  EXPECT_EQ(findMesh(scene, "Camera01"), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "data/test.gsp: no mesh named \"Box9\"\n"
                                                    "data/test.gsp: no camera named \"Box1\"\n"
                                                    "data/test.gsp: no mesh named \"Camera01\"\n");
}

// A scene file that cannot be read was reported once, under the path that
// was opened; nothing in it is then reported missing on its own.
TEST(FindNamedNode, AnUnreadableFileIsReportedOnceAndItsLookupsStaySilent) {
  test::TempDir dir;
  setDataDirectory(dir.path());
  testing::internal::CaptureStderr();
  Scene scene("data/gone.gsp");
  EXPECT_EQ(findMesh(scene, "Box1"), nullptr);
  EXPECT_EQ(findCamera(scene, "Camera01"), nullptr);
  const std::string err = testing::internal::GetCapturedStderr();
  setDataDirectory("");
  EXPECT_EQ(err, dir.file("gone.gsp") + ": cannot open\n");
}

} // namespace
} // namespace demo
