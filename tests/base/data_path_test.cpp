#include "base/data_path.h"

#include <gtest/gtest.h>

namespace demo {
namespace {

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

} // namespace
} // namespace demo
