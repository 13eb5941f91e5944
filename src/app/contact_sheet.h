// contact_sheet.h - the report of a run nobody watched: how fast each part of
// the show played, and one picture from the middle of each part.
//
// RunReport collects, frame by frame, the part of the show drawn and the
// frame time, and grabs the frame nearest the middle of each part's window.
// At the end it prints frames per second per part and writes a contact sheet
// PNG: the grabbed frames side by side, each labelled with its time and part.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "show/timeline.h"

namespace demo {

class GLWindow;

struct ReportWindow {
  const char *name;
  float start, end; // the part's window of show time
};

// The parts of the show in order (water's two visits apart).
const std::vector<ReportWindow> &reportWindows();

class RunReport {
public:
  RunReport();
  // After a frame at show time t (with frame time dt) has been drawn: counts
  // it, and grabs the frame if it is the first at or past a window's middle.
  void afterFrame(float t, float dt, GLWindow &window);
  // Frames per second of every part that was reached, then the picture's
  // size ("picture 1440 x 1080").
  void print(std::FILE *out) const;
  // The contact sheet; false when it cannot be written.
  bool writeSheet(const std::string &path) const;

  static constexpr int kThumbWidth = 200;
  static constexpr int kThumbHeight = 150;

private:
  struct Part {
    int frames = 0;
    double seconds = 0.0;
    bool grabbed = false;
    float grabTime = 0.f;
    std::vector<uint8_t> thumb; // kThumbWidth x kThumbHeight RGB, top row first
  };
  std::vector<Part> parts_;
  std::vector<uint8_t> frame_;
  int pictureWidth_ = 0, pictureHeight_ = 0; // the last frame's
};

// Draws `text` in the 5 x 7 pixel font (pixel_font.h: small letters, digits,
// . : - /; capitals are drawn as small letters, anything else as a space),
// `scale` pixels a dot, into an RGB picture (rows top first); dots outside
// the picture are left out.
void drawLabel(std::vector<uint8_t> &rgb, int width, int height, int x, int y, const std::string &text, int scale,
               uint8_t r, uint8_t g, uint8_t b);

} // namespace demo
