#include "morse/timing.h"

#include <gtest/gtest.h>

namespace morse {
namespace {

// A character gap is the element gap plus Charspace; a word gap adds
// Wdspace and the space's own Charspace.
double CharGap(const TrainerState& st) { return st.FDitLength + st.Charspace; }
double WordGap(const TrainerState& st) {
  return st.FDitLength + st.Charspace + st.Wdspace + st.Charspace;
}

TEST(DeriveTiming, SpeedsGiveDitAndGaps) {
  struct Case {
    double charWpm, textWpm;
    double dit, charspace, wdspace, charGapDits, wordGapDits;
  };
  const Case cases[] = {
      {12, 5, 0.1, 1.3052632, 0.5684211, 14.052632, 32.789474},  // start-up, X = 89
      {20, 10, 0.06, 0.5936842, 0.2778947, 10.894737, 25.421053},  // X = 69
      {18, 18, 1.2 / 18, 2.4 / 18, 4.8 / 18, 3, 9},
      {18, 17, 1.2 / 18, 0.1642931, 0.1436533, 3.4643963, 8.0835913},  // X = 21.94
      {18, 20, 0.06, 0.12, 0.24, 3, 9},    // text above character speed
      {35, 40, 0.03, 0.06, 0.12, 3, 9},    // fast mode at the top of both bars
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.charWpm << "/" << c.textWpm);
    TrainerState st;
    st.Fspeed = c.charWpm;
    st.Speed = c.textWpm;
    DeriveTiming(st);
    EXPECT_NEAR(st.FDitLength, c.dit, 1e-12);
    EXPECT_NEAR(st.Charspace, c.charspace, 1e-7);
    EXPECT_NEAR(st.Wdspace, c.wdspace, 1e-7);
    EXPECT_NEAR(CharGap(st) / st.FDitLength, c.charGapDits, 1e-6);
    EXPECT_NEAR(WordGap(st) / st.FDitLength, c.wordGapDits, 1e-6);
  }
}

TEST(DeriveTiming, OnlyFarnsworthSetsTheSpacingShares) {
  TrainerState plain;
  plain.Fspeed = plain.Speed = 18;
  DeriveTiming(plain);
  EXPECT_EQ(plain.Nchar, 0);
  EXPECT_EQ(plain.Nword, 0);

  TrainerState farnsworth;
  farnsworth.Fspeed = 12;
  farnsworth.Speed = 5;
  DeriveTiming(farnsworth);
  EXPECT_EQ(farnsworth.Nchar, 3);
  EXPECT_EQ(farnsworth.Nword, 7);
  // Start-up: word gap 3.278947 s, character gap 1.405263 s.
  EXPECT_NEAR(WordGap(farnsworth), 3.278947, 1e-6);
  EXPECT_NEAR(CharGap(farnsworth), 1.405263, 1e-6);
}

}  // namespace
}  // namespace morse
