#include "base/message.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/box_recorder.h"

namespace demo {
namespace {

TEST(Message, AlwaysWritesOneLineWithCaptionAndText) {
  setMessageBoxesEnabled(false);
  testing::internal::CaptureStderr();
  showMessage("BASS error, file not found?", "BASS");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "BASS: BASS error, file not found?\n");
}

TEST(Message, ADetailGoesOnTheLineAndNotIntoTheBox) {
  setMessageBoxesEnabled(false);
  testing::internal::CaptureStderr();
  showMessage("BASS error", "BASS", std::string("no device"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "BASS: BASS error (no device)\n");
}

TEST(Message, BoxesBelongToTheShowsWindowUnlessGivenAnOwner) {
  int a = 0, b = 0; // two distinct windows, never dereferenced
  SDL_Window *const show = reinterpret_cast<SDL_Window *>(&a);
  SDL_Window *const other = reinterpret_cast<SDL_Window *>(&b);
  testing::internal::CaptureStderr();
  showMessage("off", "caption"); // boxes off: the line only
  {
    test::RecordedBoxes boxes;
    showMessage("Unable to load JPG File!", "/data/x.jpg"); // no window yet
    setMessageOwner(show);
    showMessage("Unable to load JPG File!", "/data/x.jpg");
    showMessage("BASS error", "BASS", std::string("detail"), other);
    setMessageOwner(nullptr);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(boxes.all().size(), 3u);
    EXPECT_EQ(boxes.all()[0].owner, nullptr);
    EXPECT_EQ(boxes.all()[1].owner, show);
    EXPECT_EQ(boxes.all()[2].owner, other);
    EXPECT_EQ(boxes.all()[2].text, "BASS error");
    EXPECT_EQ(boxes.all()[2].caption, "BASS");
  }
}

TEST(Message, AFileIsReportedOnce) {
  forgetReportedFiles();
  testing::internal::CaptureStderr();
  EXPECT_TRUE(reportFileProblem("/d/credits/code.png", "cannot open"));
  EXPECT_FALSE(reportFileProblem("/d/credits/code.png", "cannot open"));
  EXPECT_TRUE(reportFileProblem("/d/credits/music.png", "cannot open"));
  EXPECT_FALSE(firstReportFor("/d/credits/music.png"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "/d/credits/code.png: cannot open\n/d/credits/music.png: cannot open\n");
  forgetReportedFiles();
  EXPECT_TRUE(firstReportFor("/d/credits/music.png"));
  forgetReportedFiles();
}

TEST(Message, BoxesAreOffUnlessSwitchedOn) {
  EXPECT_FALSE(messageBoxesEnabled());
  setMessageBoxesEnabled(true);
  EXPECT_TRUE(messageBoxesEnabled());
  setMessageBoxesEnabled(false);
}

TEST(MessageBoxes, OnlyOnARealDisplayThatNobodySwitchedOff) {
  unsetenv("DEMO_NO_MESSAGE_BOXES");
  EXPECT_TRUE(messageBoxesWanted("x11"));
  EXPECT_TRUE(messageBoxesWanted("wayland"));
  EXPECT_FALSE(messageBoxesWanted("offscreen"));
  EXPECT_FALSE(messageBoxesWanted("dummy"));
  EXPECT_FALSE(messageBoxesWanted(""));
  EXPECT_FALSE(messageBoxesWanted(nullptr));
  setenv("DEMO_NO_MESSAGE_BOXES", "1", 1);
  EXPECT_FALSE(messageBoxesWanted("x11"));
  setenv("DEMO_NO_MESSAGE_BOXES", "0", 1);
  EXPECT_TRUE(messageBoxesWanted("x11"));
  unsetenv("DEMO_NO_MESSAGE_BOXES");
}

} // namespace
} // namespace demo
