// The contact sheet's labels: the pixel font's dots land where they should,
// capitals read as small letters, and nothing is written outside the picture.
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

TEST(ContactSheetLabel, CapitalsAreDrawnAsSmallLettersAndSpacesAdvance) {
  const int w = 60, h = 10;
  std::vector<uint8_t> capitals = blank(w, h), small = blank(w, h), spaced = blank(w, h);
  drawLabel(capitals, w, h, 0, 0, "Water", 1, 255, 255, 255);
  drawLabel(small, w, h, 0, 0, "water", 1, 255, 255, 255);
  EXPECT_EQ(capitals, small);
  // A space is a glyph's width of nothing: " a" is "a" six pixels on.
  std::vector<uint8_t> shifted = blank(w, h);
  drawLabel(spaced, w, h, 0, 0, " a", 1, 255, 255, 255);
  drawLabel(shifted, w, h, kPixelFontAdvance, 0, "a", 1, 255, 255, 255);
  EXPECT_EQ(spaced, shifted);
}

TEST(ContactSheetLabel, DotsOutsideThePictureAreLeftOut) {
  const int w = 4, h = 4;
  std::vector<uint8_t> rgb = blank(w, h);
  // '8' reaches every corner of its box: only its lower-right part lands.
  drawLabel(rgb, w, h, -3, -4, "8", 1, 255, 255, 255);
  EXPECT_EQ(rgb.size(), static_cast<size_t>(w) * h * 3);
  EXPECT_TRUE(lit(rgb, w, 0, 2)) << "the 8's bottom row, fourth column";
  EXPECT_FALSE(lit(rgb, w, 3, 3)) << "beyond the glyph's five columns";
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
