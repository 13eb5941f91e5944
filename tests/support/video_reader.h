// video_reader.h - video files played back the way players do, for tests:
// FFmpeg's own demuxers and decoders, pictures turned back into RGB.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace demo::test {

struct AvFree {
  void operator()(AVFormatContext *p) const { avformat_close_input(&p); }
  void operator()(AVCodecContext *p) const { avcodec_free_context(&p); }
  void operator()(AVFrame *p) const { av_frame_free(&p); }
  void operator()(AVPacket *p) const { av_packet_free(&p); }
};
template <class T> using AvOwned = std::unique_ptr<T, AvFree>;

// A picture as RGB rows (top first), scaled with `flags`; yuv420p is read as
// BT.709 limited range, and chroma upsampled in full so only the writer's
// losses show.
std::vector<uint8_t> toRgb(AVPixelFormat from, const uint8_t *const planes[], const int strides[], int width,
                           int height, int toWidth, int toHeight, int flags);

// Plays the best stream of `type` in `path` back, calling `each` with every
// decoded frame and the seconds of its time base; the stream's parameters,
// which live as long as `file`, or none.
const AVCodecParameters *play(AvOwned<AVFormatContext> &file, const std::string &path, AVMediaType type,
                              const std::function<void(const AVFrame &, double)> &each);

// The pictures of a video stream: how many there are, the times the first
// starts and the last ends, and picture `keep` as RGB, top row first.
struct Pictures {
  AvOwned<AVFormatContext> file;
  const AVCodecParameters *params = nullptr;
  int count = 0;
  double start = -1, end = 0;
  std::vector<uint8_t> rgb;
};
Pictures playPictures(const std::string &path, int keep);

// The sound of a file as interleaved floats, and the time its first sample
// plays at.
struct Sound {
  AvOwned<AVFormatContext> file;
  const AVCodecParameters *params = nullptr;
  double start = -1;
  std::vector<float> samples;
};
Sound playSound(const std::string &path);

// How `sound` (interleaved floats from frame `at`) follows `music`
// (interleaved 16-bit, the same channels) over its first `frames` frames:
// the lag, within +-maxLag frames, with the least squared error (positive:
// the music plays late), and that error over the music's energy.
struct Alignment {
  long lag = 0;
  double error = 0;
};
Alignment alignSound(const std::vector<float> &sound, size_t at, const int16_t *music, size_t frames, int channels,
                     long maxLag);

// Peak signal-to-noise ratio of two pictures of the same size, in dB.
double psnr(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b);

} // namespace demo::test
