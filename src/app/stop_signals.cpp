#include "app/stop_signals.h"

namespace demo {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile std::sig_atomic_t gCaught = 0;

extern "C" void noteSignal(int signal) {
  if (gCaught == 0)
    gCaught = signal;
}

} // namespace

StopSignals::StopSignals() {
  gCaught = 0;
  struct sigaction action {};
  action.sa_handler = noteSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted reads and writes start again; the run looks at the flag
  // between frames.
  action.sa_flags = SA_RESTART;
  static_assert(sizeof kSignals / sizeof kSignals[0] == kCount, "one saved handler a signal");
  for (int i = 0; i < kCount; ++i)
    sigaction(kSignals[i], &action, &previous_[i]);
}

StopSignals::~StopSignals() {
  for (int i = 0; i < kCount; ++i)
    sigaction(kSignals[i], &previous_[i], nullptr);
}

int StopSignals::caught() const { return gCaught; }

} // namespace demo
