// clock_drift: how far the show's clock is from the sound being played.
//
// Plays the show's music on SDL's audio device (choose it with
// SDL_AUDIODRIVER: "dummy" and "disk" pace themselves like hardware) for the
// whole show, or --seconds S, and every 10 ms compares three clocks:
//   show   MusicStream::clockSeconds(), what the show now runs on;
//   sound  the frames the device has taken, less the block it holds
//          (the position of the sample being played, to within a block);
//   timer  a steady clock started with the music, what the show ran on
//          before.
// Prints, every 30 s and at the end, the largest |show - sound| and the
// drift timer - sound.
//
//   clock_drift [--seconds S] [--data DIR]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "audio/music_stream.h"
#include "base/data_path.h"

using namespace demo;

int main(int argc, char **argv) {
  double seconds = 265.0;
  std::string dataDir;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--seconds") == 0)
      seconds = std::atof(argv[i + 1]);
    else if (std::strcmp(argv[i], "--data") == 0)
      dataDir = argv[i + 1];
  }
  setDataDirectory(dataDir.empty() ? defaultDataDirectory() : dataDir);
  MusicStream music;
  if (!music.init(nullptr, true) || !music.open("data/01.ogg") || !music.play(0.0) || !music.hasDevice()) {
    std::fprintf(stderr, "clock_drift: no music playing on an audio device\n");
    return 1;
  }
  const double rate = music.audio().sampleRate;
  const auto start = std::chrono::steady_clock::now();
  double worst = 0.0, last = 0.0, drift = 0.0;
  double nextReport = 30.0;
  std::printf("%8s %16s %16s\n", "sound s", "max |show-sound|", "timer - sound");
  for (;;) {
    const double show = music.clockSeconds();
    const double timer = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double sound = std::max(0.0, static_cast<double>(music.consumedFrames()) - 1024.0) / rate;
    worst = std::max(worst, std::fabs(show - sound));
    drift = timer - sound;
    last = sound;
    if (sound >= nextReport || sound >= seconds) {
      std::printf("%8.1f %13.1f ms %13.1f ms\n", sound, 1000.0 * worst, 1000.0 * drift);
      std::fflush(stdout);
      nextReport += 30.0;
    }
    if (sound >= seconds)
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::printf("over %.0f s of sound: show and sound at most %.1f ms apart; the timer drifted %.1f ms\n", last,
              1000.0 * worst, 1000.0 * drift);
  return 0;
}
