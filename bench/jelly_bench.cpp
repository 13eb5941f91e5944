// The jelly's per-frame cost: one JellyMesh::step plus the mesh's
// recomputeNormals, as the letter scene runs them every frame (goal: at most
// 0.3 ms on one core), beside the literal version of the same model
// (reference/jelly_literal.h) on the same mesh. Divide the Literal time by
// the other to get the speed-up.
//
// Meshes: the in-memory blob (a geodesic sphere of 1,442 vertices, radius 20,
// about 90 neighbours per node) always; the baked gummi mesh too when there is
// one, at $DEMO_GUMMI or else at gummi.ebr in the default data directory.
//
// To keep the blob moving as in the show, every 30th step kicks three nodes
// picked by a fixed sequence, each with direction 350 x its normal and radius
// 15, like a strong beat does; those pokes are inside the timed loop.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "effects/jelly_mesh.h"
#include "base/data_path.h"
#include "reference/jelly_literal.h"
#include "scene/ebr_mesh.h"

namespace {

constexpr int kBlobFrequency = 12;
constexpr float kBlobRadius = 20.f;
constexpr int kStepsPerBeat = 30;

// Where the baked gummi mesh would be; "" when there is no file there.
std::string gummiPath() {
  const char *env = std::getenv("DEMO_GUMMI");
  const std::string path = env && *env ? std::string(env) : demo::defaultDataDirectory() + "/gummi.ebr";
  return std::ifstream(path).good() ? path : std::string();
}

// Three kicks at nodes drawn from a small LCG (the same sequence for both
// versions), as the letter scene does on a strong beat.
template <class Jelly> void beat(Jelly &jelly, uint32_t &seed, int32_t nodeCount) {
  for (int kick = 0; kick < 3; ++kick) {
    seed = seed * 1664525u + 1013904223u;
    const int32_t n = static_cast<int32_t>((seed >> 8) % static_cast<uint32_t>(nodeCount));
    const demo::Vec3 at = jelly.nodes()[n].position;
    const demo::Vec3 normal = jelly.nodes()[n].normal;
    jelly.poke(at, demo::Vec3{350.f * normal.x, 350.f * normal.y, 350.f * normal.z}, 15.f);
  }
}

// The literal version keeps its nodes in a public field.
struct LiteralView {
  demo::literal::JellyMesh jelly;
  explicit LiteralView(demo::EbrMesh &mesh) : jelly(mesh) {}
  const std::vector<demo::literal::JellyNode> &nodes() const { return jelly.nodes; }
  void poke(const demo::Vec3 &p, const demo::Vec3 &d, float r) { jelly.poke(p, d, r); }
  void step() { jelly.step(); }
};

double fastest(const std::vector<double> &times) { return *std::min_element(times.begin(), times.end()); }

template <class Jelly> void runFrames(benchmark::State &state, demo::EbrMesh &mesh) {
  if (mesh.parts.empty() || mesh.parts[0]->vertexCount == 0) {
    state.SkipWithError("the mesh has no vertices");
    return;
  }
  Jelly jelly(mesh);
  const int32_t nodeCount = mesh.parts[0]->vertexCount;
  uint32_t seed = 12345u;
  int64_t frame = 0;
  for (auto _ : state) {
    if (frame % kStepsPerBeat == 0)
      beat(jelly, seed, nodeCount);
    jelly.step();
    mesh.recomputeNormals();
    benchmark::DoNotOptimize(mesh.parts[0]->normals.data());
    benchmark::ClobberMemory();
    ++frame;
  }
  state.counters["vertices"] = static_cast<double>(nodeCount);
}

void BM_JellyStepBlob(benchmark::State &state) {
  demo::EbrMesh mesh = demo::literal::jellyBlob(kBlobFrequency, kBlobRadius);
  runFrames<demo::JellyMesh>(state, mesh);
}
BENCHMARK(BM_JellyStepBlob)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);

void BM_JellyStepBlobLiteral(benchmark::State &state) {
  demo::EbrMesh mesh = demo::literal::jellyBlob(kBlobFrequency, kBlobRadius);
  runFrames<LiteralView>(state, mesh);
}
BENCHMARK(BM_JellyStepBlobLiteral)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);

void BM_JellyStepGummi(benchmark::State &state) {
  const std::string path = gummiPath();
  if (path.empty()) {
    state.SkipWithError("no gummi.ebr (set DEMO_GUMMI or bake the data set)");
    return;
  }
  demo::EbrMesh mesh(path);
  runFrames<demo::JellyMesh>(state, mesh);
}
BENCHMARK(BM_JellyStepGummi)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);

void BM_JellyStepGummiLiteral(benchmark::State &state) {
  const std::string path = gummiPath();
  if (path.empty()) {
    state.SkipWithError("no gummi.ebr (set DEMO_GUMMI or bake the data set)");
    return;
  }
  demo::EbrMesh mesh(path);
  runFrames<LiteralView>(state, mesh);
}
BENCHMARK(BM_JellyStepGummiLiteral)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);

// Building the neighbour lists, once at load: every pair of vertices.
void BM_JellyBuildBlob(benchmark::State &state) {
  demo::EbrMesh mesh = demo::literal::jellyBlob(kBlobFrequency, kBlobRadius);
  for (auto _ : state) {
    demo::JellyMesh jelly(mesh);
    benchmark::DoNotOptimize(jelly.nodes().data());
  }
}
BENCHMARK(BM_JellyBuildBlob)->Unit(benchmark::kMillisecond);

} // namespace
