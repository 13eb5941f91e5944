#include "audio/wav_file.h"

namespace demo {

namespace {
void put32(std::vector<uint8_t> &out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void put16(std::vector<uint8_t> &out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
} // namespace

std::vector<uint8_t> encodeWav(const DecodedAudio &audio, size_t firstFrame, size_t endFrame) {
  const uint16_t channels = static_cast<uint16_t>(audio.channels > 0 ? audio.channels : 2);
  const uint32_t rate = static_cast<uint32_t>(audio.sampleRate > 0 ? audio.sampleRate : 44100);
  const size_t frames = endFrame > firstFrame ? endFrame - firstFrame : 0;
  const uint32_t dataBytes = static_cast<uint32_t>(frames * channels * 2);
  std::vector<uint8_t> out;
  out.reserve(44 + dataBytes);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  put32(out, 36 + dataBytes);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(out, 16);
  put16(out, 1); // PCM
  put16(out, channels);
  put32(out, rate);
  put32(out, rate * channels * 2);
  put16(out, static_cast<uint16_t>(channels * 2));
  put16(out, 16);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  put32(out, dataBytes);
  const size_t available = audio.frames();
  for (size_t f = firstFrame; f < firstFrame + frames; ++f)
    for (size_t c = 0; c < channels; ++c) {
      int16_t sample = f < available ? audio.samples[f * channels + c] : 0;
      put16(out, static_cast<uint16_t>(sample));
    }
  return out;
}

} // namespace demo
