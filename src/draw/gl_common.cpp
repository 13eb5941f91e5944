#include "draw/gl_common.h"

namespace demo::draw {

namespace {

template <typename GetValue, typename GetLog> std::string infoLog(GLuint object, GetValue getValue, GetLog getLog) {
  GLint length = 0;
  getValue(object, GL_INFO_LOG_LENGTH, &length);
  if (length <= 1)
    return std::string();
  std::string log(static_cast<size_t>(length), '\0');
  getLog(object, length, nullptr, &log[0]);
  log.resize(log.find('\0') == std::string::npos ? log.size() : log.find('\0'));
  return log;
}

} // namespace

GLenum glFactor(Factor factor) {
  switch (factor) {
  case Factor::Zero:
    return GL_ZERO;
  case Factor::One:
    return GL_ONE;
  case Factor::SrcAlpha:
    return GL_SRC_ALPHA;
  case Factor::OneMinusSrcAlpha:
    return GL_ONE_MINUS_SRC_ALPHA;
  case Factor::DstColor:
    return GL_DST_COLOR;
  case Factor::OneMinusDstColor:
    return GL_ONE_MINUS_DST_COLOR;
  case Factor::SrcColor:
    return GL_SRC_COLOR;
  case Factor::OneMinusSrcColor:
    return GL_ONE_MINUS_SRC_COLOR;
  }
  return GL_ONE;
}

GLenum glTextureParam(TextureParam param) {
  static const GLenum params[] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER};
  return params[static_cast<int>(param)];
}

void uploadTexels(int level, PixelFormat stored, int width, int height, PixelFormat given, const uint8_t *pixels) {
  // Rows are tightly packed (3 x width bytes for RGB): alignment 1 for the
  // upload, the caller's put back after.
  GLint unpack = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpack);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  static const GLint storage[] = {GL_RGB, GL_RGBA, GL_RGB8, GL_RGBA8};
  glTexImage2D(GL_TEXTURE_2D, level, storage[static_cast<int>(stored)], width, height, 0,
               hasAlpha(given) ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, pixels);
  glPixelStorei(GL_UNPACK_ALIGNMENT, unpack);
}

std::string shaderLog(GLuint shader) { return infoLog(shader, glGetShaderiv, glGetShaderInfoLog); }
std::string programLog(GLuint program) { return infoLog(program, glGetProgramiv, glGetProgramInfoLog); }

} // namespace demo::draw
