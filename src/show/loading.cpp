#include "show/loading.h"

#include "draw/draw.h"
#include "gfx/overlay.h"
#include "gfx/texture.h"
#include "platform/gl_window.h"
#include "scenes/closing_scene.h"
#include "scenes/corridor_scene.h"
#include "scenes/event_scene.h"
#include "scenes/final_boxes_scene.h"
#include "scenes/letter_scene.h"
#include "scenes/logo_scene.h"
#include "scenes/water_scene.h"

namespace demo {

// The bar's widths are k/11 of 514 pixels, in single precision.
const LoadingStage kLoadingStages[kLoadingStageCount] = {
    {0.f, 0.f},
    {46.727272f, 1.f / 11.f},
    {93.454544f, 2.f / 11.f},
    {186.90909f, 4.f / 11.f},
    {233.63637f, 5.f / 11.f},
    {327.0909f, 7.f / 11.f},
    {420.54544f, 9.f / 11.f},
    {467.27274f, 10.f / 11.f},
    {514.f, 1.f},
};

LoadingPictures::LoadingPictures() = default;
LoadingPictures::~LoadingPictures() = default;

void drawLoadingFrame(LoadingPictures &pictures, const LoadingStage &stage) {
  draw::clear(draw::kClearColour | draw::kClearDepth);
  pictures.screen->drawAt(0.f, 0.f, 1.f);
  draw::enable(draw::Cap::Blend);
  draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::OneMinusSrcAlpha);
  pictures.bar->drawSprite(157.f, 265.f, stage.barWidth, 45.f, stage.fraction, 1.f, 0.f, 0.f);
  draw::disable(draw::Cap::Blend);
}

void drawFlashUpFrame() {
  draw::enable(draw::Cap::Blend);
  draw::blendFunc(draw::Factor::One, draw::Factor::One);
  draw::colour(0.02f, 0.02f, 0.02f, 1.f);
  drawFullScreenQuad();
  draw::disable(draw::Cap::Blend);
}

namespace {
// What each stage constructs after its frames (stages eight and nine build
// nothing).
void constructAfterStage(int stage, const SceneFrame &frame, ShowScenes &scenes) {
  switch (stage) {
  case 0:
    scenes.corridor = std::make_unique<CorridorScene>(frame);
    break;
  case 1:
    scenes.event = std::make_unique<EventScene>(frame);
    break;
  case 2:
    scenes.water = std::make_unique<WaterScene>(frame);
    break;
  case 3:
    scenes.letters = std::make_unique<LetterScene>(frame);
    break;
  case 4:
    scenes.logo = std::make_unique<LogoScene>(frame);
    break;
  case 5:
    scenes.closing = std::make_unique<ClosingScene>(frame);
    break;
  case 6:
    scenes.finalBoxes = std::make_unique<FinalBoxesScene>(frame);
    break;
  default:
    break;
  }
}
} // namespace

bool runLoadingSequence(GLWindow &window, const SceneFrame &sceneFrame, ShowScenes &scenes,
                        LoadingPictures &pictures, const LoadingFrameHook &hook) {
  pictures.bar = std::make_unique<Texture>("data/loadingbar.png", 0);
  pictures.screen = std::make_unique<Texture>("data/loadingscreen.jpg", 0);
  int frame = 0;
  // The hook, then the present (and the events): false once either says stop.
  auto present = [&]() { return (!hook || hook(frame++)) && window.update(); };
  for (int stage = 0; stage < kLoadingStageCount; ++stage) {
    for (int k = 0; k < kFramesPerLoadingStage; ++k) {
      drawLoadingFrame(pictures, kLoadingStages[stage]);
      if (!present())
        return false;
    }
    constructAfterStage(stage, sceneFrame, scenes);
  }
  for (int k = 0; k < kFlashUpFrames; ++k) {
    drawFlashUpFrame();
    if (!present())
      return false;
  }
  window.takeKeys();
  return true;
}

} // namespace demo
