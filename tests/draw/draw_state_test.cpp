#include "draw/draw.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace demo::test {
namespace {

using draw::Cap;
using draw::MatrixMode;

// A backend that draws nothing and keeps the batches and colours it is handed.
struct RecordingBackend final : draw::Backend {
  std::vector<draw::Batch> batches;
  int colourCalls = 0;
  void setEnabled(const draw::State &, Cap, bool) override {}
  void matrixMode(const draw::State &) override {}
  void loadIdentity(const draw::State &) override {}
  void pushMatrix(const draw::State &) override {}
  void popMatrix(const draw::State &) override {}
  void translate(const draw::State &, float, float, float) override {}
  void rotate(const draw::State &, float, float, float, float) override {}
  void scale(const draw::State &, float, float, float) override {}
  void multMatrix(const draw::State &, const float *) override {}
  void ortho(const draw::State &, double, double, double, double, double, double) override {}
  void perspective(const draw::State &, double, double, double, double) override {}
  void lookAt(const draw::State &, double, double, double, double, double, double, double, double,
              double) override {}
  void colour(const draw::State &) override { ++colourCalls; }
  void normal(const draw::State &) override {}
  void texCoord(const draw::State &, int) override {}
  void blendFunc(const draw::State &) override {}
  void depthMask(const draw::State &) override {}
  void colourMask(const draw::State &) override {}
  void clearColour(const draw::State &) override {}
  void clear(const draw::State &, unsigned) override {}
  void pointSize(const draw::State &) override {}
  uint32_t error() override { return 0; }
  void light(const draw::State &, int, draw::LightParam, const float *) override {}
  void material(const draw::State &, draw::MaterialParam, const float *) override {}
  void shininess(const draw::State &) override {}
  void fog(const draw::State &) override {}
  void sphereMap(const draw::State &) override {}
  void activeTexture(const draw::State &) override {}
  void bindTexture(const draw::State &) override {}
  void textureParameter(const draw::State &, draw::TextureParam, draw::TextureValue) override {}
  void viewport(const draw::State &) override {}
  void scissor(const draw::State &) override {}
  bool programsAvailable() override { return false; }
  draw::ProgramBuild buildProgram(draw::ShaderStage, const std::string &) override { return {}; }
  void deleteProgram(uint32_t) override {}
  void useProgram(const draw::State &) override {}
  int uniformLocation(uint32_t, const char *) override { return -1; }
  void uniform(int, int, const float *) override {}
  void uniformInt(int, int) override {}
  void disableArbPrograms() override {}
  void pushAttributes(const draw::State &, unsigned) override {}
  void popAttributes(const draw::State &) override {}
  void drawBatch(const draw::State &, const draw::Batch &batch) override { batches.push_back(batch); }
  void drawIndexed(const draw::State &, const draw::IndexedArrays &) override {}
};

class DrawState : public ::testing::Test {
protected:
  DrawState() : context_(std::make_unique<RecordingBackend>()) {
    recorder_ = static_cast<RecordingBackend *>(&context_.backend());
    draw::setCurrent(&context_);
  }
  ~DrawState() override { draw::setCurrent(nullptr); }

  static float translationX(MatrixMode mode) { return draw::state().current(mode)[12]; }

  draw::Context context_;
  RecordingBackend *recorder_;
};

TEST_F(DrawState, PoppingTheLastMatrixLeavesTheStackAsItIs) {
  draw::translate(4.f, 0.f, 0.f);
  draw::popMatrix();
  EXPECT_EQ(draw::state().modelView.size(), 1u);
  EXPECT_EQ(translationX(MatrixMode::ModelView), 4.f);
}

TEST_F(DrawState, ProjectionAndModelViewStacksPushAndPopIndependently) {
  draw::pushMatrix();
  draw::translate(2.f, 0.f, 0.f);
  draw::matrixMode(MatrixMode::Projection);
  draw::pushMatrix();
  draw::translate(7.f, 0.f, 0.f);
  draw::popMatrix();
  EXPECT_EQ(translationX(MatrixMode::Projection), 0.f);
  EXPECT_EQ(draw::state().projection.size(), 1u);
  EXPECT_EQ(translationX(MatrixMode::ModelView), 2.f);
  EXPECT_EQ(draw::state().modelView.size(), 2u);
  draw::matrixMode(MatrixMode::ModelView);
  draw::popMatrix();
  EXPECT_EQ(translationX(MatrixMode::ModelView), 0.f);
}

TEST_F(DrawState, TextureMatrixStackBelongsToTheActiveUnit) {
  draw::matrixMode(MatrixMode::Texture);
  draw::activeTexture(1);
  draw::pushMatrix();
  draw::translate(3.f, 0.f, 0.f);
  draw::activeTexture(0);
  EXPECT_EQ(translationX(MatrixMode::Texture), 0.f);
  EXPECT_EQ(draw::state().texture[0].size(), 1u);
  draw::activeTexture(1);
  EXPECT_EQ(translationX(MatrixMode::Texture), 3.f);
  draw::popMatrix();
  EXPECT_EQ(draw::state().texture[1].size(), 1u);
  EXPECT_EQ(translationX(MatrixMode::Texture), 0.f);
}

TEST_F(DrawState, ColourInsideABatchIsRecordedPerVertexAndMarksOnlyColours) {
  draw::normal(0.f, 1.f, 0.f); // current before begin: carried, not marked
  draw::begin(draw::Primitive::Triangles);
  draw::colour(1.f, 0.f, 0.f, 1.f);
  draw::vertex(0.f, 0.f);
  draw::vertex(1.f, 0.f);
  draw::colour(uint8_t{0}, uint8_t{255}, uint8_t{0});
  draw::vertex(0.f, 1.f);
  EXPECT_EQ(recorder_->colourCalls, 0);
  draw::end();
  ASSERT_EQ(recorder_->batches.size(), 1u);
  const draw::Batch &batch = recorder_->batches[0];
  EXPECT_TRUE(batch.colours);
  EXPECT_FALSE(batch.normals || batch.texCoords || batch.texCoords1);
  ASSERT_EQ(batch.vertices.size(), 3u);
  EXPECT_EQ(batch.vertices[1].colour[0], 1.f);
  EXPECT_EQ(batch.vertices[1].colour[1], 0.f);
  EXPECT_EQ(batch.vertices[2].colour[0], 0.f);
  EXPECT_EQ(batch.vertices[2].colour[1], 1.f);
  EXPECT_EQ(batch.vertices[2].normal[1], 1.f);
  EXPECT_EQ(draw::state().colour[1], 1.f);
}

TEST_F(DrawState, LightCapNamesEachLightsOwnSwitch) {
  EXPECT_EQ(draw::lightCap(0), Cap::Light0);
  EXPECT_EQ(draw::lightCap(draw::kLights - 1), Cap::Light7);
  draw::enable(draw::lightCap(3));
  for (int i = 0; i < draw::kLights; ++i)
    EXPECT_EQ(draw::isEnabled(draw::lightCap(i)), i == 3) << "light " << i;
  EXPECT_FALSE(draw::isEnabled(Cap::Lighting));
}

} // namespace
} // namespace demo::test
