// Files are written whole or not at all: a write that fails part-way leaves
// neither a cut file nor a temporary one, and what was there stays.
#include "base/byte_reader.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace demo {
namespace {

// While it lives, no file of this process may grow past `bytes`: a write
// beyond fails with EFBIG, as a disk that fills up after so many bytes.
class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, previous_);
  }

private:
  rlimit old_{};
  void (*previous_)(int) = nullptr;
};

TEST(WholeFile, AWriteThatFailsPartWayLeavesWhatWasThereAndNoTemporaryFile) {
  test::TempDir dir;
  const std::string path = dir.file("frames.txt");
  test::writeFile(path, std::string("the old listing\n"));
  std::string reason;
  {
    const FileSizeLimit limit(1000);
    EXPECT_FALSE(writeWholeFile(path, std::vector<uint8_t>(5000, 'x'), &reason));
  }
  EXPECT_EQ(reason, "File too large");
  EXPECT_EQ(test::readFile(path), std::vector<uint8_t>({'t', 'h', 'e', ' ', 'o', 'l', 'd', ' ', 'l', 'i', 's', 't',
                                                        'i', 'n', 'g', '\n'}));
  size_t files = 0;
  for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(dir.path()))
    ++files;
  EXPECT_EQ(files, 1u) << "no temporary file left";

  EXPECT_FALSE(writeWholeFile(dir.file("no-such-dir/x"), {1, 2, 3}, &reason));
  EXPECT_EQ(reason, "No such file or directory");
  EXPECT_FALSE(writeWholeFile("/dev/full", {1, 2, 3}, &reason)) << "a device is written in place";
  EXPECT_EQ(reason, "No space left on device");

  ASSERT_TRUE(writeWholeFile(path, {}, &reason)) << reason;
  EXPECT_TRUE(test::readFile(path).empty());
}

} // namespace
} // namespace demo
