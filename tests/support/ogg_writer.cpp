#include "support/ogg_writer.h"

#include <vorbis/vorbisenc.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace demo::test {

namespace {
bool writePage(std::FILE *f, const ogg_page &page) {
  return std::fwrite(page.header, 1, static_cast<size_t>(page.header_len), f) ==
             static_cast<size_t>(page.header_len) &&
         std::fwrite(page.body, 1, static_cast<size_t>(page.body_len), f) == static_cast<size_t>(page.body_len);
}
} // namespace

bool writeOggVorbis(const std::string &path, const std::vector<float> &interleaved, int channels,
                    int sampleRate) {
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (!f)
    return false;
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, channels, sampleRate, 0.9f) != 0) {
    vorbis_info_clear(&info);
    std::fclose(f);
    return false;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, 1234); // fixed serial: same input, same bytes
  ogg_packet header, headerComment, headerCode;
  vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &headerComment);
  ogg_stream_packetin(&stream, &headerCode);
  ogg_page page;
  bool ok = true;
  while (ogg_stream_flush(&stream, &page) != 0)
    ok = ok && writePage(f, page);

  const size_t frames = interleaved.size() / static_cast<size_t>(channels);
  size_t done = 0;
  bool eos = false;
  while (!eos) {
    const size_t chunk = 4096;
    size_t n = frames - done < chunk ? frames - done : chunk;
    if (n == 0) {
      vorbis_analysis_wrote(&dsp, 0);
    } else {
      float **buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
      for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c)
          buffer[c][i] = interleaved[(done + i) * static_cast<size_t>(channels) + static_cast<size_t>(c)];
      vorbis_analysis_wrote(&dsp, static_cast<int>(n));
      done += n;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        while (!eos && ogg_stream_pageout(&stream, &page) != 0) {
          ok = ok && writePage(f, page);
          if (ogg_page_eos(&page))
            eos = true;
        }
      }
    }
    if (n == 0 && !eos) {
      while (ogg_stream_flush(&stream, &page) != 0)
        ok = ok && writePage(f, page);
      eos = true;
    }
  }
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return std::fclose(f) == 0 && ok;
}

} // namespace demo::test
