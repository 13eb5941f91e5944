#include <GL/glew.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gfx/cg_program.h"
#include "gl_fixture.h"
#include "base/data_path.h"
#include "support/test_files.h"

namespace demo::test {
namespace {

const char *kModulateBoth = R"(uniform sampler2D t0;
uniform sampler2D t1;
void main() {
  gl_FragColor = texture2D(t0, gl_TexCoord[0].st) * texture2D(t1, gl_TexCoord[1].st) * gl_Color;
}
)";

bool near(const Rgb &c, int r, int g, int b, int tolerance = 2) {
  return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance && std::abs(c.b - b) <= tolerance;
}

GLint integer(GLenum which) {
  GLint v = 0;
  glGetIntegerv(which, &v);
  return v;
}

bool startsWith(const std::string &s, const std::string &prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// The whole viewport, counter-clockwise, texture coordinates 0..1 on units 0
// and 1 (matrices are identity in a fresh test), depth test off so that
// every draw lands.
void drawQuad() {
  glDisable(GL_DEPTH_TEST);
  const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  glBegin(GL_QUADS);
  for (const auto &c : corners) {
    glMultiTexCoord2f(GL_TEXTURE0, (c[0] + 1) / 2, (c[1] + 1) / 2);
    glMultiTexCoord2f(GL_TEXTURE1, (c[0] + 1) / 2, (c[1] + 1) / 2);
    glVertex2f(c[0], c[1]);
  }
  glEnd();
}

class CgProgramTest : public GLTest {
protected:
  void TearDown() override {
    glUseProgram(0);
    for (unsigned name : textures_)
      glDeleteTextures(1, &name);
    setDataDirectory("");
    GLTest::TearDown();
  }

  std::string sourceFile(const std::string &name, const std::string &text) {
    const std::string path = dir_.file(name);
    writeFile(path, text);
    return path;
  }

  // Builds a program and returns what it printed.
  std::string build(const std::string &path, CgContext *ctx, CgProgram **out,
                    int profile = kCgProfileArbfp1) {
    testing::internal::CaptureStdout();
    owned_.push_back(std::make_unique<CgProgram>(path.c_str(), ctx, "main", profile));
    *out = owned_.back().get();
    return testing::internal::GetCapturedStdout();
  }

  void solidTexture(int unit, uint8_t r, uint8_t g, uint8_t b) { textures_.push_back(makeSolidTexture(unit, r, g, b)); }

  TempDir dir_;
  CgContext cg_;
  std::vector<unsigned> textures_;
  std::vector<std::unique_ptr<CgProgram>> owned_;
};

// ------------------------------------------------------------------ samplers in source order

TEST(SamplerNames, FollowDeclarationOrderSkippingComments) {
  EXPECT_EQ(samplerNames("uniform sampler2D zeta;\nuniform float k;\nuniform sampler2D alpha;"),
            (std::vector<std::string>{"zeta", "alpha"}));
  EXPECT_EQ(samplerNames("// uniform sampler2D old;\n/* uniform sampler2D older; */\n"
                         "uniform sampler2D a, b;\nuniform samplerCube c;\nuniform sampler2D d[2], e;"),
            (std::vector<std::string>{"a", "b", "c", "d", "e"}));
}

TEST(SamplerNames, NoneInASourceWithoutSamplers) {
  EXPECT_TRUE(samplerNames("").empty());
  EXPECT_TRUE(samplerNames("uniform vec4 colour;\nvoid main() { gl_FragColor = colour; }").empty());
  EXPECT_TRUE(samplerNames("uniform sampler2D").empty());
}

// ------------------------------------------------------------------ building

TEST_F(CgProgramTest, ValidProgramBuildsWithoutAnErrorLine) {
  CgProgram *fp = nullptr;
  const std::string out = build(sourceFile("fp.txt", kModulateBoth), &cg_, &fp);
  EXPECT_NE(fp->program, 0u);
  EXPECT_EQ(fp->profile, kCgProfileArbfp1);
  EXPECT_EQ(out.find("The compile returned an error."), std::string::npos) << out;
  EXPECT_EQ(out.find("The file could not be read."), std::string::npos) << out;
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.back(), '\n');
  EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0);
}

TEST_F(CgProgramTest, BuildingLeavesTheCurrentProgramInUse) {
  CgProgram *first = nullptr, *second = nullptr;
  build(sourceFile("a.txt", kModulateBoth), &cg_, &first);
  first->bind();
  build(sourceFile("b.txt", kModulateBoth), &cg_, &second);
  EXPECT_EQ(integer(GL_CURRENT_PROGRAM), static_cast<GLint>(first->program));
}

TEST_F(CgProgramTest, SourceWithItsOwnVersionLineIsKept) {
  CgProgram *fp = nullptr;
  const std::string out =
      build(sourceFile("v.txt", "  #version 110\nvoid main() { gl_FragColor = vec4(1.0); }\n"), &cg_, &fp);
  EXPECT_NE(fp->program, 0u) << out;
}

TEST_F(CgProgramTest, DataNamesResolveAgainstTheDataDirectory) {
  sourceFile("metaballsfp.txt", kModulateBoth);
  setDataDirectory(dir_.path());
  CgProgram *fp = nullptr;
  const std::string out = build("data/metaballsfp.txt", &cg_, &fp);
  EXPECT_NE(fp->program, 0u) << out;
}

TEST_F(CgProgramTest, MissingFilePrintsTheReadErrorAndAnEmptyListing) {
  CgProgram *fp = nullptr;
  const std::string out = build(dir_.file("nothing.txt"), &cg_, &fp);
  EXPECT_EQ(out, "The file could not be read.\n\n");
  EXPECT_EQ(fp->program, 0u);
}

TEST_F(CgProgramTest, SyntaxErrorPrintsTheCompileErrorThenTheLog) {
  CgProgram *fp = nullptr;
  const std::string out = build(sourceFile("bad.txt", "void main() { gl_FragColor = vec4(1.0) }\n"), &cg_, &fp);
  const std::string head = "The compile returned an error.\n";
  ASSERT_TRUE(startsWith(out, head)) << out;
  EXPECT_GT(out.size(), head.size() + 1) << "the info log is missing: " << out;
  EXPECT_EQ(out.back(), '\n');
  EXPECT_NE(out.substr(out.size() - 2), "\n\n") << "one newline after the log";
  EXPECT_EQ(fp->program, 0u);
}

TEST_F(CgProgramTest, LogLineNumbersAreTheFilesOwn) {
  CgProgram *fp = nullptr;
  const std::string out =
      build(sourceFile("bad.txt", "void main() {\n  gl_FragColor = vec4(1.0)\n}\n"), &cg_, &fp);
  // Mesa writes "0:3(1): error", NVIDIA "0(3) : error".
  EXPECT_TRUE(out.find("0:3(") != std::string::npos || out.find("0(3)") != std::string::npos) << out;
}

TEST_F(CgProgramTest, LinkFailureIsACompileError) {
  CgProgram *fp = nullptr;
  const std::string out = build(sourceFile("nomain.txt", "void helper() {}\n"), &cg_, &fp);
  EXPECT_TRUE(startsWith(out, "The compile returned an error.\n")) << out;
  EXPECT_EQ(fp->program, 0u);
}

TEST_F(CgProgramTest, WithoutAContextDiagnosticsStillReachStandardOutput) {
  CgProgram *fp = nullptr;
  const std::string out = build(dir_.file("nothing.txt"), nullptr, &fp);
  EXPECT_EQ(out, "The file could not be read.\n\n");
}

// ------------------------------------------------------------------ ownership

TEST_F(CgProgramTest, AMovedFromProgramFreesNothingAndTheNewOwnerFreesOnce) {
  CgProgram *fp = nullptr;
  build(sourceFile("fp.txt", kModulateBoth), &cg_, &fp);
  const GLuint name = fp->program;
  {
    CgProgram moved(std::move(*fp));
    EXPECT_EQ(fp->program, 0u);
    EXPECT_EQ(moved.program, name);
    owned_.clear();
    EXPECT_TRUE(glIsProgram(name)) << "the moved-from program deleted what it gave away";
    moved.bind();
    EXPECT_EQ(integer(GL_CURRENT_PROGRAM), static_cast<GLint>(name));
    moved.unbind();
  }
  EXPECT_FALSE(glIsProgram(name));
}

// ------------------------------------------------------------------ drawing

TEST_F(CgProgramTest, BoundProgramMultipliesBothTexturesAndTheColour) {
  CgProgram *fp = nullptr;
  build(sourceFile("fp.txt", kModulateBoth), &cg_, &fp);
  solidTexture(0, 255, 128, 255);
  solidTexture(1, 128, 255, 255);
  glColor4f(1.f, 1.f, 0.5f, 1.f);

  fp->bind();
  EXPECT_EQ(integer(GL_CURRENT_PROGRAM), static_cast<GLint>(fp->program));
  drawQuad();
  EXPECT_TRUE(near(pixel(400, 300), 128, 128, 128)) << pixel(400, 300).r;

  // Unbound, the fixed-function pipeline modulates the textures again.
  fp->unbind();
  EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0);
  glActiveTexture(GL_TEXTURE1);
  glDisable(GL_TEXTURE_2D);
  glActiveTexture(GL_TEXTURE0);
  glDisable(GL_TEXTURE_2D);
  glColor4f(0.2f, 0.4f, 0.6f, 1.f);
  drawQuad();
  EXPECT_TRUE(near(pixel(400, 300), 51, 102, 153));
}

TEST_F(CgProgramTest, SamplersTakeUnitsInDeclarationOrder) {
  CgProgram *fp = nullptr;
  build(sourceFile("order.txt",
                   "uniform sampler2D zeta;\nuniform sampler2D alpha;\n"
                   "void main() {\n"
                   "  gl_FragColor = vec4(texture2D(zeta, gl_TexCoord[0].st).r,\n"
                   "                      texture2D(alpha, gl_TexCoord[1].st).g, 0.0, 1.0);\n"
                   "}\n"),
        &cg_, &fp);
  solidTexture(0, 255, 0, 0);
  solidTexture(1, 0, 255, 0);
  fp->bind();
  drawQuad();
  EXPECT_TRUE(near(pixel(10, 10), 255, 255, 0));
}

TEST_F(CgProgramTest, FailedProgramBindsAsFixedFunction) {
  CgProgram *fp = nullptr;
  build(sourceFile("bad.txt", "void main() { oops }\n"), &cg_, &fp);
  glColor4f(0.2f, 0.4f, 0.6f, 1.f);
  fp->bind();
  drawQuad();
  EXPECT_TRUE(near(pixel(400, 300), 51, 102, 153));
  EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0);
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
}

TEST_F(CgProgramTest, VertexProfileBuildsAVertexShader) {
  CgProgram *vp = nullptr;
  const std::string out = build(sourceFile("vp.txt",
                                           "void main() {\n"
                                           "  gl_Position = ftransform();\n"
                                           "  gl_FrontColor = vec4(0.0, 0.0, 1.0, 1.0);\n"
                                           "}\n"),
                                &cg_, &vp, kCgProfileArbvp1);
  ASSERT_NE(vp->program, 0u) << out;
  EXPECT_EQ(vp->profile, kCgProfileArbvp1);
  glColor4f(1.f, 0.f, 0.f, 1.f);
  vp->bind();
  drawQuad();
  EXPECT_TRUE(near(pixel(400, 300), 0, 0, 255));
}

TEST_F(CgProgramTest, DisableProfilesStopsProgramsWithoutErrors) {
  disableCgProfiles();
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));

  CgProgram *fp = nullptr;
  build(sourceFile("fp.txt", "void main() { gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0); }\n"), &cg_, &fp);
  fp->bind();
  if (GLEW_ARB_fragment_program)
    glEnable(GL_FRAGMENT_PROGRAM_ARB);
  if (GLEW_ARB_vertex_program)
    glEnable(GL_VERTEX_PROGRAM_ARB);
  disableCgProfiles();
  EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0);
  EXPECT_FALSE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_PROGRAM_ARB));
  glColor4f(0.2f, 0.4f, 0.6f, 1.f);
  drawQuad();
  EXPECT_TRUE(near(pixel(400, 300), 51, 102, 153));
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
}

// ------------------------------------------------------------------ the context

TEST_F(CgProgramTest, ErrorPrintsOnceListingStays) {
  CgProgram *fp = nullptr;
  build(sourceFile("bad.txt", "void main() { oops }\n"), &cg_, &fp);
  testing::internal::CaptureStdout();
  cg_.checkError();
  const std::string afterError = testing::internal::GetCapturedStdout();
  EXPECT_EQ(afterError, "") << "the error was cleared when it was printed";

  testing::internal::CaptureStdout();
  cg_.printListing();
  const std::string listing = testing::internal::GetCapturedStdout();
  EXPECT_GT(listing.size(), 1u);
  testing::internal::CaptureStdout();
  cg_.printListing();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), listing);

  testing::internal::CaptureStdout();
  cg_.destroy();
  cg_.printListing();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n");
  EXPECT_EQ(cg_.context, 0u);
}

TEST_F(CgProgramTest, ContextsAreDistinctAndQuiet) {
  testing::internal::CaptureStdout();
  CgContext second;
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "");
  EXPECT_NE(second.context, 0u);
  EXPECT_NE(second.context, cg_.context);
  // A later build reports into the context it was given.
  CgProgram *fp = nullptr;
  build(dir_.file("nothing.txt"), &second, &fp);
  testing::internal::CaptureStdout();
  cg_.printListing();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n");
}

} // namespace
} // namespace demo::test
