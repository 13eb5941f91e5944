// frame_writer.h - a capture's pictures written on a thread of their own.
//
// Encoding an 800 x 600 PNG takes about as long as drawing a frame on a
// software renderer, so the capture hands each read-back frame to a
// FrameWriter and draws the next one while the writer flips and encodes it.
// At most kQueued frames wait; a capture that draws faster than it writes
// waits for the writer instead of piling frames up. A video capture gives it
// its own job, the encoder's, in place of the PNG; frames reach it in order.
//
// The first frame that cannot be written stops the writing: the frames
// queued after it are dropped, so what was written is always the frames
// handed in up to that one (written() of them), and error() says why in one
// line. A PNG is written whole or not at all (see writeWholeFile).
//
// Use:
//   FrameWriter writer;
//   writer.write(dir + "/frame-000001.png", std::move(pixels), 800, 600);
//   bool ok = writer.finish();   // waits for the rest; false if any failed
//   FrameWriter encoder([&](const std::string &, std::vector<uint8_t> &rgb, int w, int h, std::string &error) {
//     return video.addFrame(rgb.data(), w, h) || (error = video.error(), false); });
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace demo {

class FrameWriter {
public:
  static constexpr size_t kQueued = 3;
  // What is done with one frame (RGB, bottom row first) on the thread;
  // whether it worked, and when not, one line saying why in `error`.
  using Job = std::function<bool(const std::string &path, std::vector<uint8_t> &rgb, int width, int height,
                                 std::string &error)>;

  // Without a job each frame is written as a PNG, top row first, at its path
  // (fast zlib level).
  explicit FrameWriter(Job job = nullptr);
  ~FrameWriter();
  FrameWriter(const FrameWriter &) = delete;
  FrameWriter &operator=(const FrameWriter &) = delete;

  // Queues an RGB frame read bottom row first.
  void write(const std::string &path, std::vector<uint8_t> pixels, int width, int height);
  // Waits until every queued frame is written; whether all were.
  bool finish();
  // Whether every frame so far was written (without waiting).
  bool ok();
  // How many frames were written, in the order they came: after a failure,
  // those before the one that failed. Exact after finish().
  size_t written();
  // The first failure's line; empty while all went well.
  std::string error();

private:
  struct Frame {
    std::string path;
    std::vector<uint8_t> pixels;
    int width, height;
  };
  void run();

  Job job_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Frame> jobs_;
  bool busy_ = false;
  bool stopping_ = false;
  bool ok_ = true;
  size_t written_ = 0;
  std::string error_;
  std::thread thread_;
};

} // namespace demo
