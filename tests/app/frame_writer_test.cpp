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

} // namespace
} // namespace demo
