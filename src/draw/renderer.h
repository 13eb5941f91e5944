// renderer.h - which backend draws the show: "classic" (OpenGL's
// compatibility profile, the fixed-function calls the show was written
// with), "modern" (OpenGL 3.3 core) or "es" (OpenGL ES 3.0). The window asks
// for the matching context and makes the backend once it is current.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "draw/draw.h"

namespace demo::draw {

enum class Renderer : uint8_t { Classic, Modern, Es };

// "classic", "modern", "es".
const char *rendererName(Renderer renderer);
// The renderer a name names (exactly as above), or none.
std::optional<Renderer> parseRenderer(std::string_view name);
// The renderer DEMO_RENDERER names; classic where it is unset or empty, none
// where it names no renderer.
std::optional<Renderer> rendererFromEnvironment();

// The backend for `renderer`; the context of its kind must be current.
std::unique_ptr<Backend> makeBackend(Renderer renderer);

} // namespace demo::draw
