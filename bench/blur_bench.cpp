// The glow's GPU work: blurring a small target and shrinking a screen copy
// into it. Every iteration ends with glFinish so the time is the graphics
// card's (or llvmpipe's threads'), not just the cost of queueing commands;
// the times are wall-clock for the same reason.
#include <benchmark/benchmark.h>

#include <GL/glew.h>

#include <memory>

#include "gfx/render_target.h"
#include "platform/gl_window.h"

namespace {

// One hidden 800 x 600 window for the whole program; null when it cannot open.
demo::GLWindow *benchWindow() {
  static std::unique_ptr<demo::GLWindow> window;
  static bool tried = false;
  if (!tried) {
    tried = true;
    window = demo::openHeadlessWindow();
  }
  return window && window->isOpen() ? window.get() : nullptr;
}

// Something to blur: a frame of coloured stripes.
void drawStripes() {
  glClearColor(0.f, 0.f, 0.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  for (int x = 0; x < 800; x += 40) {
    glScissor(x, 0, 20, 600);
    glClearColor(static_cast<float>(x) / 800.f, 0.5f, 1.f - static_cast<float>(x) / 800.f, 1.f);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0.f, 0.f, 0.f, 1.f);
}

// blur(3, 2, 1, 1.2): three passes each way, five taps a pass.
void BM_Blur3Passes(benchmark::State &state) {
  if (!benchWindow()) {
    state.SkipWithError("no GL window");
    return;
  }
  const int size = static_cast<int>(state.range(0));
  drawStripes();
  demo::RenderTarget glow(size, size);
  glow.copyFromScreen();
  glFinish();
  for (auto _ : state) {
    glow.blur(3, 2, 1.f, 1.2f);
    glFinish();
  }
  state.SetItemsProcessed(state.iterations() * size * size);
}
BENCHMARK(BM_Blur3Passes)->Arg(64)->Arg(128)->Arg(256)->Unit(benchmark::kMicrosecond)->UseRealTime();

// copyFromScreen of the 800 x 600 frame, then copyTo a 256 x 256 glow target.
void BM_ScreenCopyShrink(benchmark::State &state) {
  if (!benchWindow()) {
    state.SkipWithError("no GL window");
    return;
  }
  drawStripes();
  demo::RenderTarget screen(800, 600);
  demo::RenderTarget glow(256, 256);
  glFinish();
  for (auto _ : state) {
    screen.copyFromScreen();
    screen.copyTo(glow);
    glFinish();
  }
}
BENCHMARK(BM_ScreenCopyShrink)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The whole glow as a scene does it: copy, shrink, blur, redraw the frame,
// add the glow.
void BM_GlowFrame(benchmark::State &state) {
  if (!benchWindow()) {
    state.SkipWithError("no GL window");
    return;
  }
  drawStripes();
  demo::RenderTarget screen(800, 600);
  demo::RenderTarget glow(256, 256);
  glFinish();
  for (auto _ : state) {
    screen.copyFromScreen();
    screen.copyTo(glow);
    glow.blur(3, 2, 1.f, 1.2f);
    screen.draw();
    glow.drawAdditive(1.f, 0.8f, 0.6f, 1.f);
    glFinish();
  }
}
BENCHMARK(BM_GlowFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
