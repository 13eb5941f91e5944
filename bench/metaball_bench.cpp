// metaball_bench - one frame of the corridor's metaballs on the CPU.
//
// A frame is what the corridor scene asks of its 40-point field: clear, five
// balls (radius 4.5 to 6.5, placed as the scene places them), normals, and
// polygonising into a buffer. BM_Frame times MetaballField, BM_FrameLiteral
// the plain version of reference/metaball_literal.h; both walk the same list of
// scene clocks, one per iteration, covering the whole scene (goal for the
// optimised frame: at most 1.0 ms on one core). The Stage benchmarks split
// the frame. BM_FrameBatched hands the five balls over in one addBalls call
// (same values, one pass over the points instead of five). BM_DrawSurface times the GL submission alone (the field is
// built once) on a hidden window; without one it reports an error and is
// skipped.
#include <benchmark/benchmark.h>

#include <GL/glew.h>

#include <array>
#include <memory>
#include <vector>

#include "effects/metaball_field.h"
#include "platform/gl_window.h"
#include "reference/metaball_literal.h"
#include "scenes/corridor_scene.h"

namespace demo {
namespace {

constexpr int kGridSize = 40;
constexpr int kTimes = 64;
constexpr int kBufferTriangles = 1 << 16;

// Corridor clocks spread over the whole scene (T from 0 to about 106), on
// both sides of the switch at 35.87.
float clockAt(int index) { return 0.25f + 106.0f * static_cast<float>(index) / kTimes; }

template <class Field>
void addCorridorBalls(Field &field, float T) {
  for (const Metaball &b : corridorBalls(T))
    field.addBall(b.x, b.y, b.z, b.r);
}

int polygoniseAll(MetaballField &field, std::vector<SurfaceVertex> &buffer) {
  int triangles = 0;
  int nextCell = 0;
  while (nextCell < field.cellCount())
    triangles += field.polygonise(buffer.data(), kBufferTriangles, nextCell);
  return triangles;
}

// Frames of the optimised field over the scene's clocks; addBalls puts the
// five balls in for one clock.
template <class AddBalls>
void runFrames(benchmark::State &state, AddBalls addBalls) {
  MetaballField field(kGridSize);
  std::vector<SurfaceVertex> buffer(3 * kBufferTriangles);
  int t = 0;
  long triangles = 0;
  for (auto _ : state) {
    field.clearValues();
    addBalls(field, clockAt(t));
    field.updateNormals();
    triangles += polygoniseAll(field, buffer);
    benchmark::DoNotOptimize(buffer.data());
    t = (t + 1) % kTimes;
  }
  state.counters["triangles"] = benchmark::Counter(static_cast<double>(triangles), benchmark::Counter::kAvgIterations);
}

void BM_Frame(benchmark::State &state) {
  runFrames(state, [](MetaballField &field, float T) { addCorridorBalls(field, T); });
}
BENCHMARK(BM_Frame)->Unit(benchmark::kMicrosecond);

// The same frame with the five balls handed over in one addBalls call.
void BM_FrameBatched(benchmark::State &state) {
  runFrames(state, [](MetaballField &field, float T) {
    const std::array<Metaball, 5> balls = corridorBalls(T);
    field.addBalls(balls.data(), static_cast<int>(balls.size()));
  });
}
BENCHMARK(BM_FrameBatched)->Unit(benchmark::kMicrosecond);

void BM_FrameLiteral(benchmark::State &state) {
  literal::LiteralMetaballs field(kGridSize);
  std::vector<SurfaceVertex> buffer(field.maxVertices());
  int t = 0;
  long triangles = 0;
  for (auto _ : state) {
    field.clearValues();
    addCorridorBalls(field, clockAt(t));
    field.updateNormals();
    triangles += field.polygonise(buffer.data());
    benchmark::DoNotOptimize(buffer.data());
    t = (t + 1) % kTimes;
  }
  state.counters["triangles"] = benchmark::Counter(static_cast<double>(triangles), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FrameLiteral)->Unit(benchmark::kMicrosecond);

// The frame's stages one at a time, on the field of corridor clock 50.
enum Stage { kClear, kBalls, kNormals, kPolygonise, kBatchedBalls };

template <class Field>
void prepare(Field &field) {
  field.clearValues();
  addCorridorBalls(field, 50.0f);
  field.updateNormals();
}

void BM_Stage(benchmark::State &state) {
  MetaballField field(kGridSize);
  std::vector<SurfaceVertex> buffer(3 * kBufferTriangles);
  prepare(field);
  for (auto _ : state) {
    switch (state.range(0)) {
    case kClear:
      field.clearValues();
      break;
    case kBalls:
      addCorridorBalls(field, 50.0f);  // values grow; the cost does not depend on them
      break;
    case kNormals:
      field.updateNormals();
      break;
    case kBatchedBalls: {
      const std::array<Metaball, 5> balls = corridorBalls(50.0f);
      field.addBalls(balls.data(), static_cast<int>(balls.size()));
      break;
    }
    default:
      benchmark::DoNotOptimize(polygoniseAll(field, buffer));
    }
  }
}
BENCHMARK(BM_Stage)->ArgName("clear0_balls1_normals2_polygonise3_batched4")->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

void BM_StageLiteral(benchmark::State &state) {
  literal::LiteralMetaballs field(kGridSize);
  std::vector<SurfaceVertex> buffer(field.maxVertices());
  prepare(field);
  for (auto _ : state) {
    switch (state.range(0)) {
    case kClear:
      field.clearValues();
      break;
    case kBalls:
      addCorridorBalls(field, 50.0f);
      break;
    case kNormals:
      field.updateNormals();
      break;
    default:
      benchmark::DoNotOptimize(field.polygonise(buffer.data()));
    }
  }
}
BENCHMARK(BM_StageLiteral)->ArgName("clear0_balls1_normals2_polygonise3")->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// The immediate-mode submission of one frame's surface, finished each time.
void BM_DrawSurface(benchmark::State &state) {
  const std::unique_ptr<GLWindow> headless = openHeadlessWindow();
  GLWindow &window = *headless;
  if (!window.isOpen()) {
    state.SkipWithError("no OpenGL window could be opened");
    return;
  }
  MetaballField field(kGridSize);
  prepare(field);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_CULL_FACE);
  long triangles = 0;
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    triangles += field.drawSurface();
    glFinish();
  }
  state.counters["triangles"] = benchmark::Counter(static_cast<double>(triangles), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_DrawSurface)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace demo
