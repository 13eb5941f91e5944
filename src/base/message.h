// message.h - the one way the show tells a person that something failed.
//
// showMessage(text, caption) always writes one line to standard error
// ("caption: text"). When a real display is up and the run is interactive it
// also pops up a modal message box with the same text and caption, owned by
// the show's window so that it opens in front of it (a box behind a
// full-screen window would leave the show looking hung). Capture, test and
// headless runs never get a dialog: a box must not block a run that nobody
// watches.
//
// The texts and captions are the show's own and are passed through unchanged;
// a detail (the file and what is wrong with it) goes on the same standard-error
// line, not into the box. A caller whose text alone would mislead (the
// music's "file not found?" for a file that is there but not Ogg Vorbis)
// puts the reason into the text itself, and so into both.
//
// Problems with pictures and the music are said once per file:
// reportFileProblem keeps a list of the paths already reported, so a picture
// that two scenes load is not reported twice. The switch, the owner and the
// list are the process's (see process_state.h for why).
#pragma once

#include <string>

#include "base/process_state.h"

struct SDL_Window;

namespace demo {

// Writes "caption: text" to stderr and, in interactive runs, shows a box
// owned by `owner`, or by the show's window when `owner` is null.
void showMessage(const char *text, const char *caption, SDL_Window *owner = nullptr);
// The same with a detail on the standard-error line: "caption: text (detail)"
// (an empty detail adds nothing).
void showMessage(const char *text, const char *caption, const std::string &detail, SDL_Window *owner = nullptr);

// Interactive runs (a visible window on a real display) allow message boxes.
// Off by default; the window switches it on when it is made visible on a
// display that somebody can see.
void setMessageBoxesEnabled(bool enabled);
bool messageBoxesEnabled();

// Message boxes only where somebody can click them away: a real display
// (not SDL's offscreen or dummy driver), and not a run that a script started
// under a virtual display (DEMO_NO_MESSAGE_BOXES set to anything but "0").
bool messageBoxesWanted(const char *videoDriver);

// The window that owns boxes shown without an owner of their own (null: none).
void setMessageOwner(SDL_Window *window);
SDL_Window *messageOwner();

// What shows a box; SDL's simple message box unless a test replaces it
// (null puts SDL's back).
void setMessageBoxFunction(MessageBoxFunction function);

// True the first time it is asked about `path` in this run (and from then on
// false): whether a problem with that file is still to be reported.
bool firstReportFor(const std::string &path);
// "<path>: <what>" on stderr, the first time a problem with `path` is
// reported. Returns whether it was written.
bool reportFileProblem(const std::string &path, const std::string &what);
// Forgets which files were reported (tests that load the same file twice).
void forgetReportedFiles();

} // namespace demo
