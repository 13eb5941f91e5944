// gl_common.h - what both OpenGL backends say to the driver the same way:
// blend factors, texture parameters, texel uploads and the compiler's logs.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <string>

#include "draw/draw.h"

namespace demo::draw {

GLenum glFactor(Factor factor);
GLenum glTextureParam(TextureParam param);

// Level `level` of the texture bound to the active unit, tightly packed rows
// (the unpack alignment is 1 for the upload and put back after).
void uploadTexels(int level, PixelFormat stored, int width, int height, PixelFormat given, const uint8_t *pixels);

// A shader's or a program's info log; empty when there is none.
std::string shaderLog(GLuint shader);
std::string programLog(GLuint program);

} // namespace demo::draw
