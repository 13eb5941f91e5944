#include "inspect/flash_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "base/show_parts.h"
#include "gfx/texture.h"
#include "video/video_reader.h"

namespace demo {

namespace {

constexpr double kDefaultFps = 30.0;

SwingCounter counterFor(int series) { return SwingCounter(isRedSeries(series) ? kRedSwing : kLuminanceSwing); }
bool isWhole(int series) { return seriesRegion(series) == kWholeFrame; }

// A second's number for show time t (a frame exactly on a second belongs to
// it, whatever the rounding of n / fps).
int secondOf(double t) { return static_cast<int>(std::floor(t + 1e-9)); }

InspectJson countsJson(const FlashCounts &counts) {
  InspectJson json = InspectJson::object();
  json["whole"] = counts.whole;
  json["quarter"] = counts.quarter;
  json["red"] = counts.red;
  return json;
}

// Seconds over the limit in the whole frame, in some quarter, in red.
struct OverCounts {
  int whole = 0, quarter = 0, red = 0;
  void add(const FlashSecond &s) {
    whole += s.whole > kMostFlashesPerSecond;
    quarter += *std::max_element(s.quarters, s.quarters + 4) > kMostFlashesPerSecond;
    red += s.red > kMostFlashesPerSecond;
  }
  InspectJson json() const {
    InspectJson out = InspectJson::object();
    out["whole"] = whole;
    out["quarter"] = quarter;
    out["red"] = red;
    return out;
  }
};

} // namespace

bool FlashSecond::over() const {
  return whole > kMostFlashesPerSecond || red > kMostFlashesPerSecond ||
         *std::max_element(quarters, quarters + 4) > kMostFlashesPerSecond;
}

FlashMeter::FlashMeter(double fps, double from) : fps_(fps > 0.0 ? fps : kDefaultFps), from_(from) {
  for (int s = 0; s < kFlashSeries; ++s)
    counters_.push_back(counterFor(s));
  transitions_.resize(kFlashSeries);
}

void FlashMeter::add(const FrameLevels &levels, size_t n) {
  if (frames_ == 0) {
    first_ = n;
  } else if (n <= last_) {
    n = last_ + 1;
  } else if (n > last_ + 1) {
    ++gaps_;
    for (int s = 0; s < kFlashSeries; ++s)
      counters_[static_cast<size_t>(s)] = counterFor(s);
  }
  for (int s = 0; s < kFlashSeries; ++s) {
    if (counters_[static_cast<size_t>(s)].add(seriesLevel(levels, s)) != 0)
      transitions_[static_cast<size_t>(s)].push_back(n);
  }
  ++frames_;
  last_ = std::max(last_, n);
}

FlashReport FlashMeter::report() const {
  FlashReport report;
  report.frames = frames_;
  report.gaps = gaps_;
  report.fps = fps_;
  report.from = from_;
  if (frames_ == 0)
    return report;
  auto timeOf = [this](double n) { return from_ + n / fps_; };

  // Per second: each series' transitions in it, two to a flash.
  const int first = secondOf(timeOf(static_cast<double>(first_))), last = secondOf(timeOf(static_cast<double>(last_)));
  report.seconds.resize(static_cast<size_t>(last - first + 1));
  for (int i = 0; i <= last - first; ++i)
    report.seconds[static_cast<size_t>(i)].second = first + i;
  for (int s = 0; s < kFlashSeries; ++s) {
    std::map<int, int> perSecond;
    for (size_t n : transitions_[static_cast<size_t>(s)])
      ++perSecond[secondOf(timeOf(static_cast<double>(n)))];
    for (const auto &[second, count] : perSecond) {
      FlashSecond &row = report.seconds[static_cast<size_t>(second - first)];
      const float flashes = count / 2.f;
      const int region = seriesRegion(s);
      if (isRedSeries(s))
        row.red = std::max(row.red, flashes);
      else if (isWhole(s))
        row.whole = flashes;
      else
        row.quarters[region - 1] = flashes;
    }
  }

  // Any one second: the window of fps frames starting at each transition
  // holds the most a window can from there on.
  std::vector<std::pair<double, double>> over;
  for (int s = 0; s < kFlashSeries; ++s) {
    const std::vector<size_t> &at = transitions_[static_cast<size_t>(s)];
    float most = 0.f;
    for (size_t i = 0, j = 0; i < at.size(); ++i) {
      while (j < at.size() && static_cast<double>(at[j]) < static_cast<double>(at[i]) + fps_ - 1e-9)
        ++j;
      const float flashes = static_cast<float>(j - i) / 2.f;
      most = std::max(most, flashes);
      report.windows.push_back({isRedSeries(s) ? FlashWindow::Red : isWhole(s) ? FlashWindow::Whole : FlashWindow::Quarter,
                                timeOf(static_cast<double>(at[i])), flashes});
      if (flashes > kMostFlashesPerSecond)
        over.emplace_back(timeOf(static_cast<double>(at[i])), timeOf(static_cast<double>(at[j - 1])));
    }
    float &kept = isRedSeries(s) ? report.most.red : isWhole(s) ? report.most.whole : report.most.quarter;
    kept = std::max(kept, most);
  }
  std::sort(over.begin(), over.end());
  for (const auto &span : over) {
    if (!report.unsafe.empty() && span.first <= report.unsafe.back().second + 1e-9)
      report.unsafe.back().second = std::max(report.unsafe.back().second, span.second);
    else
      report.unsafe.push_back(span);
  }
  return report;
}

InspectJson describeFlashes(const FlashReport &report) {
  InspectJson json = InspectJson::object();
  json["kind"] = "flashes";
  json["frames"] = report.frames;
  json["fps"] = report.fps;
  json["from"] = report.from;
  json["verdict"] = report.safe() ? "safe" : "unsafe";
  json["most"] = countsJson(report.most);
  InspectJson spans = InspectJson::array();
  for (const auto &[start, end] : report.unsafe)
    spans.push_back(InspectJson::array({start, end}));
  json["unsafe"] = spans;
  OverCounts overall;
  for (const FlashSecond &s : report.seconds)
    overall.add(s);
  json["secondsOver"] = overall.json();
  json["gaps"] = report.gaps;

  InspectJson parts = InspectJson::array();
  for (const ShowPart &part : kShowParts) {
    OverCounts partOver;
    FlashCounts partMost;
    bool reached = false;
    for (const FlashSecond &s : report.seconds) {
      const double middle = s.second + 0.5;
      if (middle < part.start || middle >= part.end)
        continue;
      reached = true;
      partOver.add(s);
    }
    for (const FlashWindow &w : report.windows)
      if (w.start >= part.start && w.start < part.end) {
        float &kept = w.kind == FlashWindow::Whole ? partMost.whole
                      : w.kind == FlashWindow::Red ? partMost.red
                                                   : partMost.quarter;
        kept = std::max(kept, w.flashes);
      }
    if (!reached)
      continue;
    InspectJson one = InspectJson::object();
    one["name"] = part.name;
    one["start"] = part.start;
    one["end"] = part.end;
    one["most"] = countsJson(partMost);
    one["secondsOver"] = partOver.json();
    parts.push_back(one);
  }
  json["parts"] = parts;

  InspectJson seconds = InspectJson::array();
  for (const FlashSecond &s : report.seconds) {
    InspectJson row = InspectJson::object();
    row["second"] = s.second;
    row["whole"] = s.whole;
    row["quarters"] = InspectJson::array({s.quarters[0], s.quarters[1], s.quarters[2], s.quarters[3]});
    row["red"] = s.red;
    row["over"] = s.over();
    seconds.push_back(row);
  }
  json["seconds"] = seconds;
  return json;
}

namespace {

struct ListedFrame {
  size_t n;
  double t;
  std::string path;
};

// The frames of a --capture directory in order: as frames.txt lists them,
// or every frame-*.png numbered by its name.
bool listCapture(const std::string &dir, std::vector<ListedFrame> &frames, std::string &error) {
  namespace fs = std::filesystem;
  std::ifstream listing(dir + "/frames.txt");
  if (listing) {
    std::string line;
    while (std::getline(listing, line)) {
      std::istringstream words(line);
      size_t n = 0;
      double t = 0.0;
      if (!(words >> n >> t))
        continue; // the room a stopped capture left unused
      char name[32];
      std::snprintf(name, sizeof name, "/frame-%06zu.png", n);
      frames.push_back({n, t, dir + name});
    }
  } else {
    std::error_code ec;
    for (const fs::directory_entry &entry : fs::directory_iterator(dir, ec)) {
      const std::string name = entry.path().filename().string();
      size_t n = 0;
      char tail = 0;
      if (std::sscanf(name.c_str(), "frame-%zu.pn%c", &n, &tail) == 2 && tail == 'g')
        frames.push_back({n, -1.0, entry.path().string()});
    }
    if (ec) {
      error = dir + ": cannot list it: " + ec.message();
      return false;
    }
  }
  std::sort(frames.begin(), frames.end(), [](const ListedFrame &a, const ListedFrame &b) { return a.n < b.n; });
  if (frames.empty()) {
    error = dir + ": no frames (frame-NNNNNN.png) to measure";
    return false;
  }
  return true;
}

} // namespace

bool measureFlashes(const std::string &path, const FlashInput &input, FlashReport &report, std::string &error) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    std::vector<ListedFrame> frames;
    if (!listCapture(path, frames, error))
      return false;
    // The listing's rate and start: frame n is at from + n / fps.
    double fps = input.fps;
    if (fps <= 0.0 && frames.size() > 1 && frames.back().t > frames.front().t)
      fps = std::round(static_cast<double>(frames.back().n - frames.front().n) / (frames.back().t - frames.front().t));
    if (fps <= 0.0)
      fps = kDefaultFps;
    double from = input.from;
    if (from < 0.0)
      from = frames.front().t >= 0.0 ? frames.front().t - static_cast<double>(frames.front().n) / fps : 0.0;
    FlashMeter meter(fps, from);
    for (const ListedFrame &frame : frames) {
      std::string why;
      const PngImage picture = decodePng(frame.path.c_str(), &why);
      if (picture.empty() || !picture.damage.empty()) {
        error = frame.path + ": " + (why.empty() ? picture.damage : why);
        return false;
      }
      meter.add(measureLevels(picture.data.data(), picture.width, picture.height, picture.channels), frame.n);
    }
    report = meter.report();
    return true;
  }

  std::unique_ptr<FlashMeter> meter;
  size_t next = 0;
  const bool read = readVideoPictures(
      path,
      [&](const VideoPicture &picture) {
        if (!meter)
          meter = std::make_unique<FlashMeter>(input.fps > 0.0 ? input.fps : picture.frameRate,
                                               input.from < 0.0 ? 0.0 : input.from);
        const double fps = input.fps > 0.0 ? input.fps : picture.frameRate > 0.0 ? picture.frameRate : kDefaultFps;
        // A picture without a time, or before the first, is the next one.
        const double at = picture.seconds * fps;
        const size_t n = at >= 0.0 && at < 1e12 ? static_cast<size_t>(std::llround(at)) : next;
        meter->add(measureLevels(picture.rgb.data(), picture.width, picture.height), n);
        next = std::max(next, n) + 1;
        return true;
      },
      &error);
  if (!read)
    return false;
  report = meter->report();
  return true;
}

} // namespace demo
