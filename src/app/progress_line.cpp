#include "app/progress_line.h"

#include "app/main_loop.h"
#include "base/show_parts.h"

namespace demo {

std::string progressText(float t, long frames, double wallSeconds) {
  const char *part = "-";
  for (int i = 0; i < kShowPartCount; ++i)
    if (partStart(ShowPartIndex(i)) < t && t < partEnd(ShowPartIndex(i)))
      part = kShowParts[i].name;
  const double fps = wallSeconds > 0.0 ? static_cast<double>(frames) / wallSeconds : 0.0;
  char text[96];
  std::snprintf(text, sizeof text, "show %5.1f s of %.0f s  %-10s %5.1f fps", static_cast<double>(t),
                static_cast<double>(kShowLength), part, fps);
  return text;
}

void RecentFrameRate::add(double seconds) {
  if (count_ == kCapacity) {
    first_ = (first_ + 1) % kCapacity;
    --count_;
  }
  times_[(first_ + count_) % kCapacity] = seconds;
  ++count_;
  while (count_ > 2 && seconds - times_[first_] > kWindow) {
    first_ = (first_ + 1) % kCapacity;
    --count_;
  }
}

ProgressLine::ProgressLine(std::FILE *out, bool inPlace) : out_(out), inPlace_(inPlace) {}

void ProgressLine::afterFrame(float t, double wallSeconds) {
  const double period = inPlace_ ? kTerminalPeriod : kLogPeriod;
  rate_.add(wallSeconds);
  if (!started_) {
    started_ = true;
    nextPrint_ = wallSeconds + period;
    return;
  }
  if (wallSeconds < nextPrint_)
    return;
  nextPrint_ += period;
  if (nextPrint_ <= wallSeconds)
    nextPrint_ = wallSeconds + period;
  const std::string text = progressText(t, rate_.frames(), rate_.seconds());
  if (inPlace_)
    std::fprintf(out_, "\r%s", text.c_str());
  else
    std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
  printed_ = true;
}

void ProgressLine::finish() {
  if (inPlace_ && printed_) {
    std::fputc('\n', out_);
    std::fflush(out_);
  }
  printed_ = false;
}

} // namespace demo
