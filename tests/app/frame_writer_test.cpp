// The capture's writer thread: frames come out as the PNGs a direct write
// gives, in any number, and a failed write is reported at the end.
#include "app/frame_writer.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/byte_reader.h"
#include "gfx/png_writer.h"
#include "support/test_files.h"

namespace demo {
namespace {

TEST(FrameWriter, WritesWhatADirectWriteGivesAndReportsAFailure) {
  test::TempDir dir;
  std::vector<uint8_t> rows(4 * 3 * 3);
  for (size_t i = 0; i < rows.size(); ++i)
    rows[i] = static_cast<uint8_t>(i * 7);
  std::vector<uint8_t> flipped = rows;
  flipRows(flipped, 4, 3, 3);
  ASSERT_TRUE(writePngFile(dir.file("direct.png"), flipped.data(), 4, 3, 3, 1));
  {
    FrameWriter writer;
    for (int i = 0; i < 8; ++i) // more than the queue holds
      writer.write(dir.file("frame-" + std::to_string(i) + ".png"), rows, 4, 3);
    EXPECT_TRUE(writer.finish());
  }
  std::vector<uint8_t> direct, queued;
  ASSERT_TRUE(readWholeFile(dir.file("direct.png"), direct));
  for (int i = 0; i < 8; ++i) {
    ASSERT_TRUE(readWholeFile(dir.file("frame-" + std::to_string(i) + ".png"), queued)) << i;
    EXPECT_EQ(queued, direct) << i;
  }
  FrameWriter failing;
  failing.write(dir.file("no-such-dir/frame.png"), rows, 4, 3);
  failing.write(dir.file("fine.png"), rows, 4, 3);
  EXPECT_FALSE(failing.finish());
}

TEST(FrameWriter, TheFirstFailureStopsTheWritingWithItsReasonAndWhatWasWrittenIsARunFromTheFirst) {
  test::TempDir dir;
  int calls = 0;
  FrameWriter writer([&](const std::string &path, std::vector<uint8_t> &, int, int, std::string &error) {
    ++calls;
    if (path == "3") {
      error = "3: cannot write: No space left on device";
      return false;
    }
    return true;
  });
  for (int i = 0; i < 7; ++i)
    writer.write(std::to_string(i), std::vector<uint8_t>(12), 2, 2);
  EXPECT_FALSE(writer.finish());
  EXPECT_EQ(writer.written(), 3u);
  EXPECT_EQ(calls, 4) << "nothing after the failure is written";
  EXPECT_EQ(writer.error(), "3: cannot write: No space left on device");

  FrameWriter pngs;
  pngs.write(dir.file("no-such-dir/frame.png"), std::vector<uint8_t>(12), 2, 2);
  pngs.finish();
  EXPECT_EQ(pngs.error(), dir.file("no-such-dir/frame.png") + ": cannot write: No such file or directory");
  EXPECT_EQ(pngs.written(), 0u);
}

} // namespace
} // namespace demo
