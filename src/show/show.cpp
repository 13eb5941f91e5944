#include "show/show.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gfx/pass_profile.h"
#include "platform/gl_window.h"
#include "scene/view.h"

namespace demo {

unsigned reportGlError(std::FILE *out) {
  GLenum error = glGetError();
  if (error != GL_NO_ERROR) {
    std::fprintf(out, "ERROR! %i  \n", static_cast<int>(error));
    std::fflush(out);
  }
  return error;
}


// The screen target keeps alpha: the closing scene draws it as tumbling tiles
// blended by the texel's alpha, whose outer edges fade into the texture's
// transparent unused area. The scenes share one RGB copy of the frame.
Show::Show(GLWindow &w)
    : window(w), frameSize(w.frame()), cg(),
      screenTarget(frameSize.width, frameSize.height, TargetStorage::Rgba, frameSize),
      sceneFrame{frameSize, SceneFrame{frameSize, nullptr}.screenCopyOrNew()},
      timeline(scenes, screenTarget, frameSize) {}

bool Show::load(const LoadingFrameHook &hook) {
  return runLoadingSequence(window, &cg, sceneFrame, scenes, loadingPictures, hook);
}

void Show::runSteps(StepRange range, const SpectrumSource &spectrumAt) {
  const ScopedPass profiled("steps");
  for (int64_t k = range.first; k < range.first + range.count; ++k) {
    const float t = stepTime(k);
    spectrumAt(t, stepSpectrum);
    timeline.step(t, stepLength(k), stepSpectrum.data());
  }
}

void Show::startAt(float seconds, const SpectrumSource &spectrumAt) {
  // The frame a step before the start is drawn unseen: a frame hands GL state
  // on to the next (the colour the room is drawn in, the blending the
  // corridor's copy goes back with, the matrices under the logo's tunnel),
  // and the first frame should find what a whole run leaves it.
  const float before = seconds - stepLength(1);
  if (before >= 0.f && before < seconds) {
    drawFrame(before, spectrumAt);
    return;
  }
  clock.standAt(seconds);
}

bool Show::seek(float seconds, const SpectrumSource &spectrumAt, const CatchUpCheck &check) {
  if (lastStepDueBy(seconds) < steps.next() - 1) {
    timeline.restart();
    steps.restart();
    std::srand(1); // the sequence a new process starts with
  }
  // The steps startAt would run, in parts with a check after each: the same
  // steps in the same order, only with a chance to stop between them.
  const int64_t last = lastStepDueBy(seconds - stepLength(1));
  while (check && steps.next() <= last) {
    runSteps(steps.through(std::min(last, steps.next() + kStepsBetweenChecks - 1)), spectrumAt);
    if (steps.next() <= last && !check()) {
      clock.standAt(stepTime(steps.next() - 1));
      return false;
    }
  }
  startAt(seconds, spectrumAt);
  return true;
}

void Show::stepTo(float now, const SpectrumSource &spectrumAt) {
  runSteps(steps.due(now), spectrumAt);
  clock.advance(now);
}

void Show::reduceFlashing(bool on) {
  if (on == reducesFlashing())
    return;
  flashGuard_ = on ? std::make_unique<FlashGuard>(frameSize) : nullptr;
}

void Show::frame(float now, const SpectrumSource &spectrumAt) {
  drawFrame(now, spectrumAt);
  if (flashGuard_) {
    const ScopedPass profiled("flash guard");
    flashGuard_->limit(clock.dt);
  }
}

void Show::drawFrame(float now, const SpectrumSource &spectrumAt) {
  const StepRange ran = steps.due(now);
  runSteps(ran, spectrumAt);
  applyClearColour(steps.previousStepTime());
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  clock.advance(now);
  // On a 60 fps clock the frame's moment is its step's: the spectrum is the
  // one the step just took.
  if (ran.count > 0 && stepTime(ran.first + ran.count - 1) == now)
    spectrum = stepSpectrum;
  else
    spectrumAt(now, spectrum);
  disableSphereMap();
  reportGlError(stdout);
  timeline.draw(clock.time, clock.dt, spectrum.data());
}

} // namespace demo
