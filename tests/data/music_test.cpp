// The soundtrack as the build baked it, decoded and listened to the way the
// show listens: through its own spectrum at 60 frames a second. The driving
// sections must lift bin 0 over the scenes' beat thresholds, the intro must
// stay under them, and the accents must land on the show's flashes and cuts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "audio/music_stream.h"
#include "bake/music/loudness_meter.h"
#include "support/baked_data.h"

namespace demo::test {
namespace {

constexpr double kFps = 60.0;

struct Span {
  const char *name;
  double from, to;
};
constexpr Span kIntro = {"intro", 0.0, 39.57};
constexpr Span kLetters = {"letters", 79.14, 118.84};
constexpr Span kEvent = {"event", 118.84, 158.4};
constexpr Span kCorridor = {"corridor", 158.4, 217.5};

// Where the show flashes, cuts or pulses and the music hits with it.
std::vector<double> accentTimes() {
  std::vector<double> times = {128.40, 128.83, 129.38, 129.61, 130.07, 130.85, // the title's letters
                               131.32, 131.85, 132.08, 132.56, 133.32,
                               118.84, 148.14, 217.5, // white flash, event flash, white-out
                               242.45, 247.39, 252.4}; // the quick cuts' flashes
  for (int k = 0; k < 16; ++k)
    times.push_back(198.4 + 1.225 * k); // the beat pulses
  for (double cut : {220.48422, 222.94514, 224.1091, 225.32445, 226.30397, 227.00352, 227.26839, 227.88477,
                     229.11407, 230.32904, 230.39442, 231.54175, 232.25816, 232.42302, 232.87198, 232.90524,
                     234.06918, 235.30081})
    times.push_back(cut); // the final scene's camera cuts
  std::sort(times.begin(), times.end());
  return times;
}

class MusicData : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    audio_ = new DecodedAudio();
    std::string error;
    decoded_ = decodeOggFile(bakedFile("01.ogg"), *audio_, &error);
    error_ = error;
    if (!decoded_)
      return;
    // The spectrum the show reads, frame by frame.
    SpectrumAnalyser analyser;
    Spectrum spectrum;
    const size_t frames = static_cast<size_t>(static_cast<double>(audio_->frames()) / audio_->sampleRate * kFps);
    bins_ = new std::vector<std::vector<float>>(frames);
    for (size_t f = 0; f < frames; ++f) {
      analyser.analyse(*audio_, frameAt(static_cast<double>(f) / kFps), spectrum);
      (*bins_)[f].assign(spectrum.data(), spectrum.data() + 8);
    }
  }
  static void TearDownTestSuite() {
    delete audio_;
    delete bins_;
    audio_ = nullptr;
    bins_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(decoded_) << "01.ogg: " << error_; }

  static size_t frameAt(double seconds) { return static_cast<size_t>(std::llround(seconds * 44100.0)); }

  // The share of 60 fps frames in a span whose bin k exceeds a level.
  static double shareAbove(const Span &span, int k, float level) {
    size_t count = 0, above = 0;
    for (size_t f = static_cast<size_t>(std::ceil(span.from * kFps)); f < bins_->size() && f < span.to * kFps; ++f) {
      ++count;
      if ((*bins_)[f][static_cast<size_t>(k)] > level)
        ++above;
    }
    return count ? static_cast<double>(above) / static_cast<double>(count) : 0.0;
  }

  static void meanAndDeviation(const Span &span, int k, double &mean, double &deviation) {
    double sum = 0.0, squares = 0.0, count = 0.0;
    for (size_t f = static_cast<size_t>(std::ceil(span.from * kFps)); f < bins_->size() && f < span.to * kFps; ++f) {
      const double v = (*bins_)[f][static_cast<size_t>(k)];
      sum += v;
      squares += v * v;
      count += 1.0;
    }
    mean = sum / count;
    deviation = std::sqrt(std::max(0.0, squares / count - mean * mean));
  }

  // Root mean square of both channels over a stretch, in dBFS.
  static double levelDb(double from, double to) {
    double sum = 0.0;
    const size_t a = frameAt(from), b = std::min(frameAt(to), audio_->frames());
    for (size_t n = 2 * a; n < 2 * b; ++n) {
      const double v = audio_->samples[n] / 32768.0;
      sum += v * v;
    }
    return 10.0 * std::log10(sum / static_cast<double>(2 * (b - a)) + 1e-30);
  }

  // How much the spectrum above bin 3 (344 Hz) grew in the last 256 frames
  // (5.8 ms) before `end`: the onset strength of whatever starts there. The
  // low bins are left out: a held kick makes them swing with its phase.
  static double flux(SpectrumAnalyser &analyser, double end) {
    Spectrum now, before;
    const size_t at = frameAt(end);
    analyser.analyse(*audio_, at, now);
    analyser.analyse(*audio_, at - 256, before);
    double sum = 0.0;
    for (int k = 4; k < kSpectrumBins; ++k)
      sum += std::max(0.f, now[k] - before[k]);
    return sum;
  }

  static DecodedAudio *audio_;
  static std::vector<std::vector<float>> *bins_;
  static bool decoded_;
  static std::string error_;
};

DecodedAudio *MusicData::audio_ = nullptr;
std::vector<std::vector<float>> *MusicData::bins_ = nullptr;
bool MusicData::decoded_ = false;
std::string MusicData::error_;

TEST_F(MusicData, IsStereoAt44100HzAndOutlastsTheShow) {
  EXPECT_EQ(audio_->sampleRate, 44100);
  EXPECT_EQ(audio_->channels, 2);
  EXPECT_GE(static_cast<double>(audio_->frames()) / 44100.0, 266.0);
}

TEST_F(MusicData, NothingClipsAndTheLoudnessIsEven) {
  int peak = 0;
  for (int16_t s : audio_->samples)
    peak = std::max(peak, std::abs(static_cast<int>(s)));
  EXPECT_LT(peak, 32440) << "peak above -0.09 dBFS: the decoded file is at the edge of clipping";
  std::vector<float> stereo(audio_->samples.size());
  for (size_t n = 0; n < stereo.size(); ++n)
    stereo[n] = audio_->samples[n] / 32768.f;
  bake::music::LoudnessMeter meter(2);
  meter.add(stereo.data(), audio_->frames());
  EXPECT_NEAR(meter.integrated(), -14.0, 0.5);
}

TEST_F(MusicData, TheQuietIntroStaysUnderEveryBeatThreshold) {
  EXPECT_LT(shareAbove(kIntro, 0, 0.6f), 0.002);
  EXPECT_LT(shareAbove(kIntro, 0, 0.25f), 0.01);
  double mean = 0.0, deviation = 0.0;
  meanAndDeviation(kIntro, 0, mean, deviation);
  EXPECT_LT(mean, 0.05);
}

TEST_F(MusicData, TheKickLiftsBinZeroPastTheBeatThresholdInTheDrivingSections) {
  for (const Span &span : {kLetters, kEvent, kCorridor}) {
    // At 98 beats a minute a beat is 37 frames; 7 % is two or three frames
    // above 0.6 on every beat.
    EXPECT_GT(shareAbove(span, 0, 0.6f), 0.07) << span.name;
    EXPECT_GT(shareAbove(span, 0, 0.25f), 0.12) << span.name;
  }
}

TEST_F(MusicData, TheBandsAboveMoveWithTheMusic) {
  for (const Span &span : {kLetters, kEvent, kCorridor})
    for (int k : {1, 2, 3, 5}) {
      double mean = 0.0, deviation = 0.0;
      meanAndDeviation(span, k, mean, deviation);
      EXPECT_GT(deviation, 0.01) << span.name << " bin " << k;
    }
}

TEST_F(MusicData, AccentsLandWithin30MillisecondsOfTheirTimes) {
  SpectrumAnalyser analyser;
  const std::vector<double> times = accentTimes();
  for (size_t i = 0; i < times.size(); ++i) {
    const double t = times[i];
    // Search 100 ms either side, but never past halfway to a neighbour.
    double from = t - 0.1, to = t + 0.1;
    if (i > 0)
      from = std::max(from, 0.5 * (times[i - 1] + t));
    if (i + 1 < times.size())
      to = std::min(to, 0.5 * (times[i + 1] + t));
    double strongest = -1.0, at = 0.0;
    for (double p = from; p <= to; p += 0.001) {
      const double f = flux(analyser, p);
      if (f > strongest) {
        strongest = f;
        at = p;
      }
    }
    // The 512-frame window is weighted to its middle: an onset shows most
    // 256 frames after it starts.
    const double onset = at - 256.0 / 44100.0;
    EXPECT_NEAR(onset, t, 0.03) << "accent at " << t;
    // And it is an accent, not the groove: well above the usual onsets of
    // the two seconds around it.
    std::vector<double> around;
    for (double p = t - 1.0; p <= t + 1.0; p += 0.01)
      around.push_back(flux(analyser, p));
    std::nth_element(around.begin(), around.begin() + around.size() / 2, around.end());
    EXPECT_GT(strongest, 2.0 * around[around.size() / 2]) << "accent at " << t;
  }
}

TEST_F(MusicData, BuildUpsRiseIntoTheFlashAndTheWhiteOut) {
  for (double peak : {118.84, 217.5}) {
    // Risers, rolls and opening filters: the treble (bins 40 and up, 3.4 kHz
    // and above) of the last two seconds before the flash is well above
    // what it was six seconds earlier.
    auto treble = [&](double from, double to) {
      SpectrumAnalyser analyser;
      Spectrum spectrum;
      double sum = 0.0;
      int count = 0;
      for (double p = from; p < to; p += 1.0 / kFps) {
        analyser.analyse(*audio_, frameAt(p), spectrum);
        for (int k = 40; k < kSpectrumBins; ++k)
          sum += spectrum[k];
        ++count;
      }
      return sum / count;
    };
    EXPECT_GT(treble(peak - 2.2, peak - 0.2), 1.5 * treble(peak - 8.2, peak - 6.2)) << peak;
  }
}

TEST_F(MusicData, TheMusicDipsAt158SecondsAndIsSilentBy265) {
  EXPECT_LT(levelDb(157.4, 158.4), levelDb(150.0, 154.0) - 10.0);
  EXPECT_LT(levelDb(265.0, 266.0), -90.0);
}

} // namespace
} // namespace demo::test
