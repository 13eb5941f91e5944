// gsp_fuzz: the GSP scene reader on arbitrary bytes.
//
// Besides not crashing, a read must keep the reader's promises: a failed read
// leaves the scene empty, and a scene that did load writes out, reads back and
// writes the very same bytes again. Animation and world matrices then run over
// whatever the file held, the way a scene uses them every frame (plain C++,
// no GL). A broken promise ends the run like a crash, with a line saying which.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "scene/gsp_file.h"
#include "scene/scene.h"

namespace {

[[noreturn]] void broken(const char *promise) {
  std::fprintf(stderr, "gsp_fuzz: broken promise: %s\n", promise);
  std::abort();
}

// The times a scene is likely to be asked about: around the first and last
// key of every track.
void collectTimes(const demo::SceneNode &node, std::vector<float> &times) {
  for (const auto *track : {&node.positionKeys, &node.rotationKeys}) {
    if (track->empty())
      continue;
    times.push_back(static_cast<float>(track->front().time) / 3000.f);
    times.push_back(static_cast<float>(track->back().time) / 3000.f + 0.01f);
  }
  for (const auto &child : node.children)
    collectTimes(*child, times);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  demo::Scene scene;
  if (!demo::parseGsp(bytes, "fuzz.gsp", scene)) {
    if (!scene.children.empty() || !scene.materials.empty())
      broken("a failed read leaves the scene empty");
    return 0;
  }

  std::string error;
  const std::vector<uint8_t> written = demo::writeGsp(scene, &error);
  if (written.empty()) {
    std::fprintf(stderr, "gsp_fuzz: writer refused a scene that was read: %s\n", error.c_str());
    broken("a scene that was read can be written");
  }
  demo::Scene again;
  if (!demo::parseGsp(written, "again.gsp", again))
    broken("what the writer writes reads back");
  if (demo::writeGsp(again) != written)
    broken("writing what was read back gives the same bytes");

  std::vector<float> times{0.f, 1e6f};
  collectTimes(scene, times);
  if (times.size() > 16)
    times.resize(16);
  for (float t : times) {
    scene.animate(t);
    scene.updateWorld(demo::identity());
  }
  scene.prepare(false); // cameras find their targets (no textures: no GL)
  return 0;
}
