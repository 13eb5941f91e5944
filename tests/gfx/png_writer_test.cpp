// The PNG writer, read back with libpng: every filter, level and channel count
// gives the pixels it was handed, in a file other programs read.
#include "gfx/png_writer.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <vector>

namespace demo {
namespace {

// The file's pixels as `channels` bytes a pixel, top row first; empty when
// libpng refuses it.
std::vector<uint8_t> decode(const std::vector<uint8_t> &file, int channels, int *width, int *height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file.data(), file.size()))
    return {};
  image.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
    return {};
  return pixels;
}

// Smooth ramps (where "up", "average" and Paeth win) beside noise (where
// none does): every filter gets chosen somewhere at the slow levels.
std::vector<uint8_t> picture(int width, int height, int channels) {
  std::vector<uint8_t> bytes(static_cast<size_t>(width) * height * channels);
  uint32_t seed = 12345u;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c) {
        seed = seed * 1664525u + 1013904223u;
        const size_t i = (static_cast<size_t>(y) * width + x) * channels + c;
        bytes[i] = x < width / 2 ? static_cast<uint8_t>(x * (c + 1) + y * 3) : static_cast<uint8_t>(seed >> 24);
      }
  return bytes;
}

TEST(PngWriter, EveryLevelAndChannelCountReadsBackExactly) {
  struct Case {
    int width, height, channels, level;
  };
  // 1 x 1, odd sizes, and stored noise larger than one IDAT chunk (1 MiB).
  for (const Case &c : {Case{1, 1, 3, 1}, Case{1, 1, 4, 9}, Case{7, 5, 3, 9}, Case{7, 5, 4, 1}, Case{33, 17, 4, 0},
                        Case{300, 200, 3, 1}, Case{300, 200, 3, 9}, Case{301, 199, 4, 6}, Case{800, 600, 3, 0}}) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " x " << c.channels << " level " << c.level);
    const std::vector<uint8_t> pixels = picture(c.width, c.height, c.channels);
    const std::vector<uint8_t> file = encodePng(pixels.data(), c.width, c.height, c.channels, c.level);
    int width = 0, height = 0;
    EXPECT_EQ(decode(file, c.channels, &width, &height), pixels);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(height, c.height);
    EXPECT_EQ(encodePng(pixels.data(), c.width, c.height, c.channels, c.level), file);
  }
}

} // namespace
} // namespace demo
