// options.h - the command line of the show.
//
// Run with no arguments the show does what it always did: full screen, loading
// screen, show, end. The options are for people who use it and for tests.
#pragma once

#include <string>

namespace demo {

struct Options {
  bool window = false;  // --window: 800 x 600, resizable, instead of full screen
  bool vsync = true;    // --no-vsync turns it off
  std::string dataDir;  // --data DIR; empty: data/ beside the executable, then ./data
};

// Parses argv. Returns true when the show should run; otherwise exitCode says
// how the program ends (0 after --help, 2 after a usage error) and the text
// has already been printed.
bool parseOptions(int argc, const char *const *argv, Options &options, int &exitCode);

} // namespace demo
