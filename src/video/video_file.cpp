#include "video/video_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "base/byte_reader.h"

namespace demo {
namespace {

constexpr int kVideo = 0, kAudio = 1;

// x264's "fast" preset: on a two-core machine it encodes 1920 x 1080 some
// 1.2-1.4 times as quickly as "medium", and since CRF holds the quality, all
// it gives up is a few per cent more bytes.
constexpr const char *kVideoPreset = "fast";
// AAC at 96 kbit/s a channel is past where the native encoder's artefacts
// can be heard on music.
constexpr int64_t kAudioBitRatePerChannel = 96000;
// See the thread count in open().
constexpr int kMaxEncoderThreads = 6;

std::string lowerExtension(const std::string &path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

std::string averrorText(int averror) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(averror, text, sizeof text);
  return text;
}

// Limited-range black: Y 16, Cb and Cr 128.
void paintBlack(AVFrame *picture) {
  for (int plane = 0; plane < 3; ++plane) {
    const int rows = plane == 0 ? picture->height : (picture->height + 1) / 2;
    const int bytes = plane == 0 ? picture->width : (picture->width + 1) / 2;
    for (int row = 0; row < rows; ++row)
      std::memset(picture->data[plane] + static_cast<ptrdiff_t>(row) * picture->linesize[plane], plane == 0 ? 16 : 128,
                  static_cast<size_t>(bytes));
  }
}

void shiftPacket(AVPacket *packet, int64_t ticks) {
  if (packet->pts != AV_NOPTS_VALUE)
    packet->pts += ticks;
  if (packet->dts != AV_NOPTS_VALUE)
    packet->dts += ticks;
}

} // namespace

// Everything FFmpeg hands out for one file; freeing it closes the file but
// leaves it on disk (abandon() removes it).
struct VideoFile::Encoder {
  std::string path, partPath;
  bool partCreated = false;
  AVFormatContext *format = nullptr;
  AVCodecContext *codec[2] = {};
  AVStream *stream[2] = {};
  AVPacket *packet = nullptr;

  AVFrame *picture = nullptr; // the video's size, bars black
  SwsContext *scaler = nullptr;
  int scaledWidth = 0, scaledHeight = 0; // the source size the scaler is made for
  VideoPlacement placement{};

  AVFrame *sound = nullptr; // one encoder frame of planar floats
  SwrContext *resampler = nullptr;
  const int16_t *audio = nullptr;
  size_t audioFrames = 0;
  size_t silence = 0;   // sample frames of silence encoded before the music
  size_t audioSent = 0; // sample frames given to the encoder, silence included
  int sampleRate = 0, channels = 0;
  int64_t audioShift = 0; // added to the audio packets' times, in samples
  int64_t videoShift = 0; // added to the video packets' times, in the stream's ticks

  ~Encoder() {
    sws_freeContext(scaler);
    swr_free(&resampler);
    av_frame_free(&picture);
    av_frame_free(&sound);
    av_packet_free(&packet);
    for (AVCodecContext *&context : codec)
      avcodec_free_context(&context);
    if (format) {
      if (format->pb)
        avio_closep(&format->pb);
      avformat_free_context(format);
    }
  }
};

VideoFile::VideoFile() = default;

VideoFile::~VideoFile() { abandon(); }

bool VideoFile::fail(const std::string &what) {
  if (error_.empty())
    error_ = what;
  abandon();
  return false;
}

bool VideoFile::fail(const std::string &what, int averror) { return fail(what + ": " + averrorText(averror)); }

void VideoFile::abandon() {
  if (!encoder_)
    return;
  const bool created = encoder_->partCreated;
  const std::string partPath = encoder_->partPath;
  encoder_.reset();
  if (created)
    std::remove(partPath.c_str());
}

bool VideoFile::open(const std::string &path, const VideoSettings &settings, const int16_t *audio, size_t audioFrames,
                     int sampleRate, int channels) {
  abandon();
  error_.clear();
  frames_ = 0;
  if (!isVideoPath(path))
    return fail(path + ": a video file's name ends in .mp4 or .mkv");
  if (settings.width <= 0 || settings.height <= 0 || settings.width % 2 != 0 || settings.height % 2 != 0)
    return fail("a video's width and height must be even, not " + std::to_string(settings.width) + " x " +
                std::to_string(settings.height));
  if (settings.fps <= 0)
    return fail("a video needs a frame rate above 0, not " + std::to_string(settings.fps));
  if (!videoSizeAllowed(settings.width, settings.height))
    return fail("a video is " + videoSizeLimits() + ", not " + std::to_string(settings.width) + " x " +
                std::to_string(settings.height));
  if (settings.quality < 0 || settings.quality > 51)
    return fail("the video quality is x264's CRF, 0 to 51, not " + std::to_string(settings.quality));
  if (audioFrames > 0 && (!audio || sampleRate <= 0 || (channels != 1 && channels != 2)))
    return fail("the music for a video must be mono or stereo at a positive sample rate");

  // FFmpeg's own lines (x264's settings and statistics, the AAC encoder's
  // note about a queue dropped with an abandoned file) would break up the
  // capture's progress line; error() says what matters, and FFmpeg's errors
  // still print. A level the program chose itself is left alone.
  if (av_log_get_level() == AV_LOG_INFO)
    av_log_set_level(AV_LOG_ERROR);

  encoder_ = std::make_unique<Encoder>();
  Encoder &e = *encoder_;
  e.path = path;
  // Unique to this process, so that two captures into one name each write
  // their own file, and the rename at the end puts one whole file there.
  e.partPath = temporaryNameFor(path);
  const char *container = lowerExtension(path) == ".mp4" ? "mp4" : "matroska";
  int ret = avformat_alloc_output_context2(&e.format, nullptr, container, e.partPath.c_str());
  if (ret < 0)
    return fail(std::string("no ") + container + " writer in this FFmpeg", ret);
  const bool globalHeader = (e.format->oformat->flags & AVFMT_GLOBALHEADER) != 0;
  e.packet = av_packet_alloc();
  if (!e.packet)
    return fail("out of memory for a video file");

  // 1. H.264, yuv420p, tagged BT.709 limited range on the stream and in
  //    the bitstream, which is what players assume for HD anyway.
  if (!newEncoder(kVideo, "libx264", "H.264 encoder", " (libx264)"))
    return false;
  AVCodecContext *video = e.codec[kVideo];
  video->width = settings.width;
  video->height = settings.height;
  video->pix_fmt = AV_PIX_FMT_YUV420P;
  video->time_base = AVRational{1, settings.fps};
  video->framerate = AVRational{settings.fps, 1};
  video->sample_aspect_ratio = AVRational{1, 1};
  video->color_range = AVCOL_RANGE_MPEG;
  video->colorspace = AVCOL_SPC_BT709;
  video->color_primaries = AVCOL_PRI_BT709;
  video->color_trc = AVCOL_TRC_BT709;
  if (globalHeader)
    video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  av_opt_set(video->priv_data, "preset", kVideoPreset, 0);
  av_opt_set(video->priv_data, "profile", "high", 0);
  // x264 takes 1.5 threads a core by default, and each holds its own frames:
  // at 3840 x 2160 some 70 MB a thread on top of 1.4 GB, 3.2 GB with 24 of
  // them. Six keep the largest video under 2 GB on any machine and the
  // encoder well ahead of the drawing at the common sizes.
  video->thread_count = std::clamp(static_cast<int>(std::thread::hardware_concurrency()) * 3 / 2, 1,
                                   kMaxEncoderThreads);
  av_opt_set(video->priv_data, "crf", std::to_string(std::max(settings.quality, 1)).c_str(), 0);
  if (!startStream(kVideo, "cannot start the H.264 encoder"))
    return false;

  e.picture = av_frame_alloc();
  if (!e.picture)
    return fail("out of memory for a picture");
  e.picture->format = AV_PIX_FMT_YUV420P;
  e.picture->width = settings.width;
  e.picture->height = settings.height;
  if ((ret = av_frame_get_buffer(e.picture, 0)) < 0)
    return fail("no memory for a picture", ret);
  paintBlack(e.picture);

  // 2. AAC at the music's own rate and channels, from 16-bit interleaved
  //    to the encoder's planar floats (no rate change, so libswresample
  //    holds nothing back between calls).
  if (audioFrames > 0) {
    e.audio = audio;
    e.audioFrames = audioFrames;
    e.sampleRate = sampleRate;
    e.channels = channels;
    if (!newEncoder(kAudio, "aac", "AAC encoder", ""))
      return false;
    AVCodecContext *sound = e.codec[kAudio];
    sound->sample_fmt = AV_SAMPLE_FMT_FLTP;
    sound->sample_rate = sampleRate;
    av_channel_layout_default(&sound->ch_layout, channels);
    sound->bit_rate = kAudioBitRatePerChannel * channels;
    sound->time_base = AVRational{1, sampleRate};
    if (globalHeader)
      sound->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (!startStream(kAudio, "cannot start the AAC encoder at " + std::to_string(sampleRate) + " Hz"))
      return false;

    if ((ret = swr_alloc_set_opts2(&e.resampler, &sound->ch_layout, AV_SAMPLE_FMT_FLTP, sampleRate,
                                   &sound->ch_layout, AV_SAMPLE_FMT_S16, sampleRate, 0, nullptr)) < 0 ||
        (ret = swr_init(e.resampler)) < 0)
      return fail("cannot convert the music for AAC", ret);
    e.sound = av_frame_alloc();
    if (!e.sound)
      return fail("out of memory for the music");
    e.sound->format = AV_SAMPLE_FMT_FLTP;
    e.sound->sample_rate = sampleRate;
    e.sound->nb_samples = sound->frame_size;
    if ((ret = av_channel_layout_copy(&e.sound->ch_layout, &sound->ch_layout)) < 0 ||
        (ret = av_frame_get_buffer(e.sound, 0)) < 0)
      return fail("no memory for the music", ret);
  }

  // 3. The file, under its temporary name.
  if ((ret = avio_open(&e.format->pb, e.partPath.c_str(), AVIO_FLAG_WRITE)) < 0)
    return fail("cannot write " + path, ret);
  e.partCreated = true;
  if ((ret = avformat_write_header(e.format, nullptr)) < 0)
    return fail("cannot start " + path, ret);

  // 4. Where the music starts. AAC begins with the encoder's priming
  //    (initial_padding, 1024 samples), so its first packet has a negative
  //    time. The MP4 writer turns that into an edit list, which players and
  //    libavformat honour: decoding gives the music from its first sample at
  //    the first picture, time 0. Matroska holds neither negative times nor
  //    (in this FFmpeg) a codec delay for AAC, and counts in milliseconds,
  //    which 1024 samples are not. So there both streams start `lead`
  //    samples late, the priming and a little silence played first, with
  //    `lead` the first whole number of clock ticks covering the priming
  //    (1323 samples, 30 ms, at 44.1 kHz): the music's first sample comes
  //    exactly with the first picture, only not at time 0.
  if (e.codec[kAudio] && !(e.format->oformat->flags & AVFMT_TS_NEGATIVE)) {
    // lead / sampleRate seconds is a whole number of ticks when lead is a
    // multiple of `step`.
    const AVRational tick = e.stream[kAudio]->time_base;
    const int64_t step = int64_t{sampleRate} * tick.num / av_gcd(int64_t{sampleRate} * tick.num, tick.den);
    const int64_t priming = e.codec[kAudio]->initial_padding;
    const int64_t lead = (priming + step - 1) / step * step;
    e.silence = static_cast<size_t>(lead - priming);
    e.audioShift = priming;
    e.videoShift = av_rescale_q(lead, AVRational{1, sampleRate}, e.stream[kVideo]->time_base);
  }
  return true;
}

bool VideoFile::newEncoder(int which, const char *name, const std::string &label, const char *detail) {
  const AVCodec *codec = avcodec_find_encoder_by_name(name);
  if (!codec)
    return fail("no " + label + detail + " in this FFmpeg");
  if (!(encoder_->codec[which] = avcodec_alloc_context3(codec)))
    return fail("out of memory for the " + label);
  return true;
}

bool VideoFile::startStream(int which, const std::string &cannotStart) {
  Encoder &e = *encoder_;
  const char *kind = which == kVideo ? "video" : "audio";
  int ret = avcodec_open2(e.codec[which], nullptr, nullptr);
  if (ret < 0)
    return fail(cannotStart, ret);
  if (!(e.stream[which] = avformat_new_stream(e.format, nullptr)))
    return fail(std::string("out of memory for ") + (which == kVideo ? "a " : "an ") + kind + " stream");
  e.stream[which]->time_base = e.codec[which]->time_base;
  if ((ret = avcodec_parameters_from_context(e.stream[which]->codecpar, e.codec[which])) < 0)
    return fail(std::string("cannot describe the ") + kind + " stream", ret);
  return true;
}

bool VideoFile::writePackets(int which) {
  Encoder &e = *encoder_;
  for (;;) {
    int ret = avcodec_receive_packet(e.codec[which], e.packet);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
      return true;
    if (ret < 0)
      return fail(std::string("cannot encode the ") + (which == kVideo ? "video" : "music"), ret);
    if (which == kAudio)
      shiftPacket(e.packet, e.audioShift);
    else if (e.packet->duration == 0)
      e.packet->duration = 1; // one picture; without it the last one would get no time in an MP4
    av_packet_rescale_ts(e.packet, e.codec[which]->time_base, e.stream[which]->time_base);
    if (which == kVideo)
      shiftPacket(e.packet, e.videoShift);
    e.packet->stream_index = e.stream[which]->index;
    if ((ret = av_interleaved_write_frame(e.format, e.packet)) < 0)
      return fail("cannot write " + e.path, ret);
  }
}

// Encodes the music up to its sample frame `until`, one encoder frame at a
// time; only the last frame of all may be short, so until the end a partial
// one waits for the next call.
bool VideoFile::encodeAudioUntil(size_t until, bool last) {
  Encoder &e = *encoder_;
  AVCodecContext *sound = e.codec[kAudio];
  const size_t frameSize = static_cast<size_t>(sound->frame_size);
  const size_t total = e.silence + e.audioFrames;
  until = e.silence + std::min(until, e.audioFrames);
  while (e.audioSent < until) {
    const size_t count = std::min(frameSize, total - e.audioSent);
    if (count < frameSize && !last)
      return true;
    int ret = av_frame_make_writable(e.sound);
    if (ret < 0)
      return fail("no memory for the music", ret);
    const size_t quiet = e.audioSent < e.silence ? std::min(count, e.silence - e.audioSent) : 0;
    uint8_t *out[2] = {};
    for (int channel = 0; channel < e.channels; ++channel) {
      std::memset(e.sound->data[channel], 0, quiet * sizeof(float));
      out[channel] = e.sound->data[channel] + quiet * sizeof(float);
    }
    if (count > quiet) {
      const int music = static_cast<int>(count - quiet);
      const uint8_t *in[1] = {
          reinterpret_cast<const uint8_t *>(e.audio + (e.audioSent + quiet - e.silence) * e.channels)};
      const int converted = swr_convert(e.resampler, out, music, in, music);
      if (converted != music)
        return fail("cannot convert the music for AAC", converted < 0 ? converted : AVERROR_BUG);
    }
    e.sound->nb_samples = static_cast<int>(count);
    e.sound->pts = static_cast<int64_t>(e.audioSent);
    if ((ret = avcodec_send_frame(sound, e.sound)) < 0)
      return fail("cannot encode the music", ret);
    if (!writePackets(kAudio))
      return false;
    e.audioSent += count;
  }
  return true;
}

bool VideoFile::addFrame(const uint8_t *rgb, int srcWidth, int srcHeight) {
  if (!encoder_)
    return fail("no video file is open to add a picture to");
  if (!rgb || srcWidth <= 0 || srcHeight <= 0)
    return fail("a " + std::to_string(srcWidth) + " x " + std::to_string(srcHeight) + " picture cannot be added");
  Encoder &e = *encoder_;
  AVCodecContext *video = e.codec[kVideo];
  int ret = av_frame_make_writable(e.picture); // copies the bars if the encoder still holds the last one
  if (ret < 0)
    return fail("no memory for a picture", ret);

  if (srcWidth != e.scaledWidth || srcHeight != e.scaledHeight) {
    e.placement = placePicture(srcWidth, srcHeight, video->width, video->height);
    // Full chroma from RGB before subsampling keeps coloured edges clean.
    e.scaler = sws_getCachedContext(e.scaler, srcWidth, srcHeight, AV_PIX_FMT_RGB24, e.placement.width,
                                    e.placement.height, AV_PIX_FMT_YUV420P,
                                    SWS_LANCZOS | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr, nullptr, nullptr);
    if (!e.scaler)
      return fail("cannot scale " + std::to_string(srcWidth) + " x " + std::to_string(srcHeight) + " pictures");
    // RGB is full range; the video is BT.709's matrix in limited range,
    // matching the stream's tags (swscale's own default is BT.601).
    const int *bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(e.scaler, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    e.scaledWidth = srcWidth;
    e.scaledHeight = srcHeight;
    paintBlack(e.picture); // the last picture may have covered more
  }

  // The rows bottom first: start at the last one and step backwards.
  const int stride = srcWidth * 3;
  const uint8_t *src[1] = {rgb + static_cast<ptrdiff_t>(srcHeight - 1) * stride};
  const int srcStride[1] = {-stride};
  const VideoPlacement &at = e.placement;
  uint8_t *dst[3] = {e.picture->data[0] + at.y * e.picture->linesize[0] + at.x,
                     e.picture->data[1] + at.y / 2 * e.picture->linesize[1] + at.x / 2,
                     e.picture->data[2] + at.y / 2 * e.picture->linesize[2] + at.x / 2};
  sws_scale(e.scaler, src, srcStride, 0, srcHeight, dst, e.picture->linesize);

  e.picture->pts = frames_;
  if ((ret = avcodec_send_frame(video, e.picture)) < 0)
    return fail("cannot encode picture " + std::to_string(frames_), ret);
  if (!writePackets(kVideo))
    return false;
  ++frames_;

  // The music up to this picture's end, so the file grows interleaved.
  if (e.codec[kAudio]) {
    const auto until =
        static_cast<size_t>((static_cast<int64_t>(frames_) * e.sampleRate + video->framerate.num / 2) /
                            video->framerate.num);
    if (!encodeAudioUntil(until, false))
      return false;
  }
  return true;
}

bool VideoFile::finish() {
  if (!encoder_)
    return fail("no video file is open to finish");
  Encoder &e = *encoder_;
  if (frames_ == 0)
    return fail("no pictures were added to " + e.path);
  int ret;
  if (e.codec[kAudio]) {
    if (!encodeAudioUntil(e.audioFrames, true))
      return false;
    if ((ret = avcodec_send_frame(e.codec[kAudio], nullptr)) < 0)
      return fail("cannot end the music", ret);
    if (!writePackets(kAudio))
      return false;
  }
  if ((ret = avcodec_send_frame(e.codec[kVideo], nullptr)) < 0)
    return fail("cannot end the video", ret);
  if (!writePackets(kVideo))
    return false;
  if ((ret = av_write_trailer(e.format)) < 0)
    return fail("cannot finish " + e.path, ret);
  if ((ret = avio_closep(&e.format->pb)) < 0)
    return fail("cannot write " + e.path, ret);
  if (std::rename(e.partPath.c_str(), e.path.c_str()) != 0)
    return fail("cannot rename " + e.partPath + " to " + e.path + ": " + std::strerror(errno));
  e.partCreated = false;
  encoder_.reset();
  return true;
}

VideoPlacement placePicture(int srcWidth, int srcHeight, int videoWidth, int videoHeight) {
  if (srcWidth <= 0 || srcHeight <= 0 || videoWidth <= 0 || videoHeight <= 0)
    return {0, 0, 0, 0};
  // The nearest even number to num / den, at least 2 and at most `limit`.
  auto evenNear = [](int64_t num, int64_t den, int limit) {
    const int64_t even = 2 * ((num + den) / (2 * den));
    return static_cast<int>(std::clamp<int64_t>(even, 2, limit));
  };
  int width = videoWidth, height = videoHeight;
  if (static_cast<int64_t>(srcWidth) * videoHeight > static_cast<int64_t>(srcHeight) * videoWidth)
    height = evenNear(static_cast<int64_t>(videoWidth) * srcHeight, srcWidth, videoHeight); // bars above and below
  else
    width = evenNear(static_cast<int64_t>(videoHeight) * srcWidth, srcHeight, videoWidth); // bars left and right
  // Centred, one pixel towards the top left where the bars cannot be equal
  // and even both.
  return {(videoWidth - width) / 2 & ~1, (videoHeight - height) / 2 & ~1, width, height};
}

bool videoSizeAllowed(int width, int height) {
  if (width <= 0 || height <= 0 || width > kMaxVideoSide || height > kMaxVideoSide)
    return false;
  const int64_t macroblocks = int64_t{(width + 15) / 16} * ((height + 15) / 16);
  return macroblocks <= kMaxVideoMacroblocks;
}

std::string videoSizeLimits() {
  return "at most " + std::to_string(kMaxVideoSide) + " pixels on a side and " +
         std::to_string(kMaxVideoMacroblocks * 256) + " pixels in all (H.264 level 5.2)";
}

bool isVideoPath(const std::string &path) {
  const std::string extension = lowerExtension(path);
  return extension == ".mp4" || extension == ".mkv";
}

} // namespace demo
