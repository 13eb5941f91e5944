// vorbis_writer.h - Ogg Vorbis files from float samples, byte for byte the
// same every time.
//
// encodeOggVorbis runs libvorbisenc in its variable-bit-rate mode and packs
// the packets into Ogg pages in memory. The Ogg stream's serial number is a
// fixed argument (encoders usually pick a random one) and the comment header
// carries no date, so the same samples always give the same bytes.
//
// Use:
//   std::string error;
//   std::vector<uint8_t> bytes = encodeOggVorbis(stereo, 2, 0.5f, 0x01, &error);
//
// What it does not do: chained streams, managed bit rates, or streaming
// output (the whole file is built in memory).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo::bake::music {

// Interleaved samples in [-1, 1] at kSampleRate; quality -0.1 .. 1 (0.5 is
// about 160 kbit/s for stereo). Empty, with `error` set, on failure.
std::vector<uint8_t> encodeOggVorbis(const std::vector<float> &interleaved, int channels, float quality,
                                     uint32_t serial, std::string *error = nullptr);

} // namespace demo::bake::music
