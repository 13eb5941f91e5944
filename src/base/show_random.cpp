#include "base/show_random.h"

#include <cstddef>

namespace demo {

void ShowRandom::seed(uint32_t seed) {
  // The first 31 values come from the multiplicative generator x -> 16807 x
  // mod (2^31 - 1), worked out without overflow (Schrage's method: 2^31 - 1
  // = 16807 * 127773 + 2836).
  int32_t word = seed == 0 ? 1 : static_cast<int32_t>(seed);
  state_[0] = static_cast<uint32_t>(word);
  for (int i = 1; i < kDegree; ++i) {
    const int32_t hi = word / 127773;
    const int32_t lo = word % 127773;
    word = 16807 * lo - 2836 * hi;
    if (word < 0)
      word += 2147483647;
    state_[static_cast<size_t>(i)] = static_cast<uint32_t>(word);
  }
  front_ = kSeparation;
  rear_ = 0;
  // The first ten rounds of the table are thrown away: they still show the
  // seed's pattern.
  for (int i = 0; i < 10 * kDegree; ++i)
    next();
}

int32_t ShowRandom::next() {
  uint32_t &value = state_[static_cast<size_t>(front_)];
  value += state_[static_cast<size_t>(rear_)];
  const int32_t result = static_cast<int32_t>(value >> 1);
  front_ = front_ + 1 == kDegree ? 0 : front_ + 1;
  rear_ = rear_ + 1 == kDegree ? 0 : rear_ + 1;
  return result;
}

} // namespace demo
