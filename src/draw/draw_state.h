// draw_state.h - what the show asks of the fixed-function pipeline, as data
// the program can read: the matrix stacks, the current colour and normal, the
// lights and the material, fog, sphere-map texture generation, the enables,
// the blend function, depth and scissor state and the texture bindings.
//
// The drawing context (draw.h) keeps one State up to date with every call and
// answers every question about the pipeline from it, never from the driver,
// so a backend without the fixed-function pipeline (OpenGL 3.3 core, ES 3.0)
// can reproduce it from the State alone. It holds no GL names of its own
// beyond the texture and program names the callers bind.
//
// Matrices are column-major, as OpenGL keeps them: the translation sits at
// 12, 13 and 14.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

namespace demo::draw {

// The switches the show turns on and off.
enum class Cap : uint8_t {
  Blend,
  CullFace,
  DepthTest,
  Fog,
  Lighting,
  Light0,
  Light1,
  Light2,
  Light3,
  Light4,
  Light5,
  Light6,
  Light7,
  Normalize,
  ScissorTest,
  Texture2D,
  TextureGenS,
  TextureGenT,
  VertexProgramArb,   // the ARB assembly program targets
  FragmentProgramArb,
  Count
};
inline constexpr int kLights = 8;
inline Cap lightCap(int light) { return static_cast<Cap>(static_cast<int>(Cap::Light0) + light); }

enum class MatrixMode : uint8_t { ModelView, Projection, Texture };

// Blend factors the show uses.
enum class Factor : uint8_t { Zero, One, SrcAlpha, OneMinusSrcAlpha, DstColor, OneMinusDstColor, SrcColor, OneMinusSrcColor };

using Mat4 = std::array<float, 16>;
Mat4 identityMatrix();
// a x b, as glMultMatrix multiplies the current matrix (a) by b.
Mat4 multiplied(const Mat4 &a, const Mat4 &b);
// m applied to the point or direction (x, y, z, w).
std::array<float, 4> transformed(const Mat4 &m, const std::array<float, 4> &v);

// One light of the fixed pipeline. Its position is in eye space: the
// modelview matrix at the time it was set has been applied, and later changes
// of the modelview do not move it (the scenes set their lights once, under the
// camera of that moment, and rely on this).
struct Light {
  std::array<float, 4> ambient{0.f, 0.f, 0.f, 1.f};
  std::array<float, 4> diffuse{0.f, 0.f, 0.f, 1.f};  // light 0: white
  std::array<float, 4> specular{0.f, 0.f, 0.f, 1.f}; // light 0: white
  std::array<float, 4> eyePosition{0.f, 0.f, 1.f, 0.f};
};

// The material of both faces.
struct Material {
  std::array<float, 4> ambient{0.2f, 0.2f, 0.2f, 1.f};
  std::array<float, 4> diffuse{0.8f, 0.8f, 0.8f, 1.f};
  std::array<float, 4> specular{0.f, 0.f, 0.f, 1.f};
  std::array<float, 4> emission{0.f, 0.f, 0.f, 1.f};
  float shininess = 0.f;
};

// Linear fog (the only kind the show uses), or exponential with `density`.
struct Fog {
  bool linear = false; // GL's default mode is GL_EXP
  float start = 0.f, end = 1.f, density = 1.f;
  std::array<float, 4> colour{0.f, 0.f, 0.f, 0.f};
};

inline constexpr int kTextureUnits = 4;

// The switches that belong to a texture unit (the active one when set).
inline bool isPerUnit(Cap cap) { return cap == Cap::Texture2D || cap == Cap::TextureGenS || cap == Cap::TextureGenT; }

struct State {
  // The switches of the whole pipeline, and those of each texture unit
  // (isPerUnit); isEnabled and setEnabled pick the right one.
  std::bitset<static_cast<size_t>(Cap::Count)> enabled;
  std::array<std::bitset<static_cast<size_t>(Cap::Count)>, kTextureUnits> unitEnabled{};
  MatrixMode matrixMode = MatrixMode::ModelView;
  // Each stack's last entry is the current matrix; none is ever empty. The
  // texture stacks are per unit.
  std::vector<Mat4> modelView{identityMatrix()};
  std::vector<Mat4> projection{identityMatrix()};
  std::array<std::vector<Mat4>, kTextureUnits> texture{
      {{identityMatrix()}, {identityMatrix()}, {identityMatrix()}, {identityMatrix()}}};
  std::array<float, 4> colour{1.f, 1.f, 1.f, 1.f};
  std::array<float, 3> normal{0.f, 0.f, 1.f};
  // The current texture coordinates (s, t) of units 0 and 1.
  std::array<std::array<float, 2>, 2> texCoord{};
  Factor blendSource = Factor::One, blendDestination = Factor::Zero;
  bool depthMask = true;
  bool colourMask = true; // all four channels written, or none
  std::array<float, 4> clearColour{0.f, 0.f, 0.f, 0.f};
  float pointSize = 1.f;
  std::array<Light, kLights> lights{};
  Material material;
  Fog fog;
  // Per texture unit: whether s and t are generated as a sphere map (once
  // set, the mode stays; the enables are Cap::TextureGenS/T).
  std::array<bool, kTextureUnits> sphereMap{};
  int activeUnit = 0;
  std::array<uint32_t, kTextureUnits> boundTexture{};
  std::array<int, 4> viewport{0, 0, 0, 0};
  std::array<int, 4> scissor{0, 0, 0, 0};
  uint32_t program = 0; // the shader program in use, 0 for the fixed pipeline

  State();
  // For a per-unit switch, the active unit's.
  bool isEnabled(Cap cap) const {
    return isPerUnit(cap) ? unitEnabled[static_cast<size_t>(activeUnit)].test(static_cast<size_t>(cap))
                          : enabled.test(static_cast<size_t>(cap));
  }
  void setEnabled(Cap cap, bool on) {
    if (isPerUnit(cap))
      unitEnabled[static_cast<size_t>(activeUnit)].set(static_cast<size_t>(cap), on);
    else
      enabled.set(static_cast<size_t>(cap), on);
  }
  const Mat4 &current(MatrixMode mode) const;
  Mat4 &current(MatrixMode mode);
  std::vector<Mat4> &stack(MatrixMode mode);
  const std::vector<Mat4> &stack(MatrixMode mode) const;
};

} // namespace demo::draw
