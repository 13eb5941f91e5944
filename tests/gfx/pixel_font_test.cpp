// The 5 x 7 pixel font: every character it has is a glyph of its own inside
// its five columns.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "gfx/pixel_font.h"

namespace demo::test {
namespace {

const std::string kFontCharacters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz.:-/";

TEST(PixelFont, EveryGlyphStaysInsideItsFiveColumnsAndLightsSomething) {
  for (char c : kFontCharacters) {
    const uint8_t *rows = pixelGlyph(c);
    ASSERT_NE(rows, nullptr) << c;
    int lit = 0;
    for (int row = 0; row < kPixelFontHeight; ++row) {
      EXPECT_LT(rows[row], 1 << kPixelFontWidth) << c << " row " << row;
      lit += rows[row] != 0;
    }
    EXPECT_GT(lit, 0) << c;
  }
}

// A row copied into the wrong glyph shows up as two characters that look the
// same ('0' and 'O', 'l' and 'I' all differ).
TEST(PixelFont, NoTwoCharactersShareAGlyph) {
  for (size_t i = 0; i < kFontCharacters.size(); ++i)
    for (size_t j = i + 1; j < kFontCharacters.size(); ++j)
      EXPECT_NE(std::memcmp(pixelGlyph(kFontCharacters[i]), pixelGlyph(kFontCharacters[j]), kPixelFontHeight), 0)
          << kFontCharacters[i] << " and " << kFontCharacters[j];
}

} // namespace
} // namespace demo::test
