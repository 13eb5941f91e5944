#include "app/main_loop.h"

#include <GL/glew.h>

#include <cstdlib>
#include <cstring>

#include "app/capture.h"
#include "app/contact_sheet.h"
#include "app/show.h"
#include "app/timeline.h"
#include "audio/music_stream.h"
#include "platform/data_path.h"
#include "platform/gl_window.h"
#include "platform/message.h"
#include "platform/timer.h"
#include "scene/math.h"

namespace demo {

unsigned reportGlError(std::FILE *out) {
  GLenum error = glGetError();
  if (error != GL_NO_ERROR) {
    std::fprintf(out, "ERROR! %i  \n", static_cast<int>(error));
    std::fflush(out);
  }
  return error;
}

namespace {

bool displayAvailable() {
  const char *display = std::getenv("DISPLAY");
  const char *wayland = std::getenv("WAYLAND_DISPLAY");
  const char *driver = std::getenv("SDL_VIDEODRIVER");
  return (display && *display) || (wayland && *wayland) || (driver && *driver);
}

} // namespace

bool messageBoxesWanted(const char *driver) {
  const char *off = std::getenv("DEMO_NO_MESSAGE_BOXES");
  if (off && *off && std::strcmp(off, "0") != 0)
    return false;
  return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0 &&
         std::strcmp(driver, "") != 0;
}

int runShow(const Options &options) {
  setDataDirectory(options.dataDir.empty() ? defaultDataDirectory() : options.dataDir);
  if (options.capturing())
    return runCapture(options);

  if (!displayAvailable()) {
    std::fprintf(stderr, "demo: no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set). "
                         "Run it from a desktop session, or with 'make run', which starts a virtual display "
                         "when there is none.\n");
    return 1;
  }

  // Start-up, in order: window, shader context, the ending's screen target,
  // a zeroed spectrum (Show), the loading sequence, then music and clock
  // together.
  WindowOptions windowOptions;
  windowOptions.vsync = options.vsync;
  GLWindow window(800, 600, 32, !options.window, "Demo", windowOptions);
  if (!window.isOpen())
    return 1;
  setMessageBoxesEnabled(messageBoxesWanted(window.videoDriver()));

  Show show(window);
  show.load();
  window.playMusic("data/01.ogg", options.start);
  show.startClockAt(options.start);
  Timer timer;
  RunReport report;
  const bool reporting = !options.summary.empty();

  for (;;) {
    if (window.escapeDown())
      break;
    if (!window.update())
      break;
    if (showOver(show.clock.time))
      break;
    show.frame(options.start + static_cast<float>(timer.elapsed()), [&](float *spectrum) { window.getSpectrum(spectrum); });
    if (reporting)
      report.afterFrame(show.clock.time, show.clock.dt, window);
  }

  window.close();
  if (reporting) {
    report.print(stdout);
    if (report.writeSheet(options.summary))
      std::printf("contact sheet: %s\n", options.summary.c_str());
  }
  return 0;
}

} // namespace demo
