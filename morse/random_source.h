// Randomness for the teaching pick and random groups, behind an interface so
// tests can fix the draws.
#pragma once

#include <cstdint>

namespace morse {

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // Uniform real in [0, 1).
  virtual double Real() = 0;
  // Uniform integer in [0, n) for n >= 1.
  virtual std::int32_t Int(std::int32_t n) = 0;
  // Reseed from the clock.
  virtual void Randomize() = 0;
};

// A Mersenne-Twister source seeded from the clock.
RandomSource& SystemRandom();

}  // namespace morse
