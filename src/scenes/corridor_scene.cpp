#include "scenes/corridor_scene.h"

#include <cmath>
#include <cstdlib>

#include "gfx/overlay.h"
#include "base/data_path.h"
#include "base/message.h"
#include "draw/draw.h"
#include "scene/view.h"

namespace demo {

namespace {
constexpr int kGridSize = 40;
constexpr int kBandPairs = CorridorScene::kBandPairs;

// The mesh's arrays as flat floats, or null when the node is missing or has
// nothing to draw.
const uint32_t *indicesOf(const Scene &scene, const MeshNode *node) {
  return node ? scene.submeshIndices(*node, 0) : nullptr;
}
const float *positionsOf(const Scene &scene, const MeshNode *node) {
  if (!node || scene.meshVertices(*node).empty())
    return nullptr;
  return &scene.meshVertices(*node).front().x;
}
const float *normalsOf(const Scene &scene, const MeshNode *node) {
  if (!node || scene.meshNormals(*node).empty())
    return nullptr;
  return &scene.meshNormals(*node).front().x;
}
int indexCountOf(const Scene &scene, const MeshNode *node) { return node ? scene.submeshIndexCount(*node, 0) : 0; }
const float *texCoordsOf(const Scene &scene, const MeshNode *node) {
  if (!node || scene.meshTexCoords(*node).empty())
    return nullptr;
  return scene.meshTexCoords(*node).data();
}
} // namespace

bool reactToBass(CorridorBass &bass, float time, float dt, float s0, ShowRandom &random) {
  if (s0 > 0.5f)
    bass.barPhase += 300.f * s0;
  // The cooldown starts at 0 and must fall below it first, so the first
  // frame never jumps.
  bool jumped = false;
  if (bass.jumpCooldown < 0.f && s0 > 0.25f) {
    bass.travel = 30.f * random.unit();
    bass.jumpCooldown = 0.05f;
    jumped = true;
  }
  bass.jumpCooldown -= dt;
  if (time > kCorridorFastFlight)
    bass.travel += 14.f * dt + s0;
  else
    bass.travel += 3.f * dt;
  return jumped;
}

float corridorClock(float time) { return 1.8f * time; }

float ballClock(float T) { return T < kCorridorSwitch ? 0.2f * T : T; }

float ballRadius(float T) { return std::sin(T) + 5.5f; }

std::array<Metaball, 5> corridorBalls(float T) {
  const float g = ballClock(T);
  const float r = ballRadius(T);
  // All five circle the grid's centre (20, 20, 20) at up to 9 steps, each
  // axis at its own rate. Intentional: ball 3's y and z are the same curve.
  return {{
      {20.f + 9.f * std::sin(g), 20.f + 9.f * std::sin(0.9f * g), 20.f + 9.f * std::cos(0.8f * g), r},
      {20.f + 9.f * std::cos(1.2f * g), 20.f + 9.f * std::sin(0.7f * g), 20.f + 9.f * std::sin(1.6f * g), r},
      {20.f + 9.f * std::sin(1.6f * g), 20.f + 9.f * std::sin(1.7f * g), 20.f + 9.f * std::sin(1.7f * g), r},
      {20.f + 9.f * std::sin(1.6f * g), 20.f + 9.f * std::cos(1.9f * g), 20.f + 9.f * std::sin(1.8f * g), r},
      {20.f + 9.f * std::sin(2.6f * g), 20.f + 9.f * std::sin(2.1f * g), 20.f + 9.f * std::cos(1.5f * g), r},
  }};
}

Rgba corridorTint(float pulse, float T) {
  if (!(pulse > 0.0001f))
    return Rgba{1.f, 1.f, 1.f, 1.f};
  return Rgba{1.f - pulse * (std::sin(T) + 1.f) / 2.f, 1.f - pulse * (std::sin(1.337f * T) + 1.f) / 2.f,
              1.f - pulse * (std::sin(1.537f * T) + 1.f) / 2.f, 1.f};
}

DarkBand darkBand(int i, float T, float barPhase) {
  const float fi = static_cast<float>(i);
  const float u = std::sin(fi * fi + barPhase + T);
  const float v = std::sin(0.01f * barPhase + fi + 0.1f * T) + 1.f;
  // 0.5 u + 2.5 lies in [2, 3] and v + 0.1 in [0.1, 2.1]: the thickness is
  // always positive, from about 2.4 to 93 pixels; thin bands sit far from
  // the edge ((100 / X)^2), thick ones can start beyond it (Z < 0).
  DarkBand band;
  band.thickness = power(25.f / (0.5f * u + 2.5f), 1.5f) * (v + 0.1f);
  const float q = 100.f / band.thickness;
  band.distance = 30.f - 30.f * v + q * q;
  band.alpha = band.distance > 0.001f ? 0.5f / (0.01f * band.distance) : 0.5f;
  band.scroll = static_cast<float>((i + 1) * (i + 1)) * T;
  return band;
}

CorridorBloom corridorBloom(float s0, float s1) {
  const float sharp = 0.7f - 2.f * s0;
  return CorridorBloom{0.7f * s1 + 1.f, sharp, 1.3f - sharp};
}

ScreenPoint logoPosition(float s5, float randomY, float randomX) {
  const float p = power(s5, 2.f);
  return ScreenPoint{2800.f * p * randomX - 20.f, 2800.f * p * randomY + 160.f};
}

namespace {
const char *kMetaballProgramFile = "data/metaballsfp.txt";
}

CorridorScene::CorridorScene(const SceneFrame &sceneFrame)
    : markerTexture_("data/marker.jpg", 0), greetingsTexture("data/greetings.png", 0), metaballs(kGridSize),
      envTexture("data/envmap_metaballs.jpg", 0), detailTexture("data/ooo.jpg", 0), cgContext(),
      metaballProgram(kMetaballProgramFile, &cgContext, "main", kCgProfileArbfp1), frameSize(sceneFrame.size), screenCopyStorage(sceneFrame.screenCopyOrNew()), screenCopy(*screenCopyStorage),
      glowTarget(256, 256, TargetStorage::Rgb, sceneFrame.size), corridor("data/gang.gsp"), corridorNode_(findMesh(corridor, "Box59")),
      corridorIndices_(indicesOf(corridor, corridorNode_)), corridorVertices_(positionsOf(corridor, corridorNode_)),
      corridorNormals(normalsOf(corridor, corridorNode_)), corridorIndexCount_(indexCountOf(corridor, corridorNode_)),
      corridorTexCoords(texCoordsOf(corridor, corridorNode_)), wallTexture("data/vegg.png", 0),
      logoOverlay("data/overlays/o_kestrane.png", 0), borderTexture("data/overlays/o_border.png", 0) {
  // The program's own diagnostics went to standard output without a name.
  if (!metaballProgram.failure.empty())
    reportFileProblem(resolveDataPath(kMetaballProgramFile),
                      metaballProgram.failure + "; the metaballs are drawn without it");
}

void CorridorScene::drawCorridor(float x) {
  // 1. The camera swings sideways with bin 2 (in the step).

  // 2-3. Light 0 keeps whatever position earlier scenes gave it; black fog
  // hides the corridor beyond 500 units.
  static const float diffuse[4] = {1.f, 1.f, 1.f, 1.f};
  static const float ambient[4] = {0.9f, 0.8f, 0.8f, 1.f};
  static const float fogColour[4] = {0.f, 0.f, 0.f, 1.f};
  draw::enable(draw::Cap::Lighting);
  draw::enable(draw::lightCap(0));
  draw::light(0, draw::LightParam::Diffuse, diffuse);
  draw::light(0, draw::LightParam::Ambient, ambient);
  draw::enable(draw::Cap::Fog);
  draw::linearFog(250.f, 500.f, fogColour);

  // 4-5. 30 units along y per unit of travel, looking 120 ahead, the height
  // swinging with 0.1 x; the scale flips the mesh in z.
  setViewClip(60.f * std::sin(swingPhase_) + 30.f, 30.f * x, 100.f * std::sin(0.1f * x) - 100.f, 0.f,
              30.f * x + 120.f, -100.f, 0.f, 0.f, 1.f, 80.f, 4.f / 3.f, 1.f, 2000.f);
  draw::translate(-60.f, 0.f, 0.f);
  draw::scale(1.3f, 1.3f, -2.6f);

  // 6-7. The mesh's first submesh from its arrays.
  draw::colour(1.f, 1.f, 1.f, 1.f);
  wallTexture.bind();
  draw::disable(draw::Cap::CullFace);
  if (corridorIndices_ && corridorVertices_ && corridorNormals && corridorTexCoords && corridorIndexCount_ > 0) {
    draw::IndexedArrays arrays;
    arrays.primitive = draw::Primitive::Triangles;
    arrays.positions = corridorVertices_;
    arrays.normals = corridorNormals;
    arrays.texCoords = corridorTexCoords;
    arrays.indices = corridorIndices_;
    arrays.count = corridorIndexCount_;
    draw::drawIndexed(arrays);
  }

  // 8. Light 0 stays on.
  wallTexture.unbind();
  draw::disable(draw::Cap::Fog);
  draw::disable(draw::Cap::Lighting);
}

void CorridorScene::restart() {
  rollAngle_ = swingPhase_ = 0.f;
  bass_ = CorridorBass();
  points_ = {};
  logoJitterY_ = logoJitterX_ = 0.f;
  bandJitter_ = {};
}

void CorridorScene::step(const FrameInput &frame, ShowRandom &random) {
  const Spectrum &s = frame.spectrum;
  // The bass pushes the bands, makes the flight jump and speeds it up.
  reactToBass(bass_, frame.time, frame.dt, s[0], random);

  // Bin 2 swings the corridor camera; bins 1 and 3 push the balls' roll.
  const float T = corridorClock(frame.time);
  const bool inCorridor = T > kCorridorSwitch;
  if (inCorridor)
    swingPhase_ += s[2];
  rollAngle_ += 6.f * s[3] + 18.f * s[1];

  // The same 1000 points every intro step (reseeded); z is drawn first.
  if (T < kCorridorSwitch) {
    random.seed(1);
    for (std::array<float, 3> &point : points_) {
      point[2] = random.signedUnit() * 20.f;
      point[1] = random.signedUnit() * 20.f;
      point[0] = random.signedUnit() * 20.f;
    }
  }
  // The corridor's jitter: the logo's (y first), then each band pair's.
  if (inCorridor) {
    logoJitterY_ = random.signedUnit();
    logoJitterX_ = random.signedUnit();
    for (std::array<float, 2> &jitter : bandJitter_) {
      jitter[0] = random.signedUnit();
      jitter[1] = random.signedUnit();
    }
  }
}

void CorridorScene::draw(const FrameInput &frame) {
  const Spectrum &s = frame.spectrum;

  // 1. The bass state as the last step left it.

  // 2. Clocks.
  const float T = corridorClock(frame.time);
  const bool inCorridor = T > kCorridorSwitch;

  // 3. A black frame.
  screenCopy.setViewport();
  draw::clearColour(0.f, 0.f, 0.f, 1.f);
  draw::clear(draw::kClearColour | draw::kClearDepth);

  // 4. Intentional: the depth buffer is not cleared after the corridor, so
  // the balls (another projection) are depth-tested against its values.
  if (inCorridor)
    drawCorridor(bass_.travel);

  // 5. The balls' camera wanders with travel and tilts with bin 3.
  const float travel = bass_.travel;
  setViewClip(0.9f, -0.8f, 0.7f, 0.3f * std::cos(0.035f * travel), 0.4f * std::sin(0.03f * travel),
              0.4f * std::sin(0.045f * travel), 0.4f * std::sin(0.02f * travel), 1.f, 2.f * s[3], 90.f,
              4.f / 3.f, 0.1f, 20.f);

  // 6. Spin, and the roll that bins 1 and 3 push.
  draw::rotate(3.f * travel, 0.f, 0.f, 1.f);
  draw::rotate(30.f * T, 0.f, 1.f, std::sin(T));
  draw::rotate(rollAngle_, 1.f, 0.f, 0.f);

  // 7. The step's 1000 points; point size stays 8 pixels of the base
  // picture (8 s at scale s).
  if (T < kCorridorSwitch) {
    draw::disable(draw::Cap::Texture2D);
    draw::disable(draw::Cap::Fog);
    draw::colour(1.f, 1.f, 1.f, 1.f);
    draw::pointSize(frameSize.size(8.f));
    draw::begin(draw::Primitive::Points);
    for (const std::array<float, 3> &point : points_)
      draw::vertex(point[0], point[1], point[2]);
    draw::end();
  }

  // 8. Unit 0: the environment, sphere-mapped; unit 1: the detail texture at
  // the surface point's x and y (the field emits those coordinates).
  enableSphereMap();
  draw::disable(draw::Cap::CullFace);
  metaballProgram.bind();
  envTexture.bindUnit(0);
  detailTexture.bindUnit(1);

  // 9-12. The field, tinted by the beat pulses.
  metaballs.clearValues();
  const Rgba tint = corridorTint(frame.pulse, T);
  draw::colour(tint.r, tint.g, tint.b, tint.a);
  const std::array<Metaball, 5> balls = corridorBalls(T);
  metaballs.addBalls(balls.data(), static_cast<int>(balls.size()));
  metaballs.updateNormals();
  metaballs.drawSurface();

  // 13.
  envTexture.unbindUnit(0);
  detailTexture.unbindUnit(1);
  metaballProgram.unbind();
  disableSphereMap();
  draw::colour(1.f, 1.f, 1.f, 1.f);

  // 14. Intentional: the copy is drawn back in whatever blend state is
  // current (the previous frame's); in the states that leave it as it was
  // the draw is skipped.
  screenCopy.copyFromScreen();
  screenCopy.drawBack();
  screenCopy.copyTo(glowTarget);

  if (inCorridor) {
    // 15. Bloom; bass darkens the sharp picture and strengthens the glow.
    const CorridorBloom bloom = corridorBloom(s[0], s[1]);
    glowTarget.blur(3, 3, 1.f, bloom.blurGain);
    screenCopy.drawTinted(bloom.sharp, bloom.sharp, bloom.sharp, 1.f);
    glowTarget.drawAdditive(bloom.glow, bloom.glow, bloom.glow, 1.f);
    draw::enable(draw::Cap::Blend);
    draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::OneMinusSrcAlpha);
    const ScreenPoint logo = logoPosition(s[5], logoJitterY_, logoJitterX_);
    logoOverlay.drawAt(logo.x, logo.y, 1.f);
  } else {
    // 16. The intro shows the scrolling picture with the greetings
    // multiplied over it; the balls only as a faint copy and a strong glow.
    glowTarget.blur(4, 4, 2.f, 1.1f);
    draw::clear(draw::kClearColour);
    markerTexture_.drawAt(0.f, 300.f - 10.f * T, 1.f);
    draw::enable(draw::Cap::Blend);
    draw::blendFunc(draw::Factor::DstColor, draw::Factor::SrcAlpha);
    draw::colour(1.f, 1.f, 1.f, 0.3f);
    greetingsTexture.drawAt(0.f, 0.f, 1.f);
    screenCopy.drawAdditive(0.05f, 0.05f, 0.05f, 1.f);
    glowTarget.drawAdditive(0.9f, 0.9f, 0.9f, 1.f);
  }

  // 17. Dark bands along both edges, in the blend state of step 15.
  if (inCorridor) {
    // Overlay units: the bands span the picture's width at any scale.
    const float width = static_cast<float>(kBaseFrameWidth);
    for (int i = 0; i < kBandPairs; ++i) {
      const DarkBand band = darkBand(i, T, bass_.barPhase);
      draw::colour(0.f, 0.f, 0.f, band.alpha);
      const float span = width / band.thickness;
      borderTexture.drawSprite(0.f, static_cast<float>(kBaseFrameHeight) - band.distance, width, -band.thickness,
                               span, 1.f,
                               band.scroll + 0.1f * bandJitter_[i][0], 0.f);
      borderTexture.drawSprite(0.f, band.distance, width, band.thickness, span, 1.f,
                               band.scroll + 0.1f * bandJitter_[i][1], 0.f);
    }
  }

  // 18.
  draw::colour(1.f, 1.f, 1.f, 1.f);
}

} // namespace demo
