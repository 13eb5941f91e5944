// Picture decoding without GL: signatures, the JPEG and PNG decoders, the
// normal map, and every way a file can fail to load.
#include "gfx/texture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <libdeflate.h>

#include "base/data_path.h"
#include "support/picture_writer.h"
#include "support/test_files.h"

namespace demo::test {
namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

// w x h RGB bytes from f(x, y) -> {r, g, b}.
template <class F> std::vector<uint8_t> rgbPicture(int w, int h, F f) {
  std::vector<uint8_t> out;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      auto c = f(x, y);
      out.insert(out.end(), {uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2])});
    }
  return out;
}

std::vector<uint8_t> pixelAt(const PngImage &image, int x, int y) {
  auto p = image.data.begin() + (y * image.width + x) * image.channels;
  return std::vector<uint8_t>(p, p + image.channels);
}

std::vector<uint8_t> decodedPng(const std::string &path, const PngLayout &layout) {
  EXPECT_TRUE(writePng(path, layout));
  std::string error;
  PngImage image = decodePng(path.c_str(), &error);
  EXPECT_FALSE(image.empty()) << error;
  EXPECT_EQ(image.width, layout.width);
  EXPECT_EQ(image.height, layout.height);
  return image.data;
}

// A layout of `width` x `height` samples of PNG colour type `colorType`, 8 bits
// deep unless the caller changes it.
PngLayout pngLayout(int width, int height, int colorType, std::vector<uint8_t> rows = {}) {
  PngLayout layout;
  layout.width = width;
  layout.height = height;
  layout.colorType = colorType;
  layout.rows = std::move(rows);
  return layout;
}

// Loads `path` with stderr captured into `err`.
JpegImage loadJpegCapturing(const std::string &path, std::string &err) {
  CaptureStderr();
  JpegImage image = loadJpeg(path.c_str());
  err = GetCapturedStderr();
  return image;
}

// ---- signatures --------------------------------------------------------------

TEST(PictureKind, SignatureNeedsAllItsBytes) {
  const uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  const uint8_t jpeg[4] = {0xFF, 0xD8, 0xFF, 0xE0};
  EXPECT_EQ(pictureKind(png, 8), PictureKind::Png);
  EXPECT_EQ(pictureKind(png, 7), PictureKind::Unknown);
  EXPECT_EQ(pictureKind(jpeg, 3), PictureKind::Jpeg);
  EXPECT_EQ(pictureKind(jpeg, 2), PictureKind::Unknown);
  EXPECT_EQ(pictureKind(nullptr, 8), PictureKind::Unknown);
  for (int i = 0; i < 8; ++i) {
    uint8_t bent[8];
    std::copy(png, png + 8, bent);
    bent[i] ^= 0x20;
    EXPECT_EQ(pictureKind(bent, 8), PictureKind::Unknown) << "byte " << i;
  }
  const uint8_t text[8] = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
  EXPECT_EQ(pictureKind(text, 8), PictureKind::Unknown);
}

// ---- JPEG ---------------------------------------------------------------------

TEST(LoadJpeg, OddWidthDecodesToTightRgbRows) {
  TempDir dir;
  auto source = rgbPicture(33, 17, [](int x, int y) { return std::array<int, 3>{x * 7, y * 15, 128}; });
  ASSERT_TRUE(writeJpeg(dir.file("odd.jpg"), 33, 17, 3, source));
  JpegImage image = loadJpeg(dir.file("odd.jpg").c_str());
  ASSERT_FALSE(image.empty());
  EXPECT_EQ(image.width, 33);
  EXPECT_EQ(image.height, 17);
  EXPECT_EQ(image.stride, 99);
  ASSERT_EQ(image.data.size(), source.size());
  for (size_t i = 0; i < source.size(); ++i)
    ASSERT_NEAR(image.data[i], source[i], 4) << "byte " << i;
}

TEST(LoadJpeg, GreyFileWidensToThreeEqualBytes) {
  TempDir dir;
  std::vector<uint8_t> grey(10 * 6);
  for (size_t i = 0; i < grey.size(); ++i)
    grey[i] = uint8_t(i * 4);
  ASSERT_TRUE(writeJpeg(dir.file("grey.jpg"), 10, 6, 1, grey));
  JpegImage image = loadJpeg(dir.file("grey.jpg").c_str());
  ASSERT_EQ(image.data.size(), size_t(10 * 6 * 3));
  EXPECT_EQ(image.stride, 30);
  for (size_t i = 0; i < grey.size(); ++i) {
    EXPECT_NEAR(image.data[i * 3], grey[i], 3);
    EXPECT_EQ(image.data[i * 3 + 1], image.data[i * 3]);
    EXPECT_EQ(image.data[i * 3 + 2], image.data[i * 3]);
  }
}

TEST(LoadJpeg, MissingFileShowsTheMessageWithThePathAsCaption) {
  std::string err;
  JpegImage image = loadJpegCapturing("/nonexistent/dir/missing.jpg", err);
  EXPECT_EQ(err, "/nonexistent/dir/missing.jpg: Unable to load JPG File! (No such file or directory)\n");
  EXPECT_TRUE(image.empty());
}

TEST(LoadJpeg, DataNamesResolveToTheDataDirectory) {
  TempDir dir;
  ASSERT_TRUE(writeJpeg(dir.file("x.jpg"), 8, 8, 3, std::vector<uint8_t>(8 * 8 * 3, 200)));
  setDataDirectory(dir.path());
  JpegImage image = loadJpeg("data/x.jpg");
  setDataDirectory("");
  EXPECT_EQ(image.width, 8);
}

// A w x h picture with detail everywhere (most of its JPEG file is scan).
std::vector<uint8_t> busyPicture(int w, int h) {
  return rgbPicture(w, h, [](int x, int y) { return std::array<int, 3>{(x * 37) & 255, (y * 91) & 255, (x ^ y) * 4}; });
}

// The bytes of `source` (w x h) written as a JPEG file at quality 90.
std::vector<uint8_t> jpegBytes(const TempDir &dir, int w, int h, const std::vector<uint8_t> &source) {
  EXPECT_TRUE(writeJpeg(dir.file("good.jpg"), w, h, 3, source, 90));
  return readFile(dir.file("good.jpg"));
}

// Every broken file is reported as "<path>: <reason>" and gives no picture;
// the process goes on.
TEST(LoadJpeg, BrokenFilesAreReportedNotFatal) {
  TempDir dir;
  const std::vector<uint8_t> good = jpegBytes(dir, 64, 64, busyPicture(64, 64));
  ASSERT_GT(good.size(), 600u);

  struct Case {
    const char *name;
    std::vector<uint8_t> bytes;
    const char *reason; // part of the message
  };
  std::vector<uint8_t> cutInHeader(good.begin(), good.begin() + 40);
  std::vector<uint8_t> soiThenJunk = {0xFF, 0xD8, 0xFF, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
  std::vector<uint8_t> huge = good;
  setJpegHeaderSize(huge, 16385, 8);
  std::vector<uint8_t> tooManyBytes = good;
  setJpegHeaderSize(tooManyBytes, 16384, 16384);
  const Case cases[] = {
      {"cut_in_header.jpg", cutInHeader, ""},
      {"soi_then_junk.jpg", soiThenJunk, ""},
      {"wide.jpg", huge, "picture too large (16385 x 8)"},
      {"big.jpg", tooManyBytes, "picture too large (16384 x 16384)"},
  };
  for (const Case &c : cases) {
    const std::string path = dir.file(c.name);
    writeFile(path, c.bytes);
    std::string err;
    JpegImage image = loadJpegCapturing(path, err);
    EXPECT_TRUE(image.empty()) << c.name;
    EXPECT_EQ(err.rfind(path + ": ", 0), 0u) << c.name << ": " << err;
    EXPECT_NE(err.find(c.reason), std::string::npos) << c.name << ": " << err;
    EXPECT_EQ(err.find("Unable to load"), std::string::npos) << c.name;
    EXPECT_EQ(err.find("drawn"), std::string::npos) << c.name; // nothing is
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << c.name << ": " << err;
  }
}

// Damage inside the scan is a warning to libjpeg: it resynchronises or fills
// the rest with grey, and the picture loads whole, with one line naming the
// file.
TEST(LoadJpeg, DamageInTheScanLoadsAsRecoveredWithOneWarning) {
  TempDir dir;
  const std::vector<uint8_t> source = busyPicture(64, 48);
  const std::vector<uint8_t> good = jpegBytes(dir, 64, 48, source);
  std::vector<uint8_t> cutInScan(good.begin(), good.begin() + long(good.size() * 2 / 3));
  std::vector<uint8_t> markerInScan = good;
  markerInScan[good.size() / 2] = 0xFF;
  markerInScan[good.size() / 2 + 1] = 0xD4; // a restart marker where none belongs
  const std::pair<const char *, std::vector<uint8_t>> cases[] = {{"cut_in_scan.jpg", cutInScan},
                                                                 {"marker_in_scan.jpg", markerInScan}};
  for (const auto &[name, bytes] : cases) {
    const std::string path = dir.file(name);
    writeFile(path, bytes);
    std::string err;
    JpegImage image = loadJpegCapturing(path, err);
    EXPECT_EQ(image.width, 64) << name;
    EXPECT_EQ(image.height, 48) << name;
    EXPECT_EQ(image.data.size(), size_t(64 * 48 * 3)) << name;
    EXPECT_EQ(err.rfind(path + ": ", 0), 0u) << name << ": " << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << name << ": " << err;
    // The top rows came through before the damage.
    EXPECT_NEAR(image.data[3 * 5], source[3 * 5], 24) << name;
  }
  // Said once per file, however often it is loaded.
  std::string again;
  loadJpegCapturing(dir.file("cut_in_scan.jpg"), again);
  EXPECT_EQ(again, "");
}

// Damage can leave a broken marker behind the scan (a scrambled byte pair that
// reads as one): libjpeg stops at it after the last row, in
// jpeg_finish_decompress. Every row is out by then, so the picture is drawn,
// as its one line says.
TEST(LoadJpeg, BrokenMarkerAfterTheLastRowKeepsThePicture) {
  TempDir dir;
  const std::vector<uint8_t> source = busyPicture(64, 48);
  const std::vector<uint8_t> good = jpegBytes(dir, 64, 48, source);
  const JpegImage whole = loadJpeg(dir.file("good.jpg").c_str());
  ASSERT_FALSE(whole.empty());
  const std::vector<uint8_t> brokenMarker = {0xFF, 0x21};
  std::vector<uint8_t> afterScan = good; // before the end-of-image marker
  afterScan.insert(afterScan.end() - 2, brokenMarker.begin(), brokenMarker.end());
  std::vector<uint8_t> inScan = good; // in the scan, where the entropy decoder stops at it
  std::copy(brokenMarker.begin(), brokenMarker.end(), inScan.begin() + long(good.size() * 3 / 4));

  std::string err;
  const std::string after = dir.file("after_scan.jpg");
  writeFile(after, afterScan);
  JpegImage image = loadJpegCapturing(after, err);
  EXPECT_EQ(image.data, whole.data);
  EXPECT_EQ(err, after + ": Unsupported marker type 0x21 (the picture is drawn as the decoder recovered it)\n");

  const std::string in = dir.file("in_scan.jpg");
  writeFile(in, inScan);
  image = loadJpegCapturing(in, err);
  ASSERT_EQ(image.data.size(), size_t(64 * 48 * 3));
  EXPECT_NEAR(image.data[3 * 5], source[3 * 5], 24); // the top rows came through
  // The first damage is named, not the broken marker that ends it.
  EXPECT_EQ(err.rfind(in + ": Corrupt JPEG data", 0), 0u) << err;
  const std::string drawn = " (the picture is drawn as the decoder recovered it)\n";
  EXPECT_EQ(err.find(drawn), err.size() - drawn.size()) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST(LoadJpeg, CmykFileIsReportedAsUnconvertible) {
  TempDir dir;
  ASSERT_TRUE(writeJpeg(dir.file("cmyk.jpg"), 8, 8, 4, std::vector<uint8_t>(8 * 8 * 4, 90)));
  std::string err;
  JpegImage image = loadJpegCapturing(dir.file("cmyk.jpg"), err);
  EXPECT_EQ(err, dir.file("cmyk.jpg") + ": Unsupported color conversion request\n");
  EXPECT_TRUE(image.empty());
}

// ---- normal map -----------------------------------------------------------------

TEST(HeightToNormalMap, FlatHeightGivesStraightUpEverywhere) {
  for (int size : {1, 2, 5}) {
    auto flat = rgbPicture(size, size + 1, [](int, int) { return std::array<int, 3>{77, 3, 250}; });
    auto normals = heightToNormalMap(flat, size, size + 1);
    ASSERT_EQ(normals.size(), flat.size());
    for (size_t i = 0; i < normals.size(); i += 3) {
      EXPECT_EQ(normals[i], 127);
      EXPECT_EQ(normals[i + 1], 127);
      EXPECT_EQ(normals[i + 2], 255);
    }
  }
}

TEST(HeightToNormalMap, StepAtRightEdgeWrapsIntoLastColumn) {
  // Column 3 is high; its right neighbour is column 0. Green and blue bytes
  // are noise: only red is height.
  auto height = rgbPicture(4, 2, [](int x, int y) {
    return std::array<int, 3>{x == 3 ? 200 : 0, x * 50, y * 9};
  });
  auto n = heightToNormalMap(height, 4, 2);
  for (int y = 0; y < 2; ++y) {
    const uint8_t *row = &n[size_t(y) * 12];
    EXPECT_EQ(row[0], 127); // 0 next to 0
    EXPECT_EQ(row[3], 127);
    EXPECT_EQ(row[6], 27);  // (0 - 200 + 255) / 2 = 27.5 -> 27
    EXPECT_EQ(row[9], 227); // (200 - 0 + 255) / 2 = 227.5 -> 227
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(row[x * 3 + 1], 127);
  }
}

// A detail-2 map of the same slope (half the height a pixel) gives the
// detail-1 map's normals: the neighbour is one base pixel, two pixels, away,
// and wraps the same way.
TEST(HeightToNormalMap, AtDetailTwoTheNeighbourIsOneBasePixelAway) {
  auto coarse = rgbPicture(4, 2, [](int x, int) { return std::array<int, 3>{10 * x, 0, 0}; });
  auto fine = rgbPicture(8, 4, [](int x, int) { return std::array<int, 3>{5 * x, 0, 0}; });
  auto one = heightToNormalMap(coarse, 4, 2);
  auto two = heightToNormalMap(fine, 8, 4, 2);
  ASSERT_EQ(two.size(), size_t(8 * 4 * 3));
  EXPECT_EQ(one[0], 122); // (0 - 10 + 255) / 2
  EXPECT_EQ(two[0], 122);
  EXPECT_EQ(two[3], 122);      // pixel 1 against pixel 3
  EXPECT_EQ(two[6 * 3], 142);  // pixel 6 against pixel 0: (30 - 0 + 255) / 2
  EXPECT_EQ(two[7 * 3], 142);  // pixel 7 against pixel 1: (35 - 5 + 255) / 2
  EXPECT_EQ(two[1], 127);      // flat down the picture
}

TEST(HeightToNormalMap, StepAtBottomWrapsIntoLastRowAndExtremesStayInRange) {
  // Row 2 of 3 is 255, rows 0 and 1 are 0: the last row faces row 0.
  auto height = rgbPicture(2, 3, [](int, int y) { return std::array<int, 3>{y == 2 ? 255 : 0, 0, 0}; });
  auto n = heightToNormalMap(height, 2, 3);
  EXPECT_EQ(n[1], 127);         // row 0 vs row 1
  EXPECT_EQ(n[2 * 3 + 1], 0);   // row 1: (0 - 255 + 255) / 2
  EXPECT_EQ(n[4 * 3 + 1], 255); // row 2 vs row 0: (255 + 255) / 2
  EXPECT_EQ(n[4 * 3 + 0], 127);
}

TEST(HeightToNormalMap, MismatchedSizeGivesNothing) {
  EXPECT_TRUE(heightToNormalMap(std::vector<uint8_t>(11), 2, 2).empty());
  EXPECT_TRUE(heightToNormalMap(std::vector<uint8_t>(), 0, 0).empty());
}

// ---- PNG expansions ------------------------------------------------------------

TEST(DecodePng, PaletteExpandsToRgbAndTrnsAddsAlpha) {
  TempDir dir;
  PngLayout layout = pngLayout(4, 1, 3, {0x1B}); // indices 0, 1, 2, 3
  layout.bitDepth = 2;
  layout.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30};
  EXPECT_EQ(decodedPng(dir.file("pal.png"), layout),
            (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30}));
  layout.paletteAlpha = {0, 128}; // entries past the tRNS list are opaque
  EXPECT_EQ(decodedPng(dir.file("pal_trns.png"), layout),
            (std::vector<uint8_t>{255, 0, 0, 0, 0, 255, 0, 128, 0, 0, 255, 255, 10, 20, 30, 255}));
}

TEST(DecodePng, GreyExpandsToEqualRgb) {
  TempDir dir;
  PngLayout layout = pngLayout(3, 1, 0, {0, 90, 255});
  EXPECT_EQ(decodedPng(dir.file("grey.png"), layout),
            (std::vector<uint8_t>{0, 0, 0, 90, 90, 90, 255, 255, 255}));
  layout.bitDepth = 1;
  layout.rows = {0xA0}; // 1, 0, 1
  EXPECT_EQ(decodedPng(dir.file("grey1.png"), layout),
            (std::vector<uint8_t>{255, 255, 255, 0, 0, 0, 255, 255, 255}));
  layout.bitDepth = 8;
  layout.rows = {0, 90, 255};
  layout.transparentColour = true;
  layout.transparent[0] = 90;
  EXPECT_EQ(decodedPng(dir.file("grey_trns.png"), layout),
            (std::vector<uint8_t>{0, 0, 0, 255, 90, 90, 90, 0, 255, 255, 255, 255}));
}

TEST(DecodePng, GreyAlphaExpandsToRgba) {
  TempDir dir;
  EXPECT_EQ(decodedPng(dir.file("ga.png"), pngLayout(2, 1, 4, {40, 200, 250, 0})),
            (std::vector<uint8_t>{40, 40, 40, 200, 250, 250, 250, 0}));
}

TEST(DecodePng, SixteenBitRgbAndColourKeyBecomeEightBitRgba) {
  TempDir dir;
  // 0xFFFF, 0x8080, 0x0000 | 0x1111, 0x2222, 0x3333 (each 257 * n)
  PngLayout layout = pngLayout(2, 1, 2, {0xFF, 0xFF, 0x80, 0x80, 0x00, 0x00, 0x11, 0x11, 0x22, 0x22, 0x33, 0x33});
  layout.bitDepth = 16;
  EXPECT_EQ(decodedPng(dir.file("rgb16.png"), layout), (std::vector<uint8_t>{255, 128, 0, 17, 34, 51}));
  layout.transparentColour = true;
  layout.transparent[0] = 0x1111;
  layout.transparent[1] = 0x2222;
  layout.transparent[2] = 0x3333;
  EXPECT_EQ(decodedPng(dir.file("rgb16_trns.png"), layout),
            (std::vector<uint8_t>{255, 128, 0, 255, 17, 34, 51, 0}));
}

TEST(DecodePng, InterlacedMatchesPlainAndTopRowComesFirst) {
  TempDir dir;
  PngLayout layout = pngLayout(9, 7, 6);
  for (int i = 0; i < 9 * 7 * 4; ++i)
    layout.rows.push_back(uint8_t(i * 13));
  const auto plain = decodedPng(dir.file("plain.png"), layout);
  EXPECT_EQ(plain, layout.rows);
  layout.interlaced = true;
  EXPECT_EQ(decodedPng(dir.file("adam7.png"), layout), plain);
  std::string error;
  PngImage image = decodePng(dir.file("adam7.png").c_str(), &error);
  EXPECT_EQ(image.channels, 4);
  EXPECT_EQ(pixelAt(image, 8, 6), std::vector<uint8_t>(layout.rows.end() - 4, layout.rows.end()));
}

TEST(DecodePng, BadFilesSayWhy) {
  TempDir dir;
  ASSERT_TRUE(writePng(dir.file("good.png"), 16, 16, 3, std::vector<uint8_t>(16 * 16 * 3, 7)));
  const std::vector<uint8_t> good = readFile(dir.file("good.png"));
  std::vector<uint8_t> cutInHeader(good.begin(), good.begin() + 20);
  std::vector<uint8_t> wide = good;
  setPngHeaderSize(wide, 16385, 1);
  std::vector<uint8_t> huge = good;
  setPngHeaderSize(huge, 20000, 20000);
  std::vector<uint8_t> big = good;
  setPngHeaderSize(big, 16384, 16384); // 768 MiB of RGB
  ASSERT_TRUE(writeJpeg(dir.file("jpeg.png"), 8, 8, 3, std::vector<uint8_t>(8 * 8 * 3, 1)));

  struct Case {
    std::string name;
    std::vector<uint8_t> bytes;
    std::string reason;
  };
  const Case cases[] = {
      {"cut_in_header.png", cutInHeader, "the file is cut off before its image data"},
      {"wide.png", wide, "picture too large (16385 x 1): over the limit of 16384 pixels a side"},
      {"huge.png", huge, "picture too large (20000 x 20000): over the limit of 16384 pixels a side"},
      {"big.png", big, "picture too large (16384 x 16384): over the limit of 256 MiB of pixels"},
      {"empty.png", {}, "not a PNG file"},
  };
  for (const Case &c : cases) {
    writeFile(dir.file(c.name), c.bytes);
    std::string error;
    EXPECT_TRUE(decodePng(dir.file(c.name).c_str(), &error).empty()) << c.name;
    EXPECT_EQ(error, c.reason) << c.name;
  }
  std::string error;
  EXPECT_TRUE(decodePng(dir.file("jpeg.png").c_str(), &error).empty());
  EXPECT_EQ(error, "not a PNG file");
  EXPECT_TRUE(decodePng(dir.file("none.png").c_str(), &error).empty());
  EXPECT_EQ(error, "cannot open: No such file or directory");
}

// ---- PNG damaged in its image data ------------------------------------------------

// Noise: it does not compress, so the rows lie evenly along the image data.
std::vector<uint8_t> noise(size_t count) {
  std::vector<uint8_t> out(count);
  uint32_t state = 12345;
  for (uint8_t &b : out) {
    state = state * 1664525u + 1013904223u;
    b = uint8_t(state >> 24);
  }
  return out;
}

void putBigEndian(std::vector<uint8_t> &out, uint32_t v) {
  out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

// An 8-bit RGB or RGBA PNG written byte by byte: each row's filter byte from
// `filters` (0 is none; over 4 is broken), the compressed rows split into
// `chunks` image data chunks of about equal size.
std::vector<uint8_t> handMadePng(int width, int height, int channels, const std::vector<uint8_t> &pixels,
                                 const std::vector<uint8_t> &filters, size_t chunks) {
  const size_t rowBytes = size_t(width) * size_t(channels);
  std::vector<uint8_t> raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(filters[size_t(y)]);
    raw.insert(raw.end(), pixels.begin() + long(size_t(y) * rowBytes), pixels.begin() + long(size_t(y + 1) * rowBytes));
  }
  libdeflate_compressor *compressor = libdeflate_alloc_compressor(6);
  std::vector<uint8_t> zlib(libdeflate_zlib_compress_bound(compressor, raw.size()));
  zlib.resize(libdeflate_zlib_compress(compressor, raw.data(), raw.size(), zlib.data(), zlib.size()));
  libdeflate_free_compressor(compressor);

  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  auto chunk = [&](const char *type, const uint8_t *data, size_t size) {
    putBigEndian(file, uint32_t(size));
    const size_t typeAt = file.size();
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), data, data + size);
    putBigEndian(file, libdeflate_crc32(0, &file[typeAt], size + 4));
  };
  std::vector<uint8_t> header;
  putBigEndian(header, uint32_t(width));
  putBigEndian(header, uint32_t(height));
  header.insert(header.end(), {8, uint8_t(channels == 4 ? 6 : 2), 0, 0, 0});
  chunk("IHDR", header.data(), header.size());
  const size_t step = (zlib.size() + chunks - 1) / chunks;
  for (size_t at = 0; at < zlib.size(); at += step)
    chunk("IDAT", &zlib[at], std::min(step, zlib.size() - at));
  chunk("IEND", nullptr, 0);
  return file;
}

// The row (counted from 1) that a damage line names, or 0.
int damagedRow(const std::string &line) {
  int row = 0;
  return std::sscanf(line.c_str(), "the picture is damaged from row %d", &row) == 1 ? row : 0;
}

// `image` holds the first `rows` rows of `source` and 0 in every byte after them.
void expectRowsThenZero(const PngImage &image, const std::vector<uint8_t> &source, int rows) {
  ASSERT_EQ(image.data.size(), source.size());
  const long split = long(rows) * image.width * image.channels;
  EXPECT_TRUE(std::equal(source.begin(), source.begin() + split, image.data.begin())) << rows << " rows";
  EXPECT_TRUE(std::all_of(image.data.begin() + split, image.data.end(), [](uint8_t b) { return b == 0; }));
}

// A cut file keeps every row it holds; the rest is transparent where the
// picture has alpha and black where it has none.
TEST(DecodePngDamage, CutFileKeepsTheRowsAboveTheCut) {
  TempDir dir;
  for (int channels : {3, 4}) {
    const std::vector<uint8_t> source = noise(size_t(16 * 32 * channels));
    std::vector<uint8_t> bytes = handMadePng(16, 32, channels, source, std::vector<uint8_t>(32, 0), 1);
    bytes.resize(bytes.size() / 2);
    const std::string path = dir.file("cut" + std::to_string(channels) + ".png");
    writeFile(path, bytes);
    std::string error;
    const PngImage image = decodePng(path.c_str(), &error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(image.width, 16);
    ASSERT_EQ(image.height, 32);
    const int row = damagedRow(image.damage);
    EXPECT_GT(row, 10) << image.damage; // about half the rows are in the file
    EXPECT_LT(row, 20) << image.damage;
    expectRowsThenZero(image, source, row - 1);
    EXPECT_EQ(image.damage, "the picture is damaged from row " + std::to_string(row) +
                                " of 32 (the file is cut off there); the rows above it are drawn, the rest is " +
                                (channels == 4 ? "transparent" : "black"));
  }
}

TEST(DecodePngDamage, BrokenRowIsTheFirstRowLeftOut) {
  TempDir dir;
  const std::vector<uint8_t> source = noise(16 * 32 * 3);
  std::vector<uint8_t> filters(32, 0);
  filters[10] = 9; // no such filter
  writeFile(dir.file("row10.png"), handMadePng(16, 32, 3, source, filters, 1));
  PngImage image = decodePng(dir.file("row10.png").c_str());
  expectRowsThenZero(image, source, 10);
  EXPECT_EQ(image.damage, "the picture is damaged from row 11 of 32 (its image data is broken there); the rows "
                          "above it are drawn, the rest is black");

  filters[0] = 9;
  writeFile(dir.file("row0.png"), handMadePng(16, 32, 3, source, filters, 1));
  image = decodePng(dir.file("row0.png").c_str());
  expectRowsThenZero(image, source, 0);
  EXPECT_EQ(image.damage, "the picture is damaged from row 1 of 32 (its image data is broken there); none of it "
                          "can be drawn, it is left black");
}

// A scrambled chunk that inflates without fault to its end is caught by its
// checksum alone: nothing decoded from it is drawn.
TEST(DecodePngDamage, ChunkWithAWrongChecksumIsNotDrawnFrom) {
  TempDir dir;
  const std::vector<uint8_t> source = noise(16 * 32 * 4);
  std::vector<uint8_t> bytes = handMadePng(16, 32, 4, source, std::vector<uint8_t>(32, 0), 4);
  // The third image data chunk starts after the signature, the header and
  // two chunks of a quarter of the data each.
  const size_t third = 8 + 25 + 2 * (12 + (bytes.size() - 8 - 25 - 12 - 4 * 12 + 3) / 4);
  ASSERT_EQ(std::string(bytes.begin() + long(third) + 4, bytes.begin() + long(third) + 8), "IDAT");
  bytes[third + 8 + 100] ^= 0x55; // most likely a pixel byte, which inflates as well as ever
  writeFile(dir.file("scrambled.png"), bytes);
  const PngImage image = decodePng(dir.file("scrambled.png").c_str());
  const int row = damagedRow(image.damage);
  EXPECT_GE(row, 12) << image.damage; // the rows of the first two chunks
  EXPECT_LE(row, 17) << image.damage;
  expectRowsThenZero(image, source, row - 1);
  EXPECT_NE(image.damage.find("(its image data is broken there)"), std::string::npos) << image.damage;

  // All of the image data in one chunk: none of it can be trusted.
  bytes = handMadePng(16, 32, 4, source, std::vector<uint8_t>(32, 0), 1);
  bytes[bytes.size() / 2] ^= 0x55;
  writeFile(dir.file("one_chunk.png"), bytes);
  const PngImage whole = decodePng(dir.file("one_chunk.png").c_str());
  expectRowsThenZero(whole, source, 0);
  EXPECT_EQ(whole.damage, "the picture is damaged from row 1 of 32 (its image data is broken there); none of it "
                          "can be drawn, it is left transparent");
}

// Each pass of an interlaced picture spreads over all of it: no row is
// complete before the last pass.
TEST(DecodePngDamage, InterlacedPictureCutOffIsLeftOutWhole) {
  TempDir dir;
  PngLayout layout = pngLayout(16, 16, 6, noise(16 * 16 * 4));
  layout.interlaced = true;
  ASSERT_TRUE(writePng(dir.file("adam7.png"), layout));
  std::vector<uint8_t> bytes = readFile(dir.file("adam7.png"));
  bytes.resize(bytes.size() * 3 / 4);
  writeFile(dir.file("cut.png"), bytes);
  const PngImage image = decodePng(dir.file("cut.png").c_str());
  expectRowsThenZero(image, layout.rows, 0);
  EXPECT_EQ(image.damage, "the picture is damaged in its image data (the file is cut off); it is interlaced, so "
                          "no row of it is complete, and all of it is left transparent");
}

// Files from libpng's own writer, cut short or with a byte of image data
// flipped, still give a picture of their size.
TEST(DecodePngDamage, WriterFilesDamagedInTheirImageDataStillDecode) {
  TempDir dir;
  ASSERT_TRUE(writePng(dir.file("good.png"), 16, 16, 3, std::vector<uint8_t>(16 * 16 * 3, 7)));
  const std::vector<uint8_t> good = readFile(dir.file("good.png"));
  std::vector<uint8_t> truncated(good.begin(), good.end() - 30);
  std::vector<uint8_t> badCrc = good;
  badCrc[good.size() - 20] ^= 0xFF; // inside the image data
  for (const auto &[name, bytes] : {std::pair{"truncated.png", truncated}, std::pair{"bad_crc.png", badCrc}}) {
    writeFile(dir.file(name), bytes);
    std::string error;
    const PngImage image = decodePng(dir.file(name).c_str(), &error);
    EXPECT_EQ(error, "") << name;
    EXPECT_EQ(image.width, 16) << name;
    EXPECT_EQ(image.data.size(), size_t(16 * 16 * 3)) << name;
    EXPECT_EQ(image.damage.rfind("the picture is damaged from row ", 0), 0u) << name << ": " << image.damage;
  }
}

TEST(PngBind, FailureReturnsZeroWithALine) {
  TempDir dir;
  writeFile(dir.file("junk.png"), std::string("\x89PNG\r\n\x1a\n not really"));
  int w = -1, h = -1;
  CaptureStderr();
  EXPECT_EQ(pngBind(dir.file("junk.png").c_str(), draw::TextureValue::Repeat, draw::TextureValue::Linear,
                    draw::TextureValue::Linear, &w, &h),
            0u);
  const std::string err = GetCapturedStderr();
  EXPECT_EQ(err.rfind(dir.file("junk.png") + ": ", 0), 0u) << err;
  EXPECT_EQ(w, -1);
}

// ---- Texture::load failures (these never reach GL) ---------------------------------

struct LoadResult {
  Texture texture;
  std::string err;
};

void loadCapturing(LoadResult &r, const std::string &path, int normalMap = 0) {
  r.texture.textureId = 99; // stale values from an earlier load
  r.texture.width = 5;
  r.texture.pixels.assign(3, 1);
  CaptureStderr();
  r.texture.load(path.c_str(), normalMap);
  r.err = GetCapturedStderr();
}

void expectEmpty(const LoadResult &r) {
  EXPECT_TRUE(r.texture.loaded);
  EXPECT_EQ(r.texture.textureId, 0u);
  EXPECT_EQ(r.texture.width, 0);
  EXPECT_EQ(r.texture.height, 0);
  EXPECT_TRUE(r.texture.pixels.empty());
}

// Loading `dir`/`name` says exactly "<path>: <reason>" and leaves the texture empty.
void expectLoadFails(const TempDir &dir, const char *name, const std::string &reason) {
  LoadResult r;
  loadCapturing(r, dir.file(name));
  EXPECT_EQ(r.err, dir.file(name) + ": " + reason + "\n") << name;
  expectEmpty(r);
}

TEST(TextureLoad, EmptyConstructorLoadsNothing) {
  Texture t;
  EXPECT_FALSE(t.loaded);
  EXPECT_EQ(t.textureId, 0u);
}

TEST(TextureLoad, MissingFileMessageDependsOnTheNamedExtension) {
  TempDir dir;
  for (const char *name : {"gone.jpg", "gone.JPEG", "dir.png/gone", "gone.png.jpg"})
    expectLoadFails(dir, name, "Unable to load JPG File! (No such file or directory)");
  for (const char *name : {"gone.png", "gone.pNg", "./x.y/gone.PNG"})
    expectLoadFails(dir, name, "cannot open: No such file or directory");
}

TEST(TextureLoad, MissingDataFileIsNamedByThePathThatWasOpened) {
  TempDir dir;
  setDataDirectory(dir.path());
  LoadResult r;
  loadCapturing(r, "data/absent.jpg");
  setDataDirectory("");
  EXPECT_EQ(r.err, dir.file("absent.jpg") + ": Unable to load JPG File! (No such file or directory)\n");
}

TEST(TextureLoad, UnknownSignatureIsReportedWhateverTheName) {
  TempDir dir;
  writeFile(dir.file("garbage.jpg"), std::string("GIF89a not a picture we read"));
  writeFile(dir.file("empty.png"), std::string());
  writeFile(dir.file("short.jpg"), std::vector<uint8_t>{0xFF, 0xD8});
  for (const char *name : {"garbage.jpg", "empty.png", "short.jpg"})
    expectLoadFails(dir, name, "unknown picture format");
}

TEST(TextureLoad, BrokenJpegIsReportedAndLeavesTheTextureEmpty) {
  TempDir dir;
  ASSERT_TRUE(writeJpeg(dir.file("good.jpg"), 32, 32, 3, std::vector<uint8_t>(32 * 32 * 3, 60)));
  std::vector<uint8_t> bytes = readFile(dir.file("good.jpg"));
  bytes.resize(40); // inside the header: nothing to draw
  for (int normalMap : {0, 1}) {
    const std::string path = dir.file("header" + std::to_string(normalMap) + ".jpg");
    writeFile(path, bytes);
    LoadResult r;
    loadCapturing(r, path, normalMap);
    EXPECT_EQ(r.err.rfind(path + ": ", 0), 0u) << r.err;
    expectEmpty(r);
  }
}

} // namespace
} // namespace demo::test
