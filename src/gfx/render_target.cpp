#include "gfx/render_target.h"

#include <algorithm>
#include <array>
#include <utility>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "draw/draw.h"
#include "gfx/pass_profile.h"
#include "gfx/overlay.h"
#include "base/math.h"

namespace demo {

namespace {

// RenderTarget::allocatedBytes(): a tally for memory reports of the targets
// alive, process-wide because their textures all live in the one GL context
// of the process; nothing that draws reads it.
size_t gAllocatedBytes = 0;

// A texture side for an area side: the next power of two for anything up to
// the base picture's side, the side plus 1 to 16 unused texels beyond it.
int textureSide(int side, int baseSide) {
  if (side <= baseSide)
    return nextPowerOfTwo(side);
  return (side + kCopyMargin) / kCopyMargin * kCopyMargin;
}

} // namespace

size_t RenderTarget::allocatedBytes() { return gAllocatedBytes; }

RenderTarget::RenderTarget(int targetWidth, int targetHeight, TargetStorage storage, const FrameSize &frame)
    : width(targetWidth), height(targetHeight), screenWidth(frame.width), screenHeight(frame.height) {
  texWidth = textureSide(width, kBaseFrameWidth);
  texHeight = textureSide(height, kBaseFrameHeight);
  // A copy of a frame above scale 1 is shrunk through the levels down to
  // the one that matches the base picture (log2 s, rounded up).
  if (width > kBaseFrameWidth || height > kBaseFrameHeight) {
    shrinkLevel = static_cast<float>(std::log2(frame.scale()));
    mipLevels = shrinkLevel > 0.f ? static_cast<int>(std::ceil(shrinkLevel)) : 0;
  }

  // Zeros until the first copy: black, with alpha 0 where alpha is stored.
  std::vector<uint8_t> zeros(static_cast<size_t>(texWidth) * static_cast<size_t>(texHeight) * 4, 0);
  textureId = draw::createTexture();
  draw::textureImage(0, storage == TargetStorage::Rgba ? draw::PixelFormat::Rgba8 : draw::PixelFormat::Rgb8, texWidth,
                     texHeight, draw::PixelFormat::Rgba8, zeros.data());
  draw::textureParameter(draw::TextureParam::MinFilter, draw::TextureValue::Linear);
  draw::textureParameter(draw::TextureParam::MagFilter, draw::TextureValue::Linear);
  draw::textureParameter(draw::TextureParam::WrapS, draw::TextureValue::Repeat);
  draw::textureParameter(draw::TextureParam::WrapT, draw::TextureValue::Repeat);
  if (mipLevels > 0)
    draw::textureMaxLevel(mipLevels);
  if (textureId)
    gAllocatedBytes += bytes();

  uMax = static_cast<float>(width) / static_cast<float>(texWidth);
  vMax = static_cast<float>(height) / static_cast<float>(texHeight);
}

RenderTarget::~RenderTarget() { release(); }

RenderTarget::RenderTarget(RenderTarget &&other) noexcept { *this = std::move(other); }

RenderTarget &RenderTarget::operator=(RenderTarget &&other) noexcept {
  if (this == &other)
    return *this;
  release();
  textureId = other.textureId;
  width = other.width;
  height = other.height;
  texWidth = other.texWidth;
  texHeight = other.texHeight;
  uMax = other.uMax;
  vMax = other.vMax;
  screenWidth = other.screenWidth;
  screenHeight = other.screenHeight;
  mipLevels = other.mipLevels;
  shrinkLevel = other.shrinkLevel;
  mipmapStale_ = other.mipmapStale_;
  other.textureId = 0;
  return *this;
}

size_t RenderTarget::bytes() const {
  size_t total = 0;
  for (int level = 0; level <= mipLevels; ++level)
    total += static_cast<size_t>(std::max(texWidth >> level, 1)) *
             static_cast<size_t>(std::max(texHeight >> level, 1)) * 4;
  return total;
}

void RenderTarget::release() {
  if (!textureId)
    return;
  draw::deleteTexture(textureId);
  gAllocatedBytes -= bytes();
  textureId = 0;
}

void RenderTarget::setViewport() { draw::viewport(0, 0, width, height); }

void RenderTarget::copyFromScreen() {
  const ScopedPass profiled("copy");
  draw::bindTexture(textureId);
  draw::copyToTexture(width, height);
  mipmapStale_ = true;
  draw::viewport(0, 0, screenWidth, screenHeight);
}

bool RenderTarget::readAtBaseLevel() {
  if (mipLevels == 0)
    return false;
  const std::array<int, 4> &viewport = draw::state().viewport;
  if (!(viewport[2] < width && viewport[3] < height))
    return false;
  // The levels below the copy, made once per copy, and read at the base
  // picture's level: the lod clamp holds every fragment there (between two
  // levels, linearly, where the scale is not a power of two).
  if (mipmapStale_) {
    draw::generateMipmaps();
    mipmapStale_ = false;
  }
  draw::textureParameter(draw::TextureParam::MinFilter, draw::TextureValue::LinearMipmapLinear);
  draw::textureLevels(shrinkLevel, shrinkLevel);
  return true;
}

void RenderTarget::readWholeLevels() {
  draw::textureParameter(draw::TextureParam::MinFilter, draw::TextureValue::Linear);
  draw::textureLevels(-1000.f, 1000.f);
}

void RenderTarget::drawQuad(float x, float y, float dw, float dh) {
  const ScopedPass profiled("target draw");
  draw::enable(draw::Cap::Texture2D);
  draw::bindTexture(textureId);
  draw::disable(draw::Cap::DepthTest);
  pushIdentityMatrices();

  if (blendedDrawIsInvisible()) {
    endTexturedPass();
    return;
  }
  // Offsets in base pixels, whatever the frame's size.
  const float sw = static_cast<float>(kBaseFrameWidth), sh = static_cast<float>(kBaseFrameHeight);
  const float x0 = 2.f * x / sw - 1.f;
  const float y0 = 2.f * y / sh - 1.f;
  const float x1 = x0 + 2.f * dw / sw + 2.f;
  const float y1 = y0 + 2.f * dh / sh + 2.f;
  const bool shrinking = readAtBaseLevel();
  // Texture row 0 is the frame's bottom row, so the copy shows upright.
  draw::begin(draw::Primitive::Quads);
  draw::texCoord(0.f, 0.f);
  draw::vertex(x0, y0);
  draw::texCoord(uMax, 0.f);
  draw::vertex(x1, y0);
  draw::texCoord(uMax, vMax);
  draw::vertex(x1, y1);
  draw::texCoord(0.f, vMax);
  draw::vertex(x0, y1);
  draw::end();
  if (shrinking)
    readWholeLevels();

  endTexturedPass();
}

void RenderTarget::draw() { drawQuad(0.f, 0.f, 0.f, 0.f); }

void RenderTarget::drawBack() {
  const std::array<int, 4> &viewport = draw::state().viewport;
  const bool sameArea = viewport[0] == 0 && viewport[1] == 0 && viewport[2] == width && viewport[3] == height &&
                        width == screenWidth && height == screenHeight;
  if (!sameArea || !texelsDrawAsTheyAre()) {
    draw();
    return;
  }
  draw::bindTexture(textureId);
  draw::disable(draw::Cap::Texture2D);
  draw::enable(draw::Cap::DepthTest);
  draw::matrixMode(draw::MatrixMode::ModelView);
}

void RenderTarget::drawTinted(float r, float g, float b, float a) {
  draw::colour(r, g, b, a);
  draw();
}

void RenderTarget::drawAdditive(float r, float g, float b, float a) {
  draw::enable(draw::Cap::Blend);
  draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::One);
  draw::colour(r, g, b, a);
  draw();
  draw::colour(1.f, 1.f, 1.f, 1.f);
  draw::disable(draw::Cap::Blend);
}

void RenderTarget::drawAdditiveWhite() { drawAdditive(1.f, 1.f, 1.f, 1.f); }

void RenderTarget::copyTo(RenderTarget &other) {
  other.setViewport();
  draw::disable(draw::Cap::Blend);
  draw();
  other.copyFromScreen();
}

namespace {

// One pass of the blur in one quad: the sum of the 2 radius + 1 taps that
// blurPassByTaps adds as blended quads, at the same texture coordinates, each
// counted only where its shifted quad covers the fragment. The sum is worked
// out the way 8-bit blending adds the taps: each tap's colour and the tap
// weight as 8-bit values (`alpha8`, 0 to 255), their product rounded to 8
// bits, the running sum saturating at 255. So the picture stays what the
// taps give, burnt-out glows included.
// The program's body; RADIUS is defined in front of it, so that the loop has
// constant bounds and unrolls.
const char *const kBlurProgram = R"(
uniform sampler2D image;
uniform vec2 tapStep;
uniform vec2 areaMax;
uniform float alpha8;
void main() {
  vec2 st = gl_TexCoord[0].st;
  vec3 sum = vec3(0.0);
  for (int j = -RADIUS; j <= RADIUS; ++j) {
    vec2 p = st - float(j) * tapStep;
    // 1 where the tap's shifted quad covers the fragment, else 0.
    vec2 inside = step(vec2(0.0), p) * (vec2(1.0) - step(areaMax, p));
    vec4 t = texture2D(image, p);
    float a = floor(t.a * alpha8 + 0.5);
    vec3 c = floor(floor(t.rgb * 255.0 + 0.5) * a / 255.0 + 0.5);
    sum = min(sum + c * (inside.x * inside.y), vec3(255.0));
  }
  gl_FragColor = vec4(sum / 255.0, 1.0);
}
)";

struct BlurProgram {
  uint32_t program = 0;
  int tapStep = -1, areaMax = -1, alpha8 = -1;
};

// The blur programs by radius (built on first use), and whether to use them.
constexpr int kMaxProgramRadius = 8;
struct BlurPrograms {
  BlurProgram byRadius[kMaxProgramRadius + 1];
  bool tried[kMaxProgramRadius + 1] = {};
  bool wanted = true;
};

// Process-wide, and this is the one place it lives: the programs belong to
// the GL context, and a process has one (GLWindow handles one window), while
// the targets that blur are made by scenes that are handed no object standing
// for that context; every target shares them, so a program is built once per
// radius for the whole run, not once per target. `wanted` is the frame
// bench's and the tests' switch for the whole run. The programs are never
// deleted: they go with the context.
BlurPrograms &blurPrograms() {
  static BlurPrograms programs;
  return programs;
}

// The program for `radius`, or one with program 0 where GLSL is missing, the
// build failed or the radius is beyond the programs made.
const BlurProgram &blurProgram(int radius) {
  static const BlurProgram none;
  BlurPrograms &all = blurPrograms();
  if (radius < 0 || radius > kMaxProgramRadius)
    return none;
  BlurProgram &blur = all.byRadius[radius];
  if (all.tried[radius])
    return blur;
  all.tried[radius] = true;
  if (!draw::programsAvailable())
    return blur;
  const std::string source = "#version 120\n#define RADIUS " + std::to_string(radius) + "\n" + kBlurProgram;
  const draw::ProgramBuild built = draw::buildProgram(draw::ShaderStage::Fragment, source);
  if (!built.program)
    return blur;
  const uint32_t program = built.program;
  blur.program = program;
  blur.tapStep = draw::uniformLocation(program, "tapStep");
  blur.areaMax = draw::uniformLocation(program, "areaMax");
  blur.alpha8 = draw::uniformLocation(program, "alpha8");
  const uint32_t previous = draw::state().program;
  draw::useProgram(program);
  draw::uniformInt(draw::uniformLocation(program, "image"), 0);
  draw::useProgram(previous);
  return blur;
}

// What both kinds of blur pass leave: blending and texturing off, colour
// white, the matrices pushed by pushIdentityMatrices popped, depth test on.
void endBlurPass() {
  draw::disable(draw::Cap::Blend);
  draw::disable(draw::Cap::Texture2D);
  draw::colour(1.f, 1.f, 1.f, 1.f);
  draw::matrixMode(draw::MatrixMode::Projection);
  draw::popMatrix();
  draw::matrixMode(draw::MatrixMode::ModelView);
  draw::popMatrix();
  draw::enable(draw::Cap::DepthTest);
}

} // namespace

CornerScissor::CornerScissor(int width, int height) : wasOn_(draw::isEnabled(draw::Cap::ScissorTest)) {
  const std::array<int, 4> &box = draw::state().scissor;
  std::copy(box.begin(), box.end(), box_);
  draw::enable(draw::Cap::ScissorTest);
  draw::scissor(0, 0, width, height);
}

CornerScissor::~CornerScissor() {
  draw::scissor(box_[0], box_[1], box_[2], box_[3]);
  if (!wasOn_)
    draw::disable(draw::Cap::ScissorTest);
}

void RenderTarget::drawAreaQuad(float ox, float oy) const {
  draw::begin(draw::Primitive::Quads);
  draw::texCoord(0.f, 0.f);
  draw::vertex(ox - 1.f, oy - 1.f);
  draw::texCoord(uMax, 0.f);
  draw::vertex(ox + 1.f, oy - 1.f);
  draw::texCoord(uMax, vMax);
  draw::vertex(ox + 1.f, oy + 1.f);
  draw::texCoord(0.f, vMax);
  draw::vertex(ox - 1.f, oy + 1.f);
  draw::end();
}

bool RenderTarget::blurProgramAvailable() { return blurProgram(3).program != 0; }

void RenderTarget::useBlurProgram(bool use) { blurPrograms().wanted = use; }

void RenderTarget::blurPass(int passes, int radius, float spread, float intensity, float dirX, float dirY) {
  const ScopedPass profiled("blur");
  const BlurProgram &blur = blurProgram(radius);
  if (!blur.program || !blurPrograms().wanted || draw::state().activeUnit != 0) {
    blurPassByTaps(passes, radius, spread, intensity, dirX, dirY);
    return;
  }
  pushIdentityMatrices();
  draw::disable(draw::Cap::DepthTest);
  draw::disable(draw::Cap::Blend);
  draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::One);
  draw::bindTexture(textureId);
  draw::enable(draw::Cap::Texture2D);
  const uint32_t previous = draw::state().program;
  draw::useProgram(blur.program);
  // A tap is `spread` target pixels across; the vertical direction keeps the
  // horizontal clip step (see blurPassByTaps).
  const float step = spread / static_cast<float>(width);
  draw::uniform(blur.tapStep, step * uMax * dirX, step * vMax * dirY);
  draw::uniform(blur.areaMax, uMax, vMax);
  // GL clamps the colour's alpha the taps are drawn with, and blends with it
  // as an 8-bit value.
  float weight = intensity / static_cast<float>(2 * radius + 1);
  weight = weight < 0.f ? 0.f : weight > 1.f ? 1.f : weight;
  draw::uniform(blur.alpha8, std::floor(weight * 255.f + 0.5f));

  // The quad writes every pixel of the corner (blending off): nothing to
  // clear first, and the rest of the frame is left as it was.
  // Taps a whole number of pixels apart sample texel centres, where linear
  // filtering returns the texel itself: nearest sampling gives the same
  // values for much less work.
  const bool centres = spread == std::floor(spread);
  if (centres) {
    draw::textureParameter(draw::TextureParam::MinFilter, draw::TextureValue::Nearest);
    draw::textureParameter(draw::TextureParam::MagFilter, draw::TextureValue::Nearest);
  }
  for (int pass = 0; pass < passes; ++pass) {
    setViewport();
    draw::clearColour(0.f, 0.f, 0.f, 1.f);
    drawAreaQuad(0.f, 0.f);
    copyFromScreen();
  }

  if (centres) {
    draw::bindTexture(textureId);
    draw::textureParameter(draw::TextureParam::MinFilter, draw::TextureValue::Linear);
    draw::textureParameter(draw::TextureParam::MagFilter, draw::TextureValue::Linear);
  }
  draw::useProgram(previous);
  endBlurPass();
}

void RenderTarget::blurPassByTaps(int passes, int radius, float spread, float intensity, float dirX,
                                  float dirY) {
  const ScopedPass profiled("blur");
  pushIdentityMatrices();
  draw::disable(draw::Cap::DepthTest);
  draw::enable(draw::Cap::Blend);
  draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::One);

  // Each of the 2 radius + 1 taps adds the image at weight intensity / taps
  // (times the texel's alpha, 1 in frame copies): a box filter whose weights
  // sum to the intensity.
  const int taps = 2 * radius + 1;
  draw::colour(1.f, 1.f, 1.f, intensity / static_cast<float>(taps));
  draw::bindTexture(textureId);
  draw::enable(draw::Cap::Texture2D);

  // One tap is `spread` pixels across: the viewport is `width` pixels over two
  // clip units. Intentional: the vertical direction uses the same clip step,
  // so on a target that is not square vertical taps are spread x height /
  // width pixels apart; the scenes' glow sizes were tuned with this.
  const float step = 2.f * spread / static_cast<float>(width);

  for (int pass = 0; pass < passes; ++pass) {
    setViewport();
    // Only the corner the taps add into is cleared (a scissor: the viewport
    // does not limit draw::clear); the rest of the frame is left as it was.
    draw::clearColour(0.f, 0.f, 0.f, 1.f);
    {
      const CornerScissor corner(width, height);
      draw::clear(draw::kClearColour);
    }
    for (int j = -radius; j <= radius; ++j) {
      const float o = static_cast<float>(j) * step;
      drawAreaQuad(o * dirX, o * dirY);
    }
    // The sum replaces the image (and the viewport returns to the screen).
    copyFromScreen();
  }
  endBlurPass();
}

void RenderTarget::blur(int passes, int radius, float spread, float intensity) {
  blurPass(passes, radius, spread, intensity, 1.f, 0.f);
  blurPass(passes, radius, spread, intensity, 0.f, 1.f);
}

} // namespace demo
