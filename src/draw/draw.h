// draw.h - the one drawing interface under the scenes, the effects and the 2D
// passes: the fixed-function pipeline the show was written against, as calls
// on a Context that keeps its State (draw_state.h) and hands each call to a
// Backend.
//
//   draw::matrixMode(draw::MatrixMode::ModelView);
//   draw::pushMatrix();
//   draw::translate(0.f, 0.f, -5.f);
//   draw::enable(draw::Cap::Blend);
//   draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::One);
//   draw::begin(draw::Primitive::Quads);
//   draw::texCoord(0.f, 0.f);
//   draw::vertex(-1.f, -1.f, 0.f);
//   ...
//   draw::end();              // the whole batch goes to the backend at once
//   draw::popMatrix();
//
// The calls act on the current context, as OpenGL's calls act on the current
// GL context: the window makes one current when it makes its GL context
// (setCurrent), and everything drawn in that window goes through it. Batches
// (begin ... end) and indexed arrays reach the backend through one entry
// point each, drawBatch and drawIndexed, with every vertex's attributes, so a
// backend without immediate mode can draw them from buffers.
//
// Questions about the pipeline (isEnabled, the blend function, the current
// colour, a matrix) are answered from the context's State, never from the
// driver.
//
// The classic backend (gl_classic_backend.h) hands each call to the same
// OpenGL compatibility-profile call the show always made, in the same order,
// so its pictures are the show's own. It does not own textures, render
// targets or shader programs: those are made by gfx and bound here by name.
// The modern backend (gl_modern_backend.h) draws the same State on OpenGL
// 3.3 core or OpenGL ES 3.0 with buffers and shaders; renderer.h picks one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "draw/draw_state.h"

namespace demo::draw {

enum class Primitive : uint8_t { Points, Triangles, Quads };

// One vertex of a batch, with the attributes current when it was given.
struct Vertex {
  float position[3];
  float colour[4];
  float normal[3];
  float texCoord[2];  // unit 0
  float texCoord1[2]; // unit 1
};

// The vertices of one begin ... end, in order, and which attributes were
// given inside it (the others are the values current before begin).
struct Batch {
  Primitive primitive = Primitive::Triangles;
  std::vector<Vertex> vertices;
  bool colours = false, normals = false, texCoords = false, texCoords1 = false;
};

// Vertex arrays with 32-bit indices: positions (x, y, z), and optionally
// normals (x, y, z) and texture coordinates (s, t) for unit 0, all read
// through `indices`.
struct IndexedArrays {
  Primitive primitive = Primitive::Triangles;
  const float *positions = nullptr;
  const float *normals = nullptr;
  const float *texCoords = nullptr;
  const uint32_t *indices = nullptr;
  int32_t count = 0; // indices to draw
};

// Sampling settings of a texture object (they stay with the texture).
enum class TextureParam : uint8_t { WrapS, WrapT, MinFilter, MagFilter };
enum class TextureValue : uint8_t {
  Repeat,
  Clamp,
  ClampToEdge,
  Nearest,
  Linear,
  LinearMipmapNearest,
  LinearMipmapLinear
};

// Texel formats, 8 bits a channel, RGB or RGBA: as given, and as stored,
// where Rgb and Rgba leave the exact storage to the driver (as pictures have
// always been uploaded) and Rgb8 and Rgba8 ask for 8 bits a channel.
enum class PixelFormat : uint8_t { Rgb, Rgba, Rgb8, Rgba8 };
inline bool hasAlpha(PixelFormat format) { return format == PixelFormat::Rgba || format == PixelFormat::Rgba8; }

enum class ShaderStage : uint8_t { Vertex, Fragment };

// A shader program of one stage (the other stage stays the fixed pipeline's),
// as built: its name (0 when it did not compile or link) and the compiler's
// and linker's logs.
struct ProgramBuild {
  uint32_t program = 0;
  bool compiled = false;
  bool linked = false;
  std::string compileLog, linkLog;
};

enum class LightParam : uint8_t { Ambient, Diffuse, Specular, Position };
enum class MaterialParam : uint8_t { Ambient, Diffuse, Specular, Emission };

// What a backend does with each call, after the context has updated its
// State (passed along, so a backend can draw from it). The classic backend
// issues the matching GL call.
class Backend {
public:
  virtual ~Backend() = default;
  virtual void setEnabled(const State &state, Cap cap, bool on) = 0;
  virtual void matrixMode(const State &state) = 0;
  virtual void loadIdentity(const State &state) = 0;
  virtual void pushMatrix(const State &state) = 0;
  virtual void popMatrix(const State &state) = 0;
  virtual void translate(const State &state, float x, float y, float z) = 0;
  virtual void rotate(const State &state, float degrees, float x, float y, float z) = 0;
  virtual void scale(const State &state, float x, float y, float z) = 0;
  virtual void multMatrix(const State &state, const float *m) = 0;
  virtual void ortho(const State &state, double left, double right, double bottom, double top, double zNear,
                     double zFar) = 0;
  virtual void perspective(const State &state, double fovY, double aspect, double zNear, double zFar) = 0;
  virtual void lookAt(const State &state, double eyeX, double eyeY, double eyeZ, double centreX, double centreY,
                      double centreZ, double upX, double upY, double upZ) = 0;
  virtual void colour(const State &state) = 0;
  virtual void normal(const State &state) = 0;
  virtual void texCoord(const State &state, int unit) = 0;
  virtual void blendFunc(const State &state) = 0;
  virtual void depthMask(const State &state) = 0;
  virtual void colourMask(const State &state) = 0;
  virtual void clearColour(const State &state) = 0;
  virtual void clear(const State &state, unsigned buffers) = 0;
  virtual void pointSize(const State &state) = 0;
  // The first error the driver has recorded since the last call (0: none),
  // and clears it.
  virtual uint32_t error() = 0;
  virtual void light(const State &state, int light, LightParam param, const float *values) = 0;
  virtual void material(const State &state, MaterialParam param, const float *values) = 0;
  virtual void shininess(const State &state) = 0;
  virtual void fog(const State &state) = 0;
  virtual void sphereMap(const State &state) = 0;
  virtual void activeTexture(const State &state) = 0;
  virtual void bindTexture(const State &state) = 0;
  virtual void textureParameter(const State &state, TextureParam param, TextureValue value) = 0;
  virtual uint32_t createTexture(const State &state) = 0;
  virtual void deleteTexture(const State &state, uint32_t texture) = 0;
  virtual void textureImage(const State &state, int level, PixelFormat stored, int width, int height,
                            PixelFormat given, const uint8_t *pixels) = 0;
  virtual void textureLevels(const State &state, float minLod, float maxLod) = 0;
  virtual void textureMaxLevel(const State &state, int level) = 0;
  virtual void generateMipmaps(const State &state) = 0;
  virtual void copyToTexture(const State &state, int width, int height) = 0;
  virtual int maxTextureSize() = 0;
  virtual void finish() = 0;
  virtual void viewport(const State &state) = 0;
  virtual void scissor(const State &state) = 0;
  virtual bool programsAvailable() = 0;
  virtual ProgramBuild buildProgram(ShaderStage stage, const std::string &source) = 0;
  virtual void deleteProgram(uint32_t program) = 0;
  virtual void useProgram(const State &state) = 0;
  virtual int uniformLocation(uint32_t program, const char *name) = 0;
  virtual void uniform(int location, int count, const float *values) = 0;
  virtual void uniformInt(int location, int value) = 0;
  virtual void disableArbPrograms() = 0;
  virtual void pushAttributes(const State &state, unsigned groups) = 0;
  // After the context has restored the groups saved last.
  virtual void popAttributes(const State &state) = 0;
  virtual void drawBatch(const State &state, const Batch &batch) = 0;
  virtual void drawIndexed(const State &state, const IndexedArrays &arrays) = 0;
};

// A drawing context: the State and the backend that draws it.
class Context {
public:
  explicit Context(std::unique_ptr<Backend> backend);
  Context(const Context &) = delete;
  Context &operator=(const Context &) = delete;

  const State &state() const { return state_; }
  State &mutableState() { return state_; }
  Backend &backend() { return *backend_; }
  Batch &batch() { return batch_; }
  // The states saved by pushAttributes, with the groups each restores.
  std::vector<std::pair<unsigned, State>> &saved() { return saved_; }
  bool inBatch() const { return inBatch_; }
  void setInBatch(bool on) { inBatch_ = on; }

private:
  State state_;
  std::unique_ptr<Backend> backend_;
  Batch batch_; // the batch being given; its storage is kept between batches
  std::vector<std::pair<unsigned, State>> saved_;
  bool inBatch_ = false;
};

// The context the calls below act on (nullptr: none; calling them then is a
// fault). The window sets it when it makes its GL context current.
void setCurrent(Context *context);
Context *current();
const State &state();

// Enables.
void enable(Cap cap);
void disable(Cap cap);
bool isEnabled(Cap cap);

// Matrices: the current stack's top, as glMatrixMode and friends.
void matrixMode(MatrixMode mode);
void loadIdentity();
void pushMatrix();
void popMatrix();
void translate(float x, float y, float z);
void rotate(float degrees, float x, float y, float z);
void scale(float x, float y, float z);
void multMatrix(const float *m);
void ortho(double left, double right, double bottom, double top, double zNear, double zFar);
// GLU's gluPerspective and gluLookAt, multiplied onto the current matrix.
void perspective(double fovY, double aspect, double zNear, double zFar);
void lookAt(double eyeX, double eyeY, double eyeZ, double centreX, double centreY, double centreZ, double upX,
            double upY, double upZ);

// The current colour and normal; inside begin ... end they belong to the next
// vertex (and stay current afterwards, as in OpenGL).
void colour(float r, float g, float b, float a);
void colour(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255);
void normal(float x, float y, float z);
void texCoord(float s, float t);
void multiTexCoord(int unit, float s, float t); // unit 0 or 1

// Batches: quads, triangles or points, drawn at end().
void begin(Primitive primitive);
void vertex(float x, float y, float z = 0.f);
void end();

void drawIndexed(const IndexedArrays &arrays);

void blendFunc(Factor source, Factor destination);
void depthMask(bool on);
// Writing of the colour channels, all four or none.
void colourMask(bool on);
void pointSize(float size);

// Shader programs. A program replaces one stage of the fixed pipeline; 0 in
// use is the fixed pipeline. Uniforms are set on the program in use;
// location -1 (a uniform the compiler dropped) is ignored.
bool programsAvailable();
ProgramBuild buildProgram(ShaderStage stage, const std::string &source);
// Without a current context (the window closed) there is nothing to delete.
void deleteProgram(uint32_t program);
void useProgram(uint32_t program);
int uniformLocation(uint32_t program, const char *name);
void uniform(int location, float x);
void uniform(int location, float x, float y);
void uniformInt(int location, int value);
// Turns off the ARB assembly program targets, where the driver has them.
void disableArbPrograms();

// Groups of state saved and restored together, as glPushAttrib and
// glPopAttrib do: the switches; the current colour, normal and texture
// coordinates; the blend function, colour mask and clear colour; the
// viewport; the depth mask; the matrix mode; and everything, which adds the
// lights and material, fog, scissor box, point size and the texture units
// (bindings, sphere-map modes, the active unit). The matrices are never
// saved: they have their own stacks.
enum AttributeGroup : unsigned {
  kEnableGroup = 1u,
  kCurrentGroup = 2u,
  kColourBufferGroup = 4u,
  kViewportGroup = 8u,
  kDepthBufferGroup = 16u,
  kTransformGroup = 32u,
  kAllGroups = 0xffffffffu
};
void pushAttributes(unsigned groups);
void popAttributes();

// Clearing: the colour, depth and stencil buffers named in `buffers` (of the
// bits below) within the scissor box when the scissor test is on.
enum ClearBuffer : unsigned { kClearColour = 1u, kClearDepth = 2u, kClearStencil = 4u };
void clearColour(float r, float g, float b, float a);
void clear(unsigned buffers);

// Waits until everything drawn so far is done (for timing passes).
void finish();

// The driver's first recorded error since the last call, its own code (0:
// none; "ERROR! <code>" is printed with it).
uint32_t error();

// Lights and the material of both faces. A light's position is taken into eye
// space by the modelview matrix current when it is set.
void light(int light, LightParam param, const float *values);
void material(MaterialParam param, const float *values);
void shininess(float value);

// Linear fog from `start` to `end` in `colour` (the fog's enable is Cap::Fog).
void linearFog(float start, float end, const float *colour);
void fogDensity(float density);

// Sphere-map generation of s and t on or off (the mode and the enables).
void sphereMap(bool on);

// Texture units and the 2D texture bound to the active one.
void activeTexture(int unit);
void bindTexture(uint32_t texture);
// A sampling setting of the texture bound to the active unit.
void textureParameter(TextureParam param, TextureValue value);

// Texture objects. createTexture makes one and binds it to the active unit;
// the others act on the texture bound there. Pixel rows are tightly packed,
// the first row at t = 0. Without a current context (the window closed)
// deleteTexture has nothing to delete.
uint32_t createTexture();
void deleteTexture(uint32_t texture);
// Level `level`'s texels: `pixels` (`given` format; nullptr leaves them
// undefined), stored as `stored`.
void textureImage(int level, PixelFormat stored, int width, int height, PixelFormat given, const uint8_t *pixels);
// The levels sampling may use: between minLod and maxLod, and up to maxLevel.
void textureLevels(float minLod, float maxLod);
void textureMaxLevel(int level);
// Every level below 0, made from level 0.
void generateMipmaps();
// A picture with all its mipmap levels, made on the CPU as GLU made them
// (image_scaling.h): `format` both given and stored.
void textureMipmapped(PixelFormat format, int width, int height, const uint8_t *pixels);
// The largest side a texture may have.
int maxTextureSize();
// The lower-left width x height pixels of the frame being drawn into level
// 0's lower-left corner.
void copyToTexture(int width, int height);

void viewport(int x, int y, int width, int height);
void scissor(int x, int y, int width, int height);

} // namespace demo::draw
