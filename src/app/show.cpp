#include "app/show.h"

#include <GL/glew.h>

#include <cstdio>

#include "platform/gl_window.h"
#include "scene/view.h"

namespace demo {

Show::Show(GLWindow &w) : window(w), cg(), screenTarget(800, 600), timeline(scenes, screenTarget) {
  for (float &bin : spectrum)
    bin = 0.f;
}

void Show::load(const LoadingFrameHook &hook) { runLoadingSequence(window, &cg, scenes, loadingPictures, hook); }

void Show::startClockAt(float seconds) {
  clock.time = seconds;
  clock.previousTime = seconds;
  clock.dt = 0.f;
}

void Show::frame(float now, const std::function<void(float *)> &fetchSpectrum) {
  applyClearColour(clock.previousTime);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  clock.advance(now);
  fetchSpectrum(spectrum);
  disableSphereMap();
  reportGlError(stdout);
  timeline.render(clock.time, clock.dt, spectrum);
}

} // namespace demo
