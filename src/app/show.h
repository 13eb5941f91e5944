// show.h - the show's shared objects and one frame of it, for both the live
// run and the capture.
//
// Show owns what the entry function keeps for the whole run: the shader
// context, the ending's 800 x 600 screen target, the spectrum buffer, the
// loading pictures, the scenes and the timeline, and the clock values of the
// current frame. frame() runs steps 4 to 9 of a frame: clear colour from the
// previous frame's time and clear, read the clock, fetch the spectrum, sphere
// maps off, one pending GL error, the timeline. The caller does steps 1 to 3
// (Escape, present and events, the 265-second end).
#pragma once

#include <functional>

#include "app/loading.h"
#include "app/main_loop.h"
#include "app/timeline.h"
#include "audio/music_stream.h"
#include "gfx/cg_program.h"
#include "gfx/render_target.h"

namespace demo {

class GLWindow;

class Show {
public:
  explicit Show(GLWindow &window);
  Show(const Show &) = delete;
  Show &operator=(const Show &) = delete;

  // The loading sequence; `hook` sees each loading frame before it is shown.
  void load(const LoadingFrameHook &hook = LoadingFrameHook());
  // Sets the clock as if the previous frame had been at `seconds`.
  void startClockAt(float seconds);
  // Steps 4-9 of a frame whose clock reads `now`; `fetchSpectrum` fills the
  // spectrum buffer for that time.
  void frame(float now, const std::function<void(float *spectrum)> &fetchSpectrum);

  GLWindow &window;
  CgContext cg;
  RenderTarget screenTarget;
  float spectrum[kSpectrumSize];
  LoadingPictures loadingPictures;
  ShowScenes scenes;
  Timeline timeline;
  FrameClock clock;
};

} // namespace demo
