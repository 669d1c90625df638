// Rounding to the nearest integer with halves to even, independent of the
// floating-point rounding mode. It runs once per sample, so it stays inline
// and avoids the C library.
#pragma once

#include <cstdint>
#include <limits>

namespace morse {

// NaN gives 0; values beyond the 64-bit range saturate.
constexpr std::int64_t RoundHalfEven(double x) {
  constexpr double kTwoTo63 = 9223372036854775808.0;
  if (!(x < kTwoTo63)) return x != x ? 0 : std::numeric_limits<std::int64_t>::max();
  if (!(x >= -kTwoTo63)) return x != x ? 0 : std::numeric_limits<std::int64_t>::min();
  const auto i = static_cast<std::int64_t>(x);  // truncates toward zero
  const double f = x - static_cast<double>(i);  // exact: beyond 2^52 every double is whole
  if (f > 0.5) return i + 1;
  if (f < -0.5) return i - 1;
  if (f == 0.5) return i + (i & 1);
  if (f == -0.5) return i - (i & 1);
  return i;
}

}  // namespace morse
