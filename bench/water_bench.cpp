// water_bench - the water surface's CPU work per rendered frame: the water
// scene's three drops, one step, the normals and the vertex elevations (what
// draw writes before it submits). Goal: at most 0.25 ms a frame on one core.
//
// The plain reference version (reference/water_literal.h) runs the same frames beside
// it; divide the two "Frame" times for the speed-up. The drops follow the
// scene's recipe (a rain drop, a larger drop, a music drop circling the
// centre) with a synthetic spectrum, drawn up front so rand is not timed.
// Both surfaces are first run for a few hundred frames, so the timed frames
// see a rippled pool, not a flat one.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

#include "base/show_random.h"
#include "effects/water_surface.h"
#include "base/math.h"
#include "reference/water_literal.h"

namespace demo {
namespace {

struct Drop {
  float x, y, radius, strength;
};

constexpr int kFrames = 1024;  // drop sets, used round-robin
constexpr int kWarmUp = 300;

// Three drops per frame as the water scene makes them, at 60 frames a second
// with a pulsing synthetic bass.
const std::vector<Drop> &frameDrops() {
  static const std::vector<Drop> drops = [] {
    std::vector<Drop> out;
    out.reserve(3 * kFrames);
    ShowRandom random;
    float bass = 0.f;
    for (int f = 0; f < kFrames; ++f) {
      const float u = static_cast<float>(f) / 60.f;
      const float s0 = 0.3f + 0.25f * std::sin(7.f * u);
      const float s1 = 0.2f + 0.15f * std::sin(3.f * u);
      bass = (s0 + bass) * 0.8f;
      for (const auto &[scale, strength] : {std::pair{0.03f, 0.025f}, std::pair{0.09f, 0.01f}}) {
        const float r1 = random.unit();
        const float r2 = random.unit();
        const float r3 = random.unit();
        out.push_back(Drop{r3, r2, (r1 + 0.75f) * scale, strength});
      }
      out.push_back(Drop{0.5f + 0.25f * std::sin(u + bass), 0.5f + 0.25f * std::cos(3.f * bass + u),
                         0.05f + 0.1f * WaterSurface::softClamp(100.f * s1),
                         (WaterSurface::softClamp(670.f * s0) + 0.05f) * (std::sin(0.82345f * u) + 1.6f)});
    }
    return out;
  }();
  return drops;
}

template <typename Water> void addFrameDrops(Water &water, int frame) {
  const Drop *d = &frameDrops()[static_cast<size_t>(3 * (frame % kFrames))];
  for (int i = 0; i < 3; ++i)
    water.addDrop(d[i].x, d[i].y, d[i].radius, d[i].strength);
}

template <typename Water> void frame(Water &water, int f) {
  addFrameDrops(water, f);
  water.step();
  water.computeNormals();
  water.updateElevations();
}

template <typename Water> void warmUp(Water &water) {
  for (int f = 0; f < kWarmUp; ++f)
    frame(water, f);
}

template <typename Water> void BM_Frame(benchmark::State &state) {
  static Water water;  // large; kept off the stack
  water = Water();
  warmUp(water);
  int f = kWarmUp;
  for (auto _ : state) {
    frame(water, f++);
    benchmark::DoNotOptimize(water.vertices.data());
    benchmark::DoNotOptimize(water.normals.data());
    benchmark::ClobberMemory();
  }
}

template <typename Water> void BM_Drops(benchmark::State &state) {
  static Water water;
  water = Water();
  int f = 0;
  for (auto _ : state) {
    addFrameDrops(water, f++);
    benchmark::DoNotOptimize(water.cells.data());
    benchmark::ClobberMemory();
    if (f % kFrames == 0) {
      state.PauseTiming();
      water.reset(0.f);
      state.ResumeTiming();
    }
  }
}

template <typename Water> void BM_Step(benchmark::State &state) {
  static Water water;
  water = Water();
  warmUp(water);
  for (auto _ : state) {
    water.step();
    benchmark::DoNotOptimize(water.cells.data());
    benchmark::ClobberMemory();
  }
}

template <typename Water> void BM_Normals(benchmark::State &state) {
  static Water water;
  water = Water();
  warmUp(water);
  for (auto _ : state) {
    water.computeNormals();
    benchmark::DoNotOptimize(water.normals.data());
    benchmark::ClobberMemory();
  }
}

template <typename Water> void BM_Elevations(benchmark::State &state) {
  static Water water;
  water = Water();
  warmUp(water);
  for (auto _ : state) {
    water.updateElevations();
    benchmark::DoNotOptimize(water.vertices.data());
    benchmark::ClobberMemory();
  }
}

BENCHMARK_TEMPLATE(BM_Frame, WaterSurface)->Name("Water/Frame")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Frame, WaterLiteral)->Name("WaterLiteral/Frame")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Drops, WaterSurface)->Name("Water/ThreeDrops")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Drops, WaterLiteral)->Name("WaterLiteral/ThreeDrops")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Step, WaterSurface)->Name("Water/Step")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Step, WaterLiteral)->Name("WaterLiteral/Step")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Normals, WaterSurface)->Name("Water/Normals")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Normals, WaterLiteral)->Name("WaterLiteral/Normals")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Elevations, WaterSurface)->Name("Water/Elevations")->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Elevations, WaterLiteral)->Name("WaterLiteral/Elevations")->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace demo
