#include "app/main_loop.h"


#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/capture.h"
#include "app/contact_sheet.h"
#include "app/live_show.h"
#include "app/options.h"
#include "app/progress_line.h"
#include "show/show.h"
#include "show/timeline.h"
#include "audio/music_stream.h"
#include "base/data_path.h"
#include "platform/gl_window.h"
#include "base/message.h"
#include "base/math.h"

namespace demo {

void useDataSetFor(const Options &options, const FrameSize &frame) {
  if (options.dataDir.empty()) {
    const std::string chosen = chooseDataDirectory(dataDirectory(), static_cast<float>(frame.scale()));
    if (chosen != dataDirectory())
      setDataDirectory(chosen);
  }
  if (options.progress)
    std::fprintf(stderr, "quintervale: pictures of detail %d, from %s\n", dataDetail(), dataDirectory().c_str());
}

void reportGlDebugErrors(const GLWindow &window) {
  const unsigned errors = window.debugErrors();
  if (errors == 0)
    return;
  std::fprintf(stderr, "quintervale: the %s renderer's GL reported %u error%s in this run (each on its line above)\n",
               draw::rendererName(window.drawRenderer()), errors, errors == 1 ? "" : "s");
  std::fflush(stderr);
}

SpectrumSource spectrumSourceFor(MusicStream &music) {
  return [&music](float seconds, Spectrum &spectrum) { music.spectrumAt(seconds, spectrum); };
}

namespace {

bool displayAvailable() {
  const char *display = std::getenv("DISPLAY");
  const char *wayland = std::getenv("WAYLAND_DISPLAY");
  const char *driver = std::getenv("SDL_VIDEODRIVER");
  return (display && *display) || (wayland && *wayland) || (driver && *driver);
}

} // namespace

int runShow(const Options &options) {
  // Without a data set every file would be reported on its own, about a
  // hundred lines over grey frames: say it once instead, with where it was
  // looked for.
  std::string dataDir = options.dataDir;
  if (dataDir.empty()) {
    const std::vector<std::string> places = dataDirectoryCandidates(executableDirectory());
    dataDir = findDataDirectory(places);
    if (dataDir.empty()) {
      std::string looked;
      for (size_t i = 0; i < places.size(); ++i)
        looked += (i == 0 ? "" : i + 1 == places.size() ? " and " : ", ") + places[i];
      std::fprintf(stderr,
                   "quintervale: there is no data set in %s (looked in that order); the build bakes one into "
                   "build/bin/data, and 'quintervale-bake DIR' writes one anywhere for --data DIR\n",
                   looked.c_str());
      return 1;
    }
  }
  setDataDirectory(dataDir);
  if (!holdsDataSet(dataDirectory())) {
    std::fprintf(stderr,
                 "quintervale: there is no data set in %s; the build bakes one into build/bin/data, and "
                 "'quintervale-bake DIR' writes one anywhere\n",
                 dataDirectory().c_str());
    return 1;
  }
  if (options.capturing())
    return runCapture(options);

  if (!displayAvailable()) {
    std::fprintf(stderr, "quintervale: no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set). "
                         "Run it from a desktop session, or with 'make run', which starts a virtual display "
                         "when there is none.\n");
    return 1;
  }

  // Start-up, in order: window, shader context, the ending's screen target,
  // zeroed spectra (Show), the music decoding on a worker thread while the
  // loading sequence runs, the simulation caught up to the start time, then
  // music and clock together. The music is made before the window, so that it
  // outlives everything that plays from it and sounds until the very end.
  MusicStream music;
  WindowOptions windowOptions;
  windowOptions.vsync = options.vsync;
  windowOptions.display = options.display;
  windowOptions.renderer = options.renderer;
  GLWindow window(kBaseFrameWidth, kBaseFrameHeight, 32, !options.window, "Demo", windowOptions);
  if (!window.isOpen())
    return 1;
  // The picture's size, once the screen and the renderer are known (a size
  // the driver cannot hold stays 800 x 600, said in a line).
  const FrameSize frame = frameSizeFor(options, window.nativeFrame(), isSoftwareRenderer(window.renderer()));
  if (!frame.isBase())
    window.setFrameSize(frame);
  useDataSetFor(options, window.frame());

  Show show(window);
  show.reduceFlashing(options.reduceFlashing);
  // Its boxes go to the show's window, the message owner while it is open.
  music.init(nullptr);
  music.openInBackground("data/01.ogg");
  // Escape or a quit message while loading ends the program there: nothing
  // more is drawn, and the music never starts.
  if (!show.load()) {
    window.close();
    return 0;
  }
  music.finishOpen();
  const SpectrumSource spectrumAt = spectrumSourceFor(music);
  show.startAt(options.start, spectrumAt);
  Playback playback(music, options.start);
  LiveShow live(show, window, playback, spectrumAt);
  RunReport report;
  const bool reporting = !options.summary.empty();
  ProgressLine progress(stderr, isatty(fileno(stderr)) != 0);
  const auto started = std::chrono::steady_clock::now();

  while (live.runFrame()) {
    if (reporting)
      report.afterFrame(show.time(), show.frameDt(), window);
    if (options.progress)
      progress.afterFrame(show.time(),
                          std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
  }
  progress.finish();

  window.close();
  reportGlDebugErrors(window);
  if (reporting) {
    report.print(stdout);
    if (report.writeSheet(options.summary))
      std::printf("contact sheet: %s\n", options.summary.c_str());
  }
  return 0;
}

} // namespace demo
