// The contact sheet's labels: the pixel font's dots land where they should,
// capitals read as small letters, and every part's name can be drawn.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "app/contact_sheet.h"
#include "gfx/pixel_font.h"

namespace demo::test {
namespace {

constexpr uint8_t kBack = 24;

std::vector<uint8_t> blank(int width, int height) {
  return std::vector<uint8_t>(static_cast<size_t>(width) * height * 3, kBack);
}

bool lit(const std::vector<uint8_t> &rgb, int width, int x, int y) {
  return rgb[(static_cast<size_t>(y) * width + x) * 3] != kBack;
}

// '-' is the middle row (row 3) of five dots: at scale 2 from (3, 4), the
// block x 3..12, y 10..11 and nothing else.
TEST(ContactSheetLabel, ADashLightsItsMiddleRowAtTheScale) {
  const int w = 20, h = 20;
  std::vector<uint8_t> rgb = blank(w, h);
  drawLabel(rgb, w, h, 3, 4, "-", 2, 230, 200, 100);
  int count = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (lit(rgb, w, x, y)) {
        ++count;
        EXPECT_TRUE(x >= 3 && x < 13 && y >= 10 && y < 12) << x << ", " << y;
      }
  EXPECT_EQ(count, 5 * 2 * 2);
  const uint8_t *p = &rgb[(static_cast<size_t>(10) * w + 3) * 3];
  EXPECT_EQ(p[0], 230);
  EXPECT_EQ(p[1], 200);
  EXPECT_EQ(p[2], 100);
}

TEST(ContactSheetLabel, CapitalsAreDrawnAsSmallLetters) {
  const int w = 40, h = 10;
  std::vector<uint8_t> capitals = blank(w, h), small = blank(w, h);
  drawLabel(capitals, w, h, 0, 0, "Water", 1, 255, 255, 255);
  drawLabel(small, w, h, 0, 0, "water", 1, 255, 255, 255);
  EXPECT_EQ(capitals, small);
}

// Every label the sheet writes is drawn in full: no character of a part's
// name (nor of "not reached") falls outside the font.
TEST(ContactSheetLabel, EveryPartNameIsInTheFont) {
  std::vector<std::string> names{"not reached"};
  for (const ReportWindow &window : reportWindows())
    names.push_back(window.name);
  for (const std::string &name : names)
    for (char c : name)
      EXPECT_TRUE(c == ' ' || pixelGlyph(static_cast<char>(std::tolower(static_cast<unsigned char>(c))))) << name;
}

} // namespace
} // namespace demo::test
