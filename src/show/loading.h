// loading.h - the loading screen, the construction of every scene, and the
// flash-up before the music starts.
//
// Nine stages of five frames each show the loading picture with a progress
// bar that steps through 0, 1, 2, 4, 5, 7, 9, 10 and 11 elevenths of its 514
// pixels; after stages one to seven the next scene is constructed (corridor,
// event overlay, water, letters, logo tunnel, closing, final boxes), so all
// loading happens here. Then fifty frames add 0.02 to every colour channel
// without clearing in between. The bar only counts stages; it does not
// measure anything.
//
// A scene that is not part of the build yet is not constructed; its stage
// still runs.
#pragma once

#include <functional>
#include <memory>

#include "show/timeline.h"

namespace demo {

class GLWindow;
class Texture;

struct LoadingStage {
  float barWidth; // pixels
  float fraction; // of the bar picture shown
};

constexpr int kLoadingStageCount = 9;
constexpr int kFramesPerLoadingStage = 5;
constexpr int kFlashUpFrames = 50;
constexpr int kLoadingFrames = kLoadingStageCount * kFramesPerLoadingStage + kFlashUpFrames;

extern const LoadingStage kLoadingStages[kLoadingStageCount];

// Called after each loading frame is drawn, just before it is presented,
// with the frame's number (0 to kLoadingFrames - 1). Returning false stops
// the loading at once: that frame is not presented and nothing more is
// drawn or built.
using LoadingFrameHook = std::function<bool(int frame)>;

// The two loading pictures; they stay allocated for the whole run.
struct LoadingPictures {
  LoadingPictures();
  ~LoadingPictures();
  std::unique_ptr<Texture> bar;
  std::unique_ptr<Texture> screen;
};

// Draws one loading frame (clear, picture, bar) without presenting it.
void drawLoadingFrame(LoadingPictures &pictures, const LoadingStage &stage);
// Draws one flash-up frame (adds 0.02 to every channel).
void drawFlashUpFrame();

// The whole sequence: loads the pictures, runs the stages and builds the
// scenes into `scenes` for a frame of `frame` (its size and the screen copy
// they share), then the flash-up. `hook` (may be empty) sees every
// frame before it is presented. Returns true when the sequence completed,
// false when it was stopped: by the hook, or by a quit message (Escape, the
// window closed, SIGINT or SIGTERM, which SDL turns into one) that a frame's
// update() took. The viewer's other keys pressed while loading are dropped
// at the end: they are not the show's.
bool runLoadingSequence(GLWindow &window, const SceneFrame &frame, ShowScenes &scenes,
                        LoadingPictures &pictures, const LoadingFrameHook &hook);

} // namespace demo
