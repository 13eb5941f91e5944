// The capture from the outside when something goes differently: a signal in
// the middle, a second capture into the same name, a folder that cannot be
// written, a disk that fills up, a range past the show's end. The program is
// run on the baked data set and what it leaves is read back.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/test_files.h"
#include "support/video_reader.h"

namespace demo {
namespace {

using Clock = std::chrono::steady_clock;

// The program started with `arguments` (after --data), standard error into
// `errors`; its process id.
pid_t startDemo(const std::vector<std::string> &arguments, const std::string &errors) {
  std::vector<std::string> all = {DEMO_PROGRAM, "--data", DEMO_BAKED_DATA_DIR};
  all.insert(all.end(), arguments.begin(), arguments.end());
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 2);
    std::vector<char *> argv;
    for (std::string &a : all)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

// Waits for the process; its exit status (128 + n when a signal n ended it
// unhandled, as a shell says).
int finish(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int runDemo(const std::vector<std::string> &arguments, const std::string &errors) {
  return finish(startDemo(arguments, errors));
}

std::string text(const std::string &path) {
  const std::vector<uint8_t> bytes = test::readFile(path);
  return std::string(bytes.begin(), bytes.end());
}

size_t linesWith(const std::string &said, const std::string &what) {
  std::istringstream lines(said);
  size_t count = 0;
  for (std::string line; std::getline(lines, line);)
    count += line.find(what) != std::string::npos;
  return count;
}

bool waitFor(const std::string &path, double seconds) {
  const auto until = Clock::now() + std::chrono::duration<double>(seconds);
  while (!std::filesystem::exists(path)) {
    if (Clock::now() > until)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// What a PNG capture left in `dir`: the frame files, the frames listed, and
// the music's length in sample frames. Every frame file must be whole (end
// with PNG's closing chunk), nothing may be left half-written, and the
// listing, the files and the music must describe the same frames, a run
// from frame 0, at `fps`.
size_t checkConsistent(const std::string &dir, int fps) {
  std::set<size_t> files;
  for (const auto &entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    EXPECT_EQ(name.find(".part"), std::string::npos) << "left behind: " << name;
    EXPECT_NE(name, "capture.lock");
    if (name.rfind("frame-", 0) != 0)
      continue;
    files.insert(std::stoul(name.substr(6, 6)));
    const std::vector<uint8_t> png = test::readFile(entry.path().string());
    const std::string end(png.end() - std::min<size_t>(png.size(), 8), png.end());
    EXPECT_EQ(end, std::string("IEND\xae\x42\x60\x82", 8)) << name << " is cut (" << png.size() << " bytes)";
  }
  std::set<size_t> listed;
  std::istringstream listing(text(dir + "/frames.txt"));
  for (std::string line; std::getline(listing, line);)
    listed.insert(std::stoul(line));
  EXPECT_EQ(listed, files) << "frames.txt lists exactly the frames written";
  if (!files.empty()) {
    EXPECT_EQ(*files.rbegin() + 1, files.size()) << "a run of frames from the first";
  }
  const std::vector<uint8_t> wav = test::readFile(dir + "/music.wav");
  EXPECT_GE(wav.size(), 44u);
  const size_t musicFrames = wav.size() >= 44 ? (wav.size() - 44) / 4 : 0;
  EXPECT_NEAR(static_cast<double>(musicFrames), files.size() * 44100.0 / fps, 1.0) << "music.wav covers them";
  return files.size();
}

TEST(CaptureStops, CtrlCEndsAPictureCaptureWithWholeFramesAndASecondCaptureIsRefusedMeanwhile) {
  test::TempDir dir;
  const std::string out = dir.file("frames");
  const pid_t first = startDemo({"--capture", out, "--fps", "30", "--from", "100", "--to", "110"},
                                dir.file("first.txt"));
  ASSERT_TRUE(waitFor(out + "/frame-000004.png", 120)) << text(dir.file("first.txt"));

  // The same directory, while the first one writes into it.
  EXPECT_EQ(runDemo({"--capture", out, "--from", "100", "--to", "101"}, dir.file("second.txt")), 1);
  const std::string second = text(dir.file("second.txt"));
  EXPECT_EQ(linesWith(second, ""), 1u) << second;
  EXPECT_NE(second.find("another capture is writing into " + out), std::string::npos) << second;

  const auto signalled = Clock::now();
  kill(first, SIGINT);
  EXPECT_EQ(finish(first), 130);
  std::printf("[ measured ] SIGINT to the end of the capture: %.2f s\n",
              std::chrono::duration<double>(Clock::now() - signalled).count());
  const std::string said = text(dir.file("first.txt"));
  const size_t written = checkConsistent(out, 30);
  EXPECT_GE(written, 5u);
  EXPECT_LT(written, 300u) << "it stopped";
  EXPECT_EQ(linesWith(said, "stopped at frame " + std::to_string(written) + " ("), 1u) << said;
}

TEST(CaptureStops, AHangUpEndsAVideoCaptureAndLeavesNothing) {
  test::TempDir dir;
  const std::string video = dir.file("show.mp4");
  const pid_t pid = startDemo({"--capture", video, "--fps", "30", "--from", "100", "--to", "130"}, dir.file("said.txt"));
  // The temporary file appears before the loading; give the frames a start.
  const auto until = Clock::now() + std::chrono::seconds(120);
  while (text(dir.file("said.txt")).find("frames") == std::string::npos && Clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  kill(pid, SIGHUP);
  EXPECT_EQ(finish(pid), 128 + SIGHUP);
  EXPECT_NE(text(dir.file("said.txt")).find("stopped at frame"), std::string::npos) << text(dir.file("said.txt"));
  for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().filename().string(), "said.txt") << "left behind";
}

TEST(CaptureStops, TwoVideoCapturesIntoOneNameLeaveOneWholeFile) {
  test::TempDir dir;
  const std::string video = dir.file("same.mp4");
  const pid_t shorter = startDemo({"--capture", video, "--fps", "30", "--from", "100", "--to", "101"}, dir.file("a.txt"));
  const pid_t longer = startDemo({"--capture", video, "--fps", "30", "--from", "100", "--to", "103"}, dir.file("b.txt"));
  EXPECT_EQ(finish(shorter), 0) << text(dir.file("a.txt"));
  EXPECT_EQ(finish(longer), 0) << text(dir.file("b.txt"));
  const test::Pictures pictures = test::playPictures(video, 0);
  EXPECT_TRUE(pictures.count == 30 || pictures.count == 90) << "a mix: " << pictures.count << " pictures";
  for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos) << entry.path();
}

TEST(CaptureStops, AFolderThatCannotBeWrittenIsOneLineBeforeAnythingIsDrawn) {
  test::TempDir dir;
  const std::string out = dir.file("locked");
  std::filesystem::create_directories(out);
  chmod(out.c_str(), 0555);
  chmod(dir.path().c_str(), 0755);
  // root writes anywhere: run as nobody then.
  std::string command = std::string("'") + DEMO_PROGRAM + "' --data '" + DEMO_BAKED_DATA_DIR + "' --capture '" + out +
                        "' --from 0 --to 1 2> '" + dir.file("said.txt") + "'";
  if (getuid() == 0)
    command = "setpriv --reuid=65534 --regid=65534 --clear-groups " + command;
  const int status = std::system(("SDL_AUDIODRIVER=dummy " + command).c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
  const std::string said = text(dir.file("said.txt"));
  EXPECT_EQ(linesWith(said, ""), 1u) << said;
  EXPECT_NE(said.find("cannot write into " + out + ": Permission denied"), std::string::npos) << said;
  EXPECT_TRUE(std::filesystem::is_empty(out));
}

TEST(CaptureStops, AFullDiskStopsAtTheFirstFrameThatDoesNotFitWithItsReason) {
  test::TempDir dir;
  const std::string mount = dir.file("small");
  std::filesystem::create_directories(mount);
  // A 5 MB disk of its own, in a mount namespace of its own; what the
  // capture left is copied out before the namespace goes.
  const std::string command =
      "unshare -m sh -c \"mount -t tmpfs -o size=5m tmpfs '" + mount + "' || exit 90; SDL_AUDIODRIVER=dummy '" +
      DEMO_PROGRAM + "' --data '" + DEMO_BAKED_DATA_DIR + "' --capture '" + mount +
      "/c' --from 100 --to 102 --fps 60 2> '" + dir.file("said.txt") + "'; echo \\$? > '" + dir.file("rc") +
      "'; cp -a '" + mount + "/c' '" + dir.file("left") + "'\" 2>/dev/null";
  const int status = std::system(command.c_str());
  if ((WIFEXITED(status) && WEXITSTATUS(status) == 90) || !std::filesystem::exists(dir.file("rc")))
    GTEST_SKIP() << "no small disk to fill here: mounting a tmpfs needs root in a mount namespace";
  EXPECT_EQ(text(dir.file("rc")), "1\n");
  const std::string said = text(dir.file("said.txt"));
  EXPECT_EQ(linesWith(said, "cannot write"), 1u) << said;
  EXPECT_EQ(linesWith(said, "/frame-"), 1u) << said;
  EXPECT_NE(said.find(": No space left on device"), std::string::npos) << said;
  const size_t written = checkConsistent(dir.file("left"), 60);
  EXPECT_GE(written, 1u);
  EXPECT_LT(written, 120u);
}

TEST(CaptureStops, ARangePastTheEndIsClippedAndItsFramesMusicAndBarAgree) {
  test::TempDir dir;
  const std::string out = dir.file("end");
  EXPECT_EQ(runDemo({"--capture", out, "--fps", "10", "--from", "264.5", "--to", "300"}, dir.file("said.txt")), 0);
  const std::string said = text(dir.file("said.txt"));
  EXPECT_EQ(linesWith(said, "clipped to the show: 264.5 to 265 s"), 1u) << said;
  EXPECT_NE(said.find("5/5 frames"), std::string::npos) << said;
  EXPECT_EQ(checkConsistent(out, 10), 5u);
}

} // namespace
} // namespace demo
