#include "scenes/effect.h"

#include <cstdio>

#include "base/data_path.h"
#include "base/math.h"
#include "scene/scene.h"

namespace demo {

Effect::~Effect() = default;

double envelope(float centre, float attack, float release, float exponent, float t) {
  if (t < centre - attack)
    return 0.0;
  if (t < centre)
    return power(1.f - (centre - t) / attack, exponent);
  if (t <= centre + release)
    return power(1.f - (t - centre) / release, exponent);
  return 0.0;
}

namespace {
template <typename Node> Node *findNamed(Scene &scene, const char *name, const char *kind) {
  auto *node = dynamic_cast<Node *>(scene.findNode(name));
  // A file that could not be read was reported once already: nothing in it
  // is missing on its own.
  if (!node && !scene.unreadable) {
    std::fprintf(stderr, "%s: no %s named \"%s\"\n", resolveDataPath(scene.path.c_str()).c_str(), kind, name);
    std::fflush(stderr);
  }
  return node;
}
} // namespace

MeshNode *findMesh(Scene &scene, const char *name) { return findNamed<MeshNode>(scene, name, "mesh"); }

CameraNode *findCamera(Scene &scene, const char *name) { return findNamed<CameraNode>(scene, name, "camera"); }

} // namespace demo
