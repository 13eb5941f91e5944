// pass_profile.h - where a frame's drawing time goes, pass by pass.
//
// The frame bench's --profile switches this on: every pass marked with a
// ScopedPass is bracketed by draw::finish (so llvmpipe's threads have finished
// its fragments) and its time added to the pass's name. Passes nest; time is
// charged to the innermost one, so the outermost ("scene" in the bench) gets
// what no inner pass claimed: the 3D drawing. Switched off (the default) a
// ScopedPass costs a flag test and nothing reaches the GL.
//
// It is process-wide on purpose: it is a profile of the whole run, switched
// on by the frame bench, and the passes it times sit deep in gfx and the
// scenes, where no frame object reaches.
//
// Use:
//   { ScopedPass pass("blur"); ...draw... }
//   PassProfile::enable(true); ...frames...; PassProfile::totals();
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace demo {

class PassProfile {
public:
  static void enable(bool on);
  static bool enabled();
  // Clears the sums (not the passes in progress).
  static void reset();
  // Seconds per pass name, in the order the names first appeared.
  static const std::vector<std::pair<std::string, double>> &totals();
};

class ScopedPass {
public:
  explicit ScopedPass(const char *name);
  ~ScopedPass();
  ScopedPass(const ScopedPass &) = delete;
  ScopedPass &operator=(const ScopedPass &) = delete;

private:
  bool active_;
};

} // namespace demo
