// Every picture the baker paints, at detail 2 against detail 1: N times the
// size, and the same picture once box-filtered back down. The pictures are
// read back with the show's own decoders, so the JPEG loss is in the figures.
// DEMO_BAKE_DETAIL=4 checks detail 4 instead (slower); each picture's PSNR is
// printed for the record.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bake/bake.h"
#include "bake/image.h"
#include "base/data_path.h"
#include "gfx/texture.h"
#include "support/test_files.h"

namespace demo::bake {
namespace {

using BakeGroup = void (*)(BakeContext &);

struct GroupCase {
  const char *name;
  BakeGroup bake;
};

const GroupCase kGroups[] = {
    {"StartAndEnd", bakeStartAndEnd}, {"Water", bakeWater},       {"Logo", bakeLogo},   {"Letters", bakeLetters},
    {"Event", bakeEvent},             {"Corridor", bakeCorridor}, {"Final", bakeFinal},
};

int detailUnderTest() {
  const char *wanted = std::getenv("DEMO_BAKE_DETAIL");
  return wanted && std::string(wanted) == "4" ? 4 : 2;
}

// A baked picture as the show decodes it (an empty image for other files).
Image readPicture(const std::string &path) {
  Image image;
  if (path.size() > 4 && path.compare(path.size() - 4, 4, ".png") == 0) {
    PngImage png = decodePng(path.c_str());
    image = Image(png.width, png.height, png.channels);
    image.data = png.data;
  } else if (path.size() > 4 && path.compare(path.size() - 4, 4, ".jpg") == 0) {
    JpegImage jpeg = loadJpeg(path.c_str());
    image = Image(jpeg.width, jpeg.height, 3);
    image.data = jpeg.data;
  }
  return image;
}

class BakeDetail : public testing::TestWithParam<GroupCase> {};

TEST_P(BakeDetail, EachPictureIsNTimesTheSizeAndLooksTheSameBoxedDown) {
  const int detail = detailUnderTest();
  test::TempDir base, fine;
  BakeContext baseContext(base.path(), false, 1), fineContext(fine.path(), false, detail);
  GetParam().bake(baseContext);
  GetParam().bake(fineContext);
  ASSERT_FALSE(baseContext.failed());
  ASSERT_FALSE(fineContext.failed());
  ASSERT_EQ(baseContext.written(), fineContext.written());
  int pictures = 0;
  for (const std::string &name : baseContext.written()) {
    const Image one = readPicture(base.file(name));
    if (one.empty())
      continue; // a mesh or a scene: the same file at every detail
    ++pictures;
    const Image many = readPicture(fine.file(name));
    ASSERT_EQ(many.width, one.width * detail) << name;
    ASSERT_EQ(many.height, one.height * detail) << name;
    ASSERT_EQ(many.channels, one.channels) << name;
    const PictureSize expected = dataSetPictureSize(name);
    EXPECT_EQ(expected.width, one.width) << name << " is not the size the show expects";
    EXPECT_EQ(expected.height, one.height) << name << " is not the size the show expects";
    const double figure = psnr(many.resized(one.width, one.height), one);
    std::printf("detail %d  %-40s %5d x %-5d PSNR %6.2f dB\n", detail, name.c_str(), many.width, many.height,
                figure);
    EXPECT_GE(figure, 30.0) << name;
  }
  EXPECT_GT(pictures, 0);
  for (const std::string &name : baseContext.written()) {
    if (readPicture(base.file(name)).empty()) {
      EXPECT_EQ(test::readFile(base.file(name)), test::readFile(fine.file(name))) << name << " differs by detail";
    }
  }
}

// A set above detail 1 says its detail; a detail-1 bake over it takes the
// file away, so its pictures are not taken for finer ones.
TEST(BakeDetailFile, ADetailOneBakeRemovesAnEarlierBakesDetailFile) {
  test::TempDir dir;
  BakeContext two(dir.path(), false, 2);
  ASSERT_TRUE(two.recordDetail());
  EXPECT_EQ(readDataDetail(dir.path(), nullptr), 2);
  BakeContext one(dir.path(), false, 1);
  ASSERT_TRUE(one.recordDetail());
  EXPECT_FALSE(std::filesystem::exists(dir.file(kDataDetailFile)));
  EXPECT_EQ(readDataDetail(dir.path(), nullptr), 1);
  EXPECT_TRUE(one.written().empty()); // nothing listed for a detail-1 set
}

INSTANTIATE_TEST_SUITE_P(Groups, BakeDetail, testing::ValuesIn(kGroups),
                         [](const testing::TestParamInfo<GroupCase> &group) { return std::string(group.param.name); });

} // namespace
} // namespace demo::bake
