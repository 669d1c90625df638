#include "morse/rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace morse {
namespace {

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  struct Case {
    double x;
    std::int64_t expected;
  };
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  const Case cases[] = {
      {0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {-3.5, -4},
      {9922.5, 9922}, {3307.5, 3308}, {43.75, 44}, {-43.75, -44}, {43.25, 43}, {-7.25, -7},
      {0.49999999999999994, 0}, {9922.499999999998, 9922}, {0.0, 0}, {-0.0, 0},
      {4503599627370497.0, 4503599627370497}, {-4503599627370497.0, -4503599627370497},
      {9007199254740993.0, 9007199254740992},  // not a double: the literal is already even
      {1e300, kMax}, {-1e300, kMin}, {9223372036854775808.0, kMax},
      {-9223372036854775808.0, kMin}, {std::numeric_limits<double>::infinity(), kMax},
      {-std::numeric_limits<double>::infinity(), kMin},
      {std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(RoundHalfEven(c.x), c.expected) << c.x;
}

TEST(RoundHalfEven, TheOrderOfAProductDecidesATie) {
  // The sender computes d x FDitLength first, then the sample count.
  EXPECT_EQ(RoundHalfEven(44100 * (3 * 0.075)), 9922);
  EXPECT_EQ(RoundHalfEven(44100 * (3 * (1.2 / 48))), 3308);
  EXPECT_EQ(RoundHalfEven((44100 * 3) * (1.2 / 48)), 3307);
}

}  // namespace
}  // namespace morse
