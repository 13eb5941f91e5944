#include "app/live_show.h"

#include <algorithm>

#include "show/step_schedule.h"
#include "audio/music_stream.h"
#include "base/data_path.h"
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

void LiveShow::jump(const CatchUpCheck &check) {
  // The scenes first (the catch-up takes a moment), then the clock and the
  // sound, so that the show goes on from the target itself.
  if (show_.seek(target_, spectrumAt_, check)) {
    playback_.seek(target_);
    jumpWanted_ = false;
    atTarget_ = true;
    return;
  }
  // Stopped by a new key: picture and sound stand where the scenes got to
  // until the next frame goes on.
  playback_.seek(show_.time());
}

void LiveShow::jumpTo(float seconds) {
  target_ = seconds;
  jump(CatchUpCheck());
}

void LiveShow::press(ShowKey key) {
  switch (key) {
  case ShowKey::Space:
    playback_.setPaused(!playback_.paused());
    return;
  case ShowKey::T:
    timeLine_ = !timeLine_;
    return;
  case ShowKey::Home:
    target_ = 0.f;
    jumpWanted_ = true;
    return;
  default:
    break;
  }
  const float by = key == ShowKey::Left       ? -kShortJump
                   : key == ShowKey::Right    ? kShortJump
                   : key == ShowKey::PageUp   ? -kLongJump
                                              : kLongJump; // Page Down
  // Never the clock read back after a jump: that is the unseen frame's, a
  // step before the target, and every key would lose a step.
  const float from = jumpWanted_ || atTarget_ ? target_ : shownAt_;
  target_ = jumpTarget(from, by);
  jumpWanted_ = true;
}

std::string LiveShow::timeLineText() const {
  std::string text = progressText(show_.time(), rate_.frames(), rate_.seconds());
  text += "  detail " + std::to_string(dataDetail());
  if (show_.reducesFlashing())
    text += "  reduced flashing";
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
  if (jumpWanted_)
    jump([this] { return !window_.inputPending(); });
  if (show_.over())
    return false;

  shownAt_ = static_cast<float>(playback_.seconds());
  show_.frame(shownAt_, spectrumAt_);
  if (!playback_.paused())
    atTarget_ = false;

  rate_.add(wallClock_.now());
  if (timeLine_)
    drawTextLine(window_.frame(), timeLineText(), 10.f, 10.f, 2.f);
  return true;
}

} // namespace demo
