#include "draw/gl_modern_backend.h"

#include <GL/glew.h>

#include "draw/gl_common.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstddef>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace demo::draw {

namespace {

// Attribute slots of the vertex stage.
enum Attribute : GLuint { kPosition = 0, kColour = 1, kNormal = 2, kTexCoord0 = 3, kTexCoord1 = 4 };

// The fixed pipeline's state for one draw, laid out as the "Fixed" uniform
// block (std140: every member here is a multiple of 16 bytes, as declared).
struct FixedBlock {
  float mvp[16];            // projection x model-view
  float modelView[16];
  float normalMatrix[16];   // inverse transpose of the model-view's 3 x 3, in a 4 x 4
  float textureMatrix[2][16];
  float sceneColour[4];     // emission + material ambient x the light model's ambient
  float lightPosition[8][4]; // eye space; a directional light's direction normalised
  float lightHalf[8][4];    // a directional light's half vector with the eye's (0, 0, 1)
  float lightAmbient[8][4]; // light x material products
  float lightDiffuse[8][4];
  float lightSpecular[8][4];
  float fogColour[4];
  float fogParams[4];       // end, 1 / (end - start), density, 0
  float misc[4];            // shininess, point size, material diffuse alpha, 0
  int32_t switches[4];      // lighting, light mask, normalize, fog (0 off, 1 linear, 2 exp)
  int32_t units[4];         // unit 0 textures, unit 1 textures, unit 0 generates, unit 1 generates
  int32_t sphere[4];        // per unit: s and t sphere-mapped (else eye-linear), 0, 0
};
static_assert(sizeof(FixedBlock) % 16 == 0, "std140 block size");

// The fixed pipeline's default light model ambient, which the show never
// changes.
constexpr float kLightModelAmbient[4] = {0.2f, 0.2f, 0.2f, 1.f};

const char *const kFixedBlockSource = R"(
layout(std140) uniform Fixed {
  mat4 mvp;
  mat4 modelView;
  mat4 normalMatrix;
  mat4 textureMatrix[2];
  vec4 sceneColour;
  vec4 lightPosition[8];
  vec4 lightHalf[8];
  vec4 lightAmbient[8];
  vec4 lightDiffuse[8];
  vec4 lightSpecular[8];
  vec4 fogColour;
  vec4 fogParams;
  vec4 misc;
  ivec4 switches;
  ivec4 units;
  ivec4 sphere;
};

// The switches, as the block has them; a program made for one state has them
// as constants instead (defined in front), and its compiler drops what they
// switch off.
#ifndef FIXED_STATE
#define SW_LIGHTING (switches.x != 0)
#define SW_LIGHTS switches.y
#define SW_FOG switches.w
#define SW_TEX0 (units.x != 0)
#define SW_TEX1 (units.y != 0)
#define SW_GEN0 (units.z != 0)
#define SW_GEN1 (units.w != 0)
#define SW_SPHERE0 (sphere.x != 0)
#define SW_SPHERE1 (sphere.y != 0)
#endif
)";

// The fixed vertex stage for the state the show uses: per-vertex lighting of
// both faces with the front material (no two-sided lighting, no local
// viewer, no attenuation or spot lights), colours clamped to 0..1, sphere-map
// or eye-linear generation of s and t, the texture matrices, and the fog
// coordinate as the eye-space distance along z.
const char *const kVertexSource = R"(
in vec3 position;
in vec4 colour;
in vec3 normal;
in vec2 texCoord0;
in vec2 texCoord1;
out vec4 vColour;
out vec4 vTexCoord[2];
out float vFogCoord;

vec4 lit(vec3 n, vec3 eye) {
  vec4 c = sceneColour;
  for (int i = 0; i < 8; ++i) {
    if ((SW_LIGHTS & (1 << i)) == 0)
      continue;
    vec3 l;
    vec3 h;
    if (lightPosition[i].w != 0.0) {
      l = normalize(lightPosition[i].xyz / lightPosition[i].w - eye);
      h = normalize(l + vec3(0.0, 0.0, 1.0));
    } else {
      l = lightPosition[i].xyz;
      h = lightHalf[i].xyz;
    }
    float nl = dot(n, l);
    c += lightAmbient[i];
    if (nl > 0.0) {
      c += nl * lightDiffuse[i];
      float nh = max(dot(n, h), 0.0);
      float power = misc.x > 0.0 ? pow(nh, misc.x) : 1.0;
      c += power * lightSpecular[i];
    }
  }
  c.a = misc.z;
  return c;
}

vec4 generated(bool generates, bool sphereMap, vec2 given, vec3 u, vec3 n, vec4 eye) {
  if (!generates)
    return vec4(given, 0.0, 1.0);
  if (sphereMap) {
    vec3 r = u - 2.0 * n * dot(n, u);
    float m = 2.0 * sqrt(r.x * r.x + r.y * r.y + (r.z + 1.0) * (r.z + 1.0));
    return vec4(r.x / m + 0.5, r.y / m + 0.5, 0.0, 1.0);
  }
  return vec4(eye.x, eye.y, 0.0, 1.0);
}

void main() {
  vec4 eye = modelView * vec4(position, 1.0);
  gl_Position = mvp * vec4(position, 1.0);
  vec3 n = mat3(normalMatrix) * normal;
  if (switches.z != 0)
    n = normalize(n);
  vec3 eyePoint = eye.xyz / eye.w;
  vColour = clamp(SW_LIGHTING ? lit(n, eyePoint) : colour, 0.0, 1.0);
  vec3 u = normalize(eyePoint);
  vTexCoord[0] = textureMatrix[0] * generated(SW_GEN0, SW_SPHERE0, texCoord0, u, n, eye);
  vTexCoord[1] = textureMatrix[1] * generated(SW_GEN1, SW_SPHERE1, texCoord1, u, n, eye);
  vFogCoord = abs(eye.z);
  gl_PointSize = misc.y;
}
)";

// The fixed fragment stage: the colour modulated by each texturing unit's
// texel, then fog.
const char *const kFragmentSource = R"(
in vec4 vColour;
in vec4 vTexCoord[2];
in float vFogCoord;
uniform sampler2D unit0;
uniform sampler2D unit1;
out vec4 fragColour;

void main() {
  vec4 c = vColour;
  if (SW_TEX0)
    c *= textureProj(unit0, vTexCoord[0].xyw);
  if (SW_TEX1)
    c *= textureProj(unit1, vTexCoord[1].xyw);
  if (SW_FOG != 0) {
    float f = SW_FOG == 1 ? (fogParams.x - vFogCoord) * fogParams.y : exp(-fogParams.z * vFogCoord);
    c.rgb = mix(fogColour.rgb, c.rgb, clamp(f, 0.0, 1.0));
  }
  fragColour = c;
}
)";

// What a fragment program of the show's dialect (GLSL 1.20 over the fixed
// vertex stage) reads and writes, in this backend's terms.
const char *const kProgramPrelude = R"(in vec4 vColour;
in vec4 vTexCoord[2];
in float vFogCoord;
out vec4 demoFragColour;
#define gl_Color vColour
#define gl_TexCoord vTexCoord
#define gl_FragColor demoFragColour
#define texture2D texture
)";

GLenum glCap(Cap cap) {
  switch (cap) {
  case Cap::Blend:
    return GL_BLEND;
  case Cap::CullFace:
    return GL_CULL_FACE;
  case Cap::DepthTest:
    return GL_DEPTH_TEST;
  case Cap::ScissorTest:
    return GL_SCISSOR_TEST;
  default:
    break;
  }
  return 0; // the rest is the program's
}

constexpr Cap kGlCaps[] = {Cap::Blend, Cap::CullFace, Cap::DepthTest, Cap::ScissorTest};

// The 3 x 3 inverse transpose of m's upper-left corner, as the columns of a
// 4 x 4 (computed in double; a singular corner gives zeros, so unlit
// normals vanish as they would).
void normalMatrixOf(const Mat4 &m, float out[16]) {
  const double a = m[0], b = m[4], c = m[8];
  const double d = m[1], e = m[5], f = m[9];
  const double g = m[2], h = m[6], i = m[10];
  const double A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
  const double D = -(b * i - c * h), E = a * i - c * g, F = -(a * h - b * g);
  const double G = b * f - c * e, H = -(a * f - c * d), I = a * e - b * d;
  const double det = a * A + b * B + c * C;
  const double k = det != 0.0 ? 1.0 / det : 0.0;
  // inverse = adjugate / det with adjugate = cofactor transposed; the
  // inverse transpose is the cofactor matrix / det. Row r, column c at 4c + r.
  const double cof[3][3] = {{A, B, C}, {D, E, F}, {G, H, I}}; // [row][column]
  std::fill(out, out + 16, 0.f);
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col)
      out[col * 4 + row] = static_cast<float>(cof[row][col] * k);
  out[15] = 1.f;
}

} // namespace

bool hasExtension(const char *name) {
  GLint count = 0;
  glGetIntegerv(GL_NUM_EXTENSIONS, &count);
  for (GLint i = 0; i < count; ++i) {
    const GLubyte *extension = glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i));
    if (extension && std::strcmp(reinterpret_cast<const char *>(extension), name) == 0)
      return true;
  }
  return false;
}

namespace {

// Whether the context is OpenGL ES of at least this version
// ("OpenGL ES 3.2 Mesa ...").
bool esVersionAtLeast(int major, int minor) {
  const GLubyte *text = glGetString(GL_VERSION);
  int haveMajor = 0, haveMinor = 0;
  if (!text || std::sscanf(reinterpret_cast<const char *>(text), "OpenGL ES %d.%d", &haveMajor, &haveMinor) != 2)
    return false;
  return haveMajor > major || (haveMajor == major && haveMinor >= minor);
}

// Tightly packed texels from RGBA to RGB or from RGB to RGBA (alpha 255).
std::vector<uint8_t> convertedTexels(const uint8_t *pixels, int width, int height, bool fromAlpha, bool toAlpha) {
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  const size_t from = fromAlpha ? 4 : 3, to = toAlpha ? 4 : 3;
  std::vector<uint8_t> out(count * to, 255);
  for (size_t i = 0; i < count; ++i)
    std::memcpy(&out[i * to], &pixels[i * from], 3);
  return out;
}

void product(const std::array<float, 4> &a, const std::array<float, 4> &b, float out[4]) {
  for (int i = 0; i < 4; ++i)
    out[i] = a[static_cast<size_t>(i)] * b[static_cast<size_t>(i)];
}

class ModernBackend final : public Backend {
public:
  explicit ModernBackend(ModernApi api) : api_(api) {
    glGenVertexArrays(1, &vertexArray_);
    glBindVertexArray(vertexArray_);
    glGenBuffers(1, &vertexBuffer_);
    glGenBuffers(1, &indexBuffer_);
    glGenBuffers(1, &blockBuffer_);
    glBindBuffer(GL_UNIFORM_BUFFER, blockBuffer_);
    glBufferData(GL_UNIFORM_BUFFER, sizeof(FixedBlock), nullptr, GL_DYNAMIC_DRAW);
    glBindBufferBase(GL_UNIFORM_BUFFER, 0, blockBuffer_);
    if (api_ == ModernApi::Core33)
      glEnable(GL_PROGRAM_POINT_SIZE);
    borderClamp_ = api_ == ModernApi::Core33 || hasExtension("GL_EXT_texture_border_clamp") ||
                   hasExtension("GL_OES_texture_border_clamp") || esVersionAtLeast(3, 2);
    // The frame's alpha stays 1: no draw writes it (see the header).
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, api_ == ModernApi::Es30 ? GL_FALSE : GL_TRUE);

    // The vertex stage the show's own fragment programs run over, with
    // every switch read from the block.
    vertexShader_ = compile(GL_VERTEX_SHADER, header() + kFixedBlockSource + kVertexSource, nullptr);
  }

  ~ModernBackend() override {
    // The context may already be gone when the window closes; deleting names
    // then reaches nothing.
    for (const auto &variant : fixedPrograms_)
      glDeleteProgram(variant.second);
    glDeleteShader(vertexShader_);
    glDeleteBuffers(1, &vertexBuffer_);
    glDeleteBuffers(1, &indexBuffer_);
    glDeleteBuffers(1, &blockBuffer_);
    glDeleteVertexArrays(1, &vertexArray_);
  }

  // Programs: a fragment program of the show's dialect, rewritten into this
  // API's version and linked with the fixed vertex stage.
  bool programsAvailable() override { return true; }
  ProgramBuild buildProgram(ShaderStage stage, const std::string &source) override {
    ProgramBuild built;
    if (stage != ShaderStage::Fragment) {
      built.compileLog = "only fragment programs run over this renderer's vertex stage";
      return built;
    }
    GLint compiled = GL_FALSE;
    GLuint shader = compile(GL_FRAGMENT_SHADER, translated(source), &compiled);
    built.compiled = compiled == GL_TRUE;
    built.compileLog = shaderLog(shader);
    if (built.compiled) {
      built.program = link(shader, &built.linkLog);
      built.linked = built.program != 0;
    }
    glDeleteShader(shader);
    return built;
  }
  void deleteProgram(uint32_t program) override {
    if (program == programInUse_)
      programInUse_ = 0;
    glDeleteProgram(program);
  }
  void useProgram(const State &s) override {
    // A program of the show's is current at once (its uniforms are set
    // next); the fixed pipeline's is chosen by the state at the next draw.
    if (s.program)
      useGlProgram(s.program);
  }
  int uniformLocation(uint32_t program, const char *name) override { return glGetUniformLocation(program, name); }
  void uniform(int location, int count, const float *values) override {
    if (count == 1)
      glUniform1f(location, values[0]);
    else
      glUniform2f(location, values[0], values[1]);
  }
  void uniformInt(int location, int value) override { glUniform1i(location, value); }
  void disableArbPrograms() override {}

  // The switches, matrices, current values, lights, material, fog, texture
  // generation and point size live in the State and reach the program at the
  // next draw; the state the API still keeps is set when it is needed.
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
  void lookAt(const State &, double, double, double, double, double, double, double, double, double) override {}
  void colour(const State &) override {}
  void normal(const State &) override {}
  void texCoord(const State &, int) override {}
  void blendFunc(const State &) override {}
  void depthMask(const State &) override {}
  void colourMask(const State &) override {}
  void clearColour(const State &) override {}
  void pointSize(const State &) override {}
  void light(const State &, int, LightParam, const float *) override {}
  void material(const State &, MaterialParam, const float *) override {}
  void shininess(const State &) override {}
  void fog(const State &) override {}
  void sphereMap(const State &) override {}
  void viewport(const State &) override {}
  void scissor(const State &) override {}
  void pushAttributes(const State &, unsigned) override {}
  void popAttributes(const State &) override {}

  void clear(const State &s, unsigned buffers) override {
    syncFragmentOps(s);
    GLbitfield bits = 0;
    if (buffers & kClearColour)
      bits |= GL_COLOR_BUFFER_BIT;
    if (buffers & kClearDepth)
      bits |= GL_DEPTH_BUFFER_BIT;
    if (buffers & kClearStencil)
      bits |= GL_STENCIL_BUFFER_BIT;
    glClear(bits);
  }
  uint32_t error() override { return glGetError(); }
  void finish() override { glFinish(); }

  // Textures: the unit and binding are made current before the API acts on
  // the bound texture.
  void activeTexture(const State &) override {}
  void bindTexture(const State &) override {}
  void textureParameter(const State &s, TextureParam param, TextureValue value) override {
    syncActiveBinding(s);
    // No GL_CLAMP here. Between 0 and 1, where the show samples, it is clamp
    // to border with the border's default transparent black (the edge texel
    // filtered half with the border); OpenGL ES 3.0 has a border only with
    // an extension (WebGL 2 has none), and without one clamps to the edge.
    static const GLint values[] = {GL_REPEAT, GL_CLAMP_TO_BORDER, GL_CLAMP_TO_EDGE, GL_NEAREST, GL_LINEAR,
                                   GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR_MIPMAP_LINEAR};
    GLint v = values[static_cast<int>(value)];
    if (v == GL_CLAMP_TO_BORDER && !borderClamp_)
      v = GL_CLAMP_TO_EDGE;
    glTexParameteri(GL_TEXTURE_2D, glTextureParam(param), v);
  }
  uint32_t createTexture(const State &s) override {
    GLuint name = 0;
    glGenTextures(1, &name);
    syncUnit(s.activeUnit);
    glBindTexture(GL_TEXTURE_2D, name);
    bound_[static_cast<size_t>(s.activeUnit)] = name;
    return name;
  }
  void deleteTexture(const State &, uint32_t texture) override {
    glDeleteTextures(1, &texture);
    for (uint32_t &name : bound_)
      if (name == texture)
        name = 0;
  }
  void textureImage(const State &s, int level, PixelFormat stored, int width, int height, PixelFormat given,
                    const uint8_t *pixels) override {
    syncActiveBinding(s);
    // OpenGL ES takes texels only in the stored format: RGBA given for RGB
    // storage loses its alpha here, RGB given for RGBA storage gains alpha 1.
    if (api_ == ModernApi::Es30 && pixels && hasAlpha(given) != hasAlpha(stored)) {
      converted_ = convertedTexels(pixels, width, height, hasAlpha(given), hasAlpha(stored));
      pixels = converted_.data();
      given = stored;
    }
    uploadTexels(level, stored, width, height, given, pixels);
    converted_.clear();
  }
  void textureLevels(const State &s, float minLod, float maxLod) override {
    syncActiveBinding(s);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_LOD, minLod);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_LOD, maxLod);
  }
  void textureMaxLevel(const State &s, int level) override {
    syncActiveBinding(s);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, level);
  }
  void generateMipmaps(const State &s) override {
    syncActiveBinding(s);
    glGenerateMipmap(GL_TEXTURE_2D);
  }
  void copyToTexture(const State &s, int width, int height) override {
    syncActiveBinding(s);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width, height);
  }
  int maxTextureSize() override {
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return size;
  }

  // Draws.
  void drawBatch(const State &s, const Batch &b) override {
    if (b.vertices.empty())
      return;
    prepareDraw(s, b.primitive == Primitive::Points);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(b.vertices.size() * sizeof(Vertex)), b.vertices.data(),
                 GL_STREAM_DRAW);
    const GLsizei stride = sizeof(Vertex);
    pointAttribute(kPosition, 3, stride, offsetof(Vertex, position));
    pointAttribute(kColour, 4, stride, offsetof(Vertex, colour));
    pointAttribute(kNormal, 3, stride, offsetof(Vertex, normal));
    pointAttribute(kTexCoord0, 2, stride, offsetof(Vertex, texCoord));
    pointAttribute(kTexCoord1, 2, stride, offsetof(Vertex, texCoord1));
    const GLsizei count = static_cast<GLsizei>(b.vertices.size());
    if (b.primitive == Primitive::Quads) {
      quadIndices(count);
      glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_);
      glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices_.size() * sizeof(uint32_t)),
                   indices_.data(), GL_STREAM_DRAW);
      glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices_.size()), GL_UNSIGNED_INT, nullptr);
    } else {
      glDrawArrays(b.primitive == Primitive::Points ? GL_POINTS : GL_TRIANGLES, 0,
                   b.primitive == Primitive::Triangles ? count - count % 3 : count);
    }
  }

  void drawIndexed(const State &s, const IndexedArrays &a) override {
    if (!a.positions || !a.indices || a.count <= 0)
      return;
    // The arrays' length is what the indices reach.
    uint32_t highest = 0;
    for (int32_t i = 0; i < a.count; ++i)
      highest = std::max(highest, a.indices[i]);
    const size_t vertices = static_cast<size_t>(highest) + 1;
    const size_t positionBytes = vertices * 3 * sizeof(float);
    const size_t normalBytes = a.normals ? vertices * 3 * sizeof(float) : 0;
    const size_t texCoordBytes = a.texCoords ? vertices * 2 * sizeof(float) : 0;
    prepareDraw(s, a.primitive == Primitive::Points);

    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(positionBytes + normalBytes + texCoordBytes), nullptr,
                 GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(positionBytes), a.positions);
    if (a.normals)
      glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(positionBytes), static_cast<GLsizeiptr>(normalBytes),
                      a.normals);
    if (a.texCoords)
      glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(positionBytes + normalBytes),
                      static_cast<GLsizeiptr>(texCoordBytes), a.texCoords);
    pointAttribute(kPosition, 3, 0, 0);
    if (a.normals)
      pointAttribute(kNormal, 3, 0, positionBytes);
    else
      constantAttribute(kNormal, s.normal[0], s.normal[1], s.normal[2], 1.f);
    if (a.texCoords)
      pointAttribute(kTexCoord0, 2, 0, positionBytes + normalBytes);
    else
      constantAttribute(kTexCoord0, s.texCoord[0][0], s.texCoord[0][1], 0.f, 1.f);
    constantAttribute(kColour, s.colour[0], s.colour[1], s.colour[2], s.colour[3]);
    constantAttribute(kTexCoord1, s.texCoord[1][0], s.texCoord[1][1], 0.f, 1.f);

    const uint32_t *indices = a.indices;
    GLsizei count = a.count;
    if (a.primitive == Primitive::Quads) {
      quadIndices(a.count, a.indices);
      indices = indices_.data();
      count = static_cast<GLsizei>(indices_.size());
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(count) * static_cast<GLsizeiptr>(sizeof(uint32_t)),
                 indices, GL_STREAM_DRAW);
    glDrawElements(a.primitive == Primitive::Points ? GL_POINTS : GL_TRIANGLES, count, GL_UNSIGNED_INT, nullptr);
  }

private:
  std::string header() const {
    return api_ == ModernApi::Es30 ? "#version 300 es\nprecision highp float;\nprecision highp int;\n"
                                   : "#version 330 core\n";
  }

  // A fragment program of the show's dialect in this API's version: its own
  // version line goes, the prelude maps what it reads and writes, and line
  // numbers in the log stay the file's. A "#line N" right after the version
  // line counts as GLSL 1.20 counts (the next line is N + 1).
  std::string translated(const std::string &source) const {
    std::string body = source;
    int nextLine = 1;
    if (body.compare(0, 8, "#version") == 0) {
      const size_t end = body.find('\n');
      body = end == std::string::npos ? std::string() : body.substr(end + 1);
      nextLine = 2;
      if (body.compare(0, 5, "#line") == 0) {
        const size_t lineEnd = body.find('\n');
        nextLine = std::atoi(body.c_str() + 5) + 1;
        body = lineEnd == std::string::npos ? std::string() : body.substr(lineEnd + 1);
      }
    }
    return header() + kProgramPrelude + "#line " + std::to_string(nextLine) + "\n" + body;
  }

  GLuint compile(GLenum type, const std::string &source, GLint *compiled) const {
    GLuint shader = glCreateShader(type);
    const GLchar *text = source.c_str();
    const GLint length = static_cast<GLint>(source.size());
    glShaderSource(shader, 1, &text, &length);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (compiled)
      *compiled = ok;
    else if (ok != GL_TRUE) {
      std::fprintf(stderr, "quintervale: the drawing program's %s stage does not compile: %s\n",
                   type == GL_VERTEX_SHADER ? "vertex" : "fragment", shaderLog(shader).c_str());
      std::fflush(stderr);
    }
    return shader;
  }

  // Links `fragment` with the fixed vertex stage `vertex` (by default the
  // one whose switches are read from the block): 0 (and the log) when it
  // does not link. The attribute slots and the Fixed block's binding are the
  // same in every program.
  GLuint link(GLuint fragment, std::string *log, GLuint vertex = 0) const {
    if (!vertex)
      vertex = vertexShader_;
    GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glBindAttribLocation(program, kPosition, "position");
    glBindAttribLocation(program, kColour, "colour");
    glBindAttribLocation(program, kNormal, "normal");
    glBindAttribLocation(program, kTexCoord0, "texCoord0");
    glBindAttribLocation(program, kTexCoord1, "texCoord1");
    glLinkProgram(program);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    *log = programLog(program);
    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    if (linked != GL_TRUE) {
      glDeleteProgram(program);
      return 0;
    }
    const GLuint block = glGetUniformBlockIndex(program, "Fixed");
    if (block != GL_INVALID_INDEX)
      glUniformBlockBinding(program, block, 0);
    return program;
  }

  void useGlProgram(GLuint program) {
    if (program != programInUse_) {
      glUseProgram(program);
      programInUse_ = program;
    }
  }

  // The fixed pipeline for the switches in `b`: one program for each set
  // of switches met, made when first met and kept, as the fixed pipeline's
  // own shaders are. Its vertex and fragment stages have the switches as
  // constants, so each draws with only the arithmetic its state needs.
  GLuint fixedProgram(const FixedBlock &b) {
    const bool lighting = b.switches[0] != 0;
    const uint32_t key = (lighting ? 1u : 0u) | (lighting ? static_cast<uint32_t>(b.switches[1]) << 1 : 0u) |
                         static_cast<uint32_t>(b.switches[3]) << 9 | static_cast<uint32_t>(b.units[0]) << 11 |
                         static_cast<uint32_t>(b.units[1]) << 12 | static_cast<uint32_t>(b.units[2]) << 13 |
                         static_cast<uint32_t>(b.units[3]) << 14 |
                         static_cast<uint32_t>(b.units[2] ? b.sphere[0] : 0) << 15 |
                         static_cast<uint32_t>(b.units[3] ? b.sphere[1] : 0) << 16;
    const auto found = fixedPrograms_.find(key);
    if (found != fixedPrograms_.end())
      return found->second;
    auto flag = [](bool on) { return on ? "true" : "false"; };
    const std::string defines = std::string("#define FIXED_STATE\n") + "#define SW_LIGHTING " + flag(lighting) +
                                "\n#define SW_LIGHTS " + std::to_string(lighting ? b.switches[1] : 0) +
                                "\n#define SW_FOG " + std::to_string(b.switches[3]) + "\n#define SW_TEX0 " +
                                flag(b.units[0]) + "\n#define SW_TEX1 " + flag(b.units[1]) + "\n#define SW_GEN0 " +
                                flag(b.units[2]) + "\n#define SW_GEN1 " + flag(b.units[3]) + "\n#define SW_SPHERE0 " +
                                flag(b.sphere[0]) + "\n#define SW_SPHERE1 " + flag(b.sphere[1]) + "\n";
    const GLuint vertex = compile(GL_VERTEX_SHADER, header() + defines + kFixedBlockSource + kVertexSource, nullptr);
    const GLuint fragment =
        compile(GL_FRAGMENT_SHADER, header() + defines + kFixedBlockSource + kFragmentSource, nullptr);
    std::string log;
    const GLuint program = link(fragment, &log, vertex);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    if (!program) {
      std::fprintf(stderr, "quintervale: the drawing program does not build: %s\n", log.c_str());
      std::fflush(stderr);
    } else {
      useGlProgram(program);
      glUniform1i(glGetUniformLocation(program, "unit0"), 0);
      glUniform1i(glGetUniformLocation(program, "unit1"), 1);
    }
    fixedPrograms_.emplace(key, program);
    return program;
  }

  void syncUnit(int unit) {
    if (unit != activeUnit_) {
      glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
      activeUnit_ = unit;
    }
  }

  void syncActiveBinding(const State &s) {
    syncUnit(s.activeUnit);
    const size_t unit = static_cast<size_t>(s.activeUnit);
    if (bound_[unit] != s.boundTexture[unit]) {
      glBindTexture(GL_TEXTURE_2D, s.boundTexture[unit]);
      bound_[unit] = s.boundTexture[unit];
    }
  }

  // Every unit the program may sample, bound as the State has them.
  void syncBindings(const State &s) {
    for (int unit = 0; unit < kTextureUnits; ++unit) {
      const size_t u = static_cast<size_t>(unit);
      if (bound_[u] != s.boundTexture[u]) {
        syncUnit(unit);
        glBindTexture(GL_TEXTURE_2D, s.boundTexture[u]);
        bound_[u] = s.boundTexture[u];
      }
    }
    syncUnit(s.activeUnit);
  }

  // Scissor, masks and clear colour: what a clear obeys.
  void syncFragmentOps(const State &s) {
    setCap(Cap::ScissorTest, s.isEnabled(Cap::ScissorTest));
    if (s.scissor != scissor_) {
      glScissor(s.scissor[0], s.scissor[1], s.scissor[2], s.scissor[3]);
      scissor_ = s.scissor;
    }
    if (s.colourMask != colourMask_) {
      const GLboolean on = s.colourMask ? GL_TRUE : GL_FALSE;
      glColorMask(on, on, on, api_ == ModernApi::Es30 ? GL_FALSE : on);
      colourMask_ = s.colourMask;
    }
    if (s.depthMask != depthMask_) {
      glDepthMask(s.depthMask ? GL_TRUE : GL_FALSE);
      depthMask_ = s.depthMask;
    }
    if (s.clearColour != clearColour_) {
      glClearColor(s.clearColour[0], s.clearColour[1], s.clearColour[2], s.clearColour[3]);
      clearColour_ = s.clearColour;
    }
  }

  void setCap(Cap cap, bool on) {
    const size_t i = static_cast<size_t>(cap);
    if (capKnown_.test(i) && capOn_.test(i) == on)
      return;
    if (on)
      glEnable(glCap(cap));
    else
      glDisable(glCap(cap));
    capKnown_.set(i);
    capOn_.set(i, on);
  }

  // Everything a draw reads: the API's own state, the program, the textures
  // and the Fixed block.
  void prepareDraw(const State &s, bool points) {
    syncFragmentOps(s);
    for (Cap cap : kGlCaps)
      setCap(cap, s.isEnabled(cap));
    if (s.blendSource != blendSource_ || s.blendDestination != blendDestination_) {
      glBlendFunc(glFactor(s.blendSource), glFactor(s.blendDestination));
      blendSource_ = s.blendSource;
      blendDestination_ = s.blendDestination;
    }
    if (s.viewport != viewport_) {
      glViewport(s.viewport[0], s.viewport[1], s.viewport[2], s.viewport[3]);
      viewport_ = s.viewport;
    }
    syncBindings(s);
    glBindVertexArray(vertexArray_);

    FixedBlock block;
    fillBlock(s, points, block);
    useGlProgram(s.program ? s.program : fixedProgram(block));
    if (!blockKnown_ || std::memcmp(&block, &lastBlock_, sizeof(block)) != 0) {
      // Fresh storage rather than an update in place: a draw still queued
      // may read the old block, and overwriting it would wait for that draw.
      glBindBuffer(GL_UNIFORM_BUFFER, blockBuffer_);
      glBufferData(GL_UNIFORM_BUFFER, sizeof(block), &block, GL_STREAM_DRAW);
      lastBlock_ = block;
      blockKnown_ = true;
    }
  }

  static void fillBlock(const State &s, bool points, FixedBlock &b) {
    std::memset(&b, 0, sizeof(b));
    const Mat4 &modelView = s.modelView.back();
    const Mat4 mvp = multiplied(s.projection.back(), modelView);
    std::memcpy(b.mvp, mvp.data(), sizeof(b.mvp));
    std::memcpy(b.modelView, modelView.data(), sizeof(b.modelView));
    normalMatrixOf(modelView, b.normalMatrix);
    for (size_t unit = 0; unit < 2; ++unit) {
      std::memcpy(b.textureMatrix[unit], s.texture[unit].back().data(), sizeof(b.textureMatrix[unit]));
      const auto &on = s.unitEnabled[unit];
      // A unit textures where it is switched on and has a texture bound
      // (texture 0 is incomplete, and the fixed pipeline then skips the unit).
      b.units[unit] = on.test(static_cast<size_t>(Cap::Texture2D)) && s.boundTexture[unit] != 0 ? 1 : 0;
      b.units[2 + unit] = on.test(static_cast<size_t>(Cap::TextureGenS)) && on.test(static_cast<size_t>(Cap::TextureGenT));
      b.sphere[unit] = s.sphereMap[unit] ? 1 : 0;
    }
    const Material &m = s.material;
    for (int i = 0; i < 4; ++i)
      b.sceneColour[i] = m.emission[static_cast<size_t>(i)] + m.ambient[static_cast<size_t>(i)] * kLightModelAmbient[i];
    int mask = 0;
    for (int i = 0; i < kLights; ++i) {
      const Light &light = s.lights[static_cast<size_t>(i)];
      if (!s.enabled.test(static_cast<size_t>(lightCap(i))))
        continue;
      mask |= 1 << i;
      const auto &p = light.eyePosition;
      if (p[3] != 0.f) {
        std::copy(p.begin(), p.end(), b.lightPosition[i]);
      } else {
        const float length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        const float k = length > 0.f ? 1.f / length : 0.f;
        const float l[3] = {p[0] * k, p[1] * k, p[2] * k};
        b.lightPosition[i][0] = l[0];
        b.lightPosition[i][1] = l[1];
        b.lightPosition[i][2] = l[2];
        const float h[3] = {l[0], l[1], l[2] + 1.f};
        const float hl = std::sqrt(h[0] * h[0] + h[1] * h[1] + h[2] * h[2]);
        const float hk = hl > 0.f ? 1.f / hl : 0.f;
        b.lightHalf[i][0] = h[0] * hk;
        b.lightHalf[i][1] = h[1] * hk;
        b.lightHalf[i][2] = h[2] * hk;
      }
      product(light.ambient, m.ambient, b.lightAmbient[i]);
      product(light.diffuse, m.diffuse, b.lightDiffuse[i]);
      product(light.specular, m.specular, b.lightSpecular[i]);
    }
    const bool lighting = s.enabled.test(static_cast<size_t>(Cap::Lighting));
    b.switches[0] = lighting ? 1 : 0;
    b.switches[1] = mask;
    b.switches[2] = s.enabled.test(static_cast<size_t>(Cap::Normalize)) ? 1 : 0;
    b.switches[3] = s.enabled.test(static_cast<size_t>(Cap::Fog)) ? (s.fog.linear ? 1 : 2) : 0;
    std::copy(s.fog.colour.begin(), s.fog.colour.end(), b.fogColour);
    b.fogParams[0] = s.fog.end;
    b.fogParams[1] = s.fog.end != s.fog.start ? 1.f / (s.fog.end - s.fog.start) : 0.f;
    b.fogParams[2] = s.fog.density;
    b.misc[0] = m.shininess;
    b.misc[1] = points ? s.pointSize : 1.f;
    b.misc[2] = m.diffuse[3];
  }

  // Attribute slots read from the vertex buffer (always the one buffer
  // object, whatever storage it has now), or constant; each is set only when
  // it changes (a change makes the driver validate the draw anew).
  struct Slot {
    bool fromBuffer = false, known = false;
    GLint size = 0;
    GLsizei stride = 0;
    size_t offset = 0;
    float value[4] = {0.f, 0.f, 0.f, 1.f};
  };

  void pointAttribute(GLuint slot, GLint size, GLsizei stride, size_t offset) {
    Slot &a = slots_[slot];
    if (a.known && a.fromBuffer && a.size == size && a.stride == stride && a.offset == offset)
      return;
    if (!a.known || !a.fromBuffer)
      glEnableVertexAttribArray(slot);
    glVertexAttribPointer(slot, size, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void *>(offset));
    a.known = a.fromBuffer = true;
    a.size = size;
    a.stride = stride;
    a.offset = offset;
  }

  void constantAttribute(GLuint slot, float x, float y, float z, float w) {
    Slot &a = slots_[slot];
    const float value[4] = {x, y, z, w};
    if (a.known && !a.fromBuffer && std::memcmp(a.value, value, sizeof value) == 0)
      return;
    if (!a.known || a.fromBuffer)
      glDisableVertexAttribArray(slot);
    glVertexAttrib4f(slot, x, y, z, w);
    a.known = true;
    a.fromBuffer = false;
    std::memcpy(a.value, value, sizeof value);
  }

  // Each quad (v0, v1, v2, v3) as the triangles (v0, v1, v3) and (v1, v2,
  // v3), the split the fixed pipeline's rasteriser makes, of `count`
  // vertices given in order or through `indices`.
  void quadIndices(int32_t count, const uint32_t *indices = nullptr) {
    indices_.clear();
    for (int32_t q = 0; q + 3 < count; q += 4) {
      uint32_t v[4];
      for (int32_t k = 0; k < 4; ++k)
        v[k] = indices ? indices[q + k] : static_cast<uint32_t>(q + k);
      indices_.insert(indices_.end(), {v[0], v[1], v[3], v[1], v[2], v[3]});
    }
  }

  ModernApi api_;
  bool borderClamp_ = false; // GL_CLAMP_TO_BORDER exists
  GLuint vertexArray_ = 0, vertexBuffer_ = 0, indexBuffer_ = 0, blockBuffer_ = 0;
  GLuint vertexShader_ = 0, programInUse_ = 0;
  std::unordered_map<uint32_t, GLuint> fixedPrograms_; // by switches (fixedProgram)
  std::vector<uint32_t> indices_;
  std::array<Slot, 5> slots_{};
  std::vector<uint8_t> converted_; // an upload's texels in the stored format (ES)

  // What the API was last told, so unchanged state is not set again.
  std::bitset<static_cast<size_t>(Cap::Count)> capKnown_, capOn_;
  Factor blendSource_ = Factor::One, blendDestination_ = Factor::Zero;
  bool depthMask_ = true, colourMask_ = true;
  std::array<float, 4> clearColour_{0.f, 0.f, 0.f, 0.f};
  std::array<int, 4> viewport_{-1, -1, -1, -1}, scissor_{-1, -1, -1, -1};
  int activeUnit_ = 0;
  std::array<uint32_t, kTextureUnits> bound_{};
  FixedBlock lastBlock_{};
  bool blockKnown_ = false;
};

} // namespace

std::unique_ptr<Backend> makeModernBackend(ModernApi api) { return std::make_unique<ModernBackend>(api); }

} // namespace demo::draw
