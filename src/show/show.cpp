#include "show/show.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "draw/draw.h"
#include "gfx/pass_profile.h"
#include "platform/gl_window.h"
#include "scene/view.h"

namespace demo {

unsigned reportGlError(std::FILE *out) {
  const unsigned error = draw::error();
  if (error != 0) {
    std::fprintf(out, "ERROR! %i  \n", static_cast<int>(error));
    std::fflush(out);
  }
  return error;
}


// The screen target keeps alpha: the closing scene draws it as tumbling tiles
// blended by the texel's alpha, whose outer edges fade into the texture's
// transparent unused area. The scenes share one RGB copy of the frame.
Show::Show(GLWindow &w)
    : window_(w), frameSize_(w.frame()), cg_(),
      screenTarget_(frameSize_.width, frameSize_.height, TargetStorage::Rgba, frameSize_),
      sceneFrame_{frameSize_, SceneFrame{frameSize_, nullptr}.screenCopyOrNew()},
      timeline_(scenes_, screenTarget_, frameSize_) {}

bool Show::load(const LoadingFrameHook &hook) {
  return runLoadingSequence(window_, sceneFrame_, scenes_, loadingPictures_, hook);
}

void Show::runSteps(StepRange range, const SpectrumSource &spectrumAt) {
  const ScopedPass profiled("steps");
  for (int64_t k = range.first; k < range.first + range.count; ++k) {
    const float t = stepTime(k);
    spectrumAt(t, stepSpectrum_);
    timeline_.step(t, stepLength(k), stepSpectrum_, random_);
  }
}

void Show::startAt(float seconds, const SpectrumSource &spectrumAt) {
  // The frame a step before the start is drawn unseen: a frame hands its state
  // on to the next (the colour the room is drawn in, the blending the
  // corridor's copy goes back with, the matrices under the logo's tunnel),
  // and the first frame should find what a whole run leaves it.
  const float before = seconds - stepLength(1);
  if (before >= 0.f && before < seconds) {
    drawFrame(before, spectrumAt);
    return;
  }
  clock_.standAt(seconds);
}

bool Show::seek(float seconds, const SpectrumSource &spectrumAt, const CatchUpCheck &check) {
  if (lastStepDueBy(seconds) < steps_.next() - 1) {
    timeline_.restart();
    steps_.restart();
    random_.seed(1); // the sequence a new show starts with
  }
  // The steps startAt would run, in parts with a check after each: the same
  // steps in the same order, only with a chance to stop between them.
  const int64_t last = lastStepDueBy(seconds - stepLength(1));
  while (check && steps_.next() <= last) {
    runSteps(steps_.through(std::min(last, steps_.next() + kStepsBetweenChecks - 1)), spectrumAt);
    if (steps_.next() <= last && !check()) {
      clock_.standAt(stepTime(steps_.next() - 1));
      return false;
    }
  }
  startAt(seconds, spectrumAt);
  return true;
}

void Show::stepTo(float now, const SpectrumSource &spectrumAt) {
  runSteps(steps_.due(now), spectrumAt);
  clock_.advance(now);
}

void Show::reduceFlashing(bool on) {
  if (on == reducesFlashing())
    return;
  flashGuard_ = on ? std::make_unique<FlashGuard>(frameSize_, window_.drawRenderer()) : nullptr;
}

void Show::frame(float now, const SpectrumSource &spectrumAt) {
  drawFrame(now, spectrumAt);
  if (flashGuard_) {
    const ScopedPass profiled("flash guard");
    flashGuard_->limit(clock_.dt);
  }
}

void Show::drawFrame(float now, const SpectrumSource &spectrumAt) {
  const StepRange ran = steps_.due(now);
  runSteps(ran, spectrumAt);
  applyClearColour(steps_.previousStepTime());
  draw::clear(draw::kClearColour | draw::kClearDepth);
  clock_.advance(now);
  // On a 60 fps clock the frame's moment is its step's: the spectrum is the
  // one the step just took.
  if (ran.count > 0 && stepTime(ran.first + ran.count - 1) == now)
    spectrum_ = stepSpectrum_;
  else
    spectrumAt(now, spectrum_);
  disableSphereMap();
  reportGlError(stdout);
  timeline_.draw(clock_.time, clock_.dt, spectrum_);
}

} // namespace demo
