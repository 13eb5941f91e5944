#include "bake/music/vorbis_writer.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>

#include "bake/music/oscillator.h"

namespace demo::bake::music {

namespace {

void appendPage(std::vector<uint8_t> &out, const ogg_page &page) {
  out.insert(out.end(), page.header, page.header + page.header_len);
  out.insert(out.end(), page.body, page.body + page.body_len);
}

// The encoder's state, torn down in reverse order whatever happens.
struct Encoder {
  vorbis_info info;
  vorbis_comment comment;
  vorbis_dsp_state dsp;
  vorbis_block block;
  ogg_stream_state stream;
  bool dspReady = false, streamReady = false;
  Encoder() {
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
  }
  ~Encoder() {
    if (streamReady)
      ogg_stream_clear(&stream);
    if (dspReady) {
      vorbis_block_clear(&block);
      vorbis_dsp_clear(&dsp);
    }
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
  }
};

constexpr size_t kChunkFrames = 4096;

} // namespace

std::vector<uint8_t> encodeOggVorbis(const std::vector<float> &interleaved, int channels, float quality,
                                     uint32_t serial, std::string *error) {
  auto fail = [&](const char *why) {
    if (error)
      *error = why;
    return std::vector<uint8_t>();
  };
  if (channels < 1 || channels > 8)
    return fail("unsupported channel count");
  const size_t perFrame = static_cast<size_t>(channels);
  const size_t frames = interleaved.size() / perFrame;
  if (frames == 0)
    return fail("no samples to encode");

  Encoder enc;
  if (vorbis_encode_init_vbr(&enc.info, channels, kSampleRate, quality) != 0)
    return fail("the Vorbis encoder refused the settings");
  vorbis_comment_add_tag(&enc.comment, "TITLE", "Soundtrack");
  if (vorbis_analysis_init(&enc.dsp, &enc.info) != 0)
    return fail("the Vorbis encoder could not start");
  vorbis_block_init(&enc.dsp, &enc.block);
  enc.dspReady = true;
  ogg_stream_init(&enc.stream, static_cast<int>(serial));
  enc.streamReady = true;

  std::vector<uint8_t> out;
  out.reserve(frames / 2); // room for about 176 kbit/s
  ogg_packet header, commentHeader, codeHeader;
  vorbis_analysis_headerout(&enc.dsp, &enc.comment, &header, &commentHeader, &codeHeader);
  ogg_stream_packetin(&enc.stream, &header);
  ogg_stream_packetin(&enc.stream, &commentHeader);
  ogg_stream_packetin(&enc.stream, &codeHeader);
  ogg_page page;
  // The headers get pages of their own, so audio starts on a fresh page.
  while (ogg_stream_flush(&enc.stream, &page) != 0)
    appendPage(out, page);

  size_t done = 0;
  bool ended = false;
  while (!ended) {
    const size_t count = std::min(kChunkFrames, frames - done);
    if (count == 0) {
      vorbis_analysis_wrote(&enc.dsp, 0); // end of stream
    } else {
      float **buffer = vorbis_analysis_buffer(&enc.dsp, static_cast<int>(count));
      for (size_t i = 0; i < count; ++i)
        for (size_t c = 0; c < perFrame; ++c)
          buffer[c][i] = interleaved[(done + i) * perFrame + c];
      vorbis_analysis_wrote(&enc.dsp, static_cast<int>(count));
      done += count;
    }
    while (vorbis_analysis_blockout(&enc.dsp, &enc.block) == 1) {
      vorbis_analysis(&enc.block, nullptr);
      vorbis_bitrate_addblock(&enc.block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&enc.dsp, &packet) == 1) {
        ogg_stream_packetin(&enc.stream, &packet);
        while (ogg_stream_pageout(&enc.stream, &page) != 0) {
          appendPage(out, page);
          if (ogg_page_eos(&page))
            ended = true;
        }
      }
    }
    if (count == 0 && !ended) {
      while (ogg_stream_flush(&enc.stream, &page) != 0)
        appendPage(out, page);
      ended = true;
    }
  }
  return out;
}

} // namespace demo::bake::music
