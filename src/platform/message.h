// message.h - the one way the show tells a person that something failed.
//
// showMessage(text, caption) always writes one line to standard error
// ("caption: text"). When a real display is up and the run is interactive it
// also pops up a modal message box with the same text and caption, the way a
// desktop user expects to hear about a missing file. Capture, test and headless
// runs never get a dialog: a box must not block a run that nobody watches.
//
// The texts and captions are the show's own and are passed through unchanged.
#pragma once

namespace demo {

// Writes "caption: text" to stderr and, in interactive runs, shows a box.
void showMessage(const char *text, const char *caption);

// Interactive runs (a visible window on a real display) allow message boxes.
// Off by default; the program switches it on once its window is up.
void setMessageBoxesEnabled(bool enabled);
bool messageBoxesEnabled();

} // namespace demo
