// null_backend.h - a backend that draws nothing: the drawing context keeps
// its State as with any backend, so code that only needs the state (and the
// tests of the state itself) runs without a window. Textures it "makes" get
// names 1, 2, 3, ...; it builds no programs.
#pragma once

#include <string>

#include "draw/draw.h"

namespace demo::draw {

class NullBackend : public Backend {
public:
  void setEnabled(const State &, Cap, bool) override {}
  void matrixMode(const State &) override {}
  void loadIdentity(const State &) override {}
  void pushMatrix(const State &) override {}
  void popMatrix(const State &) override {}
  void translate(const State &, float, float, float) override {}
  void rotate(const State &, float, float, float, float) override {}
  void scale(const State &, float, float, float) override {}
  void multMatrix(const State &, const float *) override {}
  void ortho(const State &, double, double, double, double, double, double) override {}
  void perspective(const State &, double, double, double, double) override {}
  void lookAt(const State &, double, double, double, double, double, double, double, double,
              double) override {}
  void colour(const State &) override {}
  void normal(const State &) override {}
  void texCoord(const State &, int) override {}
  void blendFunc(const State &) override {}
  void depthMask(const State &) override {}
  void colourMask(const State &) override {}
  void clearColour(const State &) override {}
  void clear(const State &, unsigned) override {}
  void pointSize(const State &) override {}
  uint32_t error() override { return 0; }
  void finish() override {}
  void light(const State &, int, LightParam, const float *) override {}
  void material(const State &, MaterialParam, const float *) override {}
  void shininess(const State &) override {}
  void fog(const State &) override {}
  void sphereMap(const State &) override {}
  void activeTexture(const State &) override {}
  void bindTexture(const State &) override {}
  void textureParameter(const State &, TextureParam, TextureValue) override {}
  uint32_t createTexture(const State &) override { return ++lastTexture_; }
  void deleteTexture(const State &, uint32_t) override {}
  void textureImage(const State &, int, PixelFormat, int, int, PixelFormat, const uint8_t *) override {}
  void textureLevels(const State &, float, float) override {}
  void textureMaxLevel(const State &, int) override {}
  void generateMipmaps(const State &) override {}
  void copyToTexture(const State &, int, int) override {}
  int maxTextureSize() override { return 16384; }
  void viewport(const State &) override {}
  void scissor(const State &) override {}
  bool programsAvailable() override { return false; }
  ProgramBuild buildProgram(ShaderStage, const std::string &) override { return {}; }
  void deleteProgram(uint32_t) override {}
  void useProgram(const State &) override {}
  int uniformLocation(uint32_t, const char *) override { return -1; }
  void uniform(int, int, const float *) override {}
  void uniformInt(int, int) override {}
  void disableArbPrograms() override {}
  void pushAttributes(const State &, unsigned) override {}
  void popAttributes(const State &) override {}
  void drawBatch(const State &, const Batch &) override {}
  void drawIndexed(const State &, const IndexedArrays &) override {}

private:
  uint32_t lastTexture_ = 0;
};

} // namespace demo::draw
