#include "show/timeline.h"

#include <cmath>
#include <initializer_list>

#include "base/show_parts.h"
#include "draw/draw.h"
#include "gfx/cg_program.h"
#include "gfx/overlay.h"
#include "gfx/render_target.h"
#include "scene/view.h"
#include "scenes/closing_scene.h"
#include "scenes/event_scene.h"
#include "scenes/final_boxes_scene.h"
#include "scenes/water_scene.h"

namespace demo {

ClearColour clearColourFor(float previousTime) {
  const float p = previousTime;
  // c runs from 0.5 to 1.5; the phase 3 p^2 makes the flicker speed up.
  const float c = 1.f + 0.5f * std::sin(3.f * p * p);
  ClearColour colour = p < 10.f ? ClearColour{c, c, c, 1.f} : ClearColour{1.f, 1.f, 1.f, 1.f};
  if (17.8f < p && p < 19.8f)
    colour = ClearColour{c, c, c, 1.f};
  return colour;
}

void applyClearColour(float previousTime) {
  ClearColour c = clearColourFor(previousTime);
  draw::clearColour(c.r, c.g, c.b, c.a);
}

ScheduledCall scheduleAt(float t) {
  if (t < partEnd(kWaterPart))
    return {Slot::Water, t};
  if (partStart(kLogoPart) < t && t < partEnd(kLogoPart))
    return {Slot::Logo, t - partStart(kLogoPart)};
  if (partStart(kWaterAgainPart) < t && t < partEnd(kWaterAgainPart))
    return {Slot::Water, t - partStart(kWaterAgainPart), true};
  if (partStart(kLettersPart) < t && t < partEnd(kLettersPart))
    return {Slot::Letters, t - partStart(kLettersPart)};
  if (partStart(kEventPart) < t && t < partEnd(kEventPart))
    return {Slot::Event, t - partStart(kEventPart)};
  if (partStart(kCorridorPart) < t && t < partEnd(kCorridorPart))
    return {Slot::Corridor, t - partStart(kCorridorPart)};
  if (partStart(kFinalPart) < t && t < partEnd(kFinalPart))
    return {Slot::FinalBoxes, t - partStart(kFinalPart)};
  if (partStart(kQuickCutsPart) < t && t < partEnd(kQuickCutsPart))
    return {Slot::QuickCuts, 0.f};
  if (t > partStart(kEndingPart))
    return {Slot::Ending, 0.f};
  return {Slot::None, 0.f};
}

ScheduledCall quickCutAt(float t) {
  constexpr float toWater = static_cast<float>(kQuickCutToWater);
  constexpr float toFinal = static_cast<float>(kQuickCutToFinal);
  if (t < toWater)
    return {Slot::Logo, (t - partStart(kQuickCutsPart)) * 2.f};
  if (t < toFinal)
    return {Slot::Water, t - toWater, true};
  return {Slot::FinalBoxes, t - toFinal};
}

double quickCutFlash(float t) {
  return envelope(242.45f, 1.f, 1.f, 2.f, t) + envelope(247.39f, 1.f, 1.f, 2.f, t) +
         envelope(252.4f, 1.f, 1.f, 2.f, t);
}

double whiteOverlay(float t) { return envelope(217.5f, 8.f, 5.f, 3.f, t) + envelope(118.84f, 1.f, 3.f, 3.f, t); }

double blackOverlay(float t) { return envelope(158.4f, 3.f, 2.f, 3.f, t); }

float beatPulses(float t) {
  if (!(197.f < t && t < 211.f))
    return 0.f;
  float sum = 0.f;
  for (int k = 0; k < 16; ++k)
    sum += static_cast<float>(envelope(198.4f + 1.225f * static_cast<float>(k), 0.25f, 0.5f, 2.f, t));
  return sum;
}

const char *slotName(Slot slot) {
  switch (slot) {
  case Slot::Water:
    return "water";
  case Slot::Logo:
    return "logo";
  case Slot::Letters:
    return "letters";
  case Slot::Event:
    return "event";
  case Slot::Corridor:
    return "corridor";
  case Slot::FinalBoxes:
    return "final";
  case Slot::QuickCuts:
    return "quick cuts";
  case Slot::Ending:
    return "ending";
  case Slot::None:
    break;
  }
  return "none";
}

ShowScenes::ShowScenes() = default;
ShowScenes::~ShowScenes() = default;

namespace {

// Viewport the whole frame and identity in the model-view, projection and
// texture matrices, in that order (the mode is left at Texture).
void resetViewAndMatrices(const FrameSize &frame) {
  draw::viewport(0, 0, frame.width, frame.height);
  for (draw::MatrixMode mode : {draw::MatrixMode::ModelView, draw::MatrixMode::Projection, draw::MatrixMode::Texture}) {
    draw::matrixMode(mode);
    draw::loadIdentity();
  }
}

// A flat full-screen quad in (1, 1, 1, alpha) or (0, 0, 0, alpha).
void overlayQuad(float grey, float alpha, draw::Factor destination) {
  draw::enable(draw::Cap::Blend);
  draw::blendFunc(draw::Factor::SrcAlpha, destination);
  draw::colour(grey, grey, grey, alpha);
  drawFullScreenQuad();
  draw::disable(draw::Cap::Blend);
}

} // namespace

Timeline::Timeline(ShowScenes &scenes, RenderTarget &screenTarget, const FrameSize &frame)
    : scenes_(scenes), screenTarget_(screenTarget), frame_(frame) {}

Effect *Timeline::sceneFor(const ScheduledCall &call) {
  switch (call.slot) {
  case Slot::Water:
    if (scenes_.water)
      scenes_.water->followPath(call.returning ? WaterPath::Return : WaterPath::Opening);
    return scenes_.water.get();
  case Slot::Logo:
    return scenes_.logo.get();
  case Slot::Letters:
    return scenes_.letters.get();
  case Slot::Event:
    return scenes_.event.get();
  case Slot::Corridor:
    return scenes_.corridor.get();
  case Slot::FinalBoxes:
    return scenes_.finalBoxes.get();
  default:
    return nullptr;
  }
}

namespace {
// The input of a scene's step or draw at its local time.
FrameInput at(const FrameInput &frame, float localTime) {
  FrameInput local = frame;
  local.time = localTime;
  return local;
}
} // namespace

void Timeline::step(float t, float dt, const Spectrum &spectrum, ShowRandom &random) {
  const FrameInput frame{t, dt, spectrum, pulse_};
  const ScheduledCall scheduled = scheduleAt(t);
  if (scheduled.slot == Slot::QuickCuts) {
    // Each return to the final boxes scene uses its cut list from the start.
    if (scenes_.finalBoxes)
      scenes_.finalBoxes->rewindCuts();
    const ScheduledCall cut = quickCutAt(t);
    if (Effect *scene = sceneFor(cut))
      scene->step(at(frame, cut.localTime), random);
  } else if (scheduled.slot == Slot::Ending) {
    const float u = t - partStart(kEndingPart);
    if (scenes_.event)
      scenes_.event->step(at(frame, u), random);
    if (scenes_.closing)
      scenes_.closing->step(at(frame, u), random);
  } else if (Effect *scene = sceneFor(scheduled)) {
    scene->step(at(frame, scheduled.localTime), random);
  }
  drawnPulse_ = pulse_;
  pulse_ += beatPulses(t);
}

void Timeline::restart() {
  for (Effect *scene : std::initializer_list<Effect *>{scenes_.water.get(), scenes_.logo.get(),
                                                        scenes_.letters.get(), scenes_.event.get(),
                                                        scenes_.corridor.get(), scenes_.finalBoxes.get()})
    if (scene)
      scene->restart();
  if (scenes_.closing)
    scenes_.closing->restart();
  pulse_ = 0.f;
  drawnPulse_ = 0.f;
}

void Timeline::draw(float t, float dt, const Spectrum &spectrum) {
  const FrameInput frame{t, dt, spectrum, drawnPulse_};
  const ScheduledCall scheduled = scheduleAt(t);
  if (scheduled.slot == Slot::QuickCuts)
    drawQuickCuts(frame);
  else if (scheduled.slot == Slot::Ending)
    drawEnding(frame);
  else if (Effect *scene = sceneFor(scheduled))
    scene->draw(at(frame, scheduled.localTime));

  const double white = whiteOverlay(t);
  if (white > 0.0)
    overlayQuad(1.f, static_cast<float>(white), draw::Factor::One);
  const double black = blackOverlay(t);
  if (black > 0.0)
    overlayQuad(0.f, static_cast<float>(black), draw::Factor::OneMinusSrcAlpha);
}

void Timeline::drawQuickCuts(const FrameInput &frame) {
  resetViewAndMatrices(frame_);
  disableCgProfiles();
  disableSphereMap();
  const ScheduledCall cut = quickCutAt(frame.time);
  if (Effect *scene = sceneFor(cut))
    scene->draw(at(frame, cut.localTime));
  // Drawn every frame of the cuts, also when the flash is 0.
  overlayQuad(1.f, static_cast<float>(quickCutFlash(frame.time)), draw::Factor::One);
}

void Timeline::drawEnding(const FrameInput &frame) {
  const float u = frame.time - partStart(kEndingPart);
  disableCgProfiles();
  resetViewAndMatrices(frame_);
  disableArbProgramTargets();
  disableSphereMap();
  screenTarget_.setViewport();
  // The event scene starts over from 0 under the title, the whole frame is
  // captured and the closing scene breaks that capture into tiles.
  if (scenes_.event)
    scenes_.event->draw(at(frame, u));
  draw::enable(draw::Cap::Blend);
  draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::OneMinusSrcAlpha);
  if (scenes_.event)
    scenes_.event->drawWholeTitle();
  screenTarget_.copyFromScreen();
  disableSphereMap();
  if (scenes_.closing) {
    scenes_.closing->useScreen(screenTarget_);
    scenes_.closing->draw(at(frame, u)); // blending still on, as the closing scene expects
  }
}

} // namespace demo
