// The per-frame CPU cost of a scene graph: animate (one key search per track,
// a blend and a slerp per node) and updateTransforms (three 4 x 4 products per
// node). The scene is built in memory, 500 nodes each with ten position and
// ten rotation keys, in a tree a few levels deep like the show's files. It
// has no lights, so no GL context is needed. Times run over the whole track,
// so the key search sees every interval.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "scene/scene.h"

namespace {

constexpr int kNodes = 500;
constexpr int kKeys = 10;
constexpr int kTicksPerKey = 600; // a key every 0.2 s, the last at 1.8 s

std::unique_ptr<demo::SceneNode> makeNode(int index) {
  auto node = std::make_unique<demo::SceneNode>();
  std::vector<demo::NodeKey> positions(kKeys), rotations(kKeys);
  for (int k = 0; k < kKeys; ++k) {
    const float a = 0.1f * static_cast<float>(index + k);
    positions[static_cast<size_t>(k)].time = k * kTicksPerKey;
    positions[static_cast<size_t>(k)].position = demo::Vec3{std::cos(a) * 10.f, std::sin(a) * 10.f, 0.5f * k};
    rotations[static_cast<size_t>(k)].time = k * kTicksPerKey;
    rotations[static_cast<size_t>(k)].rotation = demo::Quat{0.f, std::sin(a), 0.f, std::cos(a)};
  }
  node->setPositionKeys(std::move(positions));
  node->setRotationKeys(std::move(rotations));
  return node;
}

// Node i hangs under node (i - 1) / 4: a four-way tree about five levels deep.
void buildTree(demo::Scene &scene) {
  std::vector<demo::SceneNode *> nodes;
  nodes.push_back(&scene.addChild(makeNode(0)));
  for (int i = 1; i < kNodes; ++i)
    nodes.push_back(&nodes[static_cast<size_t>((i - 1) / 4)]->addChild(makeNode(i)));
}

void BM_AnimateAndUpdateTransforms500Nodes(benchmark::State &state) {
  demo::Scene scene;
  buildTree(scene);
  float time = 0.f;
  for (auto _ : state) {
    scene.animate(time);
    scene.updateTransforms();
    benchmark::DoNotOptimize(scene.children[0]->world.m[12]);
    time += 1.f / 60.f;
    if (time > 2.f)
      time = 0.f;
  }
  state.SetItemsProcessed(state.iterations() * kNodes);
}
BENCHMARK(BM_AnimateAndUpdateTransforms500Nodes);

void BM_Animate500Nodes(benchmark::State &state) {
  demo::Scene scene;
  buildTree(scene);
  float time = 0.f;
  for (auto _ : state) {
    scene.animate(time);
    benchmark::DoNotOptimize(scene.children[0]->current.position.x);
    time += 1.f / 60.f;
    if (time > 2.f)
      time = 0.f;
  }
  state.SetItemsProcessed(state.iterations() * kNodes);
}
BENCHMARK(BM_Animate500Nodes);

void BM_UpdateTransforms500Nodes(benchmark::State &state) {
  demo::Scene scene;
  buildTree(scene);
  scene.animate(0.7f);
  for (auto _ : state) {
    scene.updateTransforms();
    benchmark::DoNotOptimize(scene.children[0]->world.m[12]);
  }
  state.SetItemsProcessed(state.iterations() * kNodes);
}
BENCHMARK(BM_UpdateTransforms500Nodes);

} // namespace
