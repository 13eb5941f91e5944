// wav_file.h - a stretch of decoded music as a 16-bit PCM WAV file (the
// capture mode writes the music of its range beside the frames).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/music_stream.h"

namespace demo {

// Frames [firstFrame, endFrame) of `audio` (clamped to what there is;
// frames past the end are silence) as a complete WAV file.
std::vector<uint8_t> encodeWav(const DecodedAudio &audio, size_t firstFrame, size_t endFrame);

} // namespace demo
