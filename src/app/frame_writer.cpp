#include "app/frame_writer.h"

#include <utility>

#include "gfx/png_writer.h"

namespace demo {

FrameWriter::FrameWriter() : thread_([this] { run(); }) {}

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
  jobs_.push_back(Job{path, std::move(pixels), width, height});
  changed_.notify_all();
}

bool FrameWriter::finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return jobs_.empty() && !busy_; });
  return ok_;
}

void FrameWriter::run() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (jobs_.empty())
        return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
      busy_ = true;
    }
    changed_.notify_all();
    flipRows(job.pixels, job.width, job.height, 3);
    const bool written = writePngFile(job.path, job.pixels.data(), job.width, job.height, 3, 1);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ok_ = ok_ && written;
      busy_ = false;
    }
    changed_.notify_all();
  }
}

} // namespace demo
