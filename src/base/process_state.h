// process_state.h - the little state that belongs to the whole process, in
// one place.
//
// Everything else the show carries belongs to an object (Show owns time,
// spectrum, randomness and scenes; a texture or target owns its GL object).
// Two things cannot: they are about the one run of the program, and they are
// read by loaders deep down that no caller hands an object to.
//   - The messages: whether a box may pop up (only on a display somebody
//     sees), the window that owns the boxes (so one never opens behind the
//     full-screen show), what shows a box (tests put in their own), and the
//     files already reported (a picture two scenes load is reported once a
//     run, whoever loads it).
//   - The data directory and its detail: the run's one data set, chosen
//     once at start-up from the command line and the picture size, where
//     every loader opens its files.
// Nothing else goes here. Use message.h and data_path.h, which read and
// write it; the reported-files set is guarded, since a worker thread may
// report a file while the loading runs.
#pragma once

#include <mutex>
#include <set>
#include <string>

struct SDL_Window;

namespace demo {

using MessageBoxFunction = void (*)(const char *text, const char *caption, SDL_Window *owner);

struct ProcessState {
  struct Messages {
    bool boxesEnabled = false;
    SDL_Window *owner = nullptr;
    MessageBoxFunction showBox = nullptr; // null: SDL's simple message box
    std::mutex reportedMutex;
    std::set<std::string> reportedFiles;
  } messages;
  struct Data {
    std::string directory = "data";
    int detail = 1;
  } data;
};

// The process's one ProcessState.
ProcessState &processState();

} // namespace demo
