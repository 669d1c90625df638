#include "morse/teaching.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>

namespace morse {
namespace {

// Hands out scripted draws in order and counts them.
class ScriptedRandom : public RandomSource {
 public:
  explicit ScriptedRandom(std::deque<double> reals = {}) : reals_(std::move(reals)) {}
  double Real() override {
    ++realsDrawn;
    if (reals_.empty()) {
      ADD_FAILURE() << "more reals drawn than scripted";
      return 0;
    }
    const double r = reals_.front();
    reals_.pop_front();
    return r;
  }
  std::int32_t Int(std::int32_t) override {
    ADD_FAILURE() << "the pick draws reals only";
    return 0;
  }
  void Randomize() override {}
  std::size_t left() const { return reals_.size(); }
  int realsDrawn = 0;

 private:
  std::deque<double> reals_;
};

// A state as Start Teach leaves it, with n characters in use.
TrainerState Teaching(int n) {
  TrainerState s;
  s.Teachstring = std::u16string(TeachOrder(0));
  ResetTeachStats(s);
  s.Numusing = n;
  return s;
}

TEST(TeachOrders, AreOrderingsOfTheSame40Characters) {
  const std::u16string all = u"abcdefghijklmnopqrstuvwxyz0123456789.,?/";
  std::u16string sortedAll = all;
  std::sort(sortedAll.begin(), sortedAll.end());
  for (int i = 0; i < kTeachOrderCount; ++i) {
    std::u16string order(TeachOrder(i));
    std::sort(order.begin(), order.end());
    EXPECT_EQ(order, sortedAll) << i;
  }
  EXPECT_EQ(TeachOrderCaption(0), u"Tamsel");
  EXPECT_EQ(TeachOrderCaption(1), u"Koch");
  EXPECT_EQ(TeachOrderCaption(2), u"Alpha/Num");
  EXPECT_EQ(TeachOrder(0).substr(0, 4), u"q7zg");
  EXPECT_EQ(TeachOrder(1).substr(0, 4), u"kmrs");
  EXPECT_EQ(TeachOrder(2), all.substr(0, 26) + u"1234567890.,?/");
  EXPECT_EQ(TeachOrder(-1), TeachOrder(0));
  EXPECT_EQ(TeachOrder(3), TeachOrder(0));
  EXPECT_EQ(TeachOrderCaption(3), u"");
}

TEST(TeachStats, ResetSetsConstantsAndWeightsButKeepsStatistics) {
  TrainerState s;
  s.AverageError = 0.7;
  s.MaxCharError = 0.9;
  s.Numusing = 5;
  s.ichar = 9;
  ResetTeachStats(s);
  EXPECT_EQ(s.Delerror, 0.2);
  EXPECT_EQ(s.Numtotal, 40);
  EXPECT_EQ(s.Eavtrig, 0.5);
  EXPECT_EQ(s.Emaxtrig, 0.6);
  EXPECT_EQ(s.Newflag, 2);
  EXPECT_EQ(s.ichar, 1);
  EXPECT_EQ(s.Emax, 1.0);
  EXPECT_EQ(s.Emin, 0.39);
  for (int i = 1; i <= 40; ++i) EXPECT_EQ(s.Errors[i], 1.0) << i;
  EXPECT_EQ(s.Numusing, 5);
  EXPECT_EQ(s.AverageError, 0.7);
  EXPECT_EQ(s.MaxCharError, 0.9);
}

// The weight levels as binary doubles: the transitions must be the same
// whether a level carries an excess in the last place or not.
TEST(TeachStats, WeightRulesMoveBetweenTheLevels) {
  struct Case {
    double weight, afterRaise, afterLower;
  };
  const Case cases[] = {
      {1.0, 1.0, 0.8},
      {0.8, 0.8, 0.6000000000000001},  // 1.0 is refused
      {0.6000000000000001, 0.8, 0.4000000000000001},
      {0.4000000000000001, 0.6000000000000001, 0.20000000000000007},
      {0.4, 0.6000000000000001, 0.2},
      {0.20000000000000007, 0.4000000000000001, 0.20000000000000007},
      {0.2, 0.4, 0.2},  // not above 0.39
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.weight);
    TrainerState s = Teaching(1);
    s.Errors[7] = c.weight;
    RaiseCharError(s, 7);
    EXPECT_EQ(s.Errors[7], c.afterRaise);
    s.Errors[7] = c.weight;
    LowerCharError(s, 7);
    EXPECT_EQ(s.Errors[7], c.afterLower);
  }
  // Walked down from 1.0, the levels are those of the table.
  TrainerState s = Teaching(1);
  const double down[] = {0.8, 0.6000000000000001, 0.4000000000000001, 0.20000000000000007,
                         0.20000000000000007};
  for (double expected : down) {
    LowerCharError(s, 1);
    EXPECT_EQ(s.Errors[1], expected);
  }
  // Positions outside 1..40 are ignored.
  const auto before = s.Errors;
  for (int i : {0, -1, 41}) {
    RaiseCharError(s, i);
    LowerCharError(s, i);
  }
  EXPECT_EQ(s.Errors, before);
}

TEST(TeachStats, ComputeErrorStatsOverCharactersInUse) {
  TrainerState s = Teaching(3);
  s.Errors[1] = 0.2;
  s.Errors[2] = 0.6000000000000001;
  s.Errors[3] = 0.4;
  s.Errors[4] = 5.0;  // not in use
  ComputeErrorStats(s);
  EXPECT_EQ(s.AverageError, (0.2 + 0.6000000000000001 + 0.4) / 3);
  EXPECT_EQ(s.MaxCharError, 0.6000000000000001);
}

TEST(TeachStats, CountsOutsideOneToFortyStayInRange) {
  TrainerState s = Teaching(0);
  ComputeErrorStats(s);
  EXPECT_EQ(s.AverageError, 0);
  EXPECT_EQ(s.MaxCharError, 0);
  EXPECT_FALSE(IntroduceNextChar(s));
  EXPECT_EQ(s.Numusing, 0);

  s.Numusing = -3;
  ComputeErrorStats(s);
  EXPECT_EQ(s.AverageError, 0);
  EXPECT_FALSE(IntroduceNextChar(s));
  s.Newflag = 0;
  ScriptedRandom random({0.5, 0.9, 0.7, 0.3, 0.1, 0.2, 0.6});
  PickTeachChar(s, random);
  EXPECT_EQ(s.ichar, 1);

  s.Numusing = 55;
  s.Errors[40] = 0.2;
  ComputeErrorStats(s);
  EXPECT_EQ(s.MaxCharError, 1.0);
  EXPECT_EQ(s.AverageError, (39 * 1.0 + 0.2) / 40);
  ScriptedRandom last({0.9999999999999999, 0.0});
  PickTeachChar(s, last);
  EXPECT_EQ(s.ichar, 40);
}

TEST(TeachStats, ThreeRightAnswersBringTheSecondCharacterIn) {
  TrainerState s = Teaching(1);
  for (int answer = 1; answer <= 3; ++answer) {
    LowerCharError(s, 1);
    ComputeErrorStats(s);
    EXPECT_EQ(IntroduceNextChar(s), answer == 3) << answer;
  }
  EXPECT_EQ(s.Errors[1], 0.4000000000000001);
  EXPECT_EQ(s.Numusing, 2);
  EXPECT_EQ(s.ichar, 2);
  EXPECT_EQ(s.Newflag, 2);
  EXPECT_EQ(s.Errors[2], 1.0);
}

TEST(TeachStats, NewCharacterNeedsBothTriggersStrictlyBelow) {
  struct Case {
    int numusing;
    double average, max;
    bool adds;
  };
  const Case cases[] = {
      {3, 0.4, 0.4, true},
      {3, 0.3333333333333333, 0.6000000000000001, false},  // one weight at the 0.6 level blocks
      {3, 0.5, 0.4, false},
      {3, 0.49, 0.6, false},
      {39, 0.2, 0.2, true},
      {40, 0.2, 0.2, false},  // all in use
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.numusing);
    TrainerState s = Teaching(c.numusing);
    s.Newflag = 0;
    s.ichar = 1;
    s.AverageError = c.average;
    s.MaxCharError = c.max;
    EXPECT_EQ(IntroduceNextChar(s), c.adds);
    EXPECT_EQ(s.Numusing, c.numusing + (c.adds ? 1 : 0));
    EXPECT_EQ(s.ichar, c.adds ? c.numusing + 1 : 1);
    EXPECT_EQ(s.Newflag, c.adds ? 2 : 0);
  }
  // The 0.6 level as the rules reach it, with the average well below 0.5.
  TrainerState s = Teaching(3);
  s.Errors[1] = s.Errors[2] = 0.2;
  s.Errors[3] = 0.8;
  LowerCharError(s, 3);
  ComputeErrorStats(s);
  EXPECT_LT(s.AverageError, 0.5);
  EXPECT_FALSE(IntroduceNextChar(s));
}

TEST(TeachStats, FortyInUseNeverAddsMore) {
  TrainerState s = Teaching(40);
  for (int round = 0; round < 5; ++round) {
    for (int i = 1; i <= 40; ++i) LowerCharError(s, i);
    ComputeErrorStats(s);
    EXPECT_FALSE(IntroduceNextChar(s));
  }
  EXPECT_EQ(s.Numusing, 40);
}

TEST(TeachPick, PendingRepeatsKeepTheCurrentCharacter) {
  TrainerState s = Teaching(10);
  s.ichar = 7;
  ScriptedRandom random;
  PickTeachChar(s, random);
  PickTeachChar(s, random);
  EXPECT_EQ(s.ichar, 7);
  EXPECT_EQ(s.Newflag, 0);
  EXPECT_EQ(random.realsDrawn, 0);
}

TEST(TeachPick, OneCharacterInUseIsAlwaysPicked) {
  TrainerState s = Teaching(1);
  s.Newflag = 0;
  for (double weight : {1.0, 0.2}) {
    s.Errors[1] = weight;
    // t = 0.99 rejects a weight of 0.2 four times before it is accepted.
    ScriptedRandom random({0.7, 0.99, 0.999, 0.4, 0.0, 0.9995, 0.5, 0.5});
    PickTeachChar(s, random);
    EXPECT_EQ(s.ichar, 1);
  }
}

// Each rejection takes the candidate's weight off t and draws the next
// candidate as (round(R * 1000) mod Numusing) + 1, halves to even.
TEST(TeachPick, RejectionsFollowTheFoldedThousand) {
  TrainerState s = Teaching(5);
  s.Newflag = 0;
  s.Errors[1] = 0.2;
  s.Errors[2] = 0.4;
  s.Errors[3] = 0.6000000000000001;
  s.Errors[4] = 0.2;
  s.Errors[5] = 0.8;
  ScriptedRandom random({
      0.0,     // first candidate 1
      0.9,     // t = 4.5 > 0.2: reject 1, t = 4.3
      0.0025,  // round(2.5) = 2 -> 3 (0.6 <= 4.3: reject, t = 3.7)
      0.0035,  // round(3.5) = 4 -> 5 (0.8 <= 3.7: reject, t = 2.9)
      0.9995,  // round(999.5) = 1000 -> 1 (reject, t = 2.7)
      0.0064,  // 6 -> 2 (reject, t = 2.3)
      0.0125,  // round(12.5) = 12 -> 3 (reject, t = 1.7)
      0.0041,  // 4 -> 5 (reject, t = 0.9)
      0.0039,  // 4 -> 5 (0.8 <= 0.9: reject, t = 0.1)
      0.0043,  // 4 -> 5, 0.8 > 0.1: accepted
      0.5,     // left over
  });
  PickTeachChar(s, random);
  EXPECT_EQ(s.ichar, 5);
  EXPECT_EQ(random.realsDrawn, 10);
  EXPECT_EQ(random.left(), 1u);
}

TEST(TeachPick, FirstCandidateSpansTheCharactersInUse) {
  struct Case {
    int numusing;
    double r;
    int ichar;
  };
  for (const Case c : {Case{40, 0.0, 1}, Case{40, 0.9999999999999999, 40}, Case{40, 0.5, 21},
                       Case{3, 0.6666666666666665, 2}, Case{3, 0.6666666666666666, 3}}) {
    SCOPED_TRACE(c.r);
    TrainerState s = Teaching(c.numusing);
    s.Newflag = 0;
    ScriptedRandom random({c.r, 0.0});  // t = 0: accepted at once
    PickTeachChar(s, random);
    EXPECT_EQ(s.ichar, c.ichar);
  }
}

TEST(TeachPick, WeightsNeverSetStillEndThePick) {
  TrainerState s;  // never reset: every weight 0
  s.Numusing = 4;
  class Constant : public RandomSource {
    double Real() override { return 0.5; }
    std::int32_t Int(std::int32_t) override { return 0; }
    void Randomize() override {}
  } random;
  PickTeachChar(s, random);
  EXPECT_GE(s.ichar, 1);
  EXPECT_LE(s.ichar, 4);
}

TEST(MasteryRating, RoundsHalvesToEvenOverTheShareInUse) {
  struct Case {
    int numusing;
    double average;
    int rating;
  };
  const Case cases[] = {
      {40, 0.2, 100},
      {40, 0.20000000000000007, 100},
      {40, 1.0, 0},
      {20, 0.3, 44},  // round(43.75)
      // A freshly started program: round(125 * Numusing / 40).
      {1, 0.0, 3},
      {4, 0.0, 12},  // 12.5
      {12, 0.0, 38},  // 37.5
      {20, 0.0, 62},  // 62.5
      {40, 0.0, 125},
      // Counts the window would refuse are clamped into 0..40.
      {55, 0.2, 100},
      {0, 0.5, 0},
      {-7, 0.5, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.numusing << " at " << c.average);
    TrainerState s;
    s.Numusing = c.numusing;
    s.AverageError = c.average;
    EXPECT_EQ(MasteryRating(s), c.rating);
  }
  TrainerState s = Teaching(40);
  for (int i = 1; i <= 40; ++i) s.Errors[i] = 0.2;
  ComputeErrorStats(s);
  EXPECT_EQ(MasteryRating(s), 100);
  s.AverageError = 1e300;  // beyond 32 bits
  EXPECT_EQ(MasteryRating(s), std::numeric_limits<std::int32_t>::min());
}

TEST(ChartLabels, HiddenWhileTeachingThenUpperCase) {
  TrainerState s = Teaching(1);
  s.TeachFlag = true;
  for (int i = 1; i <= 40; ++i) EXPECT_EQ(ChartLabel(s, i), u"") << i;
  s.TeachFlag = false;
  EXPECT_EQ(ChartLabel(s, 1), u"Q");
  EXPECT_EQ(ChartLabel(s, 2), u"7");
  EXPECT_EQ(ChartLabel(s, 37), u".");
  EXPECT_EQ(ChartLabel(s, 40), u"/");
  EXPECT_EQ(ChartLabel(s, 0), u"");
  EXPECT_EQ(ChartLabel(s, 41), u"");
}

}  // namespace
}  // namespace morse
