// The same show at any frame rate: the whole show, stepped and drawn at 30,
// 60 and 144 frames per second through windows of every part, carries the
// same state (to the last bit) and leaves the random sequence at the same
// place. A draw that changed simulation state or drew a random number would
// make the rates disagree.
#include "gl_fixture.h"

#include <cstdlib>
#include <vector>

#include "app/capture.h"
#include "app/main_loop.h"
#include "show/show.h"
#include "audio/music_stream.h"
#include "scenes/corridor_scene.h"
#include "scenes/event_scene.h"
#include "scenes/final_boxes_scene.h"
#include "scenes/letter_scene.h"
#include "scenes/logo_scene.h"
#include "scenes/water_scene.h"

namespace demo::test {
namespace {

void add(std::vector<float> &out, const Vec3 &v) { out.insert(out.end(), {v.x, v.y, v.z}); }

// Everything the scenes and the timeline carry from step to step (samples of
// the large arrays).
std::vector<float> simulationState(const Show &show) {
  std::vector<float> s;
  const ShowScenes &scenes = show.scenes();
  if (const auto *water = dynamic_cast<const WaterScene *>(scenes.water.get())) {
    s.push_back(water->bassLevel());
    add(s, water->nextUp());
    for (int i = 0; i < WaterSurface::kCellCount; i += 37)
      s.push_back(water->water().cells[static_cast<size_t>(i)].height);
  }
  if (const auto *logo = dynamic_cast<const LogoScene *>(scenes.logo.get()))
    s.push_back(logo->bassLevel());
  if (const auto *letters = dynamic_cast<const LetterScene *>(scenes.letters.get())) {
    s.insert(s.end(), {letters->motion().spin, letters->motion().lastKick, letters->drawnKick()});
    add(s, letters->motion().spritePos);
    add(s, letters->motion().spriteTarget);
    for (size_t i = 0; i < letters->jelly().nodes().size(); i += 7)
      add(s, letters->jelly().nodes()[i].position);
  }
  if (const auto *event = dynamic_cast<const EventScene *>(scenes.event.get())) {
    s.insert(s.end(), {event->viewClock(), event->spikeClock(), event->bassLevel(), event->jumpCooldown(),
                       event->cameraJump(), event->titleShakeX(), event->titleShakeY()});
    for (int i = 0; i < event->spikeVertexCount(); i += 5)
      add(s, event->spikePositions()[i]);
  }
  if (const auto *corridor = dynamic_cast<const CorridorScene *>(scenes.corridor.get())) {
    s.insert(s.end(), {corridor->rollAngle(), corridor->swingPhase(), corridor->bass().barPhase,
                       corridor->bass().jumpCooldown, corridor->bass().travel, corridor->logoJitterX(),
                       corridor->bandJitter()[7][1], corridor->points()[999][0]});
  }
  if (const auto *boxes = dynamic_cast<const FinalBoxesScene *>(scenes.finalBoxes.get())) {
    s.insert(s.end(), {static_cast<float>(boxes->shot().cutIndex), static_cast<float>(boxes->shot().cameraSlot),
                       boxes->shot().shotClock, boxes->shot().shotSpeed});
    add(s, boxes->nextUp());
  }
  s.push_back(show.pulseLevel());
  return s;
}

// The number the show's generator would give next (drawn from a copy).
int nextDraw(const Show &show) { return ShowRandom(show.random()).next(); }

class FrameRateGL : public BakedDataGLTest {};

TEST_F(FrameRateGL, EveryPartCarriesTheSameStateAtThirtySixtyAndOneHundredFortyFourFps) {
  MusicStream music;
  music.init(nullptr, false);
  ASSERT_TRUE(music.open("data/01.ogg"));
  const SpectrumSource spectrumAt = spectrumSourceFor(music);
  // A sixth of a second of drawn frames ending at each time, one time in
  // every part (the corridor's intro and its corridor both).
  const float ends[] = {30.f, 50.f, 70.f, 100.f, 150.f, 175.f, 200.f, 230.f, 241.f, 256.f};
  const float window = 1.f / 6.f;

  std::vector<std::vector<float>> states[3];
  int sequenceAfter[3] = {};
  const int rates[3] = {30, 60, 144};
  for (int r = 0; r < 3; ++r) {
    Show show(glWindow());
    show.load();
    for (float end : ends) {
      const float from = end - window;
      show.startAt(from, spectrumAt);
      const size_t frames = captureFrameCount(from, end, rates[r]) + 1; // through `end` itself
      for (size_t n = 0; n < frames; ++n)
        show.frame(captureFrameTime(from, rates[r], n), spectrumAt);
      ASSERT_EQ(show.time(), end) << rates[r] << " fps";
      states[r].push_back(simulationState(show));
    }
    sequenceAfter[r] = nextDraw(show);
  }
  for (int r : {0, 2}) {
    for (size_t w = 0; w < std::size(ends); ++w)
      EXPECT_EQ(states[r][w], states[1][w]) << rates[r] << " fps against 60 at " << ends[w] << " s";
    EXPECT_EQ(sequenceAfter[r], sequenceAfter[1]) << rates[r] << " fps";
  }
}

// The decoded music's spectrum and a straight run to 100 s and then 150 s:
// its states there and the random number that comes after them.
struct StraightRun {
  MusicStream music;
  SpectrumSource spectrumAt;
  std::vector<float> at100, at150;
  int sequence = 0;

  explicit StraightRun(GLWindow &window) {
    music.init(nullptr, false);
    EXPECT_TRUE(music.open("data/01.ogg"));
    spectrumAt = spectrumSourceFor(music);
    Show straight(window);
    EXPECT_TRUE(straight.load());
    straight.startAt(100.f, spectrumAt);
    at100 = simulationState(straight);
    straight.startAt(150.f, spectrumAt);
    at150 = simulationState(straight);
    sequence = nextDraw(straight);
  }
};

// A jump lands on the state a straight run has at its target: back (the
// scenes start over and catch up) and forward (they run on).
TEST_F(FrameRateGL, AJumpBackOrForwardLandsOnTheStateOfAStraightRun) {
  const StraightRun straight(glWindow());
  const SpectrumSource &spectrumAt = straight.spectrumAt;
  const std::vector<float> &at100 = straight.at100, &at150 = straight.at150;
  const int sequence = straight.sequence;
  Show jumping(glWindow());
  jumping.load();
  jumping.startAt(200.f, spectrumAt);
  jumping.frame(200.f + 1.f / 60.f, spectrumAt);
  jumping.seek(100.f, spectrumAt);
  EXPECT_EQ(simulationState(jumping), at100);
  EXPECT_EQ(jumping.time(), 100.f - 1.f / 60.f) << "the unseen frame a step before";
  jumping.seek(150.f, spectrumAt);
  EXPECT_EQ(simulationState(jumping), at150);
  EXPECT_EQ(nextDraw(jumping), sequence);
}

// A catch-up asked to stop stands at the last step it ran, a straight run's
// state there; the next jump goes on from it when its target is ahead, and
// starts over when it is behind. Either way it lands on the straight run.
TEST_F(FrameRateGL, AStoppedCatchUpGoesOnFromWhereItStoodOrStartsOver) {
  const StraightRun straight(glWindow());
  const SpectrumSource &spectrumAt = straight.spectrumAt;
  Show jumping(glWindow());
  ASSERT_TRUE(jumping.load());
  jumping.startAt(120.f, spectrumAt);
  const int64_t from = jumping.stepsRun();
  int checks = 0;
  // A key arrives while the second part runs: the check after it stops.
  const CatchUpCheck stopAtTheSecond = [&checks] { return ++checks < 2; };
  EXPECT_FALSE(jumping.seek(150.f, spectrumAt, stopAtTheSecond));
  EXPECT_EQ(jumping.stepsRun(), from + 2 * kStepsBetweenChecks);
  EXPECT_EQ(jumping.time(), stepTime(jumping.stepsRun() - 1)) << "standing at its last step";

  // Ahead: on from there, only the steps not run yet.
  checks = 0;
  const CatchUpCheck counting = [&checks] {
    ++checks;
    return true;
  };
  EXPECT_TRUE(jumping.seek(150.f, spectrumAt, counting));
  const int64_t rest = lastStepDueBy(150.f - 1.f / 60.f) - (from + 2 * kStepsBetweenChecks) + 1;
  EXPECT_EQ(checks, (rest - 1) / kStepsBetweenChecks);
  EXPECT_EQ(simulationState(jumping), straight.at150);

  // Behind: from the start again, stopped early, then to its end.
  checks = 0;
  EXPECT_FALSE(jumping.seek(100.f, spectrumAt, stopAtTheSecond));
  EXPECT_EQ(jumping.stepsRun(), 2 * kStepsBetweenChecks);
  EXPECT_TRUE(jumping.seek(100.f, spectrumAt));
  EXPECT_EQ(simulationState(jumping), straight.at100);
  jumping.seek(150.f, spectrumAt);
  EXPECT_EQ(simulationState(jumping), straight.at150);
  EXPECT_EQ(nextDraw(jumping), straight.sequence);
}

} // namespace
} // namespace demo::test
