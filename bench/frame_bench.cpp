// frame_bench: how long each part of the show takes to draw.
//
// Renders each part's window in capture mode (hidden window, no vsync, the
// clock stepping 1/60 s a frame on the simulation's step grid, one step a
// frame, the spectrum from the decoded music) for a few seconds from the
// middle of the window, after catching the simulation up to there (untimed),
// and prints per part the median and 95th percentile frame time and the
// share of it spent on the CPU side (until the draw calls return; the rest is
// waiting for glFinish). The last line estimates the whole show: every part's
// mean frame time over its
// window's length.
//
// With --profile it also prints, per part, the milliseconds a frame spends
// in each kind of pass (the 3D scene, the simulation steps, blurs, copies,
// target draws, overlays, full-screen quads, the present), each bracketed by
// glFinish.
//
// --taps draws every blur tap by tap (one blended quad a tap), as the show
// did before its one-quad blur program.
//
// --scale S draws the picture at (800 S) x (600 S). The last lines give the
// memory: the process's peak resident size and the texture memory the
// render targets and the frame buffer allocated, and the data set's pictures
// (its detail, and their textures with mipmaps). Without --data the scale
// picks the set as the show does (data-detail2/4 beside data/ when there).
//
// --reduce-flashing times the show in its gentle mode (every frame read back
// and measured; the profile's "flash guard" line is that pass).
//
// --renderer classic|modern|es times the show drawn by that renderer (by
// default the one DEMO_RENDERER names, else classic); the first line names it.
//
//   frame_bench [--seconds S] [--data DIR] [--profile] [--taps] [--scale S] [--reduce-flashing]
//               [--renderer classic|modern|es]
#include <GL/glew.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/contact_sheet.h"
#include "app/main_loop.h"
#include "audio/music_stream.h"
#include "show/show.h"
#include "base/data_path.h"
#include "gfx/pass_profile.h"
#include "gfx/render_target.h"
#include "gfx/texture.h"
#include "platform/gl_window.h"

using namespace demo;
using Clock = std::chrono::steady_clock;

namespace {
double percentile(std::vector<double> v, double p) {
  if (v.empty())
    return 0.0;
  std::sort(v.begin(), v.end());
  size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
  return v[std::min(i, v.size() - 1)];
}
} // namespace

int main(int argc, char **argv) {
  float seconds = 3.f;
  std::string dataDir;
  bool profile = false;
  bool taps = false;
  bool reduceFlashing = false;
  double scale = 1.0;
  std::optional<draw::Renderer> renderer = draw::rendererFromEnvironment();
  if (!renderer) {
    std::fprintf(stderr,
                 "frame_bench: DEMO_RENDERER names no renderer: set it to classic, modern or es, or unset it\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--profile") == 0)
      profile = true;
    else if (std::strcmp(argv[i], "--reduce-flashing") == 0)
      reduceFlashing = true;
    else if (std::strcmp(argv[i], "--taps") == 0)
      taps = true;
    else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
      seconds = static_cast<float>(std::atof(argv[++i]));
    else if (std::strcmp(argv[i], "--data") == 0 && i + 1 < argc)
      dataDir = argv[++i];
    else if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc)
      scale = std::atof(argv[++i]);
    else if (std::strcmp(argv[i], "--renderer") == 0 && i + 1 < argc) {
      renderer = draw::parseRenderer(argv[++i]);
      if (!renderer) {
        std::fprintf(stderr, "frame_bench: '%s' is not a renderer: give classic, modern or es\n", argv[i]);
        return 2;
      }
    }
  }
  PassProfile::enable(profile);
  setDataDirectory(dataDir.empty() ? chooseDataDirectory(defaultDataDirectory(), static_cast<float>(scale))
                                   : dataDir);
  const std::unique_ptr<GLWindow> headless = openHeadlessWindow(*renderer);
  if (!headless->isOpen())
    return 1;
  GLWindow &window = *headless;
  const FrameSize frameSize = FrameSize::atScale(scale);
  if (!frameSize.isBase() && !window.setFrameSize(frameSize))
    return 1;
  RenderTarget::useBlurProgram(!taps);
  Show show(window);
  show.reduceFlashing(reduceFlashing);
  show.load();
  MusicStream music;
  music.init(nullptr, false);
  music.open("data/01.ogg");
  const SpectrumSource spectrumAt = spectrumSourceFor(music);

  std::printf("%s on %s, %s renderer, %d x %d%s\n", reinterpret_cast<const char *>(glGetString(GL_RENDERER)),
              reinterpret_cast<const char *>(glGetString(GL_VERSION)), draw::rendererName(*renderer), window.width(),
              window.height(), reduceFlashing ? ", gentle mode" : "");
  std::printf("%-11s %12s %10s %10s %9s\n", "part", "window", "median ms", "p95 ms", "cpu share");
  double estimate = 0.0;
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, double>>>> passes;
  for (const ReportWindow &part : reportWindows()) {
    const float length = part.end - part.start;
    const float span = std::min(seconds, length * 0.8f);
    // The simulation catches up to the middle of the window (untimed); the
    // frames then come on the step grid, one step each.
    const int64_t first = lastStepDueBy(part.start + 0.5f * (length - span)) + 1;
    show.startAt(stepTime(first - 1), spectrumAt);
    std::vector<double> total, cpu;
    const int frames = static_cast<int>(span * 60.f);
    PassProfile::reset();
    for (int n = 0; n < frames; ++n) {
      const float t = stepTime(first + n);
      auto begin = Clock::now();
      {
        const ScopedPass scene("scene");
        show.frame(t, spectrumAt);
      }
      auto issued = Clock::now();
      glFinish();
      auto done = Clock::now();
      {
        const ScopedPass present("present");
        window.update();
      }
      total.push_back(std::chrono::duration<double, std::milli>(done - begin).count());
      cpu.push_back(std::chrono::duration<double, std::milli>(issued - begin).count());
    }
    double sumTotal = 0.0, sumCpu = 0.0;
    for (size_t i = 0; i < total.size(); ++i) {
      sumTotal += total[i];
      sumCpu += cpu[i];
    }
    char window_[32];
    std::snprintf(window_, sizeof window_, "%.1f-%.1f s", part.start, part.end);
    std::printf("%-11s %12s %10.2f %10.2f %8.0f%%\n", part.name, window_, percentile(total, 0.5),
                percentile(total, 0.95), sumTotal > 0 ? 100.0 * sumCpu / sumTotal : 0.0);
    estimate += (sumTotal / static_cast<double>(std::max<size_t>(total.size(), 1))) * length * 60.0 / 1000.0;
    passes.emplace_back(part.name, PassProfile::totals());
    for (auto &pass : passes.back().second)
      pass.second *= 1000.0 / std::max(frames, 1);
  }
  std::printf("whole show at 60 fps: about %.0f s to draw 265 s (%.1f frames per second)\n", estimate,
              265.0 * 60.0 / std::max(estimate, 1e-9));
  // The frame buffer: RGB8 (kept as 4 bytes a pixel) and depth 24 + stencil 8.
  const double frameBufferBytes = 8.0 * window.width() * window.height();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("memory: peak resident %.0f MB; render targets %.1f MB + frame buffer %.1f MB of textures\n",
              static_cast<double>(usage.ru_maxrss) / 1024.0,
              static_cast<double>(RenderTarget::allocatedBytes()) / (1024.0 * 1024.0),
              frameBufferBytes / (1024.0 * 1024.0));
  std::printf("pictures: detail %d from %s, %.1f MB of textures\n", dataDetail(), dataDirectory().c_str(),
              static_cast<double>(Texture::allocatedBytes()) / (1024.0 * 1024.0));
  if (profile) {
    // Milliseconds a frame per pass; the frame times above include the
    // glFinish brackets the profile adds.
    const char *names[] = {"scene", "steps", "blur", "copy", "target draw", "overlay", "full-screen quad", "present"};
    std::printf("\nms a frame %10s %6s %8s %8s %12s %8s %17s %8s\n", names[0], names[1], names[2], names[3], names[4],
                names[5], names[6], names[7]);
    for (const auto &part : passes) {
      std::printf("%-11s", part.first.c_str());
      const int widths[] = {10, 6, 8, 8, 12, 8, 17, 8};
      for (int k = 0; k < 8; ++k) {
        double ms = 0.0;
        for (const auto &pass : part.second)
          if (pass.first == names[k])
            ms = pass.second;
        std::printf(" %*.2f", widths[k], ms);
      }
      std::printf("\n");
    }
    // Passes marked anywhere else (while looking into one scene), by part.
    for (const auto &part : passes)
      for (const auto &pass : part.second)
        if (std::none_of(std::begin(names), std::end(names), [&](const char *n) { return pass.first == n; }))
          std::printf("%-11s %-20s %8.2f\n", part.first.c_str(), pass.first.c_str(), pass.second);
  }
  window.close();
  return 0;
}
