#include "support/video_reader.h"

#include <algorithm>
#include <cmath>

namespace demo::test {

std::vector<uint8_t> toRgb(AVPixelFormat from, const uint8_t *const planes[], const int strides[], int width,
                           int height, int toWidth, int toHeight, int flags) {
  std::vector<uint8_t> out(static_cast<size_t>(toWidth) * toHeight * 3);
  SwsContext *sws = sws_getContext(width, height, from, toWidth, toHeight, AV_PIX_FMT_RGB24,
                                   flags | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
  const int *bt709 = sws_getCoefficients(SWS_CS_ITU709);
  if (from == AV_PIX_FMT_YUV420P)
    sws_setColorspaceDetails(sws, bt709, 0, bt709, 1, 0, 1 << 16, 1 << 16);
  uint8_t *rows[1] = {out.data()};
  const int outStride[1] = {toWidth * 3};
  sws_scale(sws, planes, strides, 0, height, rows, outStride);
  sws_freeContext(sws);
  return out;
}

const AVCodecParameters *play(AvOwned<AVFormatContext> &file, const std::string &path, AVMediaType type,
                              const std::function<void(const AVFrame &, double)> &each) {
  AVFormatContext *format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
    return nullptr;
  file.reset(format);
  avformat_find_stream_info(format, nullptr);
  const int index = av_find_best_stream(format, type, -1, -1, nullptr, 0);
  if (index < 0)
    return nullptr;
  const AVStream *stream = format->streams[index];
  const AVCodec *decoder = avcodec_find_decoder(stream->codecpar->codec_id);
  AvOwned<AVCodecContext> codec(avcodec_alloc_context3(decoder));
  avcodec_parameters_to_context(codec.get(), stream->codecpar);
  codec->pkt_timebase = stream->time_base;
  avcodec_open2(codec.get(), decoder, nullptr);
  AvOwned<AVPacket> packet(av_packet_alloc());
  AvOwned<AVFrame> frame(av_frame_alloc());
  for (bool more = true; more; av_packet_unref(packet.get())) { // then once more to flush
    more = av_read_frame(format, packet.get()) >= 0;
    AVPacket *sent = more ? packet.get() : nullptr;
    if ((!sent || sent->stream_index == index) && avcodec_send_packet(codec.get(), sent) >= 0)
      while (avcodec_receive_frame(codec.get(), frame.get()) >= 0)
        each(*frame, av_q2d(stream->time_base));
  }
  return stream->codecpar;
}

Pictures playPictures(const std::string &path, int keep) {
  Pictures p;
  p.params = play(p.file, path, AVMEDIA_TYPE_VIDEO, [&](const AVFrame &f, double tick) {
    p.start = p.start < 0 ? static_cast<double>(f.best_effort_timestamp) * tick : p.start;
    p.end = static_cast<double>(f.best_effort_timestamp + f.pkt_duration) * tick;
    if (p.count++ == keep)
      p.rgb = toRgb(AV_PIX_FMT_YUV420P, f.data, f.linesize, f.width, f.height, f.width, f.height, SWS_BICUBIC);
  });
  return p;
}

Sound playSound(const std::string &path) {
  Sound s;
  s.params = play(s.file, path, AVMEDIA_TYPE_AUDIO, [&](const AVFrame &f, double tick) {
    s.start = s.start < 0 ? static_cast<double>(f.best_effort_timestamp) * tick : s.start;
    const int channels = f.ch_layout.nb_channels;
    for (int i = 0; i < f.nb_samples * channels; ++i) // planar floats, as the AAC decoder gives them
      s.samples.push_back(reinterpret_cast<const float *>(f.extended_data[i % channels])[i / channels]);
  });
  return s;
}

Alignment alignSound(const std::vector<float> &sound, size_t at, const int16_t *music, size_t frames, int channels,
                     long maxLag) {
  const long values = static_cast<long>(frames) * channels;
  double energy = 0;
  for (long i = 0; i < values; ++i)
    energy += std::pow(music[i] / 32768.0, 2);
  auto error = [&](long lag) {
    double sum = 0;
    for (long i = 0; i < values; ++i) {
      const long from = i - lag * channels;
      const double source = from >= 0 ? music[from] / 32768.0 : 0.0;
      const size_t index = at * static_cast<size_t>(channels) + static_cast<size_t>(i);
      sum += std::pow((index < sound.size() ? sound[index] : 0.0) - source, 2);
    }
    return sum;
  };
  Alignment best{0, error(0)};
  for (long lag = -maxLag; lag <= maxLag; ++lag) {
    const double e = error(lag);
    if (e < best.error)
      best = {lag, e};
  }
  best.error /= std::max(energy, 1e-12);
  return best;
}

double psnr(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i)
    sum += (a[i] - b[i]) * (a[i] - b[i]);
  return 10 * std::log10(255.0 * 255.0 * static_cast<double>(a.size()) / std::max(sum, 1e-9));
}

} // namespace demo::test
