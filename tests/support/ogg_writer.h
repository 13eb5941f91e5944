// ogg_writer.h - small Ogg Vorbis files for the music tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo::test {

// Encodes interleaved float samples in [-1, 1] as Ogg Vorbis (high quality) and
// writes them to path. Returns false when the encoder or the file fails.
bool writeOggVorbis(const std::string &path, const std::vector<float> &interleaved, int channels,
                    int sampleRate);

} // namespace demo::test
