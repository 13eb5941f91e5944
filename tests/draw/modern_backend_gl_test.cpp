// The modern backend's programs: a fragment program written for the classic
// renderer (GLSL 1.20 over the fixed vertex stage, as the show's program
// files are) builds on OpenGL 3.3 core and on OpenGL ES 3.0, and what its
// compiler says names the file's own lines. The pictures themselves are
// compared with the classic renderer's by the renderers test.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "draw/draw.h"
#include "draw/renderer.h"
#include "platform/gl_window.h"

namespace demo::draw {
// A failing parameterised test names its renderer ("es").
void PrintTo(Renderer renderer, std::ostream *out);
} // namespace demo::draw

namespace demo::test {
namespace {

using draw::Renderer;

// Texture unit 1 modulated by the colour: what the metaball program reads.
const char *const kProgram = "uniform sampler2D pattern;\n"
                             "void main() {\n"
                             "  gl_FragColor = texture2D(pattern, gl_TexCoord[1].st) * gl_Color;\n"
                             "}\n";

class ModernProgramsGL : public ::testing::TestWithParam<Renderer> {
protected:
  void SetUp() override {
    window_ = openHeadlessWindow(GetParam());
    ASSERT_TRUE(window_->isOpen());
  }
  void TearDown() override {
    if (window_) {
      EXPECT_EQ(window_->debugErrors(), 0u);
    }
  }
  std::unique_ptr<GLWindow> window_;
};

// Both ways a program reaches the backend: with the version line the loader
// puts in front of a file without one ("#line 0" after it), and with the
// file's own.
TEST_P(ModernProgramsGL, AProgramWithOrWithoutItsOwnVersionLineBuildsAndSetsItsSampler) {
  for (const std::string &source :
       {"#version 120\n#line 0\n" + std::string(kProgram), "#version 120\n" + std::string(kProgram)}) {
    const draw::ProgramBuild built = draw::buildProgram(draw::ShaderStage::Fragment, source);
    ASSERT_TRUE(built.compiled && built.linked) << built.compileLog << built.linkLog;
    draw::useProgram(built.program);
    const int pattern = draw::uniformLocation(built.program, "pattern");
    EXPECT_GE(pattern, 0);
    draw::uniformInt(pattern, 1);
    draw::begin(draw::Primitive::Triangles);
    draw::multiTexCoord(1, 0.5f, 0.5f);
    draw::vertex(-1.f, -1.f);
    draw::vertex(1.f, -1.f);
    draw::vertex(0.f, 1.f);
    draw::end();
    draw::useProgram(0);
    draw::deleteProgram(built.program);
  }
}

// The compiler's line for a mistake on the file's line 3 says 3, with the
// loader's version line in front or with the file's own.
TEST_P(ModernProgramsGL, ACompileErrorNamesTheFilesLine) {
  const std::string broken = "uniform sampler2D pattern;\n"
                             "void main() {\n"
                             "  gl_FragColor = undeclared;\n"
                             "}\n";
  for (const std::string &source : {"#version 120\n#line 0\n" + broken, "#version 120\nvoid f();\n" + broken}) {
    const bool ownVersion = source.find("#line") == std::string::npos;
    const draw::ProgramBuild built = draw::buildProgram(draw::ShaderStage::Fragment, source);
    EXPECT_FALSE(built.compiled);
    EXPECT_EQ(built.program, 0u);
    // Mesa writes "0:LINE(COLUMN): error: ...".
    const std::string line = ownVersion ? "0:5(" : "0:3(";
    EXPECT_NE(built.compileLog.find(line), std::string::npos) << built.compileLog;
  }
}

std::string nameOf(const ::testing::TestParamInfo<Renderer> &param) { return draw::rendererName(param.param); }

INSTANTIATE_TEST_SUITE_P(Renderers, ModernProgramsGL, ::testing::Values(Renderer::Modern, Renderer::Es), nameOf);

} // namespace
} // namespace demo::test
