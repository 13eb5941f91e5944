// gl_classic_backend.h - the drawing interface on OpenGL's compatibility
// profile: every call becomes the fixed-function GL call the show has always
// made (glEnable, glRotatef, gluLookAt, glLightfv, glBegin ... glEnd,
// glDrawElements with client-side arrays), in the same order, so the
// pictures are exactly the show's. It needs a current GL context with its
// entry points loaded (GLEW), which the window provides.
#pragma once

#include <memory>

#include "draw/draw.h"

namespace demo::draw {

std::unique_ptr<Backend> makeClassicBackend();

} // namespace demo::draw
