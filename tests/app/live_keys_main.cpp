// The viewer's keys in a real window under a virtual X display: the whole
// show loaded, the music on SDL's dummy audio device, keys pushed as SDL
// events. With DEMO_LIVE_SHOTS=DIR set it also writes what the window shows
// after a pause, a jump forward into the corridor and a jump back into the
// letters (pause.png, corridor.png, letters.png).
#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/live_show.h"
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

TEST(LiveKeys, PauseJumpsAndTheTimeLineWorkInARealWindow) {
  setDataDirectory(DEMO_BAKED_DATA_DIR);
  WindowOptions options;
  options.vsync = false;
  GLWindow window(800, 600, 32, false, "Demo", options);
  ASSERT_TRUE(window.isOpen());
  Show show(window);
  window.openMusicInBackground("data/01.ogg");
  show.load();
  MusicStream &music = window.music();
  ASSERT_TRUE(music.finishOpen());
  const SpectrumSource spectrumAt = [&music](float seconds, float *spectrum) { music.spectrumAt(seconds, spectrum); };
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

  // Space holds picture and sound together.
  pushKey(SDLK_SPACE);
  ASSERT_TRUE(live.runFrame());
  const float pausedAt = show.clock.time;
  const size_t soundAt = music.consumedFrames();
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(live.runFrame());
  EXPECT_EQ(show.clock.time, pausedAt);
  EXPECT_EQ(music.consumedFrames(), soundAt);
  EXPECT_NE(live.timeLineText().find("paused"), std::string::npos) << live.timeLineText();
  screenshot(window, "pause.png");
  pushKey(SDLK_SPACE);
  ASSERT_TRUE(live.runFrame());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(live.runFrame());
  EXPECT_GT(show.clock.time, pausedAt);

  // Forward twice 30 s and 5 s: into the corridor, sound and clock with it.
  const float before = show.clock.time;
  pushKey(SDLK_PAGEDOWN);
  pushKey(SDLK_PAGEDOWN);
  pushKey(SDLK_RIGHT);
  // After a jump: the part it landed in, the sound and the steps with the
  // clock, then a few frames and the picture.
  auto landedIn = [&](ShowPartIndex part, const char *shot) {
    EXPECT_TRUE(within(show.clock.time, part)) << show.clock.time;
    EXPECT_NEAR(music.clockSeconds(), show.clock.time, 0.25);
    EXPECT_EQ(show.steps.next() - 1, lastStepDueBy(show.clock.time));
    for (int i = 0; i < 3; ++i)
      ASSERT_TRUE(live.runFrame());
    screenshot(window, shot);
  };
  ASSERT_TRUE(live.runFrame());
  EXPECT_NEAR(show.clock.time, before + 65.f, 0.5f);
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
  EXPECT_LT(show.clock.time, 0.5f);
  EXPECT_FALSE(live.timeLineShown());
  window.close();
  setDataDirectory("");
}

} // namespace
} // namespace demo
