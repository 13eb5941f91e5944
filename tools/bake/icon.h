// icon.h - the program's desktop icon, painted from the title's look: the
// title's first letter in kTitleStyle (event_lettering.h) on a dark rounded
// tile, so that it reads on light and dark desktops alike.
//
// The pictures come in the sizes a desktop's icon theme asks for
// (kIconSizes), each laid out at its own size: the letter is set at pixels
// per em in proportion to the icon, hinted and rendered for those pixels,
// and the style's rim and halo are scaled with it, so the small icon is as
// sharp as the large one. The scalable icon draws the same tile and the
// letter's own outline as SVG.
//
//   writeIcons("icons");  // icons/quintervale-48.png ... icons/quintervale.svg
//
// The baker writes them with --icons DIR; they are not part of the show's
// data set.
#pragma once

#include <array>
#include <string>

#include "bake/image.h"

namespace demo::bake {

// The icon's name, the stem of every file writeIcons writes.
inline constexpr const char *kIconName = "quintervale";
// The sides, in pixels, of the pictures writeIcons writes.
inline constexpr std::array<int, 3> kIconSizes = {48, 128, 256};
// The scalable icon's width, height and view box side.
inline constexpr int kIconSvgSize = 256;

// The icon `size` pixels a side, RGBA (transparent outside the tile). Empty,
// with a line on stderr, when the font cannot be loaded.
Image paintIcon(int size);

// The scalable icon, an SVG document kIconSvgSize units a side. Empty, with
// a line on stderr, when the font cannot be loaded.
std::string iconSvg();

// Writes DIR/quintervale-N.png for every N in kIconSizes and
// DIR/quintervale.svg, creating DIR. False, after one line on stderr, when a
// picture cannot be made or a file cannot be written.
bool writeIcons(const std::string &dir);

} // namespace demo::bake
