// options.h - the command line of the show.
//
// Run with no arguments the show does what it always did: full screen, loading
// screen, show, end. The options are for people who use it and for tests.
#pragma once

#include <string>
#include <vector>

#include "base/frame_size.h"
#include "draw/renderer.h"
#include "video/video_file.h"

namespace demo {

struct Options {
  bool window = false;  // --window: 800 x 600, resizable, instead of full screen
  bool vsync = true;    // --no-vsync turns it off
  std::string dataDir;  // --data DIR; empty: data/ beside the executable, then ./data
  float start = 0.f;    // --start SECONDS: music and clock begin there
  std::string summary;  // --summary FILE.png: frames per second per part and a contact sheet
  bool progress = false; // --progress: show time, part and frames per second on stderr while it plays
  int display = -1;     // --display N: the screen to open on; -1 where the desktop puts new windows
  double scale = 0.0;   // --scale S: the render scale (1 to 8); 0 when not given
  bool nativeScale = false; // --scale native: the largest 4:3 picture the screen holds
  bool reduceFlashing = false; // --reduce-flashing: no more than three flashes in any second (FlashGuard)
  // --renderer classic|modern|es: the OpenGL the show draws with; by default
  // the one DEMO_RENDERER names, else classic.
  draw::Renderer renderer = draw::Renderer::Classic;

  // Capture mode (--capture DIR or FILE.mp4/.mkv): frame-exact offline
  // rendering into PNGs or a video file.
  std::string captureDir;  // the directory, or the video file
  int fps = 60;
  float from = 0.f;
  float to = 265.f;
  std::vector<float> only; // --only T1,T2,...: just the frames nearest these times
  int videoWidth = kBaseFrameWidth; // --size WxH of a video capture
  int videoHeight = kBaseFrameHeight;
  int quality = kDefaultVideoQuality; // --quality: x264's constant rate factor

  bool capturing() const { return !captureDir.empty(); }
  bool capturingVideo() const { return capturing() && isVideoPath(captureDir); }
};

// Reads a video size "WIDTHxHEIGHT" (even numbers from 16, yuv420p halving
// both, within videoSizeAllowed); false and the sizes untouched when it is
// not one.
bool parseVideoSize(const std::string &text, int &width, int &height);

// Why --capture cannot write `name` (empty when it can): a name ending in
// ".mp4" or ".mkv" is a video, a directory (an existing one, one ending in
// "/", or a name without an extension) takes PNG pictures, and anything else
// ("show.avi", ".mp4") is refused rather than guessed at.
std::string captureNameProblem(const std::string &name);

// The size of the frame the show draws into. --scale S gives (800 S) x
// (600 S). Otherwise a video capture with --size draws the largest 4:3
// picture inside the video (as the video places it: 1440 x 1080 in 1920 x
// 1080), and the live show takes `native` (the screen's, --scale native)
// unless it runs on a software renderer, where every pixel costs frame time
// and the default stays 800 x 600. Everything else, and anything smaller,
// draws 800 x 600.
FrameSize frameSizeFor(const Options &options, const FrameSize &native, bool softwareRenderer);

// Parses argv. Returns true when the show should run; otherwise exitCode says
// how the program ends (0 after --help, 2 after a usage error, DEMO_RENDERER
// naming no renderer when --renderer is not given included) and the text has
// already been printed.
bool parseOptions(int argc, const char *const *argv, Options &options, int &exitCode);

} // namespace demo
