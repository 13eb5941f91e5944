// event_lettering.h - the production's lettering: the title spelled one
// letter at a time, and the glowing two-tone style shared by the title
// overlays, the loading screen and the end logo.
//
// WordLayout lays a word out once with FreeType (kerning and tracking
// included) and can then draw any prefix of it: every glyph lands exactly
// where it stands in the whole word, so pictures of "q", "qu", ... placed at
// the same spot make the letters appear in place instead of re-centring.
//
//   WordLayout word("quintervale", 96, kFontSansBold, 2.f);
//   Image first3 = word.render(3, 12);   // "qui" in the whole word's box
//   Image title = styleLetters(first3, kTitleStyle);
//
// At a detail above 1 the word is laid out for a picture of that detail:
// sizes, tracking and padding are given in base pixels, and the layout is
// the base size's. Each glyph's outline, hinted for the base size, is scaled
// by the detail and rendered with the finer pixels, so the letters keep the
// shapes and places they have at detail 1 (the ink box is exactly detail
// times its size there) and only their edges are finer; the pictures say
// their detail. The style's widths and radii are base pixels too.
//
// styleLetters colours a white coverage mask (alpha = ink): a vertical
// gradient fill with a slight bevel, a thin dark outline and a soft halo,
// all in the picture's alpha so it sits on any background.
//
// It does not wrap lines or handle anything but single-byte characters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bake/image.h"

namespace demo::bake {

class WordLayout {
public:
  // Empty (width() 0, with a line on stderr) when the font cannot be loaded.
  WordLayout(const std::string &text, int pixelSize, const char *font, float tracking = 0.f, int detail = 1);

  bool empty() const { return width_ == 0; }
  int detail() const { return detail_; }
  // The whole word's ink box in pixels of its detail.
  int width() const { return width_; }
  int height() const { return height_; }
  // Row of the baseline, counted from the top of the ink box.
  int baseline() const { return baseline_; }
  size_t letters() const { return glyphs_.size(); }

  // The first `count` characters (all of them when count exceeds the word)
  // as white RGBA with alpha = coverage, in a picture at the layout's detail
  // the size of the whole word's ink box plus `padding` base pixels on every
  // side.
  Image render(size_t count, int padding = 0) const;

private:
  struct Glyph {
    int left = 0, top = 0; // position in the ink box
    int width = 0, rows = 0;
    std::vector<uint8_t> coverage; // rows x width
  };
  std::vector<Glyph> glyphs_; // one per character, in order (blank ones too)
  int width_ = 0, height_ = 0, baseline_ = 0;
  int detail_ = 1;
};

struct LetterStyle {
  Colour top;          // fill at the picture's top row
  Colour bottom;       // fill at its bottom row
  Colour edge;         // outline colour; alpha scales it
  float edgeWidth;     // base pixels
  Colour glow;         // halo colour; alpha is its strength
  int glowRadius;      // base pixels
};

// The title's look: ice-white letters with a navy rim and a blue halo.
extern const LetterStyle kTitleStyle;

// The title as the event scene spells it, in kFontSansBold (text.h): the
// word, and its size in base pixels per em, the size kTitleStyle's widths
// are made for (a picture of the letters at another size scales them).
inline constexpr const char *kTitleWord = "quintervale";
inline constexpr int kTitlePixels = 92;

// The coverage mask (alpha of `coverage`) painted in `style`, RGBA of the same
// size and detail. Leave at least glowRadius base pixels of padding round the
// ink.
Image styleLetters(const Image &coverage, const LetterStyle &style);

// Paints a styled picture over `target` (RGB or RGBA, at the picture's
// detail) with its centre at (cx, cy) in base pixels of the target.
void drawCentred(Image &target, const Image &picture, float cx, float cy);

// Paints `picture` over `target` (at the same detail) with its top-left
// corner on pixel (x, y) of the target (a layout's offsets, such as its
// baseline, are counted in pixels).
void drawAtPixel(Image &target, const Image &picture, int x, int y);

} // namespace demo::bake
