#include "platform/message.h"

#include <gtest/gtest.h>

namespace demo {
namespace {

TEST(Message, AlwaysWritesOneLineWithCaptionAndText) {
  setMessageBoxesEnabled(false);
  testing::internal::CaptureStderr();
  showMessage("BASS error, file not found?", "BASS");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "BASS: BASS error, file not found?\n");
}

TEST(Message, BoxesAreOffUnlessSwitchedOn) {
  EXPECT_FALSE(messageBoxesEnabled());
  setMessageBoxesEnabled(true);
  EXPECT_TRUE(messageBoxesEnabled());
  setMessageBoxesEnabled(false);
}

} // namespace
} // namespace demo
