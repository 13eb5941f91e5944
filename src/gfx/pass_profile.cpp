#include "gfx/pass_profile.h"

#include <chrono>

#include "draw/draw.h"

namespace demo {

namespace {

struct Profile {
  bool on = false;
  std::vector<std::pair<std::string, double>> totals;
  std::vector<const char *> open; // the passes in progress, innermost last
  double since = 0.0;             // when the innermost one was last charged
};

Profile &profile() {
  static Profile p;
  return p;
}

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// Finishes the GL's work so far and charges the time since the last charge
// to the innermost open pass.
void charge() {
  Profile &p = profile();
  draw::finish();
  const double t = now();
  if (!p.open.empty()) {
    const std::string name = p.open.back();
    auto it = p.totals.begin();
    while (it != p.totals.end() && it->first != name)
      ++it;
    if (it == p.totals.end())
      p.totals.emplace_back(name, t - p.since);
    else
      it->second += t - p.since;
  }
  p.since = t;
}

} // namespace

void PassProfile::enable(bool on) { profile().on = on; }
bool PassProfile::enabled() { return profile().on; }
void PassProfile::reset() { profile().totals.clear(); }
const std::vector<std::pair<std::string, double>> &PassProfile::totals() { return profile().totals; }

ScopedPass::ScopedPass(const char *name) : active_(profile().on) {
  if (!active_)
    return;
  charge();
  profile().open.push_back(name);
}

ScopedPass::~ScopedPass() {
  if (!active_)
    return;
  charge();
  profile().open.pop_back();
}

} // namespace demo
