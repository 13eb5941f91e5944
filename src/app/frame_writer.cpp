#include "app/frame_writer.h"

#include <utility>

#include "gfx/png_writer.h"

namespace demo {

namespace {

bool writePng(const std::string &path, std::vector<uint8_t> &rgb, int width, int height) {
  return writePngFile(path, rgb.data(), width, height, 3, 1, RowOrder::BottomFirst);
}

} // namespace

FrameWriter::FrameWriter(Job job) : job_(job ? std::move(job) : Job(writePng)), thread_([this] { run(); }) {}

FrameWriter::~FrameWriter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void FrameWriter::write(const std::string &path, std::vector<uint8_t> pixels, int width, int height) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return jobs_.size() < kQueued; });
  jobs_.push_back(Frame{path, std::move(pixels), width, height});
  changed_.notify_all();
}

bool FrameWriter::finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return jobs_.empty() && !busy_; });
  return ok_;
}

bool FrameWriter::ok() {
  std::lock_guard<std::mutex> lock(mutex_);
  return ok_;
}

void FrameWriter::run() {
  for (;;) {
    Frame frame;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (jobs_.empty())
        return;
      frame = std::move(jobs_.front());
      jobs_.pop_front();
      busy_ = true;
    }
    changed_.notify_all();
    const bool written = job_(frame.path, frame.pixels, frame.width, frame.height);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ok_ = ok_ && written;
      busy_ = false;
    }
    changed_.notify_all();
  }
}

} // namespace demo
