#include "base/data_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace demo {
namespace {

using test::TempDir;

class DataPath : public ::testing::Test {
protected:
  void TearDown() override { setDataDirectory(""); }
};

TEST_F(DataPath, DefaultIsTheRelativeDataDirectory) {
  setDataDirectory("");
  EXPECT_EQ(resolveDataPath("data/01.ogg"), "data/01.ogg");
}

TEST_F(DataPath, DataPrefixMapsOntoTheChosenDirectory) {
  setDataDirectory("/opt/show/assets/");
  EXPECT_EQ(dataDirectory(), "/opt/show/assets");
  EXPECT_EQ(resolveDataPath("data/vannscene/a.jpg"), "/opt/show/assets/vannscene/a.jpg");
}

TEST_F(DataPath, OtherPathsPassThrough) {
  setDataDirectory("/elsewhere");
  EXPECT_EQ(resolveDataPath("/tmp/x.png"), "/tmp/x.png");
  EXPECT_EQ(resolveDataPath("database/x.png"), "database/x.png");
  EXPECT_EQ(resolveDataPath("./data/x.png"), "./data/x.png");
  EXPECT_EQ(resolveDataPath(nullptr), "");
}

TEST_F(DataPath, ExecutableDirectoryIsKnown) {
  EXPECT_FALSE(executableDirectory().empty());
  // The test binary has no data/ beside it unless the data set was baked there.
  EXPECT_FALSE(defaultDataDirectory().empty());
}

// Writes the first `count` files of the data set (one byte each) under `dir`.
void writeSetFiles(const TempDir &dir, size_t count) {
  const std::vector<std::string> &files = dataSetFiles();
  for (size_t i = 0; i < count && i < files.size(); ++i) {
    const std::filesystem::path path = std::filesystem::path(dir.path()) / files[i];
    std::filesystem::create_directories(path.parent_path());
    test::writeFile(path.string(), std::string("x"));
  }
}

TEST_F(DataPath, NothingOrAHandfulOfFilesIsNoDataSet) {
  TempDir dir;
  EXPECT_FALSE(holdsDataSet(dir.file("absent")));
  test::writeFile(dir.file("plain"), std::string("x"));
  EXPECT_FALSE(holdsDataSet(dir.file("plain"))); // a file, not a directory
}

TEST_F(DataPath, MoreThanHalfOfTheFilesIsADataSet) {
  const size_t all = dataSetFiles().size();
  ASSERT_GE(all, 2u);
  for (size_t count : {all / 2, all / 2 + 1, all - 1, all}) {
    TempDir dir;
    writeSetFiles(dir, count);
    EXPECT_EQ(holdsDataSet(dir.path()), count * 2 > all) << count << " of " << all;
  }
}

} // namespace
} // namespace demo
