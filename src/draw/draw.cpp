#include "draw/draw.h"

#include "draw/image_scaling.h"

#include <cassert>
#include <cmath>
#include <utility>

namespace demo::draw {

namespace {

// The context the calls act on, like OpenGL's current context: one per
// thread that draws, and the show draws from one thread.
thread_local Context *currentContext = nullptr;

Context &ctx() {
  assert(currentContext && "no drawing context is current: make the window (or the GL test fixture) first");
  return *currentContext;
}

// The top of the current stack, multiplied by m (as glMultMatrix does).
void multiplyCurrent(State &s, const Mat4 &m) {
  Mat4 &top = s.current(s.matrixMode);
  top = multiplied(top, m);
}

Mat4 translationMatrix(float x, float y, float z) {
  Mat4 m = identityMatrix();
  m[12] = x;
  m[13] = y;
  m[14] = z;
  return m;
}

// glRotate's matrix: `degrees` about the axis (x, y, z), normalised.
Mat4 rotationMatrix(float degrees, float x, float y, float z) {
  const float length = std::sqrt(x * x + y * y + z * z);
  if (length == 0.f)
    return identityMatrix();
  x /= length;
  y /= length;
  z /= length;
  const float radians = degrees * 3.14159265358979323846f / 180.f;
  const float c = std::cos(radians), s = std::sin(radians), t = 1.f - c;
  return Mat4{t * x * x + c,     t * x * y + s * z, t * x * z - s * y, 0.f, //
              t * x * y - s * z, t * y * y + c,     t * y * z + s * x, 0.f, //
              t * x * z + s * y, t * y * z - s * x, t * z * z + c,     0.f, //
              0.f,               0.f,               0.f,               1.f};
}

void setVertexAttributes(Vertex &v, const State &s) {
  v.colour[0] = s.colour[0];
  v.colour[1] = s.colour[1];
  v.colour[2] = s.colour[2];
  v.colour[3] = s.colour[3];
  v.normal[0] = s.normal[0];
  v.normal[1] = s.normal[1];
  v.normal[2] = s.normal[2];
  v.texCoord[0] = s.texCoord[0][0];
  v.texCoord[1] = s.texCoord[0][1];
  v.texCoord1[0] = s.texCoord[1][0];
  v.texCoord1[1] = s.texCoord[1][1];
}

} // namespace

Context::Context(std::unique_ptr<Backend> backend) : backend_(std::move(backend)) {}

void setCurrent(Context *context) { currentContext = context; }
Context *current() { return currentContext; }
const State &state() { return ctx().state(); }

void enable(Cap cap) {
  Context &c = ctx();
  c.mutableState().setEnabled(cap, true);
  c.backend().setEnabled(c.state(), cap, true);
}

void disable(Cap cap) {
  Context &c = ctx();
  c.mutableState().setEnabled(cap, false);
  c.backend().setEnabled(c.state(), cap, false);
}

bool isEnabled(Cap cap) { return ctx().state().isEnabled(cap); }

void matrixMode(MatrixMode mode) {
  Context &c = ctx();
  c.mutableState().matrixMode = mode;
  c.backend().matrixMode(c.state());
}

void loadIdentity() {
  Context &c = ctx();
  c.mutableState().current(c.state().matrixMode) = identityMatrix();
  c.backend().loadIdentity(c.state());
}

void pushMatrix() {
  Context &c = ctx();
  std::vector<Mat4> &stack = c.mutableState().stack(c.state().matrixMode);
  stack.push_back(stack.back());
  c.backend().pushMatrix(c.state());
}

void popMatrix() {
  Context &c = ctx();
  std::vector<Mat4> &stack = c.mutableState().stack(c.state().matrixMode);
  // Popping the last matrix is an error in OpenGL that leaves the stack as
  // it is; the same here.
  if (stack.size() > 1)
    stack.pop_back();
  c.backend().popMatrix(c.state());
}

void translate(float x, float y, float z) {
  Context &c = ctx();
  multiplyCurrent(c.mutableState(), translationMatrix(x, y, z));
  c.backend().translate(c.state(), x, y, z);
}

void rotate(float degrees, float x, float y, float z) {
  Context &c = ctx();
  multiplyCurrent(c.mutableState(), rotationMatrix(degrees, x, y, z));
  c.backend().rotate(c.state(), degrees, x, y, z);
}

void scale(float x, float y, float z) {
  Context &c = ctx();
  Mat4 m = identityMatrix();
  m[0] = x;
  m[5] = y;
  m[10] = z;
  multiplyCurrent(c.mutableState(), m);
  c.backend().scale(c.state(), x, y, z);
}

void multMatrix(const float *m) {
  Context &c = ctx();
  Mat4 b;
  for (int i = 0; i < 16; ++i)
    b[static_cast<size_t>(i)] = m[i];
  multiplyCurrent(c.mutableState(), b);
  c.backend().multMatrix(c.state(), m);
}

void ortho(double left, double right, double bottom, double top, double zNear, double zFar) {
  Context &c = ctx();
  Mat4 m = identityMatrix();
  m[0] = static_cast<float>(2.0 / (right - left));
  m[5] = static_cast<float>(2.0 / (top - bottom));
  m[10] = static_cast<float>(-2.0 / (zFar - zNear));
  m[12] = static_cast<float>(-(right + left) / (right - left));
  m[13] = static_cast<float>(-(top + bottom) / (top - bottom));
  m[14] = static_cast<float>(-(zFar + zNear) / (zFar - zNear));
  multiplyCurrent(c.mutableState(), m);
  c.backend().ortho(c.state(), left, right, bottom, top, zNear, zFar);
}

void perspective(double fovY, double aspect, double zNear, double zFar) {
  Context &c = ctx();
  // gluPerspective: f = cot(fovY / 2), the depth mapped from [-zNear, -zFar]
  // to [-1, 1].
  const double radians = fovY / 2.0 * 3.14159265358979323846 / 180.0;
  const double depth = zFar - zNear;
  // GLU leaves the matrix alone where the projection is degenerate.
  if (depth == 0.0 || std::sin(radians) == 0.0 || aspect == 0.0) {
    c.backend().perspective(c.state(), fovY, aspect, zNear, zFar);
    return;
  }
  const double f = std::cos(radians) / std::sin(radians);
  Mat4 m{};
  m[0] = static_cast<float>(f / aspect);
  m[5] = static_cast<float>(f);
  m[10] = static_cast<float>(-(zFar + zNear) / depth);
  m[11] = -1.f;
  m[14] = static_cast<float>(-2.0 * zNear * zFar / depth);
  multiplyCurrent(c.mutableState(), m);
  c.backend().perspective(c.state(), fovY, aspect, zNear, zFar);
}

void lookAt(double eyeX, double eyeY, double eyeZ, double centreX, double centreY, double centreZ, double upX,
            double upY, double upZ) {
  Context &c = ctx();
  // gluLookAt: the eye at the origin looking down -z, `up` tilted into the
  // plane of sight; the rows are side, up and -forward.
  float forward[3] = {static_cast<float>(centreX - eyeX), static_cast<float>(centreY - eyeY),
                      static_cast<float>(centreZ - eyeZ)};
  float up[3] = {static_cast<float>(upX), static_cast<float>(upY), static_cast<float>(upZ)};
  auto normalise = [](float *v) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length == 0.f)
      return;
    v[0] /= length;
    v[1] /= length;
    v[2] /= length;
  };
  auto crossed = [](const float *a, const float *b, float *r) {
    r[0] = a[1] * b[2] - a[2] * b[1];
    r[1] = a[2] * b[0] - a[0] * b[2];
    r[2] = a[0] * b[1] - a[1] * b[0];
  };
  normalise(forward);
  float side[3];
  crossed(forward, up, side);
  normalise(side);
  float trueUp[3];
  crossed(side, forward, trueUp);
  Mat4 m = identityMatrix();
  for (int i = 0; i < 3; ++i) {
    m[static_cast<size_t>(i * 4 + 0)] = side[i];
    m[static_cast<size_t>(i * 4 + 1)] = trueUp[i];
    m[static_cast<size_t>(i * 4 + 2)] = -forward[i];
  }
  State &s = c.mutableState();
  multiplyCurrent(s, m);
  multiplyCurrent(s, translationMatrix(static_cast<float>(-eyeX), static_cast<float>(-eyeY),
                                       static_cast<float>(-eyeZ)));
  c.backend().lookAt(c.state(), eyeX, eyeY, eyeZ, centreX, centreY, centreZ, upX, upY, upZ);
}

void colour(float r, float g, float b, float a) {
  Context &c = ctx();
  c.mutableState().colour = {r, g, b, a};
  if (c.inBatch())
    c.batch().colours = true;
  else
    c.backend().colour(c.state());
}

void colour(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  colour(r / 255.f, g / 255.f, b / 255.f, a / 255.f);
}

void normal(float x, float y, float z) {
  Context &c = ctx();
  c.mutableState().normal = {x, y, z};
  if (c.inBatch())
    c.batch().normals = true;
  else
    c.backend().normal(c.state());
}

void texCoord(float s, float t) { multiTexCoord(0, s, t); }

void multiTexCoord(int unit, float s, float t) {
  Context &c = ctx();
  c.mutableState().texCoord[static_cast<size_t>(unit)] = {s, t};
  if (!c.inBatch())
    c.backend().texCoord(c.state(), unit);
  else if (unit == 0)
    c.batch().texCoords = true;
  else
    c.batch().texCoords1 = true;
}

void begin(Primitive primitive) {
  Context &c = ctx();
  assert(!c.inBatch() && "begin inside begin ... end");
  Batch &batch = c.batch();
  batch.primitive = primitive;
  batch.vertices.clear();
  batch.colours = batch.normals = batch.texCoords = batch.texCoords1 = false;
  c.setInBatch(true);
}

void vertex(float x, float y, float z) {
  Context &c = ctx();
  assert(c.inBatch() && "vertex outside begin ... end");
  Vertex v;
  v.position[0] = x;
  v.position[1] = y;
  v.position[2] = z;
  setVertexAttributes(v, c.state());
  c.batch().vertices.push_back(v);
}

void end() {
  Context &c = ctx();
  assert(c.inBatch() && "end without begin");
  c.setInBatch(false);
  c.backend().drawBatch(c.state(), c.batch());
}

void drawIndexed(const IndexedArrays &arrays) {
  Context &c = ctx();
  c.backend().drawIndexed(c.state(), arrays);
}

void blendFunc(Factor source, Factor destination) {
  Context &c = ctx();
  c.mutableState().blendSource = source;
  c.mutableState().blendDestination = destination;
  c.backend().blendFunc(c.state());
}

void depthMask(bool on) {
  Context &c = ctx();
  c.mutableState().depthMask = on;
  c.backend().depthMask(c.state());
}

void colourMask(bool on) {
  Context &c = ctx();
  c.mutableState().colourMask = on;
  c.backend().colourMask(c.state());
}

void pointSize(float size) {
  Context &c = ctx();
  c.mutableState().pointSize = size;
  c.backend().pointSize(c.state());
}

void clearColour(float r, float g, float b, float a) {
  Context &c = ctx();
  c.mutableState().clearColour = {r, g, b, a};
  c.backend().clearColour(c.state());
}

void clear(unsigned buffers) {
  Context &c = ctx();
  c.backend().clear(c.state(), buffers);
}

uint32_t error() { return ctx().backend().error(); }

void finish() { ctx().backend().finish(); }

bool programsAvailable() { return ctx().backend().programsAvailable(); }
ProgramBuild buildProgram(ShaderStage stage, const std::string &source) {
  return ctx().backend().buildProgram(stage, source);
}
void deleteProgram(uint32_t program) {
  // A program that outlives its window went with the window's GL context.
  if (!currentContext)
    return;
  currentContext->backend().deleteProgram(program);
}
void useProgram(uint32_t program) {
  Context &c = ctx();
  c.mutableState().program = program;
  c.backend().useProgram(c.state());
}
int uniformLocation(uint32_t program, const char *name) { return ctx().backend().uniformLocation(program, name); }
void uniform(int location, float x) { ctx().backend().uniform(location, 1, &x); }
void uniform(int location, float x, float y) {
  const float values[2] = {x, y};
  ctx().backend().uniform(location, 2, values);
}
void uniformInt(int location, int value) { ctx().backend().uniformInt(location, value); }
void disableArbPrograms() {
  Context &c = ctx();
  c.mutableState().setEnabled(Cap::VertexProgramArb, false);
  c.mutableState().setEnabled(Cap::FragmentProgramArb, false);
  c.backend().disableArbPrograms();
}

void pushAttributes(unsigned groups) {
  Context &c = ctx();
  c.saved().emplace_back(groups, c.state());
  c.backend().pushAttributes(c.state(), groups);
}

void popAttributes() {
  Context &c = ctx();
  if (c.saved().empty()) {
    c.backend().popAttributes(c.state()); // an error in OpenGL too; nothing is restored
    return;
  }
  const unsigned groups = c.saved().back().first;
  const State &was = c.saved().back().second;
  State &s = c.mutableState();
  if (groups & kEnableGroup) {
    s.enabled = was.enabled;
    s.unitEnabled = was.unitEnabled;
  }
  if (groups & kCurrentGroup) {
    s.colour = was.colour;
    s.normal = was.normal;
    s.texCoord = was.texCoord;
  }
  if (groups & kColourBufferGroup) {
    s.blendSource = was.blendSource;
    s.blendDestination = was.blendDestination;
    s.colourMask = was.colourMask;
    s.clearColour = was.clearColour;
    s.enabled.set(static_cast<size_t>(Cap::Blend), was.isEnabled(Cap::Blend));
  }
  if (groups & kViewportGroup)
    s.viewport = was.viewport;
  if (groups & kDepthBufferGroup) {
    s.depthMask = was.depthMask;
    s.enabled.set(static_cast<size_t>(Cap::DepthTest), was.enabled.test(static_cast<size_t>(Cap::DepthTest)));
  }
  if (groups & kTransformGroup) {
    s.matrixMode = was.matrixMode;
    s.enabled.set(static_cast<size_t>(Cap::Normalize), was.enabled.test(static_cast<size_t>(Cap::Normalize)));
  }
  if (groups == kAllGroups) {
    s.lights = was.lights;
    s.material = was.material;
    s.fog = was.fog;
    s.scissor = was.scissor;
    s.pointSize = was.pointSize;
    s.sphereMap = was.sphereMap;
    s.boundTexture = was.boundTexture;
    s.activeUnit = was.activeUnit;
  }
  c.saved().pop_back();
  c.backend().popAttributes(c.state());
}

void light(int index, LightParam param, const float *values) {
  Context &c = ctx();
  Light &l = c.mutableState().lights[static_cast<size_t>(index)];
  const std::array<float, 4> v{values[0], values[1], values[2], values[3]};
  switch (param) {
  case LightParam::Ambient:
    l.ambient = v;
    break;
  case LightParam::Diffuse:
    l.diffuse = v;
    break;
  case LightParam::Specular:
    l.specular = v;
    break;
  case LightParam::Position:
    // Fixed in eye space now: a later camera does not move it.
    l.eyePosition = transformed(c.state().modelView.back(), v);
    break;
  }
  c.backend().light(c.state(), index, param, values);
}

void material(MaterialParam param, const float *values) {
  Context &c = ctx();
  Material &m = c.mutableState().material;
  const std::array<float, 4> v{values[0], values[1], values[2], values[3]};
  switch (param) {
  case MaterialParam::Ambient:
    m.ambient = v;
    break;
  case MaterialParam::Diffuse:
    m.diffuse = v;
    break;
  case MaterialParam::Specular:
    m.specular = v;
    break;
  case MaterialParam::Emission:
    m.emission = v;
    break;
  }
  c.backend().material(c.state(), param, values);
}

void shininess(float value) {
  Context &c = ctx();
  c.mutableState().material.shininess = value;
  c.backend().shininess(c.state());
}

void linearFog(float start, float end, const float *colour) {
  Context &c = ctx();
  Fog &fog = c.mutableState().fog;
  fog.linear = true;
  fog.start = start;
  fog.end = end;
  fog.colour = {colour[0], colour[1], colour[2], colour[3]};
  c.backend().fog(c.state());
}

void fogDensity(float density) {
  Context &c = ctx();
  c.mutableState().fog.density = density;
  c.backend().fog(c.state());
}

void sphereMap(bool on) {
  Context &c = ctx();
  State &s = c.mutableState();
  if (on)
    s.sphereMap[static_cast<size_t>(s.activeUnit)] = true;
  s.setEnabled(Cap::TextureGenS, on);
  s.setEnabled(Cap::TextureGenT, on);
  c.backend().sphereMap(c.state());
}

void activeTexture(int unit) {
  Context &c = ctx();
  c.mutableState().activeUnit = unit;
  c.backend().activeTexture(c.state());
}

void bindTexture(uint32_t texture) {
  Context &c = ctx();
  c.mutableState().boundTexture[static_cast<size_t>(c.state().activeUnit)] = texture;
  c.backend().bindTexture(c.state());
}

void textureParameter(TextureParam param, TextureValue value) {
  Context &c = ctx();
  c.backend().textureParameter(c.state(), param, value);
}

uint32_t createTexture() {
  Context &c = ctx();
  const uint32_t texture = c.backend().createTexture(c.state());
  c.mutableState().boundTexture[static_cast<size_t>(c.state().activeUnit)] = texture;
  return texture;
}

void deleteTexture(uint32_t texture) {
  if (!currentContext || texture == 0)
    return;
  Context &c = *currentContext;
  // A deleted texture is unbound from every unit that had it.
  for (uint32_t &bound : c.mutableState().boundTexture)
    if (bound == texture)
      bound = 0;
  c.backend().deleteTexture(c.state(), texture);
}

void textureImage(int level, PixelFormat stored, int width, int height, PixelFormat given, const uint8_t *pixels) {
  Context &c = ctx();
  c.backend().textureImage(c.state(), level, stored, width, height, given, pixels);
}

void textureLevels(float minLod, float maxLod) {
  Context &c = ctx();
  c.backend().textureLevels(c.state(), minLod, maxLod);
}

void textureMaxLevel(int level) {
  Context &c = ctx();
  c.backend().textureMaxLevel(c.state(), level);
}

void generateMipmaps() {
  Context &c = ctx();
  c.backend().generateMipmaps(c.state());
}

void textureMipmapped(PixelFormat format, int width, int height, const uint8_t *pixels) {
  Context &c = ctx();
  const int channels = hasAlpha(format) ? 4 : 3;
  const std::vector<MipLevel> levels =
      buildMipmaps(pixels, width, height, channels, c.backend().maxTextureSize());
  for (size_t level = 0; level < levels.size(); ++level)
    c.backend().textureImage(c.state(), static_cast<int>(level), format, levels[level].width, levels[level].height,
                             format, levels[level].pixels.data());
}

int maxTextureSize() { return ctx().backend().maxTextureSize(); }

void copyToTexture(int width, int height) {
  Context &c = ctx();
  c.backend().copyToTexture(c.state(), width, height);
}

void viewport(int x, int y, int width, int height) {
  Context &c = ctx();
  c.mutableState().viewport = {x, y, width, height};
  c.backend().viewport(c.state());
}

void scissor(int x, int y, int width, int height) {
  Context &c = ctx();
  c.mutableState().scissor = {x, y, width, height};
  c.backend().scissor(c.state());
}

} // namespace demo::draw
