// One capture at a time in a directory, and Ctrl-C noted instead of obeyed.
#include "app/directory_lock.h"
#include "app/stop_signals.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "support/test_files.h"

namespace demo {
namespace {

TEST(DirectoryLock, ASecondCaptureIsRefusedUntilTheFirstEndsAndAStaleLockIsTakenOver) {
  test::TempDir dir;
  const std::string file = dir.file(DirectoryLock::kFileName);
  {
    DirectoryLock first(dir.path());
    ASSERT_TRUE(first.held()) << first.error();
    DirectoryLock second(dir.path());
    EXPECT_FALSE(second.held());
    EXPECT_NE(second.error().find("another capture is writing into " + dir.path() + " (process " +
                                  std::to_string(getpid()) + ")"),
              std::string::npos)
        << second.error();
  }
  EXPECT_FALSE(std::filesystem::exists(file)) << "removed at the end";

  // A lock file whose process died holds no lock any more.
  test::writeFile(file, std::string("999999"));
  DirectoryLock after(dir.path());
  EXPECT_TRUE(after.held()) << after.error();

  DirectoryLock missing(dir.file("gone"));
  EXPECT_FALSE(missing.held());
  EXPECT_NE(missing.error().find("No such file or directory"), std::string::npos) << missing.error();
}

int gPrevious = 0;
void previousHandler(int signal) { gPrevious = signal; }

TEST(StopSignals, ASignalIsNotedWhileItLivesAndTheOldHandlerComesBack) {
  std::signal(SIGHUP, previousHandler);
  {
    StopSignals signals;
    EXPECT_EQ(signals.caught(), 0);
    std::raise(SIGINT);
    std::raise(SIGTERM);
    EXPECT_EQ(signals.caught(), SIGINT) << "the first one counts";
    EXPECT_EQ(StopSignals::exitStatusFor(SIGINT), 130);
  }
  std::raise(SIGHUP);
  EXPECT_EQ(gPrevious, SIGHUP);
  std::signal(SIGHUP, SIG_DFL);
}

} // namespace
} // namespace demo
