#include "app/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "app/main_loop.h"

namespace demo {

bool parseVideoSize(const std::string &text, int &width, int &height) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos || x == 0 || x + 1 == text.size() || text.size() > 11)
    return false;
  auto number = [](const std::string &digits, int &value) {
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
      return false;
    value = std::stoi(digits);
    return value >= 16 && value % 2 == 0;
  };
  int w = 0, h = 0;
  if (!number(text.substr(0, x), w) || !number(text.substr(x + 1), h) || !videoSizeAllowed(w, h))
    return false;
  width = w;
  height = h;
  return true;
}

std::string captureNameProblem(const std::string &name) {
  if (name.empty() || name.back() == '/' || isVideoPath(name))
    return std::string();
  std::error_code ec;
  if (std::filesystem::is_directory(name, ec))
    return std::string();
  const std::filesystem::path path(name);
  std::string last = path.filename().string();
  std::transform(last.begin(), last.end(), last.begin(), [](unsigned char c) { return std::tolower(c); });
  const std::string accepted = "capture into a directory (a name without an extension, or one that exists) for "
                               "PNG pictures, or into FILE.mp4 or FILE.mkv for a video";
  if (last == ".mp4" || last == ".mkv")
    return "'" + name + "' has no name before its extension: " + accepted;
  if (path.has_extension())
    return "'" + name + "' is neither a directory nor a video the capture writes: " + accepted;
  return std::string();
}

namespace {

// Every number on the command line must be finite: NaN passes every range
// check (it compares false both ways), and infinity means nothing as a time.
// Runs before the range checks, so NaN and infinity get the same words.
const CLI::Validator kFinite(
    [](std::string &text) {
      char *end = nullptr;
      const double value = std::strtod(text.c_str(), &end);
      if (end != text.c_str() && !std::isfinite(value))
        return "'" + text + "' is not a finite number";
      return std::string();
    },
    "", "finite");

} // namespace

FrameSize frameSizeFor(const Options &options, const FrameSize &native, bool softwareRenderer) {
  if (options.scale >= 1.0)
    return FrameSize::atScale(options.scale);
  if (options.capturingVideo()) {
    const VideoPlacement at = placePicture(kBaseFrameWidth, kBaseFrameHeight, options.videoWidth, options.videoHeight);
    if (at.width >= kBaseFrameWidth && at.height >= kBaseFrameHeight)
      return FrameSize{at.width, at.height};
    return FrameSize();
  }
  if (options.capturing() || (softwareRenderer && !options.nativeScale))
    return FrameSize();
  return native;
}

bool parseOptions(int argc, const char *const *argv, Options &options, int &exitCode) {
  CLI::App app("quintervale - a real-time audiovisual show in OpenGL.\n"
               "Without options it plays full screen from the loading screen to the end; "
               "Escape or closing the window ends it.\n"
               "Warning: the show contains fast flashing and strobing light, which can trigger seizures in "
               "people with photosensitive epilepsy. --reduce-flashing turns on a gentle mode that keeps it to "
               "three flashes a second or fewer.",
               "quintervale");
  app.set_version_flag("--version", "quintervale " DEMO_VERSION);
  app.footer("Keys while it plays: Space pauses and resumes picture and sound; Left and Right jump 5 s back "
             "and forward, Page Up and Page Down 30 s; Home starts over; T shows or hides a line with the "
             "time, the part and the frames per second; Escape ends the show.");
  app.add_flag("--window", options.window, "Play in an 800 x 600 window (resizable) instead of full screen");
  bool noVsync = false;
  app.add_flag("--no-vsync", noVsync, "Do not wait for the display's refresh between frames");
  app.add_option("--data", options.dataDir, "Directory of the show's files (default: the first that holds them of data/ beside the program, "
                 "../share/quintervale/data from it, and ./data; for a picture "
                 "of 1.5 or 3 times 800 x 600, data-detail2/ or data-detail4/ beside it when there, which "
                 "'make data-detail' bakes)")
      ->type_name("DIR");
  app.add_option("--start", options.start, "Start the music and the clock at this time, the scenes caught up to it (for development)")
      ->type_name("SECONDS")
      ->check(kFinite)
      ->check(CLI::Range(0.f, 265.f));
  app.add_option("--summary", options.summary,
                 "After the run, print frames per second per part of the show and write a contact sheet PNG here "
                 "(one frame from the middle of each part); with --capture, only the sheet, of the frames drawn")
      ->type_name("FILE");
  app.add_flag("--reduce-flashing", options.reduceFlashing,
               "Gentle mode: soften the flashes, glows and cuts that would flash more than three times in a "
               "second, as live and in every capture (the T line then says so)");
  app.add_flag("--progress", options.progress,
               "While it plays, print the show time, the part and the frames per second on standard error");
  std::string scale;
  auto *scaleOption =
      app.add_option("--scale", scale,
                     "Draw the picture at (800 S) x (600 S) pixels, S from 1 to " +
                         std::to_string(static_cast<int>(kMaxRenderScale)) +
                         "; 'native': the largest 4:3 picture the screen holds (the default on a graphics "
                         "card; on a software renderer the default is 1)")
          ->type_name("S|native");
  std::string renderer;
  auto *rendererOption =
      app.add_option("--renderer", renderer,
                     "Draw with this OpenGL: 'classic' asks the driver for a compatibility profile context "
                     "(the fixed-function calls the show was written with); 'modern' for an OpenGL 3.3 core "
                     "profile context and 'es' for an OpenGL ES 3.0 one, each a debug context whose errors are "
                     "printed as they happen (default: the one the environment variable DEMO_RENDERER names, "
                     "else classic)")
          ->type_name("classic|modern|es");
  app.add_option("--display", options.display, "Open on screen N (0 the first; default: where new windows open)")
      ->type_name("N")
      ->check(kFinite)
      ->check(CLI::NonNegativeNumber);
  auto *capture =
      app.add_option("--capture", options.captureDir,
                     "Render offline, frame-exactly, into DIR (numbered PNGs, frames.txt and music.wav) or into "
                     "FILE.mp4 or FILE.mkv (a video with the music: H.264 and AAC)")
          ->type_name("DIR|FILE");
  app.add_option("--fps", options.fps, "Capture: frames per second of show time (default 60)")
      ->check(kFinite)
      ->check(CLI::Range(1, 1000))
      ->needs(capture);
  app.add_option("--from", options.from, "Capture: first show time (default 0)")
      ->type_name("SECONDS")
      ->check(kFinite)
      ->check(CLI::Range(0.f, 265.f))
      ->needs(capture);
  app.add_option("--to", options.to, "Capture: end of the range, not included (default 265; a later end is the show's)")
      ->type_name("SECONDS")
      ->check(kFinite)
      ->check(CLI::NonNegativeNumber)
      ->needs(capture);
  auto *only = app.add_option("--only", options.only, "Capture: write only the frames nearest these times")
                   ->type_name("T1,T2,...")
                   ->delimiter(',')
                   ->check(kFinite)
                   ->needs(capture);
  std::string size;
  auto *sizeOption =
      app.add_option("--size", size,
                     "Video capture: the picture's size (default 800x600); the show is drawn at the largest "
                     "4:3 picture inside it (unscaled, unless --scale says otherwise) with black bars where the "
                     "shapes differ; a size below 800x600 gets the 800 x 600 picture scaled down")
          ->type_name("WxH")
          ->needs(capture);
  auto *quality = app.add_option("--quality", options.quality,
                                 "Video capture: constant quality, x264's CRF from 0 (finest) to 51 (coarsest); "
                                 "lower is better and larger, 6 lower about doubles the size (default " +
                                     std::to_string(kDefaultVideoQuality) + ")")
                      ->type_name("CRF")
                      ->check(kFinite)
                      ->check(CLI::Range(0, 51))
                      ->needs(capture);
  try {
    app.parse(argc, argv);
    if (options.capturing()) {
      const std::string problem = captureNameProblem(options.captureDir);
      if (!problem.empty())
        throw CLI::ValidationError("--capture", problem);
    }
    // A range is clipped to the show, so that its frames, its music and the
    // progress bar all cover the same time.
    const bool clipped = options.capturing() && options.to > kShowLength;
    if (clipped)
      options.to = kShowLength;
    if (options.capturing() && !(options.from < options.to))
      throw CLI::ValidationError("--from/--to", clipped ? "the capture range is past the show's end (" +
                                                              std::to_string(static_cast<int>(kShowLength)) +
                                                              " s): --from must be below it"
                                                        : "the capture range is empty: --from must be below --to");
    if (clipped)
      std::fprintf(stderr, "quintervale: the capture range is clipped to the show: %g to %g s\n",
                   static_cast<double>(options.from), static_cast<double>(options.to));
    if (options.capturingVideo() && only->count() > 0)
      throw CLI::ValidationError("--only", "a video holds every frame of its range; capture into a directory for "
                                           "single frames");
    if (!options.capturingVideo() && (sizeOption->count() > 0 || quality->count() > 0))
      throw CLI::ValidationError("--size/--quality", "they are for a video capture (--capture FILE.mp4 or .mkv)");
    if (scaleOption->count() > 0) {
      char *end = nullptr;
      const double value = std::strtod(scale.c_str(), &end);
      if (scale == "native")
        options.nativeScale = true;
      else if (end == scale.c_str() || *end != '\0' || !std::isfinite(value) || value < 1.0 ||
               value > kMaxRenderScale)
        throw CLI::ValidationError("--scale", "'" + scale + "' is not a render scale: give a number from 1 to " +
                                                  std::to_string(static_cast<int>(kMaxRenderScale)) +
                                                  " (such as 2 or 1.8) or 'native'");
      else
        options.scale = value;
      if (options.nativeScale && options.capturing())
        throw CLI::ValidationError("--scale", "a capture has no screen to fit: give a number, or --size for a video");
    }
    const std::string renderers = std::string(draw::rendererName(draw::Renderer::Classic)) + ", " +
                                  draw::rendererName(draw::Renderer::Modern) + " or " +
                                  draw::rendererName(draw::Renderer::Es);
    if (rendererOption->count() > 0) {
      const std::optional<draw::Renderer> named = draw::parseRenderer(renderer);
      if (!named)
        throw CLI::ValidationError("--renderer", "'" + renderer + "' is not a renderer: give " + renderers);
      options.renderer = *named;
    } else {
      const std::optional<draw::Renderer> named = draw::rendererFromEnvironment();
      if (!named)
        throw CLI::ValidationError("DEMO_RENDERER", "'" + std::string(std::getenv("DEMO_RENDERER")) +
                                                        "' is not a renderer: set it to " + renderers +
                                                        ", or unset it for classic");
      options.renderer = *named;
    }
    if (sizeOption->count() > 0 && !parseVideoSize(size, options.videoWidth, options.videoHeight))
      throw CLI::ValidationError("--size", "'" + size + "' is not a video size: give WIDTHxHEIGHT, even numbers "
                                           "from 16 up, " + videoSizeLimits() + ", such as 1920x1080 or 3840x2160");
  } catch (const CLI::ParseError &e) {
    // CLI11 numbers its errors from 100 up; every usage error ends with 2.
    exitCode = app.exit(e) == 0 ? 0 : 2;
    return false;
  }
  options.vsync = !noVsync;
  exitCode = 0;
  return true;
}

} // namespace demo
