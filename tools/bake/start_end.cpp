// The pictures the show opens and closes with: the loading screen, its
// progress bar and the end logo.
//
// The loading picture is drawn at its own size from the screen's lower-left
// corner, and the bar over it as a w x 45 strip at screen pixel (157, 265)
// (y up) showing the left w / 514 of the bar image: on the picture (rows top
// first) that strip is columns 157..670, rows 290..334, where the picture
// leaves an empty track for it. The bar image is 514 x 45, so every step of
// the bar shows its pixels one to one.
//
// The end logo is added (GL_ONE, GL_ONE) over the breaking last frame with
// its lower-left corner at (144, 236), that is centred on the screen: it is
// light on black, since black adds nothing.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "bake/bake.h"
#include "bake/bake_math.h"
#include "bake/event_lettering.h"
#include "bake/image.h"
#include "bake/text.h"

namespace demo::bake {

namespace {

constexpr int kScreenWidth = 800, kScreenHeight = 600;
// The bar's strip on the loading picture, in picture pixels (rows top first).
constexpr int kBarWidth = 514, kBarHeight = 45;
constexpr int kBarLeft = 157;
constexpr int kBarTop = kScreenHeight - 265 - kBarHeight; // 290
// The loading steps show 0, 1, 2, 4, 5, 7, 9, 10 and 11 elevenths of the bar.
constexpr int kBarSteps = 11;

// Stars of one base pixel each, the brighter ones with a glow.
void drawStars(Image &picture, int bottom, uint64_t seed) {
  const int d = picture.detail;
  Rng rng(seed);
  for (int i = 0; i < 260; ++i) {
    float x = rng.range(0.f, static_cast<float>(picture.baseWidth()));
    float y = rng.range(0.f, static_cast<float>(bottom));
    float brightness = std::pow(rng.uniform(), 3.f);
    Colour tint = mix(Colour{0.7f, 0.8f, 1.f, 1.f}, Colour{1.f, 0.9f, 0.8f, 1.f}, rng.uniform());
    const int starX = static_cast<int>(x) * d, starY = static_cast<int>(y) * d;
    for (int py = starY; py < starY + d; ++py)
      for (int px = starX; px < starX + d; ++px)
        picture.add(px, py, tint, 0.25f + 0.75f * brightness);
    if (brightness > 0.5f)
      picture.glow(x, y, 3.f + 5.f * brightness, Colour{tint.r, tint.g, tint.b, 0.35f * brightness}, 2.f);
  }
}

// Whether the floor point seen at picture position (x, y) lies on a grid
// line. depth runs from 0 at the horizon to 1 at the bottom row; a floor cell
// is kCell pixels wide on the bottom row (and floorRows / kRows = 25 pixels
// deep there), and the viewer is kRows / depth cells away from the point.
float floorLine(float x, float y, int horizon, int bottom) {
  constexpr float kCell = 60.f, kRows = 6.8f, kHalfWidth = 0.02f;
  float depth = std::max((y - horizon) / static_cast<float>(bottom - horizon), 1e-3f);
  float across = (x - 400.f) / (depth * kCell);
  float along = kRows / depth;
  bool line = std::fabs(across - std::round(across)) < kHalfWidth || std::fabs(along - std::round(along)) < kHalfWidth;
  return line ? 1.f : 0.f;
}

// A night sky over a glowing horizon and a receding floor grid.
void drawBackdrop(Image &picture) {
  constexpr int kHorizon = 430;
  const int d = picture.detail, bottom = picture.baseHeight();
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      float fx = basePosition(x, d), fy = basePosition(y, d);
      Colour c;
      if (y / d < kHorizon) {
        float t = fy / kHorizon;
        c = mix(Colour{0.01f, 0.015f, 0.05f, 1.f}, Colour{0.06f, 0.05f, 0.16f, 1.f}, t * t);
        // Nebula: two colours of cloud, densest round the title.
        float cloud = fbm(fx / 170.f, fy / 140.f, 9001u, 5, 0.55f);
        float veil = fbm(fx / 90.f + 13.f, fy / 90.f, 9002u, 4, 0.5f);
        float focus = std::exp(-std::pow((fx - 400.f) / 380.f, 2.f) - std::pow((fy - 220.f) / 200.f, 2.f));
        float density = std::pow(clamp01(cloud * 1.3f - 0.18f), 2.5f) * (0.45f + 1.1f * focus);
        Colour nebula = mix(Colour{0.05f, 0.4f, 0.55f, 1.f}, Colour{0.45f, 0.12f, 0.55f, 1.f}, veil);
        c = mix(c, nebula, clamp01(density));
        // Horizon glow.
        float glow = std::exp(-(kHorizon - fy) / 38.f);
        c = mix(c, Colour{0.9f, 0.3f, 0.45f, 1.f}, 0.55f * glow);
      } else {
        // Floor: lines to the vanishing point and rows closing up towards
        // the horizon, 4 x 4 samples a pixel so the far lines blend into a
        // haze instead of beating against the pixels. The samples lie in
        // the pixel's square, from its top-left corner (x / d, y / d).
        const float left = static_cast<float>(x) / static_cast<float>(d);
        const float top = static_cast<float>(y) / static_cast<float>(d);
        const float step = 4.f * static_cast<float>(d);
        float grid = 0.f;
        for (int sy = 0; sy < 4; ++sy)
          for (int sx = 0; sx < 4; ++sx)
            grid += floorLine(left + (sx + 0.5f) / step, top + (sy + 0.5f) / step, kHorizon, bottom);
        grid /= 16.f;
        float depth = (fy + 0.5f - kHorizon) / static_cast<float>(bottom - kHorizon);
        c = mix(Colour{0.03f, 0.02f, 0.06f, 1.f}, Colour{0.01f, 0.01f, 0.02f, 1.f}, depth);
        c = mix(c, Colour{0.2f, 0.75f, 1.f, 1.f}, clamp01(grid * (0.3f + 0.7f * depth) * 1.6f));
        c = mix(c, Colour{0.9f, 0.3f, 0.45f, 1.f}, 0.5f * std::exp(-(fy - kHorizon) / 12.f));
      }
      picture.set(x, y, c);
    }
  drawStars(picture, kHorizon - 20, 4242u);
}

// The empty track the bar fills: a dark recess with a thin lit rim and a
// tick at each eleventh.
void drawBarTrack(Image &picture) {
  const float x0 = kBarLeft, y0 = kBarTop, x1 = kBarLeft + kBarWidth, y1 = kBarTop + kBarHeight;
  picture.fillRect(x0 - 8.f, y0 - 8.f, x1 + 8.f, y1 + 8.f, Colour{0.f, 0.f, 0.02f, 0.45f});
  picture.fillRect(x0, y0, x1, y1, Colour{0.015f, 0.02f, 0.045f, 1.f});
  // An inner shadow under the top edge.
  for (int i = 0; i < 6; ++i)
    picture.fillRect(x0, y0 + i, x1, y0 + i + 1.f, Colour{0.f, 0.f, 0.f, 0.5f * (1.f - i / 6.f)});
  picture.strokeRect(x0 - 3.f, y0 - 3.f, x1 + 3.f, y1 + 3.f, 1.5f, Colour{0.35f, 0.6f, 0.85f, 0.85f});
  for (int k = 0; k <= kBarSteps; ++k) {
    float x = x0 + kBarWidth * static_cast<float>(k) / kBarSteps;
    float length = (k == 0 || k == kBarSteps) ? 9.f : 5.f;
    picture.line(x, y1 + 6.f, x, y1 + 6.f + length, 1.5f, Colour{0.35f, 0.6f, 0.85f, 0.7f});
  }
}

// The title laid out at the picture's detail.
Image makeLoadingScreen(const WordLayout &title) {
  Image picture = Image::atDetail(kScreenWidth, kScreenHeight, 3, title.detail());
  drawBackdrop(picture);

  const float cx = kScreenWidth * 0.5f;
  WordLayout group("KESTRANE", 26, kFontSansBold, 14.f, title.detail());
  LetterStyle groupStyle{Colour{0.8f, 0.9f, 1.f, 1.f}, Colour{0.55f, 0.75f, 1.f, 1.f},
                         Colour{0.f, 0.02f, 0.1f, 0.8f}, 1.5f, Colour{0.3f, 0.6f, 1.f, 0.5f}, 8};
  drawCentred(picture, styleLetters(group.render(group.letters(), 10), groupStyle), cx, 96.f);
  drawTextCentred(picture, "presents", cx, 132.f, 16, kFontSans, Colour{0.6f, 0.7f, 0.9f, 0.85f}, 4.f);

  // The title's ink centred on row 222: clear of the bar's rim from row 287.
  Image word = styleLetters(title.render(title.letters(), 14), kTitleStyle);
  drawCentred(picture, word, cx, 222.f);

  drawBarTrack(picture);
  drawTextCentred(picture, "LOADING", cx, static_cast<float>(kBarTop + kBarHeight + 38), 13, kFontSansBold,
                  Colour{0.45f, 0.7f, 0.95f, 0.9f}, 7.f);
  return picture;
}

// The bar: a glossy rounded strip running cyan, blue and violet, with faint
// diagonal stripes; fully opaque inside, antialiased at the rounded ends.
// Positions are in base pixels; the rounded ends are antialiased over one
// pixel of the detail.
Image makeLoadingBar(int detail) {
  Image bar = Image::atDetail(kBarWidth, kBarHeight, 4, detail, Colour{1.f, 1.f, 1.f, 0.f});
  constexpr float kRadius = 10.f, kInset = 2.f;
  const float x0 = kInset, y0 = kInset, x1 = kBarWidth - kInset, y1 = kBarHeight - kInset;
  const float fine = static_cast<float>(detail);
  for (int y = 0; y < bar.height; ++y)
    for (int x = 0; x < bar.width; ++x) {
      float px = basePosition(x, detail) + 0.5f, py = basePosition(y, detail) + 0.5f;
      // Signed distance to the rounded rectangle (negative inside).
      float qx = std::max({x0 + kRadius - px, px - (x1 - kRadius), 0.f});
      float qy = std::max({y0 + kRadius - py, py - (y1 - kRadius), 0.f});
      float outside = std::hypot(qx, qy) - kRadius;
      float inside = std::min({px - x0, x1 - px, py - y0, y1 - py});
      float distance = (qx > 0.f || qy > 0.f) ? outside : -inside;
      float alpha = clamp01(0.5f - distance * fine);
      if (alpha <= 0.f)
        continue;
      float u = px / kBarWidth, v = (py - y0) / (y1 - y0);
      Colour c = u < 0.5f ? mix(Colour{0.1f, 0.85f, 1.f, 1.f}, Colour{0.25f, 0.45f, 1.f, 1.f}, u * 2.f)
                          : mix(Colour{0.25f, 0.45f, 1.f, 1.f}, Colour{0.85f, 0.3f, 1.f, 1.f}, u * 2.f - 1.f);
      // Gloss on the upper half, shade on the lower.
      c = v < 0.5f ? mix(c, Colour{1.f, 1.f, 1.f, 1.f}, 0.45f * (1.f - v * 2.f)) : scaled(c, 1.f - 0.45f * (v - 0.5f));
      float stripe = std::fmod(px + py, 22.f) < 9.f ? 1.f : 0.f;
      c = mix(c, Colour{1.f, 1.f, 1.f, 1.f}, 0.1f * stripe);
      if (y / detail == static_cast<int>(y0) + 2) // a lit line one base pixel high
        c = mix(c, Colour{1.f, 1.f, 1.f, 1.f}, 0.5f);
      c.a = alpha;
      bar.set(x, y, c);
    }
  return bar;
}

// The group's sign-off, light on black: the name large with a halo, a fine
// rule and a line of thanks.
Image makeEndLogo(int detail) {
  constexpr int kWidth = 512, kHeight = 128;
  const int d = detail;
  Image logo = Image::atDetail(kWidth, kHeight, 3, d, Colour{0.f, 0.f, 0.f, 1.f});
  WordLayout name("kestrane", 66, kFontSansBold, 4.f, d);
  LetterStyle style = kTitleStyle;
  style.glowRadius = 9;
  Image styled = styleLetters(name.render(name.letters(), 12), style);
  // The baseline on row 74; the layout's sizes are whole base pixels.
  const int styledWidth = styled.width / d, baseline = name.baseline() / d;
  drawAtPixel(logo, styled, (kWidth - styledWidth) / 2 * d, (74 - baseline - 12) * d);
  // A rule one base pixel high on row 86.
  for (int x = 96 * d; x < (kWidth - 96) * d; ++x) {
    float fade = std::sin(kPi * (basePosition(x, d) - 96.f) / (kWidth - 192.f));
    for (int y = 86 * d; y < 87 * d; ++y)
      logo.blend(x, y, Colour{0.4f, 0.7f, 1.f, 1.f}, fade * 0.8f);
  }
  drawTextCentred(logo, "thank you for watching", kWidth * 0.5f, 104.f, 15, kFontSans,
                  Colour{0.65f, 0.78f, 1.f, 1.f}, 3.f);
  return logo;
}

} // namespace

void bakeStartAndEnd(BakeContext &context) {
  context.group("loading screen and end logo");
  const int detail = context.detail();
  context.writePng("loadingbar.png", makeLoadingBar(detail));

  WordLayout title("quintervale", 88, kFontSansBold, 3.f, detail);
  if (title.empty()) {
    // No fonts (the loader has said why): report the lettered pictures as
    // not written, which fails the bake.
    context.writeBytes("loadingscreen.jpg", {});
    context.writeBytes("endlogo.png", {});
    return;
  }
  context.writeJpeg("loadingscreen.jpg", makeLoadingScreen(title), 93);
  context.writePng("endlogo.png", makeEndLogo(detail));
}

} // namespace demo::bake
