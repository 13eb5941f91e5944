// show_random.h - the show's own random numbers.
//
// Every random number the show draws (the drops on the water, the letters'
// jitter and pokes, the corridor's jumps, the final boxes' shots, the event
// camera's jumps, the closing tiles) comes from one ShowRandom that Show
// owns and hands to each step. Nothing in the show calls the C library's
// generator, so no other code in the process can move the sequence, and a
// capture is the same on any C library.
//
// The sequence is that of the generator the show has always been built
// against: glibc's (its additive feedback generator, r[i] = r[i - 3] +
// r[i - 31] mod 2^32, output r[i] >> 1, seeded through the 16807
// multiplicative generator mod 2^31 - 1 with the first 310 outputs
// discarded). seed(s) starts the sequence the C library's seeding gives for
// s, next() is its next number; a new generator stands where a new process
// stands, seeded with 1.
//
// unit() is a draw in [0, 1] on a 15-bit grid: the top 15 bits of next()
// (0 to 32767) times the float nearest 1/32767, so 0 and 1 are both
// reachable. signedUnit() is 2 unit() - 1.
//
// Plain arithmetic, no GL; one object per show, not shared between threads.
#pragma once

#include <array>
#include <cstdint>

namespace demo {

// The float nearest 1/32767 (bits 0x38000100): 32767 * kRandomScale is 1.
constexpr float kRandomScale = 3.0518509e-05f;

class ShowRandom {
public:
  static constexpr int32_t kMax = 2147483647; // the largest next() gives

  explicit ShowRandom(uint32_t seed = 1) { this->seed(seed); }
  // Starts the sequence `seed` gives (0 gives the sequence of 1).
  void seed(uint32_t seed);
  // The next number, 0 to kMax.
  int32_t next();
  // The next number's top 15 bits (0 to 32767) on [0, 1].
  float unit() { return static_cast<float>(next() >> 16) * kRandomScale; }
  // 2 unit() - 1, on [-1, 1].
  float signedUnit() { return 2.f * unit() - 1.f; }

private:
  static constexpr int kDegree = 31;
  static constexpr int kSeparation = 3;
  std::array<uint32_t, kDegree> state_{};
  int front_ = kSeparation; // r[i - 3]'s slot, which becomes r[i]
  int rear_ = 0;            // r[i - 31]'s slot
};

} // namespace demo
