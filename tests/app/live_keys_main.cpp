// The viewer's keys in a real window under a virtual X display: the whole
// show loaded, the music on SDL's dummy audio device, keys pushed as SDL
// events. With DEMO_LIVE_SHOTS=DIR set it also writes what the window shows
// after a pause, a jump forward into the corridor and a jump back into the
// letters (pause.png, corridor.png, letters.png).
#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/live_show.h"
#include "app/main_loop.h"
#include "audio/music_stream.h"
#include "base/data_path.h"
#include "base/show_parts.h"
#include "gfx/png_writer.h"
#include "platform/gl_window.h"

namespace demo {
namespace {

void pushKey(SDL_Keycode key) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.state = SDL_PRESSED;
  event.key.repeat = 0;
  event.key.keysym.sym = key;
  ASSERT_EQ(SDL_PushEvent(&event), 1);
}

void screenshot(GLWindow &window, const char *name) {
  const char *dir = std::getenv("DEMO_LIVE_SHOTS");
  if (!dir || !*dir)
    return;
  std::vector<uint8_t> pixels;
  window.readPixels(pixels);
  flipRows(pixels, window.width(), window.height(), 3);
  EXPECT_TRUE(writePngFile(std::string(dir) + "/" + name, pixels.data(), window.width(), window.height(), 3, 1));
}

bool within(float t, ShowPartIndex part) { return partStart(part) < t && t < partEnd(part); }

// A whole show in a real window, the music on the dummy device, playing from
// `start`: what runShow sets up. `whileLoading` sees the loading frames.
struct LiveRun {
  explicit LiveRun(float start, const LoadingFrameHook &whileLoading = LoadingFrameHook()) {
    std::srand(1); // the sequence a new process starts with
    setDataDirectory(DEMO_BAKED_DATA_DIR);
    WindowOptions options;
    options.vsync = false;
    window = std::make_unique<GLWindow>(800, 600, 32, false, "Demo", options);
    if (!window->isOpen())
      return;
    show = std::make_unique<Show>(*window);
    music.init(nullptr);
    music.openInBackground("data/01.ogg");
    loaded = show->load(whileLoading);
    if (!loaded || !music.finishOpen())
      return;
    spectrumAt = spectrumSourceFor(music);
    show->startAt(start, spectrumAt);
    playback = std::make_unique<Playback>(music, start);
    live = std::make_unique<LiveShow>(*show, *window, *playback, spectrumAt);
  }
  ~LiveRun() {
    live.reset();
    playback.reset();
    show.reset();
    window->close();
    setDataDirectory("");
  }
  bool ready() const { return live != nullptr && playback->followsMusic(); }
  // The show stands at exactly `t`: the clock, the sound and the steps.
  void expectStandingAt(float t) {
    EXPECT_EQ(show->time(), t);
    EXPECT_NEAR(music.clockSeconds(), t, 1e-4);
    EXPECT_EQ(show->stepsRun() - 1, lastStepDueBy(t));
  }

  MusicStream music;
  std::unique_ptr<GLWindow> window;
  std::unique_ptr<Show> show;
  bool loaded = false;
  SpectrumSource spectrumAt;
  std::unique_ptr<Playback> playback;
  std::unique_ptr<LiveShow> live;
};

TEST(LiveKeys, PauseJumpsAndTheTimeLineWorkInARealWindow) {
  setDataDirectory(DEMO_BAKED_DATA_DIR);
  WindowOptions options;
  options.vsync = false;
  GLWindow window(800, 600, 32, false, "Demo", options);
  ASSERT_TRUE(window.isOpen());
  Show show(window);
  MusicStream music;
  music.init(nullptr);
  music.openInBackground("data/01.ogg");
  show.load();
  ASSERT_TRUE(music.finishOpen());
  const SpectrumSource spectrumAt = spectrumSourceFor(music);
  show.startAt(100.f, spectrumAt);
  Playback playback(music, 100.f);
  ASSERT_TRUE(playback.followsMusic());
  ASSERT_TRUE(music.hasDevice()) << "SDL_AUDIODRIVER=dummy gives a device";
  LiveShow live(show, window, playback, spectrumAt);
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(live.runFrame());

  pushKey(SDLK_t);
  ASSERT_TRUE(live.runFrame());
  EXPECT_TRUE(live.timeLineShown());
  EXPECT_NE(live.timeLineText().find("letters"), std::string::npos) << live.timeLineText();
  EXPECT_EQ(live.timeLineText().find("reduced flashing"), std::string::npos) << live.timeLineText();
  // The gentle mode says so on the line.
  show.reduceFlashing(true);
  ASSERT_TRUE(live.runFrame());
  EXPECT_NE(live.timeLineText().find("reduced flashing"), std::string::npos) << live.timeLineText();
  show.reduceFlashing(false);

  // Space holds picture and sound together.
  pushKey(SDLK_SPACE);
  ASSERT_TRUE(live.runFrame());
  const float pausedAt = show.time();
  const size_t soundAt = music.consumedFrames();
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(live.runFrame());
  EXPECT_EQ(show.time(), pausedAt);
  EXPECT_EQ(music.consumedFrames(), soundAt);
  EXPECT_NE(live.timeLineText().find("paused"), std::string::npos) << live.timeLineText();
  screenshot(window, "pause.png");
  pushKey(SDLK_SPACE);
  ASSERT_TRUE(live.runFrame());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(live.runFrame());
  EXPECT_GT(show.time(), pausedAt);

  // Forward twice 30 s and 5 s: into the corridor, sound and clock with it.
  const float before = show.time();
  pushKey(SDLK_PAGEDOWN);
  pushKey(SDLK_PAGEDOWN);
  pushKey(SDLK_RIGHT);
  // After a jump: the part it landed in, the sound and the steps with the
  // clock, then a few frames and the picture.
  auto landedIn = [&](ShowPartIndex part, const char *shot) {
    EXPECT_TRUE(within(show.time(), part)) << show.time();
    EXPECT_NEAR(music.clockSeconds(), show.time(), 0.25);
    EXPECT_EQ(show.stepsRun() - 1, lastStepDueBy(show.time()));
    for (int i = 0; i < 3; ++i)
      ASSERT_TRUE(live.runFrame());
    screenshot(window, shot);
  };
  ASSERT_TRUE(live.runFrame());
  EXPECT_NEAR(show.time(), before + 65.f, 0.5f);
  landedIn(kCorridorPart, "corridor.png");

  // Back 30 s twice and 5 s: into the letters again.
  pushKey(SDLK_PAGEUP);
  pushKey(SDLK_PAGEUP);
  pushKey(SDLK_LEFT);
  ASSERT_TRUE(live.runFrame());
  landedIn(kLettersPart, "letters.png");

  // Home: the start of the show; T hides the line.
  pushKey(SDLK_HOME);
  pushKey(SDLK_t);
  ASSERT_TRUE(live.runFrame());
  EXPECT_LT(show.time(), 0.5f);
  EXPECT_FALSE(live.timeLineShown());
  window.close();
  setDataDirectory("");
}

// Keys of one frame add up to one target, exactly: never from the clock
// read back after a jump (the unseen frame's, a step before the target).
// Paused, the keys of a later frame add to the last target too.
TEST(LiveKeys, KeysAddUpExactlyFromTheLastTarget) {
  LiveRun run(100.f);
  ASSERT_TRUE(run.ready());
  ASSERT_TRUE(run.live->runFrame());
  pushKey(SDLK_SPACE);
  ASSERT_TRUE(run.live->runFrame());
  ASSERT_TRUE(run.playback->paused());

  auto press = [&](SDL_Keycode key, int times, float landing) {
    for (int i = 0; i < times; ++i)
      pushKey(key);
    ASSERT_TRUE(run.live->runFrame());
    run.expectStandingAt(landing);
  };
  pushKey(SDLK_HOME);
  press(SDLK_RIGHT, 10, 50.f);
  press(SDLK_RIGHT, 2, 60.f);
  press(SDLK_RIGHT, 10, 110.f);
  press(SDLK_LEFT, 10, 60.f);
  press(SDLK_PAGEDOWN, 3, 150.f);
  press(SDLK_LEFT, 1, 145.f);
  // Playing again: the next key counts from the moment drawn.
  pushKey(SDLK_SPACE);
  ASSERT_TRUE(run.live->runFrame());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(run.live->runFrame());
  const float playedTo = run.show->time();
  EXPECT_GT(playedTo, 145.05f);
  pushKey(SDLK_PAGEUP);
  ASSERT_TRUE(run.live->runFrame());
  EXPECT_NEAR(run.show->time(), playedTo - 30.f, 0.02f);
}

// Keys pressed while the loading screen shows are not the show's: it starts
// playing, where it was told to.
TEST(LiveKeys, KeysPressedWhileLoadingAreDropped) {
  LiveRun run(0.f, [](int frame) {
    if (frame == 10 || frame == 90) {
      pushKey(SDLK_SPACE);
      pushKey(SDLK_RIGHT);
      pushKey(SDLK_RIGHT);
      pushKey(SDLK_RIGHT);
    }
    return true;
  });
  ASSERT_TRUE(run.loaded);
  ASSERT_TRUE(run.ready());
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(run.live->runFrame());
  EXPECT_FALSE(run.playback->paused());
  EXPECT_LT(run.show->time(), 1.f);
}

// Escape, or a quit message (the window closed, SIGINT or SIGTERM), while
// the loading screen shows stops the loading at that frame: nothing more is
// drawn or built.
TEST(LiveKeys, EscapeOrAQuitMessageStopsTheLoadingAtOnce) {
  for (const bool escape : {true, false}) {
    int frames = 0;
    LiveRun run(0.f, [&](int frame) {
      frames = frame + 1;
      SDL_Event quit{};
      quit.type = SDL_QUIT;
      if (frame == 7 && escape)
        pushKey(SDLK_ESCAPE);
      else if (frame == 7)
        SDL_PushEvent(&quit);
      return true;
    });
    EXPECT_FALSE(run.loaded) << escape;
    EXPECT_EQ(frames, 8) << escape;
    EXPECT_NE(run.show->scenes().corridor, nullptr) << escape; // built after the first stage
    EXPECT_EQ(run.show->scenes().event, nullptr) << escape;    // never
  }
}

} // namespace
} // namespace demo
