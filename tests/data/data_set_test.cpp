// The list of files that every data set has (what decides whether a folder
// holds a data set at all) against the set the build baked.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/data_path.h"
#include "support/baked_data.h"

namespace demo::test {
namespace {

TEST(DataSet, TheListNamesEveryBakedFileAndNoOther) {
  std::vector<std::string> baked;
  const std::filesystem::path root(DEMO_BAKED_DATA_DIR);
  for (const auto &entry : std::filesystem::recursive_directory_iterator(root))
    if (entry.is_regular_file())
      baked.push_back(entry.path().lexically_relative(root).generic_string());
  std::sort(baked.begin(), baked.end());
  EXPECT_EQ(dataSetFiles(), baked);
  EXPECT_TRUE(holdsDataSet(DEMO_BAKED_DATA_DIR));
}

} // namespace
} // namespace demo::test
