// main_loop.h - the show from start-up to shut-down.
//
// runShow opens the window, prepares the shared objects, runs the loading
// sequence, starts the music and the clock together and renders frames until
// Escape is down, the window is closed (or Escape pressed), or the clock has
// reached 265 seconds. One frame, in order:
//   1. stop if Escape is down;
//   2. stop if GLWindow::update() says so (it presents the previous frame);
//   3. stop unless the previous frame's time < 265;
//   4. run the simulation steps due by the clock's new value (all of them,
//      after a stall too); clear colour from the time of the step before the
//      last one; clear colour and depth;
//   5. the clock: dt = now - previousTime; previousTime = time = now;
//   6. the spectrum of the music at that time;
//   7. sphere-map generation off;
//   8. print the first pending OpenGL error ("ERROR! %i  \n"), one per frame;
//   9. the timeline draws the scenes of this time and their flashes.
// The show's time is that of the sound being heard (Playback, see
// live_show.h, which also handles the viewer's keys), or a steady clock
// without music. A run that starts later (--start) first catches the
// simulation up to its start. Escape or a quit message during the loading
// screen ends the program there (status 0, the music never starts); other
// keys pressed while it loads are dropped.
#pragma once

#include <cstdio>

#include "app/options.h"
#include "base/frame_size.h"
#include "show/frame_clock.h"
#include "show/show.h"

namespace demo {

class GLWindow;
class MusicStream;

// The show's spectrum source in every run: each step and frame reads the
// music's spectrum at its own time (MusicStream::spectrumAt), whether the
// music plays or not, so a live run and a capture read the same values at
// the same times. Without a stream the spectrum is left as it was (silent).
// `music` must outlive the source.
SpectrumSource spectrumSourceFor(MusicStream &music);

// Without --data, switches to the most detailed set beside the default one
// that a picture of `frame` needs (chooseDataDirectory). With --progress it
// says which set the pictures come from.
void useDataSetFor(const Options &options, const FrameSize &frame);

// After a run on the modern or es renderer whose debug output reported GL
// errors (each on its own line as it happened), one line on stderr saying
// how many. Nothing after a clean run, or on the classic renderer.
void reportGlDebugErrors(const GLWindow &window);

// The whole program after the command line (the live show, or a capture):
// returns the exit status.
int runShow(const Options &options);

} // namespace demo
