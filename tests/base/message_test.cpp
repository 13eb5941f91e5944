#include "base/message.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

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

// What the box function was last handed.
struct BoxCall {
  std::string text, caption;
  SDL_Window *owner = nullptr;
  int count = 0;
};
BoxCall lastBox;
void recordBox(const char *text, const char *caption, SDL_Window *owner) {
  lastBox = BoxCall{text, caption, owner, lastBox.count + 1};
}

TEST(Message, BoxesBelongToTheShowsWindowUnlessGivenAnOwner) {
  SDL_Window *const show = reinterpret_cast<SDL_Window *>(&lastBox); // never dereferenced
  SDL_Window *const other = reinterpret_cast<SDL_Window *>(&lastBox.count);
  setMessageBoxFunction(&recordBox);
  lastBox = BoxCall();
  testing::internal::CaptureStderr();
  showMessage("off", "caption"); // boxes off: the line only
  setMessageBoxesEnabled(true);
  showMessage("Unable to load JPG File!", "/data/x.jpg"); // no window yet
  EXPECT_EQ(lastBox.owner, nullptr);
  setMessageOwner(show);
  showMessage("Unable to load JPG File!", "/data/x.jpg");
  EXPECT_EQ(lastBox.owner, show);
  showMessage("BASS error", "BASS", std::string("detail"), other);
  EXPECT_EQ(lastBox.owner, other);
  EXPECT_EQ(lastBox.text, "BASS error");
  EXPECT_EQ(lastBox.caption, "BASS");
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(lastBox.count, 3);
  setMessageOwner(nullptr);
  setMessageBoxesEnabled(false);
  setMessageBoxFunction(nullptr);
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
