// music_stream.h - the soundtrack: playback, its clock and the spectrum.
//
// MusicStream plays one Ogg Vorbis file and answers with the 256 FFT
// magnitudes of the music at any time of it. The whole file is decoded when it
// is opened (libvorbisfile), so positions are exact and playback never waits
// for the decoder; an SDL audio device then plays the decoded samples from its
// callback, which counts the frames it hands out. That count is the playback
// position. Without an audio device (none found, or none wanted) the position
// follows a steady clock started at play(), so the show runs silent and the
// spectrum still follows the music.
//
// Use:
//   MusicStream music;
//   music.init(nullptr);           // "BASS error" box when no audio system
//   music.open("data/01.ogg");     // "BASS error, file not found? (<file>: <why>)"
//   music.play(0.0);               // "BASS error" when no device opens,
//                                  // "BASS error, can not play stream?" without a stream
//   Spectrum spectrum;
//   music.spectrumAt(music.clockSeconds(), spectrum); // what is heard now
//
// Boxes are owned by the window given to init(), or, given none, by the
// show's window (base/message.h's messageOwner). Every failure also writes one
// standard-error line naming the file or SDL's reason. A file that does not
// open names the file and why (missing, empty, not Ogg Vorbis, ...) in its box
// as well, since the show's text alone guesses a missing file. A damaged file
// that still decodes (cut off, or with skipped damage) is said once, with the
// time where the music goes silent or skips.
//
// The spectrum (base/spectrum.h) is a 512-sample FFT (kissfft) of the mono mix
// (L+R)/2 ending at the given time, under a Hann window, scaled so that a
// full-scale sine at a bin's centre frequency reads 1.0; bin i covers
// i * rate / 512 Hz. It depends on the time alone, not on playback: the live
// run and the capture read the same values at the same times. Before a
// successful open (or after a failed one) spectrumAt leaves the Spectrum as it
// was.
//
// The clock. clockSeconds() is the show time of the sample being heard: with
// a device, the frames handed to it less the block just handed over and one
// more block for the device's own buffer (SDL does not say its latency; one
// block is the usual), moved on with the steady clock between callbacks but
// never past the next block and never backwards; without a device, the
// steady clock since play(). setPaused holds sound and clock together, and
// seek moves both (playing or paused).
//
// Decoding the whole file takes a second or more, so openInBackground starts
// it on a worker thread (while the loading screen runs) and finishOpen waits
// for it and reports what open() would.
//
// What it does not do: loop, or stream from disk.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/spectrum.h"

struct SDL_Window;

namespace demo {

// The samples one spectrum is taken over.
constexpr int kFftSize = 512;

// Decoded music: interleaved 16-bit samples.
struct DecodedAudio {
  int sampleRate = 0;
  int channels = 0;
  std::vector<int16_t> samples; // frames * channels values
  size_t frames() const { return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0; }
};

// Decodes a whole Ogg Vorbis file. Returns false (and leaves `out` empty) when
// the file is missing or is not a readable Ogg Vorbis stream; `error` then says
// why in a few words. A file that decodes but is damaged (cut off before its
// end, or with damaged data that was skipped) returns true with what could be
// decoded, and `warning` says what is wrong and at which time of the music.
bool decodeOggFile(const std::string &path, DecodedAudio &out, std::string *error = nullptr,
                   std::string *warning = nullptr);

// The show's spectrum of `audio` for the 512 frames that end at `endFrame`
// (frames before the start of the music count as silence), into every bin of
// `out`. Reuses internal buffers; not thread-safe.
class SpectrumAnalyser {
public:
  SpectrumAnalyser();
  ~SpectrumAnalyser();
  SpectrumAnalyser(const SpectrumAnalyser &) = delete;
  SpectrumAnalyser &operator=(const SpectrumAnalyser &) = delete;

  void analyse(const DecodedAudio &audio, size_t endFrame, Spectrum &out);
  // The same on 512 mono samples already in [-1, 1].
  void analyseMono(const float *mono512, Spectrum &out);

private:
  void *config_ = nullptr; // kiss_fftr_cfg
  float window_[kFftSize];
  float scale_ = 0.f;
  float mono_[kFftSize];
  void *bins_ = nullptr; // kiss_fft_cpx[kFftSize / 2 + 1]
};

class MusicStream {
public:
  MusicStream();
  ~MusicStream();
  MusicStream(const MusicStream &) = delete;
  MusicStream &operator=(const MusicStream &) = delete;

  // Starts the audio output. When `wantDevice` is false no device is opened and
  // no message is shown (capture runs); otherwise a failure shows "BASS error"
  // and the stream later plays on the silent clock. Returns false on failure.
  bool init(SDL_Window *owner, bool wantDevice = true);
  // Decodes the file. Failure shows "BASS error, file not found?" followed by
  // the file and the reason, in the box and on the standard-error line alike.
  bool open(const char *path);
  // Starts playback at startSeconds. Failure (no stream) shows
  // "BASS error, can not play stream?". An audio device that does not open
  // shows "BASS error" and the stream plays on the silent clock.
  bool play(double startSeconds);

  // Decodes the file on a worker thread; finishOpen() waits for it and then
  // does what open() does after decoding (messages included). Returns
  // whether the stream is there.
  void openInBackground(const char *path);
  bool finishOpen();

  // The show time of the sample being heard (the start time before play()).
  double clockSeconds();
  // Holds (or resumes) the sound and the clock together.
  void setPaused(bool paused);
  bool isPaused() const { return paused_; }
  // Moves playback and the clock to `seconds` (a time before 0 to 0).
  void seek(double seconds);

  // The spectrum at any time of the music, playing or not (the playing
  // position's is spectrumAt(clockSeconds())). Returns false and leaves `out`
  // alone without a stream.
  bool spectrumAt(double seconds, Spectrum &out);

  // The byte position play() sets: seconds * 176400, truncated toward zero
  // (44100 frames a second, two channels of two bytes).
  static int64_t bytePosition(double startSeconds);

  bool hasStream() const { return !audio_.samples.empty(); }
  bool hasDevice() const { return device_ != 0; }
  bool isPlaying() const { return playing_; }
  // The clock's position in frames of the decoded audio.
  size_t positionFrames();
  // Frames handed to the device so far (the start frame without a device).
  size_t consumedFrames() const { return framesPlayed_.load(std::memory_order_relaxed); }
  const DecodedAudio &audio() const { return audio_; }

private:
  static void audioCallback(void *userdata, uint8_t *stream, int len);
  // Closes the device (waiting for its callback to finish) and stops playing.
  void stopDevice();

  SDL_Window *owner_ = nullptr;
  bool wantDevice_ = true;
  bool audioInitialised_ = false;
  uint32_t device_ = 0;
  DecodedAudio audio_;
  SpectrumAnalyser analyser_;
  bool playing_ = false;
  // What the audio callback touches, and the rule for it: audio_ is only read
  // there and changes only while no device is open; framesPlayed_,
  // anchorFrames_ and anchorTime_ are written by the callback, under the
  // device's lock that SDL holds around it, so while a device is open the
  // caller's thread writes them, and reads the anchor, only under that lock
  // too (play, seek, resume, the clock; framesPlayed_ is atomic so that
  // consumedFrames can read it any time). With no device open they belong to
  // the caller's thread.
  std::atomic<size_t> framesPlayed_{0}; // advanced by the audio callback
  size_t startFrame_ = 0;
  // The clock: the frame heard at the steady time of the anchor. The
  // callback moves the anchor; without a device play, seek and resume set it.
  double anchorFrames_ = 0.0;
  double anchorTime_ = 0.0;
  double clockFloor_ = 0.0;  // the clock never goes below what it last said
  size_t blockFrames_ = 0;   // frames per callback; 0 without a device
  bool paused_ = false;
  double pausedFrames_ = 0.0;
  // A decode running on the worker thread.
  struct PendingOpen;
  std::unique_ptr<PendingOpen> pending_;
};

} // namespace demo
