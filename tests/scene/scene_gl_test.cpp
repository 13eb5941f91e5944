#include <GL/glew.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gl_fixture.h"
#include "scene/scene.h"
#include "support/matrix_checks.h"
#include "support/picture_writer.h"
#include "support/test_files.h"

namespace demo::test {
namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

const float kHalf = std::sqrt(0.5f);

// With identity matrices the frame is [-1, 1] in x and y: x = -1 is pixel
// column 0 and x = 1 column 800, y likewise over 600 rows.
class SceneGL : public GLTest {
protected:
  // A counter-clockwise quad at z = 0 as a submesh of its own (with its own
  // four vertices) using material `material`.
  static void addQuad(MeshNode &mesh, float x0, float y0, float x1, float y1, int32_t material = 0) {
    const auto first = static_cast<uint32_t>(mesh.positions.size());
    mesh.resizeVertices(mesh.vertexCount + 4);
    const Vec3 corners[4] = {{x0, y0, 0.f}, {x1, y0, 0.f}, {x1, y1, 0.f}, {x0, y1, 0.f}};
    for (uint32_t i = 0; i < 4; ++i) {
      mesh.positions[first + i] = corners[i];
      mesh.normals[first + i] = Vec3{0.f, 0.f, 1.f};
    }
    Submesh s;
    s.materialIndex = material;
    s.setIndices({first, first + 1, first + 2, first, first + 2, first + 3});
    mesh.addSubmesh(std::move(s));
  }

  static MeshNode &addMesh(Scene &scene, const std::string &name) {
    auto mesh = std::make_unique<MeshNode>();
    mesh->name = name;
    return dynamic_cast<MeshNode &>(scene.addChild(std::move(mesh)));
  }

  // A mesh "Square" of one quad 0.2 on a side about its own origin: 80 x 60
  // pixels under identity matrices.
  static MeshNode &addSquare(Scene &scene) {
    MeshNode &mesh = addMesh(scene, "Square");
    addQuad(mesh, -0.1f, -0.1f, 0.1f, 0.1f);
    return mesh;
  }

  static LightNode &addLight(SceneNode &parent, Vec3 colour, float multiplier, uint8_t enabled, Vec3 at = {}) {
    auto light = std::make_unique<LightNode>();
    light->colour = colour;
    light->multiplier = multiplier;
    light->enabled = enabled;
    NodeKey rest;
    rest.position = at;
    light->setRestTransform(rest);
    return dynamic_cast<LightNode &>(parent.addChild(std::move(light)));
  }

  static CameraNode &addCamera(SceneNode &parent, Vec3 at, float fov, Quat rotation = {0.f, 0.f, 0.f, 1.f}) {
    auto camera = std::make_unique<CameraNode>();
    camera->name = "Camera";
    camera->fov = fov;
    NodeKey rest;
    rest.position = at;
    rest.rotation = rotation;
    camera->setRestTransform(rest);
    return dynamic_cast<CameraNode &>(parent.addChild(std::move(camera)));
  }

  static SceneNode &addPlain(SceneNode &parent, const std::string &name, Vec3 at = {}) {
    auto node = std::make_unique<SceneNode>();
    node->name = name;
    NodeKey rest;
    rest.position = at;
    node->setRestTransform(rest);
    return parent.addChild(std::move(node));
  }

  // A node "Target" at `target` and a camera at `eye` aimed at it; the scene
  // is prepared so the camera knows its target.
  static CameraNode &prepareCameraOnTarget(Scene &scene, Vec3 target, Vec3 eye, float fov) {
    addPlain(scene, "Target", target);
    CameraNode &camera = addCamera(scene, eye, fov);
    camera.targetName = "Target";
    scene.prepare(false);
    return camera;
  }

  // Pixels whose red or green channel is above 128 in [x0, x1) x [y0, y1).
  int brightPixels(int x0, int y0, int x1, int y1) {
    const std::vector<uint8_t> frame = readFrame();
    int count = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const uint8_t *p = &frame[(static_cast<size_t>(y) * 800 + static_cast<size_t>(x)) * 3];
        count += p[0] > 128 || p[1] > 128;
      }
    return count;
  }

  static Matrix4 matrix(GLenum which) {
    Matrix4 m;
    glGetFloatv(which, m.m);
    return m;
  }

  static GLint integer(GLenum which) {
    GLint v = 0;
    glGetIntegerv(which, &v);
    return v;
  }

  static std::vector<float> light(GLenum light, GLenum what) {
    std::vector<float> v(4);
    glGetLightfv(light, what, v.data());
    return v;
  }

  static std::vector<float> material(GLenum face, GLenum what) {
    std::vector<float> v(4);
    glGetMaterialfv(face, what, v.data());
    if (what == GL_SHININESS)
      v.resize(1);
    return v;
  }

  static void expectMapsTo(const Matrix4 &m, Vec3 p, float ex, float ey, float ez, float eps = 1e-3f) {
    EXPECT_NEAR(m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], ex, eps);
    EXPECT_NEAR(m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13], ey, eps);
    EXPECT_NEAR(m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14], ez, eps);
  }

  // The frame holds the 80 x 60 square with its lower-left pixel at (x0, y0)
  // and nothing else.
  void expectOnlyTheSquareAt(int x0, int y0) {
    EXPECT_EQ(brightPixels(x0, y0, x0 + 80, y0 + 60), 80 * 60);
    EXPECT_EQ(brightPixels(0, 0, 800, 600), 80 * 60);
  }

  // Both faces carry these material colours and a shininess of 25.
  static void expectFaceMaterials(const std::vector<float> &ambient, const std::vector<float> &diffuse,
                                  const std::vector<float> &specular, const std::vector<float> &emission) {
    for (GLenum face : {GL_FRONT, GL_BACK}) {
      EXPECT_EQ(material(face, GL_AMBIENT), ambient);
      EXPECT_EQ(material(face, GL_DIFFUSE), diffuse);
      EXPECT_EQ(material(face, GL_SPECULAR), specular);
      EXPECT_EQ(material(face, GL_EMISSION), emission);
      EXPECT_EQ(material(face, GL_SHININESS), (std::vector<float>{25.f}));
    }
  }

  void expectClientArraysDisabled() {
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  }
};

// ---- drawNode and draw ------------------------------------------------------------------

TEST_F(SceneGL, DrawNodeDrawsOnlySubmeshZero) {
  Scene scene;
  MeshNode &mesh = addMesh(scene, "Three");
  addQuad(mesh, -0.9f, -0.5f, -0.5f, 0.5f); // columns 40..199
  addQuad(mesh, -0.2f, -0.5f, 0.2f, 0.5f);  // 320..479
  addQuad(mesh, 0.5f, -0.5f, 0.9f, 0.5f);   // 600..759
  scene.updateTransforms();
  scene.drawNode(mesh, true);
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
  EXPECT_EQ(brightPixels(40, 150, 200, 450), 160 * 300);
  EXPECT_EQ(brightPixels(200, 0, 800, 600), 0);
  expectClientArraysDisabled();
}

TEST_F(SceneGL, DrawNodeDrawsInTheWorldMatrixAndLeavesTheModelviewAsFound) {
  Scene scene;
  MeshNode &mesh = addSquare(scene);
  NodeKey rest;
  rest.position = Vec3{0.5f, 0.f, 0.f};
  mesh.setRestTransform(rest);
  scene.updateTransforms();
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(0.f, 0.5f, 0.f);
  const Matrix4 before = matrix(GL_MODELVIEW_MATRIX);
  const GLint depth = integer(GL_MODELVIEW_STACK_DEPTH);
  scene.drawNode(mesh, true);
  // Centred at (0.5, 0.5): columns 560..639, rows 420..479.
  expectOnlyTheSquareAt(560, 420);
  expectMatrix(matrix(GL_MODELVIEW_MATRIX), before, 0.f);
  EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), depth);
  EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
  expectClientArraysDisabled();
}

TEST_F(SceneGL, DrawNodeWithoutTheWorldMatrixTouchesNoMatrix) {
  Scene scene;
  MeshNode &mesh = addSquare(scene);
  mesh.world = translation(Vec3{0.5f, 0.f, 0.f}); // must not be used
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(-0.5f, 0.f, 0.f);
  glMatrixMode(GL_PROJECTION); // left current on purpose
  const Matrix4 modelview = matrix(GL_MODELVIEW_MATRIX);
  const Matrix4 projection = matrix(GL_PROJECTION_MATRIX);
  const GLint modelviewDepth = integer(GL_MODELVIEW_STACK_DEPTH);
  const GLint projectionDepth = integer(GL_PROJECTION_STACK_DEPTH);
  scene.drawNode(mesh, false);
  // Centred at (-0.5, 0): columns 160..239, rows 270..329.
  expectOnlyTheSquareAt(160, 270);
  EXPECT_EQ(integer(GL_MATRIX_MODE), GL_PROJECTION);
  expectMatrix(matrix(GL_MODELVIEW_MATRIX), modelview, 0.f);
  expectMatrix(matrix(GL_PROJECTION_MATRIX), projection, 0.f);
  EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), modelviewDepth);
  EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), projectionDepth);
  expectClientArraysDisabled();
}

TEST_F(SceneGL, DrawNodeOfAMeshWithoutSubmeshesDrawsNothing) {
  Scene scene;
  MeshNode &mesh = addMesh(scene, "Empty");
  mesh.resizeVertices(3);
  glEnableClientState(GL_VERTEX_ARRAY); // stays as it is: no GL call at all
  scene.drawNode(mesh, true);
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
  glDisableClientState(GL_VERTEX_ARRAY);
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
  EXPECT_EQ(brightPixels(0, 0, 800, 600), 0);
}

TEST_F(SceneGL, MeshDrawAppliesEachSubmeshsMaterial) {
  // Lit with no light on and ambient 0, a surface shows its emission only.
  Scene scene;
  for (int i = 0; i < 2; ++i) {
    auto m = std::make_unique<Material>();
    m->ambient = {0.f, 0.f, 0.f, 1.f};
    m->diffuse = {0.f, 0.f, 0.f, 1.f};
    m->emission = i == 0 ? std::array<float, 4>{1.f, 0.f, 0.f, 1.f} : std::array<float, 4>{0.f, 1.f, 0.f, 1.f};
    scene.addMaterial(std::move(m));
  }
  MeshNode &mesh = addMesh(scene, "Two");
  addQuad(mesh, -0.9f, -0.5f, -0.5f, 0.5f, 1); // green
  addQuad(mesh, -0.2f, -0.5f, 0.2f, 0.5f, 0);  // red
  addQuad(mesh, 0.5f, -0.5f, 0.9f, 0.5f, 9);   // no such material: still red
  glEnable(GL_LIGHTING);
  mesh.draw(scene.materials);
  glDisable(GL_LIGHTING);
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
  const Rgb left = pixel(120, 300), middle = pixel(400, 300), right = pixel(680, 300);
  EXPECT_EQ(left.r, 0);
  EXPECT_EQ(left.g, 255);
  EXPECT_EQ(middle.r, 255);
  EXPECT_EQ(middle.g, 0);
  EXPECT_EQ(right.r, 255);
  expectClientArraysDisabled();
}

// ---- materials ------------------------------------------------------------------------

Material sampleMaterial() {
  Material m;
  m.ambient = {0.1f, 0.2f, 0.3f, 1.f};
  m.diffuse = {0.4f, 0.5f, 0.6f, 1.f};
  m.specular = {1.f, 1.f, 1.f, 1.f};
  m.emission = {0.f, 0.25f, 0.5f, 1.f};
  m.glossiness = 0.25f;
  m.specularLevel = 0.5f;
  return m;
}

TEST_F(SceneGL, UntexturedMaterialIsOpaqueAndLitWithItsOwnColours) {
  Material m = sampleMaterial();
  glColor4f(0.2f, 0.3f, 0.4f, 0.5f);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  m.apply();
  std::vector<float> colour(4);
  glGetFloatv(GL_CURRENT_COLOR, colour.data());
  EXPECT_EQ(colour, (std::vector<float>{1.f, 1.f, 1.f, 1.f}));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  expectFaceMaterials({0.1f, 0.2f, 0.3f, 1.f}, {0.4f, 0.5f, 0.6f, 1.f}, {0.5f, 0.5f, 0.5f, 0.5f},
                      {0.f, 0.25f, 0.5f, 1.f});
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
}

TEST_F(SceneGL, TexturedMaterialBindsAndBlendsWithWhiteDiffuse) {
  GLuint name = 0;
  glGenTextures(1, &name);
  Material m = sampleMaterial();
  m.texture0 = std::make_unique<Texture>();
  m.texture0->textureId = name;
  m.specularLevel = 2.f;
  m.apply();
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(name));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(integer(GL_BLEND_SRC), GL_SRC_ALPHA);
  EXPECT_EQ(integer(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
  expectFaceMaterials({0.f, 0.f, 0.f, 0.f}, {1.f, 1.f, 1.f, 1.f}, {2.f, 2.f, 2.f, 2.f}, {0.f, 0.25f, 0.5f, 1.f});
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glDeleteTextures(1, &name);
}

TEST_F(SceneGL, PrepareLoadsTexturesFromNamesZeroAndOneOnly) {
  TempDir dir;
  const std::vector<uint8_t> pixels(4 * 4 * 3, 200);
  ASSERT_TRUE(writePng(dir.file("a.png"), 4, 4, 3, pixels));
  ASSERT_TRUE(writePng(dir.file("b.png"), 4, 4, 3, pixels));
  Scene scene;
  Material &both = scene.addMaterial(std::make_unique<Material>());
  both.textureNames[0] = dir.file("a.png");
  both.textureNames[1] = dir.file("b.png");
  both.textureNames[2] = dir.file("missing-but-never-loaded.png");
  Material &second = scene.addMaterial(std::make_unique<Material>());
  second.textureNames[1] = dir.file("b.png");
  scene.prepare(true);
  ASSERT_NE(both.texture0, nullptr);
  ASSERT_NE(both.texture1, nullptr);
  EXPECT_NE(both.texture0->textureId, 0u);
  EXPECT_NE(both.texture1->textureId, 0u);
  EXPECT_NE(both.texture0->textureId, both.texture1->textureId);
  EXPECT_EQ(both.texture0->width, 4);
  EXPECT_EQ(second.texture0, nullptr);
  ASSERT_NE(second.texture1, nullptr);
  // The material without texture 0 still draws untextured.
  second.apply();
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

// ---- lights ---------------------------------------------------------------------------

TEST_F(SceneGL, LightTakesItsColourTimesMultiplierAndItsPositionThroughTheModelview) {
  Scene scene;
  addLight(scene, Vec3{1.f, 0.5f, 0.f}, 2.f, 1, Vec3{4.f, 5.f, 6.f});
  glDisable(GL_LIGHT0);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(1.f, 2.f, 3.f);
  scene.updateTransforms();
  EXPECT_EQ(scene.lightCount, 1);
  EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
  EXPECT_EQ(light(GL_LIGHT0, GL_AMBIENT), (std::vector<float>{0.f, 0.f, 0.f, 1.f}));
  EXPECT_EQ(light(GL_LIGHT0, GL_DIFFUSE), (std::vector<float>{2.f, 1.f, 0.f, 1.f}));
  EXPECT_EQ(light(GL_LIGHT0, GL_SPECULAR), (std::vector<float>{2.f, 1.f, 0.f, 1.f}));
  EXPECT_EQ(light(GL_LIGHT0, GL_POSITION), (std::vector<float>{5.f, 7.f, 9.f, 1.f}));
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING)) << "lighting itself is the scenes' business";
  glDisable(GL_LIGHT0);
}

TEST_F(SceneGL, ThreeLightsAtMostAndADisabledOneStillTakesItsNumber) {
  // Sentinels: light 1 on (must be switched off), light 3 on with its own
  // colour (must stay untouched).
  const float sentinel[4] = {0.3f, 0.3f, 0.3f, 1.f};
  glEnable(GL_LIGHT1);
  glEnable(GL_LIGHT3);
  glLightfv(GL_LIGHT3, GL_DIFFUSE, sentinel);
  Scene scene;
  addLight(scene, Vec3{1.f, 0.f, 0.f}, 1.f, 1);
  addPlain(scene, "between"); // plain nodes take no number
  addLight(scene, Vec3{0.f, 1.f, 0.f}, 1.f, 0);
  addLight(scene, Vec3{0.f, 0.f, 1.f}, 0.5f, 7); // any non-zero byte is on
  addLight(scene, Vec3{1.f, 1.f, 1.f}, 1.f, 1);
  scene.updateTransforms();
  EXPECT_EQ(scene.lightCount, 3);
  EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
  EXPECT_EQ(light(GL_LIGHT0, GL_DIFFUSE), (std::vector<float>{1.f, 0.f, 0.f, 1.f}));
  EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT2));
  EXPECT_EQ(light(GL_LIGHT2, GL_DIFFUSE), (std::vector<float>{0.f, 0.f, 0.5f, 1.f}));
  EXPECT_TRUE(glIsEnabled(GL_LIGHT3));
  EXPECT_EQ(light(GL_LIGHT3, GL_DIFFUSE), (std::vector<float>{0.3f, 0.3f, 0.3f, 1.f}));
  // A second pass numbers from 0 again.
  scene.updateTransforms();
  EXPECT_EQ(scene.lightCount, 3);
  for (GLenum l : {GL_LIGHT0, GL_LIGHT2, GL_LIGHT3})
    glDisable(l);
}

TEST_F(SceneGL, ALightBelowAPlainNodeIsNeverApplied) {
  const float sentinel[4] = {0.3f, 0.3f, 0.3f, 1.f};
  glDisable(GL_LIGHT0);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, sentinel);
  Scene scene;
  SceneNode &group = addPlain(scene, "group");
  LightNode &nested = addLight(group, Vec3{1.f, 1.f, 1.f}, 1.f, 1);
  nested.current.position = Vec3{9.f, 9.f, 9.f};
  scene.updateTransforms();
  EXPECT_EQ(scene.lightCount, 0);
  EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
  EXPECT_EQ(light(GL_LIGHT0, GL_DIFFUSE), (std::vector<float>{0.3f, 0.3f, 0.3f, 1.f}));
  EXPECT_EQ(nested.current.position.x, 9.f) << "an unvisited light keeps its animated transform";
  const float white[4] = {1.f, 1.f, 1.f, 1.f};
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
}

TEST_F(SceneGL, ALightShinesFromItsRestPositionWhateverItsTracksSay) {
  Scene scene;
  LightNode &lamp = addLight(scene, Vec3{1.f, 1.f, 1.f}, 1.f, 1, Vec3{1.f, 2.f, 3.f});
  NodeKey far;
  far.time = 0;
  far.position = Vec3{100.f, 100.f, 100.f};
  lamp.setPositionKeys({far});
  scene.animate(0.5f);
  EXPECT_EQ(lamp.current.position.x, 100.f);
  scene.updateTransforms();
  EXPECT_EQ(light(GL_LIGHT0, GL_POSITION), (std::vector<float>{1.f, 2.f, 3.f, 1.f}));
  EXPECT_EQ(lamp.current.position.x, 1.f) << "applying restores the rest transform";
  EXPECT_EQ(lamp.world[12], 100.f) << "the world matrix was built before the restore";
  glDisable(GL_LIGHT0);
}

// ---- cameras ---------------------------------------------------------------------------

TEST_F(SceneGL, ApplyCameraLoadsThePerspectiveAndLooksAtTheTarget) {
  Scene scene;
  CameraNode &camera = prepareCameraOnTarget(scene, Vec3{0.f, 2.f, 0.f}, Vec3{10.f, 2.f, 0.f}, 60.f);
  scene.aspect = 16.f / 9.f;
  glMatrixMode(GL_PROJECTION);
  glScalef(3.f, 3.f, 3.f); // leftovers must be replaced
  scene.applyCamera(camera);
  EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
  expectMatrix(matrix(GL_PROJECTION_MATRIX), perspective(60.0, 16.0 / 9.0, 1.0, 100000.0), 1e-4f);
  const Matrix4 view = matrix(GL_MODELVIEW_MATRIX);
  expectMapsTo(view, Vec3{10.f, 2.f, 0.f}, 0.f, 0.f, 0.f);   // the eye
  expectMapsTo(view, Vec3{0.f, 2.f, 0.f}, 0.f, 0.f, -10.f);  // the target, straight ahead
  expectMapsTo(view, Vec3{10.f, 3.f, 0.f}, 0.f, 1.f, 0.f);   // up is +y
}

TEST_F(SceneGL, LightsAreSetUnderTheViewThatWasCurrentBefore) {
  Scene scene;
  addLight(scene, Vec3{1.f, 1.f, 1.f}, 1.f, 1);
  CameraNode &camera = prepareCameraOnTarget(scene, Vec3{0.f, 0.f, -1.f}, Vec3{50.f, 0.f, 0.f}, 45.f);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(0.f, 0.f, -7.f); // "last frame's view"
  scene.applyCamera(camera);
  EXPECT_EQ(light(GL_LIGHT0, GL_POSITION), (std::vector<float>{0.f, 0.f, -7.f, 1.f}));
  glDisable(GL_LIGHT0);
}

TEST_F(SceneGL, TheEyeIsTheCamerasWorldTranslationUnderAMovingParent) {
  Scene scene;
  SceneNode &rig = addPlain(scene, "Rig");
  NodeKey k0, k1;
  k1.time = 3000;
  k1.position = Vec3{30.f, 0.f, 0.f};
  rig.setPositionKeys({k0, k1});
  CameraNode &camera = addCamera(rig, Vec3{0.f, 0.f, 10.f}, 45.f);
  camera.targetName = "Target";
  addPlain(scene, "Target", Vec3{15.f, 0.f, -50.f});
  scene.prepare(false);
  scene.update(0.5f, camera);
  EXPECT_FLOAT_EQ(camera.world[12], 15.f);
  EXPECT_FLOAT_EQ(camera.world[14], 10.f);
  const Matrix4 view = matrix(GL_MODELVIEW_MATRIX);
  expectMapsTo(view, Vec3{15.f, 0.f, 10.f}, 0.f, 0.f, 0.f);
  expectMapsTo(view, Vec3{15.f, 0.f, -50.f}, 0.f, 0.f, -60.f);
}

TEST_F(SceneGL, ACameraWithoutATargetLooksAlongItsOwnForwardAxis) {
  // A quarter turn about y in this system's quaternion convention takes the
  // camera's local -z to world +x.
  for (bool prepared : {false, true}) {
    Scene scene;
    CameraNode &camera = addCamera(scene, Vec3{1.f, 2.f, 3.f}, 45.f, Quat{0.f, kHalf, 0.f, kHalf});
    camera.targetName = "Missing";
    if (prepared) {
      CaptureStderr();
      scene.prepare(false);
      EXPECT_NE(GetCapturedStderr().find("has no target \"Missing\""), std::string::npos);
    }
    scene.update(0.f, camera);
    const Matrix4 view = matrix(GL_MODELVIEW_MATRIX);
    expectMapsTo(view, Vec3{1.f, 2.f, 3.f}, 0.f, 0.f, 0.f);
    expectMapsTo(view, Vec3{6.f, 2.f, 3.f}, 0.f, 0.f, -5.f);
    expectMapsTo(view, Vec3{1.f, 3.f, 3.f}, 0.f, 1.f, 0.f);
    for (int i = 0; i < 16; ++i)
      EXPECT_TRUE(std::isfinite(view[i]));
  }
}

TEST_F(SceneGL, SetUpVectorTurnsTheViewsUpAndKeepsTheAspectAtFourThirds) {
  Scene scene;
  CameraNode &camera = prepareCameraOnTarget(scene, Vec3{}, Vec3{10.f, 0.f, 0.f}, 50.f);
  scene.aspect = 16.f / 9.f;
  scene.setUpVector(0.f, 0.f, 1.f);
  scene.applyCamera(camera);
  expectMatrix(matrix(GL_PROJECTION_MATRIX), perspective(50.0, 4.0 / 3.0, 1.0, 100000.0), 1e-4f);
  expectMapsTo(matrix(GL_MODELVIEW_MATRIX), Vec3{10.f, 0.f, 1.f}, 0.f, 1.f, 0.f);
}

} // namespace
} // namespace demo::test
