#include "video/video_reader.h"

#include <limits>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace demo {

namespace {

struct FormatClose {
  void operator()(AVFormatContext *f) const { avformat_close_input(&f); }
};
struct CodecFree {
  void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame *f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct ScaleFree {
  void operator()(SwsContext *s) const { sws_freeContext(s); }
};

bool fail(std::string *error, const std::string &path, const std::string &what) {
  if (error)
    *error = path + ": " + what;
  return false;
}

// The picture as RGB rows, top first, read by its tagged matrix and range.
// False when its pixel format cannot be converted.
bool toRgb(std::unique_ptr<SwsContext, ScaleFree> &scale, const AVFrame &frame, std::vector<uint8_t> &rgb) {
  const AVPixelFormat format = static_cast<AVPixelFormat>(frame.format);
  scale.reset(sws_getCachedContext(scale.release(), frame.width, frame.height, format, frame.width, frame.height,
                                   AV_PIX_FMT_RGB24, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                                   nullptr, nullptr));
  if (!scale)
    return false;
  const int matrix = frame.colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_ITU601;
  const int *coefficients = sws_getCoefficients(matrix);
  const int fullRange = frame.color_range == AVCOL_RANGE_JPEG || format == AV_PIX_FMT_YUVJ420P ? 1 : 0;
  sws_setColorspaceDetails(scale.get(), coefficients, fullRange, coefficients, 1, 0, 1 << 16, 1 << 16);
  rgb.resize(static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height) * 3);
  uint8_t *rows[1] = {rgb.data()};
  const int stride[1] = {frame.width * 3};
  sws_scale(scale.get(), frame.data, frame.linesize, 0, frame.height, rows, stride);
  return true;
}

} // namespace

bool readVideoPictures(const std::string &path, const std::function<bool(const VideoPicture &)> &each,
                       std::string *error) {
  AVFormatContext *opened = nullptr;
  if (avformat_open_input(&opened, path.c_str(), nullptr, nullptr) < 0)
    return fail(error, path, "cannot open it as a video file");
  const std::unique_ptr<AVFormatContext, FormatClose> file(opened);
  if (avformat_find_stream_info(file.get(), nullptr) < 0)
    return fail(error, path, "cannot read its streams");
  const int index = av_find_best_stream(file.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0)
    return fail(error, path, "holds no video stream");
  const AVStream *stream = file->streams[index];
  const AVCodec *decoder = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!decoder)
    return fail(error, path, "its video is in a format this FFmpeg cannot decode");
  const std::unique_ptr<AVCodecContext, CodecFree> codec(avcodec_alloc_context3(decoder));
  if (!codec || avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0)
    return fail(error, path, "cannot start its video decoder");
  codec->pkt_timebase = stream->time_base;
  if (avcodec_open2(codec.get(), decoder, nullptr) < 0)
    return fail(error, path, "cannot start its video decoder");
  const double tick = av_q2d(stream->time_base);
  const double frameRate = stream->avg_frame_rate.den > 0 ? av_q2d(stream->avg_frame_rate) : 0.0;

  const std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
  const std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
  std::unique_ptr<SwsContext, ScaleFree> scale;
  std::vector<uint8_t> rgb;
  bool first = true, going = true;
  int64_t start = 0;
  size_t pictures = 0;
  std::string broken; // the first thing that went wrong after the start
  for (bool more = true; more && going;) {
    const int read = av_read_frame(file.get(), packet.get());
    more = read >= 0;
    if (read < 0 && read != AVERROR_EOF && broken.empty())
      broken = "the file breaks off after picture " + std::to_string(pictures);
    const AVPacket *sent = more ? packet.get() : nullptr; // then once more, empty, to flush
    if (!sent || sent->stream_index == index) {
      if (avcodec_send_packet(codec.get(), sent) < 0 && sent && broken.empty())
        broken = "the video is damaged after picture " + std::to_string(pictures);
      while (going) {
        const int received = avcodec_receive_frame(codec.get(), frame.get());
        if (received < 0) {
          if (received != AVERROR(EAGAIN) && received != AVERROR_EOF && broken.empty())
            broken = "the video is damaged after picture " + std::to_string(pictures);
          break;
        }
        // A picture without a time is taken as the one after the last.
        double seconds = std::numeric_limits<double>::quiet_NaN();
        if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
          if (first)
            start = frame->best_effort_timestamp;
          first = false;
          seconds = static_cast<double>(frame->best_effort_timestamp - start) * tick;
        }
        if (!toRgb(scale, *frame, rgb))
          return fail(error, path, "its pictures are in a pixel format this FFmpeg cannot turn into RGB");
        ++pictures;
        going = each(VideoPicture{rgb, frame->width, frame->height, seconds, frameRate});
      }
    }
    if (more)
      av_packet_unref(packet.get());
  }
  if (pictures == 0)
    return fail(error, path, broken.empty() ? "holds no picture that decodes" : broken);
  if (!broken.empty() && error)
    *error = path + ": " + broken + "; the pictures before it are read";
  return true;
}

} // namespace demo
