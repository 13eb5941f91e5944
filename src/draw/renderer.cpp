#include "draw/renderer.h"

#include <cstdlib>

#include "draw/gl_classic_backend.h"
#include "draw/gl_modern_backend.h"

namespace demo::draw {

const char *rendererName(Renderer renderer) {
  switch (renderer) {
  case Renderer::Modern:
    return "modern";
  case Renderer::Es:
    return "es";
  case Renderer::Classic:
    break;
  }
  return "classic";
}

std::optional<Renderer> parseRenderer(std::string_view name) {
  for (Renderer renderer : {Renderer::Classic, Renderer::Modern, Renderer::Es})
    if (name == rendererName(renderer))
      return renderer;
  return std::nullopt;
}

std::optional<Renderer> rendererFromEnvironment() {
  const char *name = std::getenv("DEMO_RENDERER");
  if (!name || !*name)
    return Renderer::Classic;
  return parseRenderer(name);
}

std::unique_ptr<Backend> makeBackend(Renderer renderer) {
  switch (renderer) {
  case Renderer::Modern:
    return makeModernBackend(ModernApi::Core33);
  case Renderer::Es:
    return makeModernBackend(ModernApi::Es30);
  case Renderer::Classic:
    break;
  }
  return makeClassicBackend();
}

} // namespace demo::draw
