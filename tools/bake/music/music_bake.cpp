// The soundtrack group of the baker: renders the piece, masters it and
// writes 01.ogg.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "bake/bake.h"
#include "bake/music/master.h"
#include "bake/music/vorbis_writer.h"

namespace demo::bake {

namespace {
// The Ogg stream's serial number: fixed, so every bake writes the same bytes.
constexpr uint32_t kMusicSerial = 0x01;
constexpr float kMusicQuality = 0.5f;

double seconds(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}
} // namespace

void bakeMusic(BakeContext &context) {
  context.group("soundtrack");
  if (context.listOnly()) {
    context.writeBytes("01.ogg", {});
    return;
  }
  const auto renderStart = std::chrono::steady_clock::now();
  const std::clock_t cpuStart = std::clock();
  music::MasterReport report;
  const std::vector<float> stereo = music::renderSong(music::makeSoundtrack(), report);
  for (const std::string &problem : report.problems)
    std::fprintf(stderr, "bake: 01.ogg: %s\n", problem.c_str());
  const double renderSeconds = seconds(renderStart);

  const auto encodeStart = std::chrono::steady_clock::now();
  std::string error;
  const std::vector<uint8_t> bytes = music::encodeOggVorbis(stereo, 2, kMusicQuality, kMusicSerial, &error);
  const double encodeSeconds = seconds(encodeStart);
  const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  if (bytes.empty())
    std::fprintf(stderr, "bake: 01.ogg: %s\n", error.c_str());
  std::fprintf(stderr,
               "bake: 01.ogg: %zu notes, %.2f LUFS, peak %.2f dBFS; render %.1f s, encode %.1f s "
               "(%.1f s of processor time)\n",
               report.notes, report.loudness, 20.0 * std::log10(std::max(report.peak, 1e-9f)), renderSeconds,
               encodeSeconds, cpuSeconds);
  context.writeBytes("01.ogg", bytes);
}

} // namespace demo::bake
