#include "app/options.h"

#include <CLI/CLI.hpp>

namespace demo {

bool parseOptions(int argc, const char *const *argv, Options &options, int &exitCode) {
  CLI::App app("demo - a real-time audiovisual show in OpenGL.\n"
               "Without options it plays full screen from the loading screen to the end; "
               "Escape or closing the window ends it.",
               "demo");
  app.add_flag("--window", options.window, "Play in an 800 x 600 window (resizable) instead of full screen");
  bool noVsync = false;
  app.add_flag("--no-vsync", noVsync, "Do not wait for the display's refresh between frames");
  app.add_option("--data", options.dataDir, "Directory of the show's files (default: data/ beside the program, then ./data)")
      ->type_name("DIR");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    exitCode = app.exit(e);
    return false;
  }
  options.vsync = !noVsync;
  exitCode = 0;
  return true;
}

} // namespace demo
