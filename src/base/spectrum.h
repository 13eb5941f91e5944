// spectrum.h - the music's spectrum at one moment, as every step and frame
// of the show is given it.
//
// A Spectrum is 256 magnitudes: bin i covers i * rate / 512 Hz of a
// 512-sample FFT of the music (MusicStream::spectrumAt fills one; see
// audio/music_stream.h), a full-scale sine at a bin's centre reading 1.0.
// It is a plain value: it starts silent (all zero), copies like a number,
// and an index outside 0-255 is a programming error (checked in debug
// builds). No GL, no audio.
#pragma once

#include <array>
#include <cassert>

namespace demo {

constexpr int kSpectrumBins = 256;

struct Spectrum {
  std::array<float, kSpectrumBins> bins{};

  float operator[](int i) const {
    assert(i >= 0 && i < kSpectrumBins);
    return bins[static_cast<size_t>(i)];
  }
  float &operator[](int i) {
    assert(i >= 0 && i < kSpectrumBins);
    return bins[static_cast<size_t>(i)];
  }
  float *data() { return bins.data(); }
  const float *data() const { return bins.data(); }
};

} // namespace demo
