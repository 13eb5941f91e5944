#include "scenes/event_scene.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "draw/draw.h"
#include "gfx/glow.h"
#include "gfx/overlay.h"
#include "scene/view.h"

namespace demo {

namespace {

// The scene's title clock A at local time 0: the title, the letterbox and
// the event overlay were timed to the music 0.3 s ahead of the part's start
// at 118.84 s, so A = local time + 119.14, and the two times below are A's.
constexpr float kShowClockOffset = 119.14f;
constexpr float kLetterboxStart = 138.26f;
constexpr float kEventStart = 148.44f;
constexpr float kMaxBar = 75.f;

// The show clock values after which overlay k (k + 1 letters) shows.
constexpr float kTitleThresholds[EventScene::kTitleCount] = {128.7f,  129.13f, 129.68f, 129.91f,
                                                             130.37f, 131.15f, 131.62f, 132.15f,
                                                             132.38f, 132.86f, 133.62f};
constexpr const char kTitleWord[] = "quintervale";
static_assert(sizeof kTitleWord - 1 == EventScene::kTitleCount, "one overlay per letter");

// The cube field: the first 32 x 32 grid points are coloured from a 32-row
// window of the colour picture that wraps every 224 columns.
constexpr int kColouredCubes = 1024;
constexpr int kFieldColumns = 32;
constexpr int kMapWrap = 224;
constexpr size_t kMapRowPixels = 256; // the colour map's row length, whatever its width

// The mesh's first part scaled by `factor` about the origin.
EbrMesh scaledMesh(const char *path, float factor) {
  EbrMesh mesh(path);
  if (mesh.partCount > 0)
    for (Vec3 &p : mesh.parts[0]->positions)
      p = Vec3{p.x * factor, p.y * factor, p.z * factor};
  return mesh;
}

std::vector<Vec3> firstPartPositions(const EbrMesh &mesh) {
  return mesh.partCount > 0 ? mesh.parts[0]->positions : std::vector<Vec3>();
}

std::vector<float> lagsOf(const std::vector<Vec3> &rest) {
  std::vector<float> lags(rest.size());
  for (size_t i = 0; i < rest.size(); ++i)
    lags[i] = eventSpikeLag(rest[i]);
  return lags;
}

} // namespace

float eventShowClock(float time) { return time + kShowClockOffset; }

int eventTitleIndex(float showClock) {
  int k = -1;
  for (int i = 0; i < EventScene::kTitleCount; ++i)
    if (showClock > kTitleThresholds[i])
      k = i;
  return k;
}

EventLetterbox eventLetterbox(float showClock) {
  EventLetterbox box{};
  box.slide = 0.f;
  if (showClock > kLetterboxStart)
    box.slide = power(40.f * (showClock - kLetterboxStart), 2.f);
  // 0.09375 = 0.00125 * 75: the bars reach their full 75 pixels when the
  // slide has gone 800 pixels, i.e. when the title is off screen.
  box.barHeight = 0.09375f * box.slide;
  if (box.barHeight > kMaxBar)
    box.barHeight = kMaxBar;
  const PixelBox band = FrameSize().band(box.barHeight);
  box.viewportY = band.y;
  box.viewportHeight = band.height;
  box.aspect = static_cast<float>(kBaseFrameWidth) / (static_cast<float>(kBaseFrameHeight) - 2.f * box.barHeight);
  return box;
}

bool eventOverlayShown(float showClock) { return showClock > kEventStart; }

bool stepBassJump(float &cooldown, float s0, float dt) {
  // The cooldown must fall below 0 before a hit counts: starting at 0, the
  // very first frame never jumps.
  const bool jumps = cooldown < 0.f && s0 > 0.45f;
  if (jumps)
    cooldown = 0.05f;
  cooldown -= dt;
  return jumps;
}

float nextBassLevel(float level, float s0, float s1) { return 0.8f * (s1 + s0 + level); }

float eventSpikeLag(const Vec3 &rest) {
  const float length = std::sqrt(rest.x * rest.x + rest.y * rest.y + rest.z * rest.z);
  return power(0.02f * length, 1.2f);
}

Vec3 eventSpikeTarget(const Vec3 &rest, float lag, float viewTime, float spikeTime) {
  // Vertices far from the origin have larger lags, so the tips trail the core.
  const float ph = spikeTime - lag;
  Vec3 q = rotateX(rest.x, rest.y, rest.z, 1.3f * std::sin(viewTime));
  q = rotateY(q.x, q.y, q.z, std::sin(viewTime));
  q = rotateZ(q.x, q.y, q.z, 5.3f * ph);
  return Vec3{q.x + 55.f * std::sin(ph), q.y + 55.f * std::sin(1.2f * ph), q.z + 55.f * std::sin(1.3f * ph)};
}

void eventSpringStep(Vec3 &position, Vec3 &velocity, const Vec3 &target) {
  // Pull 0.1 of the distance, keep 0.92 of the speed, then gravity. Because
  // gravity comes after the damping, a vertex whose target stands still comes
  // to rest where 0 = 0.92 * 0.1 d - 0.1, that is d = 0.1 / 0.092: about
  // 1.087 units below its target.
  velocity.x += 0.1f * (target.x - position.x);
  velocity.y += 0.1f * (target.y - position.y);
  velocity.z += 0.1f * (target.z - position.z);
  velocity.x *= 0.92f;
  velocity.y *= 0.92f;
  velocity.z *= 0.92f;
  velocity.y -= 0.1f;
  position.x += velocity.x;
  position.y += velocity.y;
  position.z += velocity.z;
}

int eventCubeColumn(int j, float w) {
  // Positive modulo: a negative or huge view time still lands inside the
  // 224 columns (a plain % would give a negative column before 0).
  float shift = std::floor(10.f * w);
  shift = std::isfinite(shift) ? std::fmod(shift, static_cast<float>(kMapWrap)) : 0.f;
  if (shift < 0.f)
    shift += static_cast<float>(kMapWrap);
  return ((j % kFieldColumns) + static_cast<int>(shift)) % kMapWrap;
}

EventRgb eventCubeColour(const std::vector<uint8_t> &pixels, int j, float w, int detail) {
  const int row = j / kFieldColumns;
  const int column = eventCubeColumn(j, w);
  bool bright = false;
  // Rows of kMapRowPixels cells, the width the map is made for; a map of
  // another width is still read that way, and a cell past its bytes counts
  // as dark. At detail d a cell is d x d pixels and its colour is their mean.
  if (row >= 0 && detail > 0) {
    const size_t d = static_cast<size_t>(detail), rowPixels = kMapRowPixels * d;
    long sum = 0;
    bool inside = true;
    for (size_t y = static_cast<size_t>(row) * d; y < (static_cast<size_t>(row) + 1) * d && inside; ++y)
      for (size_t x = static_cast<size_t>(column) * d; x < (static_cast<size_t>(column) + 1) * d; ++x) {
        const size_t offset = 3 * (y * rowPixels + x);
        if (offset + 2 >= pixels.size()) {
          inside = false;
          break;
        }
        sum += pixels[offset] + pixels[offset + 1] + pixels[offset + 2];
      }
    bright = inside && sum > 500L * static_cast<long>(d * d);
  }
  if (bright)
    return EventRgb{120, 120, static_cast<uint8_t>(140 + static_cast<int>(9.f * std::sin(w)))};
  return EventRgb{200, 200, 200};
}

EventTitlePosition eventTitlePosition(float s0, float slide, float randomY, float randomX) {
  return EventTitlePosition{20.f * s0 * randomX + slide, 20.f * s0 * randomY + 235.f};
}

EventScene::EventScene(const SceneFrame &sceneFrame)
    // 1-2. The event overlay, then the spike and its rest shape.
    : eventOverlay_("data/overlays/scene-event.png", 0), spike_("data/yollspike.ebr"),
      spikeVertexCount_(spike_.partCount > 0 ? spike_.parts[0]->vertexCount : 0),
      restPositions_(firstPartPositions(spike_)),
      // 3-5. Springs at rest on the loaded shape; each vertex's lag.
      spikeVelocities(static_cast<size_t>(spikeVertexCount_), Vec3{0.f, 0.f, 0.f}),
      spikeTargets(static_cast<size_t>(spikeVertexCount_), Vec3{0.f, 0.f, 0.f}), spikeLags(lagsOf(restPositions_)),
      // 6. The two environment maps.
      spikeTexture("data/poopscience.jpg", 0), cubeTexture("data/grey.jpg", 0),
      // 8-10. The colour picture, the grid (3 x) and the cube (2 x).
      colourMap_("data/ultramap.jpg", 0), grid(scaledMesh("data/grid.ebr", 3.f)),
      cube(scaledMesh("data/kubedritt.ebr", 2.f)),
      // 11. The frame copy and the bloom buffer.
      frameSize(sceneFrame.size), screenCopyStorage(sceneFrame.screenCopyOrNew()), screenCopy(*screenCopyStorage), glowTarget(256, 256, TargetStorage::Rgb, sceneFrame.size) {
  // 5, 7. The spike's first part draws straight from the animated positions:
  // they are that part's own array, which still holds the loaded shape, while
  // restPositions keeps a copy that never changes.
  if (spike_.partCount > 0)
    spikePositions_ = spike_.parts[0]->positions.data();

  // 12. The clocks, bass level and jump start at 0 (member initialisers).

  // 13. Overlay k spells the first k + 1 letters.
  for (int k = 0; k < kTitleCount; ++k) {
    const std::string path = "data/overlays/logo_" + std::string(kTitleWord, static_cast<size_t>(k + 1)) + ".png";
    titleOverlays[k].load(path.c_str(), 0);
  }
}

void EventScene::restart() {
  for (int i = 0; i < spikeVertexCount_; ++i)
    spikePositions_[i] = restPositions_[static_cast<size_t>(i)];
  std::fill(spikeVelocities.begin(), spikeVelocities.end(), Vec3{0.f, 0.f, 0.f});
  std::fill(spikeTargets.begin(), spikeTargets.end(), Vec3{0.f, 0.f, 0.f});
  viewClock_ = spikeClock_ = bassLevel_ = jumpCooldown_ = cameraJump_ = 0.f;
  titleShakeY_ = titleShakeX_ = 0.f;
}

void EventScene::drawWholeTitle() { titleOverlays[kTitleCount - 1].drawAt(0.f, 250.f, 1.f); }

void EventScene::step(const FrameInput &frame, ShowRandom &random) {
  const Spectrum &s = frame.spectrum;
  const float time = frame.time;

  // 1. A strong bass hit re-rolls the camera jump, at most every 0.05 s.
  if (stepBassJump(jumpCooldown_, s[0], frame.dt))
    cameraJump_ = 200.f * random.unit() - 100.f;

  // 2. The view and spike clocks.
  viewClock_ += 0.03f * s[1];
  spikeClock_ += 0.03f * s[2];
  const float w = time + viewClock_;
  const float spikeTime = time + spikeClock_;

  // 7-8. Every vertex chases its tumbling, swaying target on a spring.
  for (int i = 0; i < spikeVertexCount_; ++i) {
    spikeTargets[i] = eventSpikeTarget(restPositions_[i], spikeLags[i], w, spikeTime);
    eventSpringStep(spikePositions_[i], spikeVelocities[i], spikeTargets[i]);
  }

  // 12. The ripple follows the bass.
  bassLevel_ = nextBassLevel(bassLevel_, s[0], s[1]);

  // 16. While a title shows, it shakes with the bass.
  if (eventTitleIndex(eventShowClock(time)) >= 0) {
    titleShakeY_ = random.signedUnit(); // drawn first
    titleShakeX_ = random.signedUnit();
  }
}

void EventScene::draw(const FrameInput &frame) {
  const Spectrum &s = frame.spectrum;
  const float time = frame.time;
  const float showClock = eventShowClock(time);

  // 1-2. The swing, view and spike clocks as the last step left them.
  const float swing = time + cameraJump_;
  const float w = time + viewClock_;

  // 3. A black frame, no vertex program, no sphere mapping.
  draw::clearColour(0.f, 0.f, 0.f, 1.f);
  draw::clear(draw::kClearColour | draw::kClearDepth);
  draw::disable(draw::Cap::VertexProgramArb);
  disableSphereMap();

  // 4. The letterbox: the picture between two black bars (the bars scaled
  // with the frame; at 800 x 600 the viewport is box.viewportY and
  // box.viewportHeight).
  const EventLetterbox box = eventLetterbox(showClock);
  const PixelBox band = frameSize.band(box.barHeight);
  draw::viewport(band.x, band.y, band.width, band.height);

  // 5. The camera swings on S and looks at a point wandering on w; the jump
  // also tilts the up vector.
  setView(-130.f * std::sin(swing), 70.f * std::cos(0.8f * swing), 90.f, 30.f * std::sin(0.5f * w),
          20.f * std::sin(0.6f * w + 0.3f), 30.f * std::sin(0.6f * w + 0.4f), 0.f, std::sin(cameraJump_), 1.f, 75.f,
          box.aspect);

  // 6. Black linear fog far behind the field.
  const float fogColour[4] = {0.f, 0.f, 0.f, 1.f};
  draw::enable(draw::Cap::Fog);
  draw::linearFog(1300.f, 1800.f, fogColour);
  draw::colour(1.f, 1.f, 1.f, 1.f);

  // 9-10. The spike, sphere-mapped.
  spike_.recomputeNormals();
  spikeTexture.bind();
  enableSphereMap();
  if (spike_.partCount > 0)
    spike_.parts[0]->draw();
  spikeTexture.unbind();

  // 11-12. The cubes keep sphere mapping; the ripple follows the bass.
  cubeTexture.bind();
  draw::scale(10.f, 10.f, 10.f);

  // 13. One cube per grid point, the first 32 x 32 coloured from the picture;
  // later points keep the last colour. The ripple runs diagonally.
  if (grid.partCount > 0) {
    const std::vector<Vec3> &points = grid.parts[0]->positions;
    for (size_t j = 0; j < points.size(); ++j) {
      if (j < static_cast<size_t>(kColouredCubes)) {
        const EventRgb c =
            eventCubeColour(colourMap_.pixels, static_cast<int>(j), w, colourMap_.detail);
        draw::colour(c.r, c.g, c.b);
      }
      const Vec3 &p = points[j];
      draw::pushMatrix();
      draw::translate(p.x, p.y, p.z + 20.f * bassLevel_ * std::sin(w + p.x - std::sin(p.y + 3.f * w)));
      cube.draw();
      draw::popMatrix();
    }
  }

  // 14.
  draw::colour(255, 255, 255);
  disableSphereMap();
  draw::disable(draw::Cap::Texture2D);

  // 15. Bloom: the whole frame (bars included) blurred and added back.
  GlowPass glow(screenCopy, glowTarget, {3, 4, 1.f, 0.7f * (s[2] + s[0]) + 1.f}, {1.f, 0.9f, 0.9f, 1.f});
  glow.pictureOnScreen = true;
  glow.capture();
  draw::matrixMode(draw::MatrixMode::Texture);
  draw::loadIdentity();
  draw::matrixMode(draw::MatrixMode::Projection);
  draw::loadIdentity();
  draw::matrixMode(draw::MatrixMode::ModelView);
  draw::loadIdentity();
  glow.shrink();
  glow.blurGlow();
  glow.compose();

  // 16. The title, shaking with the bass and sliding out with the letterbox.
  const int k = eventTitleIndex(showClock);
  draw::colour(1.f, 1.f, 1.f, 1.f);
  draw::enable(draw::Cap::Blend);
  draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::OneMinusSrcAlpha);
  if (k >= 0) {
    const EventTitlePosition at = eventTitlePosition(s[0], box.slide, titleShakeY_, titleShakeX_);
    titleOverlays[k].drawAt(at.x, at.y, 1.f);
  }
  draw::disable(draw::Cap::Blend);
  draw::colour(1.f, 1.f, 1.f, 1.f);

  // 17. The event overlay in the lower bar and a white flash over it;
  // blending stays on.
  if (eventOverlayShown(showClock)) {
    draw::enable(draw::Cap::Blend);
    draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::OneMinusSrcAlpha);
    eventOverlay_.drawAt(368.f, 0.f, 1.f);
    draw::colour(1.f, 1.f, 1.f, static_cast<float>(envelope(kEventStart, 1.f, 2.f, 3.f, showClock)));
    drawFullScreenQuad();
  }

  // 18.
  draw::viewport(0, 0, frameSize.width, frameSize.height);
}

} // namespace demo
