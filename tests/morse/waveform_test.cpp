#include "morse/waveform.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace morse {
namespace {

using Table = std::array<double, kSineTabSize>;

Table Built(std::int32_t harmonics, bool square) {
  Table t;
  t.fill(42.0);  // stale content must not survive a rebuild
  BuildSineTab(t, harmonics, square);
  return t;
}

TEST(SineTab, StartupTableIsFundamentalPlusThirdHarmonic) {
  TrainerState st;
  BuildStartupSineTab(st);
  EXPECT_EQ(st.SineTab[0], 0.0);
  EXPECT_NEAR(st.SineTab[256], 2.0 / 3, 1e-9);
  EXPECT_NEAR(st.SineTab[768], -2.0 / 3, 1e-9);
  EXPECT_NEAR(st.SineTab[512], 0.0, 1e-8);
  // The same table as Harmonics 1; the two ways of writing the third
  // harmonic's argument differ in the last bits of some entries.
  const Table h1 = Built(1, false);
  for (int i = 0; i < kSineTabSize; ++i) EXPECT_NEAR(st.SineTab[i], h1[i], 1e-14) << i;
}

TEST(SineTab, HarmonicsSetThePeak) {
  const double peaks[] = {1.0, 0.9428, 0.9333, 0.9301};
  for (std::int32_t h = 0; h <= 3; ++h) {
    const Table t = Built(h, false);
    EXPECT_EQ(t[0], 0.0) << h;
    EXPECT_NEAR(*std::max_element(t.begin(), t.end()), peaks[h], 5e-5) << h;
    EXPECT_NEAR(*std::min_element(t.begin(), t.end()), -peaks[h], 5e-5) << h;
  }
}

TEST(SineTab, SquareClipsToSignsAndEntry512IsNegative) {
  // 6.283185308 is a little above 2 pi, so entry 512 of the sine lies just
  // below zero and squares to -1.
  EXPECT_LT(Built(0, false)[512], 0.0);
  EXPECT_GT(Built(0, false)[512], -1e-9);
  for (std::int32_t h = 0; h <= 3; ++h) {
    const Table t = Built(h, true);
    EXPECT_EQ(t[0], 0.0) << h;
    for (int i = 1; i < 512; ++i) ASSERT_EQ(t[i], 1.0) << h << " entry " << i;
    for (int i = 512; i < kSineTabSize; ++i) ASSERT_EQ(t[i], -1.0) << h << " entry " << i;
  }
}

TEST(SineTab, NegativeHarmonicsGiveSilence) {
  for (const bool square : {false, true}) {
    const Table t = Built(-1, square);
    EXPECT_TRUE(std::all_of(t.begin(), t.end(), [](double v) { return v == 0.0; }));
  }
}

}  // namespace
}  // namespace morse
