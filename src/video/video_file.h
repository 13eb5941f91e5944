// video_file.h - a capture written as one video file: H.264 and AAC through
// FFmpeg's libraries, in an MP4 or a Matroska file.
//
// The pictures come as OpenGL reads them back (RGB, bottom row first) in any
// size; each is scaled into the video's size with its aspect kept (Lanczos),
// centred on black, and encoded as yuv420p tagged BT.709 limited range, the
// way players expect HD video. The music of the captured range is given whole
// at open(); after each picture the audio up to that picture's end is encoded,
// so the file is interleaved as it grows. The file is written under a
// temporary name beside `path` and renamed at finish(): a capture that stops
// half-way leaves nothing under the name.
//
// It does not pick sizes, read the show or talk to the user; one line of
// error() says what went wrong.
//
// Use:
//   VideoFile video;
//   VideoSettings settings;                   // 800 x 600, 60 fps
//   if (!video.open("show.mp4", settings, samples, frames, 44100, 2)) fail(video.error());
//   video.addFrame(rgb, 800, 600);            // once per picture
//   if (!video.finish()) fail(video.error());
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/frame_size.h"

namespace demo {

// The video's quality is x264's constant rate factor: 0 the finest, 51 the
// coarsest, 23 x264's own default; each 6 steps about halves or doubles the
// size. 18 is about where a 1920 x 1080 picture stops showing the encoder
// (the show's fine lines and dark gradients are what band first). Every
// quality is encoded as 4:2:0 in the High profile, which every player takes:
// x264's CRF 0 would switch to its lossless mode and the High 4:4:4
// Predictive profile that many players refuse, so 0 is encoded as CRF 1, the
// finest step the High profile holds.
constexpr int kDefaultVideoQuality = 18;

// The largest picture a video holds: what H.264's level 5.2 allows, which
// players and hardware decoders take (36,864 macroblocks of 16 x 16 pixels:
// 4096 x 2304, 3840 x 2400, 2880 x 2160 ...), and no side above 4096.
// Larger sizes need level 6, which few players decode, and the encoder's
// memory grows with them (several gigabytes at 8192 x 8192).
constexpr int kMaxVideoSide = 4096;
constexpr int kMaxVideoMacroblocks = 36864;
// Whether a width x height video is within those limits.
bool videoSizeAllowed(int width, int height);
// Those limits in words: "at most 4096 pixels on a side and 9437184 pixels
// in all (H.264 level 5.2)".
std::string videoSizeLimits();

struct VideoSettings {
  int width = kBaseFrameWidth, height = kBaseFrameHeight; // even numbers: odd ones are refused
  int fps = 60;
  int quality = kDefaultVideoQuality; // x264's CRF, lower is better
};

class VideoFile {
public:
  VideoFile();
  // An unfinished file is abandoned: the temporary file is removed.
  ~VideoFile();
  VideoFile(const VideoFile &) = delete;
  VideoFile &operator=(const VideoFile &) = delete;

  // Starts writing `path`; the container follows the extension (".mp4" or
  // ".mkv", any case). `audio` is interleaved 16-bit, `audioFrames` sample
  // frames of `channels` (1 or 2) at `sampleRate`, starting at the first
  // picture's time; with no audio the file has a video stream only. A file
  // still open is abandoned first. False, with error(), when it cannot start.
  bool open(const std::string &path, const VideoSettings &settings, const int16_t *audio, size_t audioFrames,
            int sampleRate, int channels);
  // One picture, RGB, rows bottom first and tightly packed. Picture n shows
  // from n / fps seconds.
  bool addFrame(const uint8_t *rgb, int srcWidth, int srcHeight);
  // Encodes the rest of the audio, ends both streams and renames the file to
  // its name. False on any failure, and then nothing is left.
  bool finish();
  // Closes and removes the temporary file.
  void abandon();

  // The first failure, for one line of message ("cannot write x.mp4: ...").
  const std::string &error() const { return error_; }
  int framesWritten() const { return frames_; }

private:
  struct Encoder;
  bool fail(const std::string &what, int averror);
  bool fail(const std::string &what);
  // Puts a context for the encoder called `name` in slot `which`.
  bool newEncoder(int which, const char *name, const std::string &label, const char *detail);
  // Opens the encoder in slot `which` and gives the file a stream with its
  // time base and parameters.
  bool startStream(int which, const std::string &cannotStart);
  bool writePackets(int stream);
  bool encodeAudioUntil(size_t sampleFrame, bool last);

  std::unique_ptr<Encoder> encoder_;
  std::string error_;
  int frames_ = 0;
};

// Where a srcWidth x srcHeight picture goes inside the video: aspect kept,
// centred, every number even (yuv420p's chroma is half size). Sizes must be
// positive; otherwise the placement is empty.
struct VideoPlacement {
  int x, y, width, height;
};
VideoPlacement placePicture(int srcWidth, int srcHeight, int videoWidth, int videoHeight);

// Whether a path names a video file: a ".mp4" or ".mkv" extension, any case,
// after a name.
bool isVideoPath(const std::string &path);

} // namespace demo
