#include "draw/draw.h"
#include "draw/null_backend.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace demo::test {
namespace {

using draw::Cap;
using draw::MatrixMode;

// A backend that draws nothing and keeps the batches and colours it is handed.
struct RecordingBackend final : draw::NullBackend {
  std::vector<draw::Batch> batches;
  int colourCalls = 0;
  void colour(const draw::State &) override { ++colourCalls; }
  void drawBatch(const draw::State &, const draw::Batch &batch) override { batches.push_back(batch); }
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
