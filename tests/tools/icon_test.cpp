// The program's desktop icon, read back from the files writeIcons writes:
// pictures through the show's PNG decoder, the SVG as XML and path data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bake/icon.h"
#include "gfx/texture.h"
#include "support/test_files.h"

namespace demo::bake {
namespace {

int luma(const uint8_t *p) { return (p[0] * 3 + p[1] * 6 + p[2]) / 10; }

// The box round the points it is given.
struct Box {
  double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
  void add(double x, double y) {
    minX = std::min(minX, x), maxX = std::max(maxX, x);
    minY = std::min(minY, y), maxY = std::max(maxY, y);
  }
};

TEST(IconPictures, EachSizeIsARoundedTileWithTheLetterLitOnIt) {
  test::TempDir dir;
  const std::string folder = dir.file("share/icons");
  ASSERT_TRUE(writeIcons(folder));
  for (int size : kIconSizes) {
    SCOPED_TRACE(size);
    PngImage png = decodePng((folder + "/quintervale-" + std::to_string(size) + ".png").c_str());
    ASSERT_EQ(png.width, size);
    ASSERT_EQ(png.height, size);
    ASSERT_EQ(png.channels, 4);
    auto at = [&](int x, int y) { return &png.data[(static_cast<size_t>(y) * size + x) * 4]; };
    const int margin = size / 16, last = size - 1;
    // Clear round the tile, and its corners rounded off: the pixel just
    // inside the square's corner is clear too.
    for (int c : {0, margin - 1, margin + 1}) {
      EXPECT_EQ(at(c, c)[3], 0);
      EXPECT_EQ(at(last - c, c)[3], 0);
      EXPECT_EQ(at(c, last - c)[3], 0);
      EXPECT_EQ(at(last - c, last - c)[3], 0);
    }
    // Opaque through the middle, dark at the top of the tile, and a light
    // letter centred on it.
    int light = 0;
    Box letter;
    for (int y = size / 8; y < size - size / 8; ++y)
      for (int x = size / 8; x < size - size / 8; ++x) {
        ASSERT_EQ(at(x, y)[3], 255) << x << ", " << y;
        if (luma(at(x, y)) > 160)
          ++light, letter.add(x, y);
      }
    EXPECT_LT(luma(at(size / 2, margin + size / 32)), 80);
    EXPECT_GT(light, size * size / 20);
    EXPECT_NEAR((letter.minX + letter.maxX) * 0.5, size * 0.5, 1.5 + size / 32.0);
    EXPECT_NEAR((letter.minY + letter.maxY) * 0.5, size * 0.5, 1.5 + size / 32.0);
  }
}

// The elements of an XML document in order, with their attributes; false
// when a tag is left open or closed out of turn.
using Element = std::map<std::string, std::string>; // attributes, "" the name
bool readXml(const std::string &text, std::vector<Element> &elements) {
  static const std::regex tagPattern(R"x(<(/?)([\w:-]+)([^>]*?)(/?)>)x");
  static const std::regex attributePattern(R"x(([\w:-]+)="([^"]*)")x");
  std::vector<std::string> open;
  for (std::sregex_iterator tag(text.begin(), text.end(), tagPattern), end; tag != end; ++tag) {
    const std::string name = (*tag)[2], body = (*tag)[3];
    if ((*tag)[1].length() > 0) {
      if (open.empty() || open.back() != name)
        return false;
      open.pop_back();
      continue;
    }
    Element element{{"", name}};
    for (std::sregex_iterator a(body.begin(), body.end(), attributePattern); a != end; ++a)
      element[(*a)[1]] = (*a)[2];
    elements.push_back(element);
    if ((*tag)[4].length() == 0)
      open.push_back(name);
  }
  return open.empty();
}

TEST(IconSvg, IsATileAndTheLetterOutlineInItsViewBox) {
  test::TempDir dir;
  ASSERT_TRUE(writeIcons(dir.path()));
  const std::vector<uint8_t> bytes = test::readFile(dir.file("quintervale.svg"));
  std::vector<Element> elements;
  ASSERT_TRUE(readXml(std::string(bytes.begin(), bytes.end()), elements));
  ASSERT_FALSE(elements.empty());
  EXPECT_EQ(elements[0][""], "svg");
  EXPECT_EQ(elements[0]["width"], "256");
  EXPECT_EQ(elements[0]["height"], "256");
  EXPECT_EQ(elements[0]["viewBox"], "0 0 256 256");

  std::set<std::string> ids, references;
  int tiles = 0, paths = 0;
  for (Element &e : elements) {
    ids.insert(e["id"]);
    for (const char *paint : {"fill", "stroke", "filter"})
      if (e[paint].rfind("url(#", 0) == 0)
        references.insert(e[paint].substr(5, e[paint].size() - 6));
    tiles += e[""] == "rect" && e["fill"] == "url(#tile)";
    if (e[""] != "path")
      continue;
    // M/L/Q/C commands, each contour closed, every point on the tile and the
    // letter's box centred on it.
    ++paths;
    std::map<char, int> commands;
    std::string numbers = e["d"];
    for (char &c : numbers)
      if (std::isalpha(static_cast<unsigned char>(c)))
        ++commands[std::exchange(c, ' ')];
    std::istringstream in(numbers);
    double x, y;
    Box outline;
    while (in >> x >> y)
      outline.add(x, y);
    EXPECT_TRUE(in.eof()) << "a stray number or character in the path";
    EXPECT_GE(commands['M'], 2); // the letter and its counter
    EXPECT_EQ(commands['Z'], commands['M']);
    EXPECT_GE(commands['L'] + commands['Q'] + commands['C'], 20);
    EXPECT_TRUE(outline.minX > 16 && outline.maxX < 240 && outline.minY > 16 && outline.maxY < 240);
    EXPECT_GT(outline.maxY - outline.minY, 100.0); // a letter the size of the pictures' one
    EXPECT_NEAR((outline.minX + outline.maxX) * 0.5, 128.0, 0.5);
    EXPECT_NEAR((outline.minY + outline.maxY) * 0.5, 128.0, 0.5);
  }
  EXPECT_EQ(tiles, 1);
  EXPECT_GE(paths, 1);
  for (const std::string &id : references)
    EXPECT_EQ(ids.count(id), 1u) << "url(#" << id << ") is not defined";
}

TEST(IconFiles, AFolderThatCannotBeMadeFails) {
  test::TempDir dir;
  test::writeFile(dir.file("taken"), std::string("a file, not a folder"));
  EXPECT_FALSE(writeIcons(dir.file("taken/icons")));
}

} // namespace
} // namespace demo::bake
