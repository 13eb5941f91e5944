#include "app/contact_sheet.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "base/show_parts.h"
#include "gfx/pixel_font.h"
#include "gfx/png_writer.h"
#include "platform/gl_window.h"

namespace demo {

const std::vector<ReportWindow> &reportWindows() {
  static const std::vector<ReportWindow> windows = [] {
    std::vector<ReportWindow> all;
    for (const ShowPart &part : kShowParts)
      all.push_back({part.name, static_cast<float>(part.start), static_cast<float>(part.end)});
    return all;
  }();
  return windows;
}

RunReport::RunReport() : parts_(reportWindows().size()) {}

void RunReport::afterFrame(float t, float dt, GLWindow &window) {
  pictureWidth_ = window.width();
  pictureHeight_ = window.height();
  const auto &windows = reportWindows();
  for (size_t i = 0; i < windows.size(); ++i) {
    if (!(windows[i].start < t && t < windows[i].end))
      continue;
    Part &part = parts_[i];
    ++part.frames;
    part.seconds += dt;
    const float middle = 0.5f * (windows[i].start + windows[i].end);
    if (!part.grabbed && t >= middle) {
      window.readPixels(frame_);
      flipRows(frame_, window.width(), window.height(), 3);
      part.thumb.assign(static_cast<size_t>(kThumbWidth) * kThumbHeight * 3, 0);
      // Each thumbnail pixel is the mean of its share of the frame, whatever
      // the frame's size (4 x 4 pixels at 800 x 600).
      const int w = window.width(), h = window.height();
      for (int y = 0; y < kThumbHeight; ++y)
        for (int x = 0; x < kThumbWidth; ++x) {
          const int x0 = x * w / kThumbWidth, x1 = (x + 1) * w / kThumbWidth;
          const int y0 = y * h / kThumbHeight, y1 = (y + 1) * h / kThumbHeight;
          for (int c = 0; c < 3; ++c) {
            int sum = 0;
            for (int yy = y0; yy < y1; ++yy)
              for (int xx = x0; xx < x1; ++xx)
                sum += frame_[(static_cast<size_t>(yy) * w + xx) * 3 + c];
            part.thumb[(static_cast<size_t>(y) * kThumbWidth + x) * 3 + c] =
                static_cast<uint8_t>(sum / ((x1 - x0) * (y1 - y0)));
          }
        }
      part.grabbed = true;
      part.grabTime = t;
    }
    break;
  }
}

void RunReport::print(std::FILE *out) const {
  std::fprintf(out, "%-11s %10s %8s %8s\n", "part", "window", "frames", "fps");
  const auto &windows = reportWindows();
  for (size_t i = 0; i < windows.size(); ++i) {
    const Part &part = parts_[i];
    if (part.frames == 0)
      continue;
    char span[32];
    std::snprintf(span, sizeof span, "%.0f-%.0f s", windows[i].start, windows[i].end);
    std::fprintf(out, "%-11s %10s %8d %8.1f\n", windows[i].name, span, part.frames,
                 part.seconds > 0.0 ? part.frames / part.seconds : 0.0);
  }
  if (pictureWidth_ > 0)
    std::fprintf(out, "picture %d x %d\n", pictureWidth_, pictureHeight_);
}

bool RunReport::writeSheet(const std::string &path) const {
  const int columns = 3, labelHeight = 22, gap = 4;
  const int rows = static_cast<int>((parts_.size() + columns - 1) / columns);
  const int cellW = kThumbWidth + gap, cellH = kThumbHeight + labelHeight + gap;
  const int width = columns * cellW + gap, height = rows * cellH + gap;
  std::vector<uint8_t> sheet(static_cast<size_t>(width) * height * 3, 24);
  const auto &windows = reportWindows();
  for (size_t i = 0; i < parts_.size(); ++i) {
    const int cx = gap + static_cast<int>(i % columns) * cellW, cy = gap + static_cast<int>(i / columns) * cellH;
    const Part &part = parts_[i];
    char label[48];
    if (part.grabbed) {
      for (int y = 0; y < kThumbHeight; ++y)
        std::copy_n(&part.thumb[static_cast<size_t>(y) * kThumbWidth * 3], kThumbWidth * 3,
                    &sheet[(static_cast<size_t>(cy + y) * width + cx) * 3]);
      std::snprintf(label, sizeof label, "%.1fs %s", part.grabTime, windows[i].name);
    } else {
      std::snprintf(label, sizeof label, "%s: not reached", windows[i].name);
    }
    // Two pixels a dot where the label fits under its picture, else one.
    const int scale = static_cast<int>(std::strlen(label)) * 12 <= kThumbWidth - 2 ? 2 : 1;
    drawLabel(sheet, width, height, cx + 2, cy + kThumbHeight + 5, label, scale, 230, 230, 230);
  }
  return writePngFile(path, sheet.data(), width, height, 3, 9);
}

void drawLabel(std::vector<uint8_t> &rgb, int width, int height, int x, int y, const std::string &text, int scale,
               uint8_t r, uint8_t g, uint8_t b) {
  int penX = x;
  for (char c : text) {
    // Capitals are drawn as small letters.
    const uint8_t *rows = pixelGlyph(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (rows) {
      for (int row = 0; row < kPixelFontHeight; ++row)
        for (int col = 0; col < kPixelFontWidth; ++col) {
          if (!(rows[row] & (16 >> col)))
            continue;
          for (int dy = 0; dy < scale; ++dy)
            for (int dx = 0; dx < scale; ++dx) {
              int px = penX + col * scale + dx, py = y + row * scale + dy;
              if (px < 0 || py < 0 || px >= width || py >= height)
                continue;
              uint8_t *p = &rgb[(static_cast<size_t>(py) * width + px) * 3];
              p[0] = r;
              p[1] = g;
              p[2] = b;
            }
        }
    }
    penX += kPixelFontAdvance * scale;
  }
}

} // namespace demo
