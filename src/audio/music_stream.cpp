#include "audio/music_stream.h"

#include "base/data_path.h"
#include "base/math.h"
#include "base/message.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <kissfft/kiss_fftr.h>

#include <SDL.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <future>
#include <limits>
#include <memory>
#include <system_error>
#include <utility>

namespace demo {

// ---------------------------------------------------------------------------
// Decoding

namespace {

// libvorbisfile reads through these so that the FILE stays ours: vorbisfile
// never closes it (no close callback), the unique_ptr in decodeOggFile does.
size_t readFile(void *ptr, size_t size, size_t count, void *source) {
  return std::fread(ptr, size, count, static_cast<std::FILE *>(source));
}

int seekFile(void *source, ogg_int64_t offset, int whence) {
  return fseeko(static_cast<std::FILE *>(source), static_cast<off_t>(offset), whence);
}

long tellFile(void *source) { return static_cast<long>(ftello(static_cast<std::FILE *>(source))); }

const char *openErrorText(int code) {
  switch (code) {
  case OV_EREAD:
    return "read error";
  case OV_ENOTVORBIS:
    return "not an Ogg Vorbis file";
  case OV_EVERSION:
    return "unsupported Vorbis version";
  case OV_EBADHEADER:
    return "broken Vorbis header";
  default:
    return "not a readable Ogg Vorbis file";
  }
}

void setError(std::string *error, const std::string &text) {
  if (error)
    *error = text;
}

// ov_read reports a gap in the data (lost or corrupt pages) as OV_HOLE and
// moves on past it. A file made of nothing but damage could keep answering
// holes for a long time; after this many in a row the rest is given up.
constexpr int kMaxHolesInARow = 4096;

// Reserving for the length the file claims saves copies on the show's long
// track, but a damaged last page can claim anything: past this many samples
// the vector just grows as the data comes.
constexpr ogg_int64_t kMaxReservedSamples = ogg_int64_t(1) << 26;

// Samples are stored in the host's byte order so that the SDL device can take
// them as AUDIO_S16SYS (little-endian on every machine the show runs on).
constexpr int kBigEndianHost = SDL_BYTEORDER == SDL_BIG_ENDIAN ? 1 : 0;

} // namespace

namespace {

std::string secondsText(size_t frames, int rate) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", rate > 0 ? static_cast<double>(frames) / rate : 0.0);
  return text;
}

// Whether the last whole Ogg page in `file` ends its stream. False for a file
// cut off before its end (or one with no Ogg page at all). Leaves the file
// position anywhere.
bool endsWithEndOfStream(std::FILE *file) {
  // An Ogg page is at most 65,307 bytes, so the last whole page starts within
  // twice that of the end.
  constexpr off_t kTail = 2 * 65536;
  if (!file || fseeko(file, 0, SEEK_END) != 0)
    return false;
  const off_t size = ftello(file);
  const off_t from = size > kTail ? size - kTail : 0;
  if (size <= 0 || fseeko(file, from, SEEK_SET) != 0)
    return false;
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  const long length = static_cast<long>(size - from);
  char *buffer = ogg_sync_buffer(&sync, length);
  const size_t got = buffer ? std::fread(buffer, 1, static_cast<size_t>(length), file) : 0;
  ogg_sync_wrote(&sync, static_cast<long>(got));
  bool lastEnds = false;
  bool anyPage = false;
  ogg_page page;
  for (;;) {
    const long step = ogg_sync_pageseek(&sync, &page);
    if (step == 0)
      break; // the rest is not a whole page
    if (step > 0) {
      anyPage = true;
      lastEnds = ogg_page_eos(&page) != 0;
    }
  }
  ogg_sync_clear(&sync);
  return anyPage && lastEnds;
}

} // namespace

bool decodeOggFile(const std::string &path, DecodedAudio &out, std::string *error, std::string *warning) {
  out = DecodedAudio();
  if (warning)
    warning->clear();
  std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) {
    // The system's reason: a missing file, a folder without access, ...
    setError(error, "cannot open: " + std::generic_category().message(errno));
    return false;
  }
  // An emptied file would read as "not an Ogg Vorbis file"; say what it is.
  if (fseeko(file.get(), 0, SEEK_END) == 0 && ftello(file.get()) == 0) {
    setError(error, "the file is empty");
    return false;
  }
  std::rewind(file.get());

  OggVorbis_File vf;
  const ov_callbacks callbacks = {readFile, seekFile, nullptr, tellFile};
  const int openResult = ov_open_callbacks(file.get(), &vf, nullptr, 0, callbacks);
  if (openResult != 0) {
    setError(error, openErrorText(openResult));
    return false;
  }

  const vorbis_info *info = ov_info(&vf, -1);
  if (!info || info->channels < 1 || info->rate < 1 || info->rate > std::numeric_limits<int>::max()) {
    ov_clear(&vf);
    setError(error, "unusable channel count or sample rate");
    return false;
  }
  DecodedAudio audio;
  audio.channels = info->channels;
  audio.sampleRate = static_cast<int>(info->rate);

  const ogg_int64_t totalFrames = ov_pcm_total(&vf, -1);
  if (totalFrames > 0 && totalFrames * audio.channels <= kMaxReservedSamples)
    audio.samples.reserve(static_cast<size_t>(totalFrames * audio.channels));

  char buffer[16384];
  int holesInARow = 0;
  int firstLink = -1;
  bool skipped = false;   // damaged data was skipped
  size_t skippedAt = 0;   // the first skip, in frames
  const char *stoppedBy = nullptr; // why decoding stopped before the end
  const size_t frameValues = static_cast<size_t>(audio.channels);
  for (;;) {
    int link = 0;
    const long got = ov_read(&vf, buffer, sizeof(buffer), kBigEndianHost, 2, 1, &link);
    if (got == 0)
      break; // end of the file
    if (got == OV_HOLE) {
      if (!skipped) {
        skipped = true;
        skippedAt = audio.samples.size() / frameValues;
      }
      if (++holesInARow > kMaxHolesInARow) {
        stoppedBy = "damaged data";
        break;
      }
      continue;
    }
    if (got < 0) {
      stoppedBy = "damaged data";
      break; // a hard error: keep what came before it
    }
    holesInARow = 0;
    if (firstLink < 0) {
      firstLink = link;
    } else if (link != firstLink) {
      // A chained file whose next part has another layout cannot share one
      // sample buffer; the music ends where that part begins.
      const vorbis_info *linkInfo = ov_info(&vf, link);
      if (!linkInfo || linkInfo->channels != audio.channels || linkInfo->rate != audio.sampleRate) {
        stoppedBy = "a later part of the file has another sample layout";
        break;
      }
    }
    const size_t count = static_cast<size_t>(got) / sizeof(int16_t);
    const size_t at = audio.samples.size();
    audio.samples.resize(at + count);
    std::memcpy(audio.samples.data() + at, buffer, count * sizeof(int16_t));
  }
  ov_clear(&vf); // leaves the FILE open (no close callback)

  // A broken packet can end the data mid-frame; keep whole frames only.
  audio.samples.resize(audio.samples.size() - audio.samples.size() % frameValues);
  if (audio.samples.empty()) {
    setError(error, "no audio data");
    return false;
  }
  // What a listener would hear go wrong: silence from a cut, or a skip.
  const std::string end = secondsText(audio.frames(), audio.sampleRate);
  std::string problem;
  if (stoppedBy)
    problem = std::string(stoppedBy) + ": the music ends early, at " + end + ", and is silent after that";
  else if (!endsWithEndOfStream(file.get()))
    problem = "the file is cut off: the music ends early, at " + end + ", and is silent after that";
  if (skipped)
    problem += std::string(problem.empty() ? "" : "; ") + "damaged data at " +
               secondsText(skippedAt, audio.sampleRate) + " was skipped";
  if (warning)
    *warning = problem;
  out = std::move(audio);
  return true;
}

// ---------------------------------------------------------------------------
// Spectrum

SpectrumAnalyser::SpectrumAnalyser() {
  config_ = kiss_fftr_alloc(kFftSize, 0, nullptr, nullptr);
  bins_ = new kiss_fft_cpx[kFftSize / 2 + 1];
  // Periodic Hann window. Its transform has only three non-zero terms (N/2 at
  // 0, -N/4 at +-1), so a sine exactly at bin k (0 < k < 256) puts
  // amplitude * sum(w) / 2 into bin k, half of that into bins k-1 and k+1 and
  // nothing anywhere else. Scaling by 2 / sum(w) makes that bin read the
  // sine's amplitude: a full-scale sine reads 1.0.
  double sum = 0.0;
  for (int n = 0; n < kFftSize; ++n) {
    const double w = 0.5 - 0.5 * std::cos(2.0 * kPi * n / kFftSize);
    window_[n] = static_cast<float>(w);
    sum += w;
  }
  // Bin 0 gets the same scale: a constant offset c reads 2c there.
  scale_ = static_cast<float>(2.0 / sum);
  std::memset(mono_, 0, sizeof(mono_));
}

SpectrumAnalyser::~SpectrumAnalyser() {
  kiss_fftr_free(config_);
  delete[] static_cast<kiss_fft_cpx *>(bins_);
}

void SpectrumAnalyser::analyse(const DecodedAudio &audio, size_t endFrame, Spectrum &out) {
  // The window covers frames endFrame - 512 .. endFrame - 1. Frames before
  // the music (endFrame < 512) and past its end are silence.
  const size_t frames = audio.frames();
  const size_t channels = static_cast<size_t>(audio.channels > 0 ? audio.channels : 1);
  const size_t lead = endFrame < static_cast<size_t>(kFftSize) ? kFftSize - endFrame : 0;
  const size_t first = endFrame - (kFftSize - lead);
  // (L + R) / 2 for stereo, the channel itself for mono: the mean of all
  // channels, mapped from 16-bit to [-1, 1].
  const float toUnit = 1.0f / (32768.0f * static_cast<float>(channels));
  const int16_t *samples = audio.samples.data();
  for (size_t i = 0; i < static_cast<size_t>(kFftSize); ++i) {
    float value = 0.f;
    if (i >= lead) {
      const size_t frame = first + (i - lead);
      if (frame < frames) {
        const int16_t *s = samples + frame * channels;
        int sum = 0;
        for (size_t c = 0; c < channels; ++c)
          sum += s[c];
        value = static_cast<float>(sum) * toUnit;
      }
    }
    mono_[i] = value;
  }
  analyseMono(mono_, out);
}

void SpectrumAnalyser::analyseMono(const float *mono512, Spectrum &out) {
  float windowed[kFftSize];
  for (int n = 0; n < kFftSize; ++n)
    windowed[n] = mono512[n] * window_[n];
  kiss_fft_cpx *bins = static_cast<kiss_fft_cpx *>(bins_);
  kiss_fftr(static_cast<kiss_fftr_cfg>(config_), windowed, bins);
  for (int k = 0; k < kSpectrumBins; ++k)
    out[k] = std::sqrt(bins[k].r * bins[k].r + bins[k].i * bins[k].i) * scale_;
}

// ---------------------------------------------------------------------------
// Playback

namespace {

double steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Holds an open audio device's lock for a scope, so that its callback is not
// running and does not start; without a device (0) it does nothing.
class DeviceLock {
public:
  explicit DeviceLock(SDL_AudioDeviceID device) : device_(device) {
    if (device_ != 0)
      SDL_LockAudioDevice(device_);
  }
  ~DeviceLock() {
    if (device_ != 0)
      SDL_UnlockAudioDevice(device_);
  }
  DeviceLock(const DeviceLock &) = delete;
  DeviceLock &operator=(const DeviceLock &) = delete;

private:
  SDL_AudioDeviceID device_;
};

// A frame index for `seconds` of music at `rate`: truncated or rounded, never
// negative, and clamped far enough past any real file that it cannot wrap.
size_t framesAt(double seconds, int rate, bool round) {
  const double frames = seconds * rate;
  if (!(frames > 0.0)) // also NaN
    return 0;
  constexpr double kFar = 9.0e15; // exactly representable, below SIZE_MAX
  if (frames >= kFar)
    return static_cast<size_t>(kFar);
  return static_cast<size_t>(round ? std::llround(frames) : static_cast<long long>(frames));
}

} // namespace

// A decode on the worker thread: what it read, and the messages it owes.
struct MusicStream::PendingOpen {
  std::string resolved;
  struct Result {
    DecodedAudio audio;
    bool ok = false;
    std::string error, warning;
  };
  std::future<Result> result;
};

MusicStream::MusicStream() = default;

MusicStream::~MusicStream() {
  if (pending_ && pending_->result.valid())
    pending_->result.wait();
  if (device_ != 0)
    SDL_CloseAudioDevice(device_);
  if (audioInitialised_)
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

namespace {

// Intentional: the three failure texts and their caption are the show's own,
// including the name of the audio library it was first built on. The
// standard-error line adds SDL's reason.
void reportNoSound(const char *what, SDL_Window *owner) {
  const char *reason = SDL_GetError();
  showMessage("BASS error", "BASS",
              std::string(what) + ": " + (reason && *reason ? reason : "no reason given") +
                  "; the show goes on silent",
              owner);
}

} // namespace

bool MusicStream::init(SDL_Window *owner, bool wantDevice) {
  owner_ = owner;
  wantDevice_ = wantDevice;
  if (!wantDevice || audioInitialised_)
    return true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    reportNoSound("cannot start the audio system", owner_);
    return false;
  }
  audioInitialised_ = true;
  return true;
}

void MusicStream::stopDevice() {
  // Closing waits for a running callback to return, so after this nothing
  // reads audio_ from the audio thread.
  if (device_ != 0) {
    SDL_CloseAudioDevice(device_);
    device_ = 0;
  }
  playing_ = false;
}

bool MusicStream::open(const char *path) {
  openInBackground(path);
  return finishOpen();
}

void MusicStream::openInBackground(const char *path) {
  if (pending_ && pending_->result.valid())
    pending_->result.wait();
  stopDevice(); // the callback must not read the samples while they change
  audio_ = DecodedAudio();
  pending_ = std::make_unique<PendingOpen>();
  pending_->resolved = resolveDataPath(path ? path : "");
  // The worker only reads the file and fills its own result; messages wait
  // for finishOpen, on the caller's thread.
  pending_->result = std::async(std::launch::async, [resolved = pending_->resolved] {
    PendingOpen::Result r;
    r.ok = decodeOggFile(resolved, r.audio, &r.error, &r.warning);
    return r;
  });
}

bool MusicStream::finishOpen() {
  if (!pending_)
    return hasStream();
  const std::unique_ptr<PendingOpen> pending = std::move(pending_);
  PendingOpen::Result r = pending->result.get();
  if (!r.ok) {
    // Intentional: the show's text, which guesses a missing file. The file
    // may well be there (emptied, or not Ogg Vorbis), so the reason goes
    // into the box too, in the same words as the standard-error line.
    const std::string text = "BASS error, file not found? (" + pending->resolved + ": " + r.error + ")";
    showMessage(text.c_str(), "BASS", owner_);
    return false;
  }
  audio_ = std::move(r.audio);
  if (!r.warning.empty())
    reportFileProblem(pending->resolved, r.warning);
  return true;
}

int64_t MusicStream::bytePosition(double startSeconds) {
  const double bytes = startSeconds * 176400.0;
  // Truncation toward zero; NaN and values past the 64-bit range saturate
  // instead of being undefined.
  if (std::isnan(bytes))
    return 0;
  constexpr double kLimit = 9.2e18; // just inside int64_t
  if (bytes >= kLimit)
    return static_cast<int64_t>(kLimit);
  if (bytes <= -kLimit)
    return -static_cast<int64_t>(kLimit);
  return static_cast<int64_t>(bytes);
}

bool MusicStream::play(double startSeconds) {
  if (!hasStream()) {
    showMessage("BASS error, can not play stream?", "BASS", owner_);
    return false;
  }
  stopDevice();

  // The byte position counts 44.1 kHz stereo 16-bit frames of 4 bytes; a file
  // in another layout starts at the same time in its own frames. A start
  // before 0 starts at the beginning.
  if (audio_.channels == 2 && audio_.sampleRate == 44100) {
    const int64_t bytes = bytePosition(startSeconds);
    startFrame_ = bytes > 0 ? static_cast<size_t>(bytes / 4) : 0;
  } else {
    startFrame_ = framesAt(startSeconds, audio_.sampleRate, false);
  }
  // No device is open here (stopDevice above), so the callback's fields are
  // written without its lock.
  framesPlayed_.store(startFrame_, std::memory_order_relaxed);
  anchorFrames_ = static_cast<double>(startFrame_);
  clockFloor_ = anchorFrames_;
  blockFrames_ = 0;
  paused_ = false;

  if (wantDevice_ && audioInitialised_) {
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = audio_.sampleRate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(audio_.channels > 255 ? 255 : audio_.channels);
    want.samples = 1024;
    want.callback = &MusicStream::audioCallback;
    want.userdata = this;
    SDL_AudioSpec have;
    // No changes allowed: SDL converts to whatever the hardware takes, so the
    // callback always hands out the file's own format.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ != 0) {
      blockFrames_ = have.samples;
      // The clock starts with the sound. The device's thread runs from the
      // open on, so the anchor is set under its lock, and before the device
      // starts: the first callback's anchor then comes after it.
      {
        const DeviceLock lock(device_);
        anchorTime_ = steadySeconds();
      }
      SDL_PauseAudioDevice(device_, 0);
    } else {
      reportNoSound("cannot open the audio device", owner_);
    }
  }
  // Without a device the position follows the steady clock from here on.
  if (device_ == 0)
    anchorTime_ = steadySeconds();
  playing_ = true;
  return true;
}

void MusicStream::audioCallback(void *userdata, uint8_t *stream, int len) {
  // Runs on SDL's audio thread: copies from the decoded samples, which do not
  // change while the device is open, and advances the frame counter. No locks.
  MusicStream *self = static_cast<MusicStream *>(userdata);
  const DecodedAudio &audio = self->audio_;
  const size_t frameBytes = static_cast<size_t>(audio.channels) * sizeof(int16_t);
  const size_t wanted = static_cast<size_t>(len > 0 ? len : 0) / frameBytes;
  const size_t position = self->framesPlayed_.load(std::memory_order_relaxed);
  const size_t frames = audio.frames();
  const size_t available = position < frames ? frames - position : 0;
  const size_t copied = wanted < available ? wanted : available;
  if (copied > 0)
    std::memcpy(stream, audio.samples.data() + position * static_cast<size_t>(audio.channels),
                copied * frameBytes);
  // Silence after the end (and in any odd bytes SDL asks for).
  std::memset(stream + copied * frameBytes, 0, static_cast<size_t>(len) - copied * frameBytes);
  self->framesPlayed_.store(position + wanted, std::memory_order_relaxed);
  // SDL holds the device's lock around this call. What is heard now: the
  // block before this one starts playing from the device's buffer, this one
  // waits behind it.
  self->anchorFrames_ = static_cast<double>(position) - static_cast<double>(wanted);
  self->anchorTime_ = steadySeconds();
}

double MusicStream::clockSeconds() {
  const double rate = audio_.sampleRate > 0 ? audio_.sampleRate : 44100.0;
  if (!playing_)
    return static_cast<double>(startFrame_) / rate;
  if (paused_)
    return pausedFrames_ / rate;
  double anchor, since;
  {
    const DeviceLock lock(device_);
    anchor = anchorFrames_;
    since = steadySeconds() - anchorTime_;
  }
  double frames = anchor + std::max(since, 0.0) * rate;
  // Between callbacks at most one block plays; a late callback holds the
  // clock rather than letting it run ahead of the sound.
  if (blockFrames_ > 0)
    frames = std::min(frames, anchor + static_cast<double>(blockFrames_));
  clockFloor_ = std::max(clockFloor_, frames);
  return clockFloor_ / rate;
}

void MusicStream::setPaused(bool paused) {
  if (!playing_ || paused == paused_)
    return;
  const double rate = audio_.sampleRate > 0 ? audio_.sampleRate : 44100.0;
  if (paused) {
    pausedFrames_ = clockSeconds() * rate;
    paused_ = true;
    if (device_ != 0)
      SDL_PauseAudioDevice(device_, 1);
    return;
  }
  // The clock goes on from where it stood; the next callback re-anchors it
  // to the sound (never backwards).
  {
    const DeviceLock lock(device_);
    anchorFrames_ = pausedFrames_;
    anchorTime_ = steadySeconds();
  }
  paused_ = false;
  if (device_ != 0)
    SDL_PauseAudioDevice(device_, 0);
}

void MusicStream::seek(double seconds) {
  const size_t target = framesAt(std::max(seconds, 0.0), audio_.sampleRate > 0 ? audio_.sampleRate : 44100, false);
  if (!playing_) {
    startFrame_ = target;
    return;
  }
  {
    const DeviceLock lock(device_);
    framesPlayed_.store(target, std::memory_order_relaxed);
    anchorFrames_ = static_cast<double>(target);
    anchorTime_ = steadySeconds();
  }
  clockFloor_ = static_cast<double>(target);
  pausedFrames_ = static_cast<double>(target);
}

size_t MusicStream::positionFrames() {
  // Rounded the way spectrumAt rounds a time, so both read the same samples.
  return framesAt(clockSeconds(), audio_.sampleRate > 0 ? audio_.sampleRate : 44100, true);
}

bool MusicStream::spectrumAt(double seconds, Spectrum &out) {
  if (!hasStream())
    return false;
  analyser_.analyse(audio_, framesAt(seconds, audio_.sampleRate, true), out);
  return true;
}

} // namespace demo
