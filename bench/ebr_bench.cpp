// EbrPart::recomputeNormals on a mesh the size the deforming scenes use: a
// 101 x 101 grid of vertices, 20,000 triangles, built in memory. Scenes call
// it every frame after moving vertices, so the figure is per call; the
// positions are nudged between calls so no two calls see the same input.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "scene/ebr_mesh.h"

namespace {

// (n + 1) x (n + 1) vertices in the x-y plane with a gentle bump in z, two
// counter-clockwise triangles per cell.
demo::EbrMesh gridMesh(int n) {
  std::vector<demo::Vec3> positions;
  std::vector<float> texCoords;
  std::vector<uint32_t> indices;
  for (int y = 0; y <= n; ++y)
    for (int x = 0; x <= n; ++x) {
      positions.push_back({static_cast<float>(x), static_cast<float>(y),
                           std::sin(0.3f * static_cast<float>(x)) * std::cos(0.2f * static_cast<float>(y))});
      texCoords.push_back(static_cast<float>(x) / static_cast<float>(n));
      texCoords.push_back(static_cast<float>(y) / static_cast<float>(n));
    }
  const auto at = [n](int x, int y) { return static_cast<uint32_t>(y * (n + 1) + x); };
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      indices.insert(indices.end(), {at(x, y), at(x + 1, y), at(x + 1, y + 1)});
      indices.insert(indices.end(), {at(x, y), at(x + 1, y + 1), at(x, y + 1)});
    }
  demo::EbrMesh mesh;
  mesh.addPart("grid", std::move(positions), std::move(texCoords), std::move(indices));
  return mesh;
}

void BM_RecomputeNormalsGrid20000Triangles(benchmark::State &state) {
  demo::EbrMesh mesh = gridMesh(100);
  if (mesh.parts.empty() || mesh.parts[0]->triangleCount != 20000) {
    state.SkipWithError("the grid mesh was not built");
    return;
  }
  demo::EbrPart &part = *mesh.parts[0];
  size_t frame = 0;
  for (auto _ : state) {
    part.positions[frame % part.positions.size()].z += 0.01f;
    part.recomputeNormals();
    benchmark::DoNotOptimize(part.normals.data());
    benchmark::ClobberMemory();
    ++frame;
  }
  state.counters["triangles"] = static_cast<double>(part.triangleCount);
  state.counters["vertices"] = static_cast<double>(part.vertexCount);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * part.triangleCount);
}
BENCHMARK(BM_RecomputeNormalsGrid20000Triangles)->Unit(benchmark::kMicrosecond);

} // namespace
