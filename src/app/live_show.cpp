#include "app/live_show.h"

#include <algorithm>

#include "app/progress_line.h"
#include "app/step_schedule.h"
#include "audio/music_stream.h"
#include "gfx/text_line.h"

namespace demo {

Playback::Playback(MusicStream &music, float start) : music_(music), origin_(start) {
  music_.play(start);
  timer_.reset();
}

bool Playback::followsMusic() const { return music_.isPlaying(); }

double Playback::seconds() {
  if (followsMusic())
    return music_.clockSeconds();
  return paused_ ? origin_ : origin_ + timer_.elapsed();
}

void Playback::setPaused(bool paused) {
  if (paused == paused_)
    return;
  if (followsMusic()) {
    music_.setPaused(paused);
  } else if (paused) {
    origin_ = seconds();
  } else {
    timer_.reset();
  }
  paused_ = paused;
}

void Playback::seek(double seconds) {
  if (followsMusic())
    music_.seek(seconds);
  origin_ = seconds;
  timer_.reset();
}

float jumpTarget(float now, float by) { return std::clamp(now + by, 0.f, kShowLength); }

LiveShow::LiveShow(Show &show, GLWindow &window, Playback &playback, const SpectrumSource &spectrumAt)
    : show_(show), window_(window), playback_(playback), spectrumAt_(spectrumAt) {}

void LiveShow::jumpTo(float seconds) {
  // The scenes first (the catch-up takes a moment), then the clock and the
  // sound, so that the show goes on from the target itself.
  show_.seek(seconds, spectrumAt_);
  playback_.seek(seconds);
}

void LiveShow::press(ShowKey key) {
  const float now = show_.clock.time;
  switch (key) {
  case ShowKey::Space:
    playback_.setPaused(!playback_.paused());
    return;
  case ShowKey::T:
    timeLine_ = !timeLine_;
    return;
  case ShowKey::Home:
    jumpTo(0.f);
    return;
  default:
    break;
  }
  const float by = key == ShowKey::Left       ? -kShortJump
                   : key == ShowKey::Right    ? kShortJump
                   : key == ShowKey::PageUp   ? -kLongJump
                                              : kLongJump; // Page Down
  jumpTo(jumpTarget(now, by));
}

std::string LiveShow::timeLineText() const {
  const double span = frameTimes_.size() > 1 ? frameTimes_.back() - frameTimes_.front() : 0.0;
  std::string text = progressText(show_.clock.time, static_cast<long>(frameTimes_.size()) - 1, span);
  if (playback_.paused())
    text += "  paused";
  return text;
}

bool LiveShow::runFrame() {
  if (window_.escapeDown())
    return false;
  if (!window_.update())
    return false;
  for (ShowKey key : window_.takeKeys())
    press(key);
  if (showOver(show_.clock.time))
    return false;

  show_.frame(static_cast<float>(playback_.seconds()), spectrumAt_, kMaxStepsPerFrame);

  const double wall = wallClock_.now();
  frameTimes_.push_back(wall);
  while (frameTimes_.size() > 2 && wall - frameTimes_.front() > 1.0)
    frameTimes_.pop_front();
  if (timeLine_)
    drawTextLine(timeLineText(), 10.f, 10.f, 2.f);
  return true;
}

} // namespace demo
