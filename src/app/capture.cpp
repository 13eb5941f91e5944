#include "app/capture.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <unistd.h>
#include <utility>

#include "app/frame_writer.h"
#include "app/main_loop.h"
#include "app/show.h"
#include "audio/wav_file.h"
#include "platform/pixel_readback.h"
#include "gfx/png_writer.h"
#include "platform/gl_window.h"
#include "base/byte_reader.h"
#include "video/video_file.h"

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

std::string captureProgressText(size_t done, size_t total, double wallSeconds) {
  const int width = 24;
  const int filled = total ? static_cast<int>(width * std::min(done, total) / total) : width;
  const std::string text = "capture [" + std::string(static_cast<size_t>(filled), '#') +
                     std::string(static_cast<size_t>(width - filled), ' ') + "] ";
  char numbers[96];
  if (done > 0 && wallSeconds > 1e-3) {
    const double fps = static_cast<double>(done) / wallSeconds;
    const long left = std::lround(static_cast<double>(total > done ? total - done : 0) / fps);
    std::snprintf(numbers, sizeof numbers, "%zu/%zu frames  %.1f fps  %ld:%02ld left", done, total, fps, left / 60,
                  left % 60);
  } else {
    std::snprintf(numbers, sizeof numbers, "%zu/%zu frames", done, total);
  }
  return text + numbers;
}

namespace {

// The progress bar: rewritten in place every 10 frames on a terminal; in a
// log, a line of its own every 10 seconds and at the end.
class CaptureProgress {
public:
  explicit CaptureProgress(size_t total) : total_(total), terminal_(isatty(fileno(stderr)) != 0) {}
  void after(size_t done) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    const bool last = done >= total_;
    if (terminal_ ? done % 10 != 0 && !last : seconds < nextLog_ && !last)
      return;
    nextLog_ = seconds + 10.0;
    // Padded, so a shorter line hides the end of a longer one before it.
    std::fprintf(stderr, terminal_ ? "\r%-79s" : "%s\n", captureProgressText(done, total_, seconds).c_str());
    if (terminal_ && last)
      std::fputc('\n', stderr);
    std::fflush(stderr);
  }

private:
  size_t total_;
  bool terminal_;
  double nextLog_ = 10.0;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

// The capture's pictures on their way out: each frame's read-back is started
// once it is drawn and finished while the next one draws, then the writer
// thread encodes it.
class FrameOutput {
public:
  explicit FrameOutput(const GLWindow &window, FrameWriter::Job job = nullptr)
      : readback_(window.framebuffer(), window.width(), window.height()), width_(window.width()),
        height_(window.height()), writer_(std::move(job)) {}

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
  // Whether every picture so far was written (without waiting).
  bool ok() { return ok_ && writer_.ok(); }

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

// The music of [from, to) as 16-bit frames: an index and a count that stay
// inside what was decoded.
struct AudioRange {
  size_t first = 0, frames = 0;
};
AudioRange audioRange(const DecodedAudio &audio, float from, float to) {
  const int rate = audio.sampleRate > 0 ? audio.sampleRate : 44100;
  const size_t first = static_cast<size_t>(std::llround(static_cast<double>(from) * rate));
  const size_t end = static_cast<size_t>(std::llround(static_cast<double>(to) * rate));
  AudioRange range;
  range.first = std::min(first, audio.frames());
  range.frames = std::min(end, audio.frames()) - range.first;
  return range;
}

} // namespace

int runCapture(const Options &options) {
  const bool video = options.capturingVideo();
  const std::string &target = options.captureDir;
  if (!video) {
    std::error_code ec;
    std::filesystem::create_directories(target, ec);
    if (ec) {
      std::fprintf(stderr, "demo: cannot create %s: %s\n", target.c_str(), ec.message().c_str());
      return 1;
    }
  }
  const std::unique_ptr<GLWindow> headless = openHeadlessWindow();
  if (!headless->isOpen())
    return 1;
  GLWindow &window = *headless;

  // The music is decoded, not played: the spectrum of each frame comes from
  // the samples at that frame's time.
  MusicStream &music = window.music();
  music.init(nullptr, false);
  music.open("data/01.ogg");
  const DecodedAudio &audio = music.audio();

  // A video holds the show's frames only, from --from to the show's end at
  // the latest, and the music of exactly that time; it is opened before the
  // loading so that a file that cannot be written stops the run at once.
  const float to = video ? std::min(options.to, kShowLength) : options.to;
  VideoFile videoFile;
  if (video) {
    VideoSettings settings;
    settings.width = options.videoWidth;
    settings.height = options.videoHeight;
    settings.fps = options.fps;
    settings.quality = options.quality;
    const AudioRange range = audioRange(audio, options.from, to);
    const int16_t *samples = range.frames > 0 ? audio.samples.data() + range.first * audio.channels : nullptr;
    if (!videoFile.open(target, settings, samples, range.frames, audio.sampleRate, audio.channels)) {
      std::fprintf(stderr, "demo: %s\n", videoFile.error().c_str());
      return 1;
    }
  }
  FrameWriter::Job encode;
  if (video)
    encode = [&videoFile](const std::string &, std::vector<uint8_t> &rgb, int width, int height) {
      return videoFile.addFrame(rgb.data(), width, height);
    };
  FrameOutput output(window, encode);

  bool ok = true;
  Show show(window);
  const bool withLoading = !video && options.from <= 0.f;
  show.load([&](int frame) {
    if (!withLoading)
      return true;
    char name[32];
    std::snprintf(name, sizeof name, "/loading-%02d.png", frame);
    output.save(target + name);
    return true;
  });

  const SpectrumSource spectrumAt = [&music](float seconds, float *spectrum) { music.spectrumAt(seconds, spectrum); };
  show.startAt(options.from, spectrumAt);

  const size_t total = captureFrameCount(options.from, to, options.fps);
  const std::vector<size_t> selected = framesNearest(options.only, options.from, to, options.fps);
  auto wanted = [&](size_t n) {
    return options.only.empty() || std::binary_search(selected.begin(), selected.end(), n);
  };
  // With --only nothing after the last listed frame is needed.
  const size_t last = options.only.empty() || selected.empty() ? total : selected.back() + 1;
  std::string listing;
  size_t rendered = 0;
  CaptureProgress progress(total);
  for (size_t n = 0; n < last; ++n) {
    const float t = captureFrameTime(options.from, options.fps, n);
    const bool drawn = captureFrameDrawn(selected, options.from, options.fps, n);
    if (drawn)
      window.update();
    if (showOver(show.clock.time) || !output.ok())
      break;
    if (drawn)
      show.frame(t, spectrumAt);
    else
      show.stepTo(t, spectrumAt);
    if (wanted(n)) {
      char name[32];
      std::snprintf(name, sizeof name, "/frame-%06zu.png", n);
      output.save(target + name);
      char line[64];
      std::snprintf(line, sizeof line, "%zu %.6f\n", n, static_cast<double>(t));
      listing += line;
    }
    progress.after(++rendered);
  }
  ok = output.finish() && ok;
  if (rendered != total && ok)
    progress.after(total); // --only stops after its last frame
  else if (rendered != total)
    std::fputc('\n', stderr);

  if (video) {
    window.close();
    if (!ok || !videoFile.finish()) {
      videoFile.abandon();
      std::fprintf(stderr, "demo: %s\n", videoFile.error().empty() ? ("cannot write " + target).c_str()
                                                                    : videoFile.error().c_str());
      return 1;
    }
    return 0;
  }

  ok = writeWholeFile(target + "/frames.txt", std::vector<uint8_t>(listing.begin(), listing.end())) && ok;
  const AudioRange range = audioRange(audio, options.from, options.to);
  ok = writeWholeFile(target + "/music.wav", encodeWav(audio, range.first, range.first + range.frames)) && ok;

  window.close();
  if (!ok) {
    std::fprintf(stderr, "demo: some capture files could not be written into %s\n", target.c_str());
    return 1;
  }
  return 0;
}

} // namespace demo
