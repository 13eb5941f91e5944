// video_reader.h - the pictures of a video file, decoded through FFmpeg's
// libraries and turned into RGB the way players show them (the flash meter
// reads captures with it).
//
// Use:
//   std::string error;
//   bool ok = readVideoPictures("show.mp4", [](const VideoPicture &p) { use(p); return true; }, &error);
//
// Every picture of the file's best video stream comes in order, as RGB8 rows
// top first in the stream's own size, with its time in seconds from the
// stream's first picture, and the stream's frame rate. YUV pictures are read
// by the matrix and range they are tagged with (BT.709 limited range for the
// show's own captures; BT.601 where a file says nothing), chroma upsampled in
// full.
//
// What it does not do: seek, read sound, or keep more than one picture.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace demo {

struct VideoPicture {
  const std::vector<uint8_t> &rgb;
  int width, height;
  double seconds;     // from the first picture; NaN for a picture without a time
  double frameRate;   // the stream's (0 when it gives none)
};

// Calls `each` for every picture until it returns false. False with one line
// in `error` ("<path>: what went wrong") when the file cannot be read or
// holds no video; a file that breaks off part way ends there, and what was
// decoded before counts (the line then says where it broke).
bool readVideoPictures(const std::string &path, const std::function<bool(const VideoPicture &)> &each,
                       std::string *error);

} // namespace demo
