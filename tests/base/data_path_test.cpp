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
void writeSetFiles(const std::string &dir, size_t count) {
  const std::vector<std::string> &files = dataSetFiles();
  for (size_t i = 0; i < count && i < files.size(); ++i) {
    const std::filesystem::path path = std::filesystem::path(dir) / files[i];
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
    writeSetFiles(dir.path(), count);
    EXPECT_EQ(holdsDataSet(dir.path()), count * 2 > all) << count << " of " << all;
  }
}

TEST_F(DataPath, ADetailFileSaysTheSetsDetailAndAnythingElseIsDetailOne) {
  TempDir dir;
  std::string problem;
  EXPECT_EQ(readDataDetail(dir.path(), &problem), 1); // no file
  EXPECT_EQ(problem, "");
  for (const char *text : {"2\n", "4", "1\r\n"}) {
    test::writeFile(dir.file(kDataDetailFile), std::string(text));
    EXPECT_EQ(readDataDetail(dir.path(), &problem), text[0] - '0') << text;
    EXPECT_EQ(problem, "") << text;
  }
  for (const char *text : {"3\n", "", "22", "-2", "two", "4 4"}) {
    test::writeFile(dir.file(kDataDetailFile), std::string(text));
    problem.clear();
    EXPECT_EQ(readDataDetail(dir.path(), &problem), 1) << text;
    EXPECT_NE(problem, "") << text;
  }
  // setDataDirectory takes the set's detail with it, and the default back.
  test::writeFile(dir.file(kDataDetailFile), std::string("4\n"));
  setDataDirectory(dir.path());
  EXPECT_EQ(dataDetail(), 4);
  setDataDirectory("");
  EXPECT_EQ(dataDetail(), 1);
}

// Beside data/: data-detail2 and data-detail4. A scale picks the most
// detailed one it needs that is there and is what its name says.
TEST_F(DataPath, TheScaleChoosesTheMostDetailedSetThereIsThatItNeeds) {
  TempDir root;
  const std::string base = root.file("data");
  std::filesystem::create_directory(base);
  EXPECT_EQ(detailForScale(1.f), 1);
  EXPECT_EQ(detailForScale(1.49f), 1);
  EXPECT_EQ(detailForScale(1.5f), 2);
  EXPECT_EQ(detailForScale(2.99f), 2);
  EXPECT_EQ(detailForScale(3.f), 4);
  EXPECT_EQ(chooseDataDirectory(base, 4.f), base); // none there
  for (int detail : {2, 4}) {
    const std::string dir = detailedDataDirectory(base, detail);
    EXPECT_EQ(dir, base + "-detail" + std::to_string(detail));
    std::filesystem::create_directory(dir);
    for (const std::string &name : dataSetFiles()) {
      std::filesystem::create_directories(std::filesystem::path(dir + "/" + name).parent_path());
      test::writeFile(dir + "/" + name, std::string("x"));
    }
    test::writeFile(dir + "/" + kDataDetailFile, std::to_string(detail));
  }
  EXPECT_EQ(chooseDataDirectory(base, 1.f), base);
  EXPECT_EQ(chooseDataDirectory(base, 2.f), detailedDataDirectory(base, 2));
  EXPECT_EQ(chooseDataDirectory(base, 3.6f), detailedDataDirectory(base, 4));
  // A detail-4 folder whose file says otherwise is passed over.
  test::writeFile(detailedDataDirectory(base, 4) + "/" + kDataDetailFile, std::string("2"));
  EXPECT_EQ(chooseDataDirectory(base, 3.6f), detailedDataDirectory(base, 2));
}

// An installed tree is bin/quintervale beside share/quintervale/data, and may
// be moved as a whole; the build folder keeps data/ beside the program.
TEST_F(DataPath, LooksBesideTheProgramThenInTheInstalledShareThenHere) {
  TempDir root;
  const std::string bin = root.file("usr/bin");
  const std::vector<std::string> places = dataDirectoryCandidates(bin + "/");
  ASSERT_EQ(places.size(), 3u);
  EXPECT_EQ(places[0], root.file("usr/bin/data"));
  EXPECT_EQ(places[1], root.file("usr/share/quintervale/data"));
  EXPECT_EQ(places[2], "./data");
  EXPECT_EQ(dataDirectoryCandidates(""), std::vector<std::string>{"./data"});

  const std::vector<std::string> here{places[0], places[1]}; // ./data is the test's own folder
  EXPECT_EQ(findDataDirectory(here), "");
  // A handful of files beside the program is no set: the installed one is found.
  writeSetFiles(places[0], 3);
  writeSetFiles(places[1], dataSetFiles().size());
  EXPECT_EQ(findDataDirectory(here), places[1]);
  // A whole set beside the program comes first.
  writeSetFiles(places[0], dataSetFiles().size());
  EXPECT_EQ(findDataDirectory(here), places[0]);
}

} // namespace
} // namespace demo
