// stop_signals.h - Ctrl-C and its kin for the long offline runs.
//
// While a StopSignals lives, SIGINT (Ctrl-C), SIGTERM (kill, a shutdown) and
// SIGHUP (the terminal closed) no longer end the process on the spot: the
// first one is noted, and the run asks caught() between frames, finishes
// what it can stand behind (whole files, a listing of them) and ends with
// exitStatusFor(signal), 128 + the signal's number, as shells expect (130
// for Ctrl-C). A second signal of the same kind while it winds down is
// noted too and changes nothing. The handlers that were there before come
// back when it ends. SDL installs its own SIGINT/SIGTERM handlers only where
// none is set, so one made before the window keeps them.
//
// One at a time per process: the handler writes one flag.
#pragma once

#include <csignal>

namespace demo {

class StopSignals {
public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals &) = delete;
  StopSignals &operator=(const StopSignals &) = delete;

  // The first signal caught, 0 while none.
  int caught() const;
  static int exitStatusFor(int signal) { return 128 + signal; }

private:
  static constexpr int kCount = 3; // SIGINT, SIGTERM, SIGHUP
  struct sigaction previous_[kCount];
};

} // namespace demo
