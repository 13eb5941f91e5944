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

#include "app/contact_sheet.h"
#include "app/directory_lock.h"
#include "app/frame_writer.h"
#include "app/main_loop.h"
#include "app/progress_line.h"
#include "show/show.h"
#include "app/stop_signals.h"
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

std::string captureProgressText(size_t done, size_t total, double framesPerSecond) {
  const int width = 24;
  const int filled = total ? static_cast<int>(width * std::min(done, total) / total) : width;
  const std::string text = "capture [" + std::string(static_cast<size_t>(filled), '#') +
                           std::string(static_cast<size_t>(width - filled), ' ') + "] ";
  char numbers[96];
  if (framesPerSecond > 0.0) {
    const long left = std::lround(static_cast<double>(total > done ? total - done : 0) / framesPerSecond);
    std::snprintf(numbers, sizeof numbers, "%zu/%zu frames  %.1f fps  %ld:%02ld left", done, total,
                  framesPerSecond, left / 60, left % 60);
  } else {
    std::snprintf(numbers, sizeof numbers, "%zu/%zu frames", done, total);
  }
  return text + numbers;
}

std::string captureSteppingText(size_t done, size_t total, float showTime) {
  char phase[48];
  std::snprintf(phase, sizeof phase, "  stepping to %.1f s", static_cast<double>(showTime));
  return captureProgressText(done, total, 0.0) + phase;
}

namespace {

// The progress bar: rewritten in place a few times a second on a terminal;
// in a log, a line of its own every 10 seconds and at the end.
class CaptureProgress {
public:
  explicit CaptureProgress(size_t total) : total_(total), terminal_(isatty(fileno(stderr)) != 0) {}
  // `done` of the frames written.
  void after(size_t done) {
    const double seconds = elapsed();
    count(seconds, done);
    if (due(seconds, done >= total_))
      print(captureProgressText(done, total_, rate()));
  }
  // --only between its listed frames: the simulation stepping on to `showTime`.
  void stepping(size_t done, float showTime) {
    const double seconds = elapsed();
    count(seconds, done);
    if (due(seconds, false))
      print(captureSteppingText(done, total_, showTime));
  }
  // The last word: the bar as it ends, and a new line after it on a terminal.
  void end(size_t done) {
    print(captureProgressText(done, total_, rate()));
    if (terminal_)
      std::fputc('\n', stderr);
    std::fflush(stderr);
  }

private:
  double elapsed() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  }
  // The frames written since the last look, each at `seconds`.
  void count(double seconds, size_t done) {
    for (; counted_ < done; ++counted_)
      rate_.add(seconds);
  }
  double rate() const { return rate_.seconds() > 0.0 ? static_cast<double>(rate_.frames()) / rate_.seconds() : 0.0; }
  bool due(double seconds, bool last) {
    if (last || seconds >= next_) {
      next_ = seconds + (terminal_ ? ProgressLine::kTerminalPeriod : ProgressLine::kLogPeriod);
      return !last || terminal_; // a log gets its last line from end()
    }
    return false;
  }
  void print(const std::string &text) {
    // Padded, so a shorter line hides the end of a longer one before it.
    std::fprintf(stderr, terminal_ ? "\r%-79s" : "%s\n", text.c_str());
    std::fflush(stderr);
  }

  size_t total_;
  bool terminal_;
  double next_ = 0.0;
  size_t counted_ = 0;
  RecentFrameRate rate_;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

// The capture's pictures on their way out: each frame's read-back is started
// once it is drawn and finished while the next one draws, then the writer
// thread encodes it. What it was given is kept in order, so that after a
// failure or a stop the frames written (always the first ones given) are
// known.
class FrameOutput {
public:
  // A picture handed in: a loading frame, or frame n of the range at time t.
  struct Picture {
    bool loading;
    size_t n;
    float t;
  };

  explicit FrameOutput(const GLWindow &window, FrameWriter::Job job = nullptr)
      : readback_(window.framebuffer(), window.width(), window.height(), window.drawRenderer()), width_(window.width()),
        height_(window.height()), writer_(std::move(job)) {}

  void save(std::string path, Picture picture) {
    readback_.start();
    paths_.push_back(std::move(path));
    given_.push_back(picture);
    loadingGiven_ += picture.loading;
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
  // The pictures written so far, in the order given.
  std::vector<Picture> written() {
    const size_t count = std::min(writer_.written(), given_.size());
    return std::vector<Picture>(given_.begin(), given_.begin() + static_cast<std::ptrdiff_t>(count));
  }
  // The range's frames written so far (the loading frames all come first).
  size_t framesWritten() {
    const size_t count = std::min(writer_.written(), given_.size());
    return count > loadingGiven_ ? count - loadingGiven_ : 0;
  }
  // The first failure's line.
  std::string error() { return ok_ ? writer_.error() : "cannot read the frame back from OpenGL"; }

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
  std::vector<Picture> given_;
  size_t loadingGiven_ = 0;
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
  const size_t end = static_cast<size_t>(std::llround(static_cast<double>(std::max(from, to)) * rate));
  AudioRange range;
  range.first = std::min(first, audio.frames());
  range.frames = std::min(end, audio.frames()) - range.first;
  return range;
}

// Room for one line of frames.txt ("n seconds", at most 6 + 1 + 10 + 1
// characters for any range of the show at up to 1000 fps).
constexpr size_t kListingLineRoom = 24;

void stoppedLine(size_t n, float t) {
  std::fprintf(stderr, "quintervale: stopped at frame %zu (%.3f s)\n", n, static_cast<double>(t));
}

} // namespace

int runCapture(const Options &options) {
  // From here on Ctrl-C, a kill or a closed terminal stops the capture
  // between frames, with whole files left and the listing saying which.
  const StopSignals signals;
  const bool video = options.capturingVideo();
  const std::string &target = options.captureDir;
  std::unique_ptr<DirectoryLock> lock;
  if (!video) {
    std::error_code ec;
    std::filesystem::create_directories(target, ec);
    if (ec) {
      std::fprintf(stderr, "quintervale: cannot create %s: %s\n", target.c_str(), ec.message().c_str());
      return 1;
    }
    lock = std::make_unique<DirectoryLock>(target);
    if (!lock->held()) {
      std::fprintf(stderr, "quintervale: %s\n", lock->error().c_str());
      return 1;
    }
  }
  const std::unique_ptr<GLWindow> headless = openHeadlessWindow(options.renderer);
  if (!headless->isOpen())
    return 1;
  GLWindow &window = *headless;
  // The picture's size: --scale, or the video's own picture (--size).
  const FrameSize pictureSize = frameSizeFor(options, FrameSize(), false);
  if (!pictureSize.isBase() && !window.setFrameSize(pictureSize))
    return 1;
  useDataSetFor(options, pictureSize);

  // The music is decoded, not played: the spectrum of each frame comes from
  // the samples at that frame's time.
  MusicStream music;
  music.init(nullptr, false);
  music.open("data/01.ogg");
  const DecodedAudio &audio = music.audio();

  // A video holds the show's frames only, and the music of exactly their
  // time; it is opened before the loading so that a file that cannot be
  // written stops the run at once. (The range ends with the show at the
  // latest: the command line has clipped it.)
  const float to = options.to;
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
      std::fprintf(stderr, "quintervale: %s\n", videoFile.error().c_str());
      return 1;
    }
  }
  FrameWriter::Job encode;
  if (video)
    encode = [&videoFile](const std::string &, std::vector<uint8_t> &rgb, int width, int height,
                          std::string &error) {
      if (videoFile.addFrame(rgb.data(), width, height))
        return true;
      error = videoFile.error();
      return false;
    };
  FrameOutput output(window, encode);

  const size_t total = captureFrameCount(options.from, to, options.fps);
  const std::vector<size_t> selected = framesNearest(options.only, options.from, to, options.fps);
  auto wanted = [&](size_t n) {
    return options.only.empty() || std::binary_search(selected.begin(), selected.end(), n);
  };
  // With --only nothing after the last listed frame is needed, and the bar
  // counts the listed frames.
  const size_t last = options.only.empty() || selected.empty() ? total : selected.back() + 1;
  const size_t barTotal = options.only.empty() ? total : selected.size();

  // The listing and the music take their room on the disk before the first
  // frame: a disk that fills up with frames can then still say which frames
  // it holds, and hold their music. Both are cut to the frames written at
  // the end.
  ReservedFile listingFile, musicFile;
  // The whole range's music: what music.wav holds unless the capture ends
  // early (encoded once, not again at the end).
  std::vector<uint8_t> wholeMusic;
  if (!video) {
    std::string reason;
    const AudioRange range = audioRange(audio, options.from, to);
    wholeMusic = encodeWav(audio, range.first, range.first + range.frames);
    if (!listingFile.reserve(target + "/frames.txt", std::vector<uint8_t>(barTotal * kListingLineRoom, ' '), &reason) ||
        !musicFile.reserve(target + "/music.wav", wholeMusic, &reason)) {
      std::fprintf(stderr, "quintervale: cannot write into %s: %s\n", target.c_str(), reason.c_str());
      return 1;
    }
  }

  Show show(window);
  show.reduceFlashing(options.reduceFlashing);
  const bool withLoading = !video && options.from <= 0.f;
  const bool loaded = show.load([&](int frame) {
    if (signals.caught())
      return false;
    if (withLoading) {
      char name[32];
      std::snprintf(name, sizeof name, "/loading-%02d.png", frame);
      output.save(target + name, {true, static_cast<size_t>(frame), 0.f});
    }
    return true;
  });

  const SpectrumSource spectrumAt = spectrumSourceFor(music);
  // The catch-up to --from (seconds of steps late in the show) looks for a
  // signal between its steps too.
  if (loaded && !signals.caught())
    show.seek(options.from, spectrumAt, [&signals] { return signals.caught() == 0; });

  CaptureProgress progress(barTotal);
  // --summary: the contact sheet of the frames drawn (their frames per
  // second would be the capture's own, so none are printed).
  RunReport report;
  size_t n = 0; // the next frame of the range
  for (; loaded && n < last; ++n) {
    if (signals.caught() || !output.ok())
      break;
    const float t = captureFrameTime(options.from, options.fps, n);
    const bool drawn = captureFrameDrawn(selected, options.from, options.fps, n);
    if (drawn)
      window.update();
    if (show.over())
      break;
    if (drawn) {
      show.frame(t, spectrumAt);
      if (!options.summary.empty())
        report.afterFrame(show.time(), show.frameDt(), window);
    } else {
      show.stepTo(t, spectrumAt);
    }
    if (wanted(n)) {
      char name[32];
      std::snprintf(name, sizeof name, "/frame-%06zu.png", n);
      output.save(target + name, {false, n, t});
    }
    if (drawn)
      progress.after(output.framesWritten());
    else
      progress.stepping(output.framesWritten(), t);
  }
  const bool allWritten = output.finish();
  const int stopSignal = signals.caught();
  // A quit message in the loading (none is sent to a hidden window, but an
  // ended loading must not pass for a whole capture).
  const bool cutShort = !loaded && !stopSignal;
  const std::vector<FrameOutput::Picture> written = output.written();
  progress.end(output.framesWritten());
  if (!allWritten)
    std::fprintf(stderr, "quintervale: %s\n", output.error().c_str());
  else if (cutShort)
    std::fprintf(stderr, "quintervale: the loading was ended by a quit message; nothing of the range was captured\n");

  // Where the frames written end: after the last of them (the whole range
  // when nothing went wrong).
  float writtenTo = to;
  if (!allWritten || stopSignal || cutShort) {
    writtenTo = options.from;
    size_t next = 0;
    for (const FrameOutput::Picture &picture : written)
      if (!picture.loading) {
        next = picture.n + 1;
        writtenTo = captureFrameTime(options.from, options.fps, next);
      }
    if (stopSignal)
      stoppedLine(next, captureFrameTime(options.from, options.fps, next));
  }

  bool sheetWritten = true;
  if (allWritten && !cutShort && !stopSignal && !options.summary.empty()) {
    sheetWritten = report.writeSheet(options.summary);
    if (sheetWritten)
      std::printf("contact sheet: %s\n", options.summary.c_str());
    else
      std::fprintf(stderr, "quintervale: %s: cannot write the contact sheet\n", options.summary.c_str());
  }

  reportGlDebugErrors(window);
  if (video) {
    window.close();
    if (stopSignal) {
      videoFile.abandon();
      return StopSignals::exitStatusFor(stopSignal);
    }
    if (!allWritten || cutShort || !videoFile.finish()) {
      videoFile.abandon();
      if (allWritten && !cutShort)
        std::fprintf(stderr, "quintervale: %s\n", videoFile.error().empty() ? ("cannot write " + target).c_str()
                                                                      : videoFile.error().c_str());
      return 1;
    }
    return sheetWritten ? 0 : 1;
  }

  // The listing and the music describe exactly the frames written.
  std::string listing;
  for (const FrameOutput::Picture &picture : written) {
    if (picture.loading)
      continue;
    char line[64];
    std::snprintf(line, sizeof line, "%zu %.6f\n", picture.n, static_cast<double>(picture.t));
    listing += line;
  }
  bool ok = allWritten && !cutShort && sheetWritten;
  std::string reason;
  if (!listingFile.commit(std::vector<uint8_t>(listing.begin(), listing.end()), &reason)) {
    std::fprintf(stderr, "quintervale: %s/frames.txt: cannot write: %s\n", target.c_str(), reason.c_str());
    ok = false;
  }
  if (writtenTo != to) {
    const AudioRange range = audioRange(audio, options.from, writtenTo);
    wholeMusic = encodeWav(audio, range.first, range.first + range.frames);
  }
  if (!musicFile.commit(wholeMusic, &reason)) {
    std::fprintf(stderr, "quintervale: %s/music.wav: cannot write: %s\n", target.c_str(), reason.c_str());
    ok = false;
  }

  window.close();
  if (stopSignal)
    return StopSignals::exitStatusFor(stopSignal);
  return ok ? 0 : 1;
}

} // namespace demo
