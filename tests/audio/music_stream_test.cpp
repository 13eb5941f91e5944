#include "audio/music_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/data_path.h"
#include "base/math.h"
#include "base/message.h"
#include "support/box_recorder.h"
#include "support/ogg_writer.h"
#include "support/test_files.h"

namespace demo::test {
namespace {

// A sine exactly at bin k's centre frequency (k * rate / 512).
float toneAt(int bin, size_t frame, int rate, float amplitude, double phase = 0.0) {
  const double hz = bin * static_cast<double>(rate) / kFftSize;
  return amplitude * static_cast<float>(std::sin(2.0 * kPi * hz * static_cast<double>(frame) / rate + phase));
}

std::vector<float> monoTone(int bin, float amplitude, double phase = 0.0) {
  std::vector<float> mono(kFftSize);
  for (int n = 0; n < kFftSize; ++n)
    mono[n] = toneAt(bin, static_cast<size_t>(n), 44100, amplitude, phase);
  return mono;
}

// Interleaved samples: `firstBin` until `switchSeconds`, then `secondBin`, the
// same tone in every channel.
std::vector<float> toneTrack(int firstBin, int secondBin, double switchSeconds, double seconds, int channels,
                             int rate) {
  const size_t frames = static_cast<size_t>(seconds * rate);
  const size_t switchFrame = static_cast<size_t>(switchSeconds * rate);
  std::vector<float> out(frames * static_cast<size_t>(channels));
  for (size_t f = 0; f < frames; ++f)
    for (int c = 0; c < channels; ++c)
      out[f * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
          toneAt(f < switchFrame ? firstBin : secondBin, f, rate, 1.f);
  return out;
}

int loudestBin(const Spectrum &spectrum) {
  int best = 0;
  for (int k = 1; k < kSpectrumBins; ++k)
    if (spectrum[k] > spectrum[best])
      best = k;
  return best;
}

// Every bin farther than one from `bin` stays below `limit`.
void expectQuietAwayFrom(const Spectrum &spectrum, int bin, float limit) {
  for (int k = 0; k < kSpectrumBins; ++k) {
    if (std::abs(k - bin) > 1) {
      EXPECT_LT(spectrum[k], limit) << "bin " << k;
    }
  }
}

// The Ogg pages that carry audio (granule position, the frame count at the
// page's end, above 0).
struct Page {
  size_t offset;
  int64_t granule;
};
std::vector<Page> audioPages(const std::vector<uint8_t> &file) {
  std::vector<Page> pages;
  for (size_t at = 0; at + 14 <= file.size(); ++at) {
    if (file[at] != 'O' || file[at + 1] != 'g' || file[at + 2] != 'g' || file[at + 3] != 'S')
      continue;
    int64_t granule = 0;
    for (int b = 7; b >= 0; --b)
      granule = granule * 256 + file[at + 6 + static_cast<size_t>(b)];
    if (granule > 0)
      pages.push_back({at, granule});
  }
  return pages;
}

// A spectrum no analysis gives: every bin `value`.
Spectrum filledWith(float value) {
  Spectrum spectrum;
  spectrum.bins.fill(value);
  return spectrum;
}

void expectAll(const Spectrum &spectrum, float value) {
  for (int k = 0; k < kSpectrumBins; ++k)
    ASSERT_EQ(spectrum[k], value) << "bin " << k;
}

// ---------------------------------------------------------------------------
// The analyser on exact input

TEST(SpectrumAnalyser, FullScaleSineAtBinCentreReadsOneWhateverItsPhase) {
  SpectrumAnalyser analyser;
  Spectrum out;
  for (int bin : {1, 2, 37, 128, 254, 255}) {
    for (double phase : {0.0, 0.7, kPi / 2}) {
      analyser.analyseMono(monoTone(bin, 1.f, phase).data(), out);
      SCOPED_TRACE("bin " + std::to_string(bin) + " phase " + std::to_string(phase));
      EXPECT_NEAR(out[bin], 1.f, 1e-4f);
      // The Hann window's main lobe: half in each neighbour, nothing beyond.
      if (bin > 1) {
        EXPECT_NEAR(out[bin - 1], 0.5f, 1e-4f);
      }
      if (bin < 255) {
        EXPECT_NEAR(out[bin + 1], 0.5f, 1e-4f);
      }
      // Bins 0 and 1 hold the mirror image's lobe for the lowest tones.
      for (int k = 2; k < kSpectrumBins; ++k) {
        if (std::abs(k - bin) > 1) {
          EXPECT_LT(out[k], 1e-4f) << "bin " << k;
        }
      }
    }
  }
}

TEST(SpectrumAnalyser, MagnitudeFollowsAmplitude) {
  SpectrumAnalyser analyser;
  Spectrum out;
  analyser.analyseMono(monoTone(50, 0.5f).data(), out);
  EXPECT_NEAR(out[50], 0.5f, 1e-4f);
  analyser.analyseMono(monoTone(50, 0.f).data(), out);
  for (int k = 0; k < kSpectrumBins; ++k)
    EXPECT_EQ(out[k], 0.f) << "bin " << k;
}

TEST(SpectrumAnalyser, StereoIsMixedAsMeanOfTheChannels) {
  DecodedAudio audio;
  audio.sampleRate = 44100;
  audio.channels = 2;
  for (size_t f = 0; f < 2048; ++f) {
    const int16_t s = static_cast<int16_t>(std::lround(32767.0 * toneAt(30, f, 44100, 1.f)));
    audio.samples.push_back(s);
    audio.samples.push_back(0);
  }
  SpectrumAnalyser analyser;
  Spectrum out;
  analyser.analyse(audio, 1024, out);
  EXPECT_NEAR(out[30], 0.5f, 1e-3f); // (L + 0) / 2
  for (size_t f = 0; f < 2048; ++f)
    audio.samples[2 * f + 1] = static_cast<int16_t>(-audio.samples[2 * f]);
  analyser.analyse(audio, 1024, out);
  EXPECT_LT(out[30], 1e-6f); // L and -L cancel
}

// A constant half-scale signal: bin 0 reads 2 * 0.5 * (window weight covered)
// / (whole window weight), so the share of the window inside the music shows.
TEST(SpectrumAnalyser, FramesOutsideTheMusicAreSilence) {
  DecodedAudio audio;
  audio.sampleRate = 44100;
  audio.channels = 1;
  audio.samples.assign(4096, 16384);
  SpectrumAnalyser analyser;
  Spectrum out;

  analyser.analyse(audio, 0, out);
  EXPECT_EQ(out[0], 0.f);
  // The periodic window's halves weigh 127.5 (0-255) and 128.5 (256-511).
  analyser.analyse(audio, kFftSize / 2, out); // second half of the window inside
  EXPECT_NEAR(out[0], 128.5f / 256, 1e-4f);
  analyser.analyse(audio, kFftSize, out);
  EXPECT_NEAR(out[0], 1.f, 1e-4f);
  analyser.analyse(audio, 4096, out); // ends on the last frame
  EXPECT_NEAR(out[0], 1.f, 1e-4f);
  analyser.analyse(audio, 4096 + kFftSize / 2, out); // first half inside
  EXPECT_NEAR(out[0], 127.5f / 256, 1e-4f);
  analyser.analyse(audio, 4096 + kFftSize, out);
  EXPECT_EQ(out[0], 0.f);
  analyser.analyse(audio, static_cast<size_t>(-1), out);
  EXPECT_EQ(out[0], 0.f);
}

// ---------------------------------------------------------------------------
// Decoding

class MusicFiles : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<TempDir>();
    // Stereo 44.1 kHz, 2 s: bin 20 until 0.5 s, then bin 40.
    ASSERT_TRUE(writeOggVorbis(toneFile(), toneTrack(20, 40, 0.5, 2.0, 2, 44100), 2, 44100));
    // Mono 22.05 kHz, 0.5 s: bin 12 until 0.25 s, then bin 24.
    ASSERT_TRUE(writeOggVorbis(monoFile(), toneTrack(12, 24, 0.25, 0.5, 1, 22050), 1, 22050));
  }
  static void TearDownTestSuite() { dir_.reset(); }

  static std::string toneFile() { return dir_->file("tone.ogg"); }
  static std::string monoFile() { return dir_->file("mono.ogg"); }
  static std::string scratch(const std::string &name) { return dir_->file(name); }

  static std::unique_ptr<TempDir> dir_;
};

std::unique_ptr<TempDir> MusicFiles::dir_;

TEST_F(MusicFiles, DecodesMonoFileInItsOwnRate) {
  DecodedAudio audio;
  ASSERT_TRUE(decodeOggFile(monoFile(), audio));
  EXPECT_EQ(audio.channels, 1);
  EXPECT_EQ(audio.sampleRate, 22050);
  EXPECT_EQ(audio.frames(), static_cast<size_t>(0.5 * 22050));

  MusicStream music;
  ASSERT_TRUE(music.open(monoFile().c_str()));
  Spectrum out;
  ASSERT_TRUE(music.spectrumAt(0.2, out)); // times count in the file's own rate
  EXPECT_NEAR(out[12], 1.f, 0.05f);
  expectQuietAwayFrom(out, 12, 0.05f);
  ASSERT_TRUE(music.spectrumAt(0.4, out));
  EXPECT_NEAR(out[24], 1.f, 0.05f);
  expectQuietAwayFrom(out, 24, 0.05f);
}

TEST_F(MusicFiles, UnreadableFilesFailAndLeaveTheResultEmpty) {
  const std::vector<uint8_t> good = readFile(toneFile());
  ASSERT_GT(good.size(), 200u);
  writeFile(scratch("empty.ogg"), std::string());
  writeFile(scratch("garbage.ogg"), std::string(5000, 'x'));
  writeFile(scratch("header.ogg"), std::vector<uint8_t>(good.begin(), good.begin() + 100));
  for (const char *name : {"missing.ogg", "empty.ogg", "garbage.ogg", "header.ogg"}) {
    SCOPED_TRACE(name);
    DecodedAudio audio;
    audio.channels = 3; // must be cleared
    std::string error;
    EXPECT_FALSE(decodeOggFile(scratch(name), audio, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(audio.channels, 0);
    EXPECT_TRUE(audio.samples.empty());
  }
}

TEST_F(MusicFiles, DamageInsideTheAudioKeepsWhatDecodesAndSaysWhere) {
  DecodedAudio whole;
  std::string warning = "stale";
  ASSERT_TRUE(decodeOggFile(toneFile(), whole, nullptr, &warning));
  EXPECT_EQ(warning, "");
  const std::vector<uint8_t> good = readFile(toneFile());
  const std::vector<Page> pages = audioPages(good);
  ASSERT_GE(pages.size(), 3u);

  // Cut off inside the last page: the pages before it decode.
  writeFile(scratch("cut.ogg"),
            std::vector<uint8_t>(good.begin(),
                                 good.begin() + static_cast<std::ptrdiff_t>(pages.back().offset) + 50));
  DecodedAudio cut;
  ASSERT_TRUE(decodeOggFile(scratch("cut.ogg"), cut, nullptr, &warning));
  EXPECT_GT(cut.frames(), 0u);
  EXPECT_LT(cut.frames(), whole.frames());
  char end[32];
  std::snprintf(end, sizeof end, "at %.1f s,", static_cast<double>(cut.frames()) / 44100);
  EXPECT_NE(warning.find("cut off: the music ends early"), std::string::npos) << warning;
  EXPECT_NE(warning.find(end), std::string::npos) << warning;
  // Cut exactly after a whole page: every page read is sound, but the last
  // one does not end the stream.
  writeFile(scratch("cut-at-page.ogg"),
            std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(pages.back().offset)));
  ASSERT_TRUE(decodeOggFile(scratch("cut-at-page.ogg"), cut, nullptr, &warning));
  EXPECT_NE(warning.find("cut off"), std::string::npos) << warning;

  // Scrambled bytes inside a middle page: the decoder reports a hole there
  // and goes on with the pages after it.
  std::vector<uint8_t> broken = good;
  for (size_t i = pages[1].offset + 100; i < pages[1].offset + 600; ++i)
    broken[i] = static_cast<uint8_t>(i * 131);
  writeFile(scratch("broken.ogg"), broken);
  DecodedAudio damaged;
  ASSERT_TRUE(decodeOggFile(scratch("broken.ogg"), damaged, nullptr, &warning));
  EXPECT_EQ(damaged.channels, 2);
  EXPECT_GT(damaged.frames(), static_cast<size_t>(pages[0].granule));
  EXPECT_LT(damaged.frames(), whole.frames());
  EXPECT_NE(warning.find("damaged data at "), std::string::npos) << warning;
  EXPECT_EQ(warning.find("cut off"), std::string::npos) << warning;

  // MusicStream says it once, naming the file.
  forgetReportedFiles();
  MusicStream music;
  testing::internal::CaptureStderr();
  EXPECT_TRUE(music.open(scratch("broken.ogg").c_str()));
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(log.rfind(scratch("broken.ogg") + ": damaged data at ", 0), 0u) << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
}

// ---------------------------------------------------------------------------
// MusicStream

TEST_F(MusicFiles, SpectrumAtFindsTheToneOfThatTime) {
  MusicStream music;
  ASSERT_TRUE(music.init(nullptr, false));
  ASSERT_TRUE(music.open(toneFile().c_str()));
  EXPECT_EQ(music.audio().channels, 2);
  EXPECT_EQ(music.audio().sampleRate, 44100);
  EXPECT_EQ(music.audio().frames(), 2u * 44100);
  Spectrum spectrum = filledWith(-7.f);
  ASSERT_TRUE(music.spectrumAt(0.25, spectrum));
  EXPECT_NEAR(spectrum[20], 1.f, 0.05f);
  expectQuietAwayFrom(spectrum, 20, 0.05f);
  ASSERT_TRUE(music.spectrumAt(1.0, spectrum));
  EXPECT_NEAR(spectrum[40], 1.f, 0.05f);
  expectQuietAwayFrom(spectrum, 40, 0.05f);
  // Every bin is written: a magnitude is never negative.
  for (int k = 0; k < kSpectrumBins; ++k)
    ASSERT_GE(spectrum[k], 0.f) << "bin " << k;
}

TEST_F(MusicFiles, SpectrumAtBeforeTheStartAndAfterTheEndIsSilence) {
  MusicStream music;
  ASSERT_TRUE(music.open(toneFile().c_str()));
  Spectrum out;
  for (double seconds : {-5.0, 0.0, 2.0 + 512.0 / 44100, 100.0, 1e300, std::nan("")}) {
    SCOPED_TRACE(seconds);
    ASSERT_TRUE(music.spectrumAt(seconds, out));
    for (int k = 0; k < kSpectrumBins; ++k)
      ASSERT_EQ(out[k], 0.f) << "bin " << k;
  }
}

TEST_F(MusicFiles, WithoutAStreamTheSpectrumIsLeftAlone) {
  Spectrum spectrum = filledWith(0.25f);
  MusicStream music;
  EXPECT_FALSE(music.spectrumAt(0.0, spectrum)); // never opened
  expectAll(spectrum, 0.25f);
  ASSERT_TRUE(music.open(toneFile().c_str()));

  // A failed open drops the stream opened before.
  writeFile(scratch("junk.ogg"), std::string(300, 'O'));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(music.open(scratch("junk.ogg").c_str()));
  testing::internal::GetCapturedStderr();
  EXPECT_FALSE(music.hasStream());
  EXPECT_FALSE(music.spectrumAt(0.25, spectrum));
  expectAll(spectrum, 0.25f);
}

TEST_F(MusicFiles, MissingFileShowsBothMessagesAndPlaysNothing) {
  MusicStream music;
  ASSERT_TRUE(music.init(nullptr, false));
  testing::internal::CaptureStderr();
  const bool opened = music.open(scratch("nothing-here.ogg").c_str());
  const bool played = music.play(0.0);
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(opened);
  EXPECT_FALSE(played);
  EXPECT_FALSE(music.hasStream());
  EXPECT_FALSE(music.isPlaying());
  const size_t first = log.find("BASS: BASS error, file not found? (" + scratch("nothing-here.ogg") +
                                ": cannot open: No such file or directory)\n");
  const size_t second = log.find("BASS: BASS error, can not play stream?\n");
  ASSERT_NE(first, std::string::npos) << log;
  ASSERT_NE(second, std::string::npos) << log;
  EXPECT_LT(first, second);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;

  Spectrum spectrum = filledWith(0.25f);
  EXPECT_FALSE(music.spectrumAt(0.0, spectrum));
  expectAll(spectrum, 0.25f);
}

// The show's text guesses a missing file; the box says the file and the real
// reason too, in the same words as the line.
TEST_F(MusicFiles, AFileThatDoesNotOpenSaysWhyInTheBoxAsOnTheLine) {
  writeFile(scratch("emptied.ogg"), std::string());
  writeFile(scratch("text.ogg"), std::string(5000, 'x'));
  const std::pair<const char *, const char *> cases[] = {
      {"gone.ogg", "cannot open: No such file or directory"},
      {"emptied.ogg", "the file is empty"},
      {"text.ogg", "not an Ogg Vorbis file"}};
  int window = 0;
  SDL_Window *const owner = reinterpret_cast<SDL_Window *>(&window); // never dereferenced
  for (const auto &[name, why] : cases) {
    SCOPED_TRACE(name);
    RecordedBoxes boxes;
    MusicStream music;
    ASSERT_TRUE(music.init(owner, false));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(music.open(scratch(name).c_str()));
    const std::string log = testing::internal::GetCapturedStderr();
    const std::string text = "BASS error, file not found? (" + scratch(name) + ": " + why + ")";
    EXPECT_EQ(log, "BASS: " + text + "\n");
    ASSERT_EQ(boxes.all().size(), 1u);
    EXPECT_EQ(boxes.all()[0].text, text);
    EXPECT_EQ(boxes.all()[0].caption, "BASS");
    EXPECT_EQ(boxes.all()[0].owner, owner);
  }
}

// Given no window of its own, the music's boxes open in front of the show's
// window, from its start-up to its last play.
TEST_F(MusicFiles, WithoutAnOwnerTheBoxesBelongToTheShowsWindow) {
  int window = 0;
  SDL_Window *const show = reinterpret_cast<SDL_Window *>(&window); // never dereferenced
  RecordedBoxes boxes;
  setMessageOwner(show);
  MusicStream music;
  ASSERT_TRUE(music.init(nullptr, false));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(music.open(scratch("not-there.ogg").c_str()));
  EXPECT_FALSE(music.play(0.0));
  testing::internal::GetCapturedStderr();
  setMessageOwner(nullptr);
  ASSERT_EQ(boxes.all().size(), 2u);
  EXPECT_EQ(boxes.all()[0].owner, show);
  EXPECT_EQ(boxes.all()[1].text, "BASS error, can not play stream?");
  EXPECT_EQ(boxes.all()[1].owner, show);
}

TEST_F(MusicFiles, OpenResolvesDataNames) {
  setDataDirectory(dir_->path());
  MusicStream music;
  const bool opened = music.open("data/tone.ogg");
  setDataDirectory("");
  EXPECT_TRUE(opened);
}

TEST(MusicStream, BytePositionIsSecondsTimes176400TruncatedTowardZero) {
  EXPECT_EQ(MusicStream::bytePosition(0.0), 0);
  EXPECT_EQ(MusicStream::bytePosition(1.5), 264600);
  EXPECT_EQ(MusicStream::bytePosition(1.0), 176400);
  EXPECT_EQ(MusicStream::bytePosition(2.9 / 176400), 2);
  EXPECT_EQ(MusicStream::bytePosition(0.9 / 176400), 0);
  EXPECT_EQ(MusicStream::bytePosition(-1.9 / 176400), -1);
  EXPECT_EQ(MusicStream::bytePosition(std::nan("")), 0);
  EXPECT_GT(MusicStream::bytePosition(1e300), 0); // saturates, no overflow
}

TEST_F(MusicFiles, PlayStartsAtTheGivenTime) {
  MusicStream music;
  ASSERT_TRUE(music.init(nullptr, false));
  ASSERT_TRUE(music.open(toneFile().c_str()));
  ASSERT_TRUE(music.play(1.25));
  EXPECT_TRUE(music.isPlaying());
  EXPECT_FALSE(music.hasDevice());
  const size_t start = MusicStream::bytePosition(1.25) / 4;
  EXPECT_GE(music.positionFrames(), start);
  EXPECT_LT(music.positionFrames(), start + 44100 / 2);

  ASSERT_TRUE(music.play(-3.0)); // before the music: from the beginning
  EXPECT_LT(music.positionFrames(), 44100u / 2);
}

// Without a device the position follows the clock: sleeping past the switch
// at 0.5 s moves the peak from bin 20 to bin 40.
TEST_F(MusicFiles, SilentPlaybackFollowsTheClock) {
  MusicStream music;
  ASSERT_TRUE(music.init(nullptr, false));
  ASSERT_TRUE(music.open(toneFile().c_str()));
  ASSERT_TRUE(music.play(0.4));
  Spectrum spectrum;
  ASSERT_TRUE(music.spectrumAt(music.clockSeconds(), spectrum));
  EXPECT_EQ(loudestBin(spectrum), 20);
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  ASSERT_TRUE(music.spectrumAt(music.clockSeconds(), spectrum));
  EXPECT_EQ(loudestBin(spectrum), 40);
  EXPECT_NEAR(spectrum[40], 1.f, 0.05f);
}

// SDL's dummy driver consumes samples in real time, so the callback's frame
// count moves on like a real device's.
TEST_F(MusicFiles, DevicePlaybackAdvancesWithTheCallback) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  MusicStream music;
  ASSERT_TRUE(music.init(nullptr, true));
  ASSERT_TRUE(music.open(toneFile().c_str()));
  ASSERT_TRUE(music.play(0.3));
  ASSERT_TRUE(music.hasDevice());
  Spectrum out;
  ASSERT_TRUE(music.spectrumAt(music.clockSeconds(), out));
  EXPECT_EQ(loudestBin(out), 20);
  std::this_thread::sleep_for(std::chrono::milliseconds(350));
  EXPECT_GT(music.positionFrames(), static_cast<size_t>(0.5 * 44100));
  ASSERT_TRUE(music.spectrumAt(music.clockSeconds(), out));
  EXPECT_EQ(loudestBin(out), 40);

  // Opening again while the device runs stops playback first.
  ASSERT_TRUE(music.open(monoFile().c_str()));
  EXPECT_FALSE(music.isPlaying());
  EXPECT_FALSE(music.hasDevice());
}

// The clock follows the sound a device plays: it stays behind what was handed
// to the device by at least the block just handed over, never runs backwards
// across callbacks, and the spectrum is that of the samples at its time.
TEST_F(MusicFiles, TheDeviceClockFollowsTheSoundNeverBackwards) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  MusicStream music;
  ASSERT_TRUE(music.init(nullptr, true));
  ASSERT_TRUE(music.open(toneFile().c_str()));
  ASSERT_TRUE(music.play(0.1));
  ASSERT_TRUE(music.hasDevice());
  double last = music.clockSeconds();
  EXPECT_GE(last, 0.1);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  while (std::chrono::steady_clock::now() < until) {
    const double now = music.clockSeconds();
    ASSERT_GE(now, last);
    last = now;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  EXPECT_GT(last, 0.2); // it moved on (a loaded machine may starve the device)
  EXPECT_LT(last, 0.45); // never ahead of the time that passed

  // Paused, nothing moves: neither the clock nor the sound handed out.
  music.setPaused(true);
  const double held = music.clockSeconds();
  const size_t consumed = music.consumedFrames();
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  EXPECT_EQ(music.clockSeconds(), held);
  EXPECT_EQ(music.consumedFrames(), consumed);
  // The clock is behind the device's count by at least the block it holds.
  EXPECT_GE(static_cast<double>(consumed) - held * 44100.0, 1024.0 - 1.0);
  // The position in frames reads the same samples as the clock's time.
  Spectrum playing, atClock;
  SpectrumAnalyser analyser;
  analyser.analyse(music.audio(), music.positionFrames(), playing);
  ASSERT_TRUE(music.spectrumAt(held, atClock));
  for (int k = 0; k < kSpectrumBins; ++k)
    ASSERT_EQ(playing[k], atClock[k]) << "bin " << k;

  // A jump moves sound and clock together, paused or not; playback goes on
  // from there.
  music.seek(1.2);
  EXPECT_DOUBLE_EQ(music.clockSeconds(), 1.2);
  EXPECT_EQ(music.consumedFrames(), static_cast<size_t>(1.2 * 44100));
  music.setPaused(false);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_GT(music.clockSeconds(), 1.2);
  EXPECT_LT(music.clockSeconds(), 1.5);
  ASSERT_TRUE(music.spectrumAt(music.clockSeconds(), playing));
  EXPECT_EQ(loudestBin(playing), 40);
  music.seek(0.2);
  EXPECT_LT(music.clockSeconds(), 0.25);
}

// Play, pause, jump and resume in quick rounds while the device's thread runs
// the callback (SDL's dummy driver plays in real time). Each step leaves the
// clock where it says; under ThreadSanitizer (make test-thread) these rounds
// are where the callback and the caller's thread meet.
TEST_F(MusicFiles, PlayPauseAndJumpRoundsKeepTheClockWithTheDevice) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  MusicStream music;
  ASSERT_TRUE(music.init(nullptr, true));
  ASSERT_TRUE(music.open(toneFile().c_str()));
  // Until the callback has handed out sound past `frames`; a starved machine
  // fails here instead of hanging.
  const auto handedOutPast = [&music](size_t frames) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (music.consumedFrames() <= frames && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return music.consumedFrames() > frames;
  };
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE(round);
    const double start = 0.1 + 0.02 * (round % 20);
    ASSERT_TRUE(music.play(start));
    ASSERT_TRUE(music.hasDevice());
    const size_t startFrame = static_cast<size_t>(MusicStream::bytePosition(start) / 4);
    ASSERT_TRUE(handedOutPast(startFrame));
    const size_t played = music.positionFrames();
    EXPECT_GE(played, startFrame);

    music.setPaused(true);
    EXPECT_GE(music.positionFrames(), played);
    const double target = 1.5 - 0.01 * (round % 30);
    const size_t targetFrame = static_cast<size_t>(target * 44100);
    music.seek(target);
    EXPECT_EQ(music.positionFrames(), targetFrame);
    EXPECT_EQ(music.consumedFrames(), targetFrame);

    music.setPaused(false);
    ASSERT_TRUE(handedOutPast(targetFrame));
    EXPECT_GE(music.positionFrames(), targetFrame);
  }
}

// Without a device the steady clock drives it, held by a pause and moved by
// a jump the same way.
TEST_F(MusicFiles, TheSilentClockPausesAndJumps) {
  MusicStream music;
  ASSERT_TRUE(music.init(nullptr, false));
  ASSERT_TRUE(music.open(toneFile().c_str()));
  ASSERT_TRUE(music.play(0.5));
  music.setPaused(true);
  const double held = music.clockSeconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(music.clockSeconds(), held);
  music.seek(1.0);
  EXPECT_EQ(music.clockSeconds(), 1.0);
  music.setPaused(false);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_GT(music.clockSeconds(), 1.04);
}

// The decode runs on a worker thread; finishing it reports what open() does.
TEST_F(MusicFiles, DecodingInTheBackgroundGivesWhatOpenGives) {
  MusicStream music;
  music.openInBackground(toneFile().c_str());
  EXPECT_TRUE(music.finishOpen());
  EXPECT_NEAR(static_cast<double>(music.audio().frames()), 2.0 * 44100, 1024.0);
  RecordedBoxes boxes;
  music.openInBackground(scratch("nothing-here.ogg").c_str());
  testing::internal::CaptureStderr();
  EXPECT_FALSE(music.finishOpen());
  testing::internal::GetCapturedStderr();
  EXPECT_FALSE(music.hasStream());
}

// An audio device that cannot be opened (SDL's disk driver told to write where
// it cannot) is said with SDL's reason, in a box owned by the window, and the
// music plays on the silent clock.
TEST_F(MusicFiles, ADeviceThatDoesNotOpenIsReportedAndPlaysSilently) {
  const std::string driver = std::getenv("SDL_AUDIODRIVER") ? std::getenv("SDL_AUDIODRIVER") : "";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "/nonexistent-dir/sdlaudio.raw", 1);
  RecordedBoxes boxes;
  int window = 0;
  SDL_Window *const owner = reinterpret_cast<SDL_Window *>(&window); // never dereferenced
  {
    MusicStream music;
    ASSERT_TRUE(music.init(owner, true));
    ASSERT_TRUE(music.open(toneFile().c_str()));
    testing::internal::CaptureStderr();
    EXPECT_TRUE(music.play(0.0));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(music.hasDevice());
    EXPECT_TRUE(music.isPlaying());
    EXPECT_EQ(log.rfind("BASS: BASS error (cannot open the audio device: ", 0), 0u) << log;
    EXPECT_NE(log.find("; the show goes on silent)\n"), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_GT(music.positionFrames(), 0u); // the clock moves the music on
  }
  unsetenv("SDL_DISKAUDIOFILE");
  setenv("SDL_AUDIODRIVER", driver.c_str(), 1);
  ASSERT_EQ(boxes.all().size(), 1u);
  EXPECT_EQ(boxes.all()[0].caption, "BASS");
  EXPECT_EQ(boxes.all()[0].text, "BASS error");
  EXPECT_EQ(boxes.all()[0].owner, owner);
}

} // namespace
} // namespace demo::test
