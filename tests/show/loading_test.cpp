#include "show/loading.h"

#include <gtest/gtest.h>

namespace demo {
namespace {

TEST(LoadingStages, NineStagesOfFiveFramesThenFiftyFlashFrames) {
  EXPECT_EQ(kLoadingStageCount * kFramesPerLoadingStage, 45);
  EXPECT_EQ(kFlashUpFrames, 50);
  EXPECT_EQ(kLoadingFrames, 95);
}

TEST(LoadingStages, BarShowsEleventhsOfItsFullWidth) {
  const int elevenths[kLoadingStageCount] = {0, 1, 2, 4, 5, 7, 9, 10, 11};
  for (int i = 0; i < kLoadingStageCount; ++i) {
    EXPECT_NEAR(kLoadingStages[i].barWidth, 514.f * elevenths[i] / 11.f, 1e-3f) << i;
    EXPECT_FLOAT_EQ(kLoadingStages[i].fraction, elevenths[i] / 11.f) << i;
  }
  EXPECT_EQ(kLoadingStages[kLoadingStageCount - 1].barWidth, 514.f);
}

} // namespace
} // namespace demo
