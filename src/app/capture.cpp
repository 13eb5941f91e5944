#include "app/capture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <utility>

#include "app/frame_writer.h"
#include "app/show.h"
#include "audio/wav_file.h"
#include "gfx/pixel_readback.h"
#include "gfx/png_writer.h"
#include "platform/gl_window.h"
#include "base/byte_reader.h"

namespace demo {

size_t captureFrameCount(float from, float to, int fps) {
  if (fps <= 0 || !(from < to))
    return 0;
  size_t n = static_cast<size_t>(std::ceil((static_cast<double>(to) - from) * fps));
  // Whatever the rounding, frame n must start before `to`.
  while (n > 0 && !(captureFrameTime(from, fps, n - 1) < to))
    --n;
  while (captureFrameTime(from, fps, n) < to)
    ++n;
  return n;
}

float captureFrameTime(float from, int fps, size_t n) {
  return static_cast<float>(static_cast<double>(from) + static_cast<double>(n) / fps);
}

std::vector<size_t> framesNearest(const std::vector<float> &times, float from, float to, int fps) {
  std::vector<size_t> frames;
  const size_t count = captureFrameCount(from, to, fps);
  if (count == 0)
    return frames;
  for (float t : times) {
    double n = std::round((static_cast<double>(t) - from) * fps);
    n = std::clamp(n, 0.0, static_cast<double>(count - 1));
    frames.push_back(static_cast<size_t>(n));
  }
  std::sort(frames.begin(), frames.end());
  frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
  return frames;
}

bool captureFrameDrawn(const std::vector<size_t> &selected, float from, int fps, size_t n) {
  if (selected.empty())
    return true;
  const auto next = std::lower_bound(selected.begin(), selected.end(), n);
  if (next == selected.end())
    return false;
  return static_cast<double>(captureFrameTime(from, fps, *next)) - captureFrameTime(from, fps, n) <=
         kOnlyWarmUpSeconds + 1e-6;
}

namespace {

void progress(size_t done, size_t total) {
  const int width = 40;
  int filled = total ? static_cast<int>(width * done / total) : width;
  std::fprintf(stderr, "\rcapture [%.*s%*s] %zu/%zu frames", filled, "########################################",
               width - filled, "", done, total);
  if (done == total)
    std::fputc('\n', stderr);
  std::fflush(stderr);
}

// The capture's pictures on their way out: each frame's read-back is started
// once it is drawn and finished while the next one draws, then the writer
// thread encodes it.
class FrameOutput {
public:
  explicit FrameOutput(const GLWindow &window)
      : readback_(window.framebuffer(), window.width(), window.height()), width_(window.width()),
        height_(window.height()) {}

  void save(std::string path) {
    readback_.start();
    paths_.push_back(std::move(path));
    if (readback_.pending() > 1)
      pass();
  }
  // Waits for every picture; whether all were written.
  bool finish() {
    while (readback_.pending() > 0)
      pass();
    return writer_.finish() && ok_;
  }

private:
  void pass() {
    std::vector<uint8_t> pixels;
    if (readback_.take(pixels))
      writer_.write(paths_.front(), std::move(pixels), width_, height_);
    else
      ok_ = false;
    paths_.pop_front();
  }

  PixelReadback readback_;
  int width_, height_;
  std::deque<std::string> paths_;
  FrameWriter writer_;
  bool ok_ = true;
};

} // namespace

int runCapture(const Options &options) {
  std::error_code ec;
  std::filesystem::create_directories(options.captureDir, ec);
  if (ec) {
    std::fprintf(stderr, "demo: cannot create %s: %s\n", options.captureDir.c_str(), ec.message().c_str());
    return 1;
  }
  const std::unique_ptr<GLWindow> headless = openHeadlessWindow();
  if (!headless->isOpen())
    return 1;
  GLWindow &window = *headless;

  const std::string dir = options.captureDir;
  FrameOutput output(window);
  bool ok = true;
  Show show(window);
  const bool withLoading = options.from <= 0.f;
  show.load([&](int frame) {
    if (!withLoading)
      return;
    char name[32];
    std::snprintf(name, sizeof name, "/loading-%02d.png", frame);
    output.save(dir + name);
  });

  // The music is decoded, not played: the spectrum of each frame comes from
  // the samples at that frame's time.
  MusicStream &music = window.music();
  music.init(nullptr, false);
  music.open("data/01.ogg");
  const SpectrumSource spectrumAt = [&music](float seconds, float *spectrum) { music.spectrumAt(seconds, spectrum); };
  show.startAt(options.from, spectrumAt);

  const size_t total = captureFrameCount(options.from, options.to, options.fps);
  const std::vector<size_t> selected = framesNearest(options.only, options.from, options.to, options.fps);
  auto wanted = [&](size_t n) {
    return options.only.empty() || std::binary_search(selected.begin(), selected.end(), n);
  };
  // With --only nothing after the last listed frame is needed.
  const size_t last = options.only.empty() || selected.empty() ? total : selected.back() + 1;
  std::string listing;
  size_t rendered = 0;
  for (size_t n = 0; n < last; ++n) {
    const float t = captureFrameTime(options.from, options.fps, n);
    const bool drawn = captureFrameDrawn(selected, options.from, options.fps, n);
    if (drawn)
      window.update();
    if (showOver(show.clock.time))
      break;
    if (drawn)
      show.frame(t, spectrumAt);
    else
      show.stepTo(t, spectrumAt);
    if (wanted(n)) {
      char name[32];
      std::snprintf(name, sizeof name, "/frame-%06zu.png", n);
      output.save(dir + name);
      char line[64];
      std::snprintf(line, sizeof line, "%zu %.6f\n", n, static_cast<double>(t));
      listing += line;
    }
    ++rendered;
    if (rendered % 10 == 0 || rendered == total)
      progress(rendered, total);
  }
  if (rendered != total)
    progress(total, total);
  ok = output.finish() && ok;
  ok = writeWholeFile(dir + "/frames.txt", std::vector<uint8_t>(listing.begin(), listing.end())) && ok;

  const DecodedAudio &audio = music.audio();
  const int rate = audio.sampleRate > 0 ? audio.sampleRate : 44100;
  const size_t first = static_cast<size_t>(std::llround(static_cast<double>(options.from) * rate));
  const size_t end = static_cast<size_t>(std::llround(static_cast<double>(options.to) * rate));
  ok = writeWholeFile(dir + "/music.wav", encodeWav(audio, first, end)) && ok;

  window.close();
  if (!ok) {
    std::fprintf(stderr, "demo: some capture files could not be written into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}

} // namespace demo
