#include "app/frame_writer.h"

#include <utility>

#include "gfx/png_writer.h"

namespace demo {

namespace {

bool writePng(const std::string &path, std::vector<uint8_t> &rgb, int width, int height, std::string &error) {
  return writePngFile(path, rgb.data(), width, height, 3, 1, RowOrder::BottomFirst, &error);
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

size_t FrameWriter::written() {
  std::lock_guard<std::mutex> lock(mutex_);
  return written_;
}

std::string FrameWriter::error() {
  std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

void FrameWriter::run() {
  for (;;) {
    Frame frame;
    bool wanted = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (jobs_.empty())
        return;
      frame = std::move(jobs_.front());
      jobs_.pop_front();
      // After a failure the rest is dropped: what was written stays a run
      // of frames from the first.
      wanted = ok_;
      busy_ = wanted;
    }
    changed_.notify_all();
    if (!wanted)
      continue;
    std::string error;
    const bool written = job_(frame.path, frame.pixels, frame.width, frame.height, error);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (written)
        ++written_;
      else if (ok_)
        error_ = error.empty() ? frame.path + ": cannot write" : error;
      ok_ = ok_ && written;
      busy_ = false;
    }
    changed_.notify_all();
  }
}

} // namespace demo
