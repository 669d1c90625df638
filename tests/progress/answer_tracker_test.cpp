// The reaction time and outcome of one teaching character.
#include <gtest/gtest.h>

#include "progress/answer_tracker.h"

namespace {

using progress::AnswerTracker;
using progress::OutputReading;
using progress::Outcome;

OutputReading At(std::int64_t now, std::int64_t played, std::int64_t queued) {
  return {now, played, queued, 44100};
}

TEST(AnswerTrackerTest, ReactionCountsFromWhenTheMarkIsHeard) {
  struct Case {
    const char* what;
    OutputReading at_mark;                // as the mark's last frame is produced
    std::vector<OutputReading> readings;  // later, before the key
    OutputReading key;
    std::int64_t reaction;
  };
  // The mark ends at frame 88200 and is produced at t = 1000 ms.
  const std::vector<Case> cases = {
      // One second of sound still ahead of the mark's end: heard at 2000.
      {"live at the mark", At(1000, 44100, 88200), {}, At(2600, 132300, 132300), 600},
      // A later reading corrects it: the device ran 100 ms late.
      {"refined", At(1000, 44100, 88200), {At(1500, 61740, 132300)}, At(2700, 132300, 132300), 600},
      // A reading at the key itself is the closest of all.
      {"live at the key", At(1000, 44100, 88200), {}, At(2450, 92610, 132300), 100},
      // A device that cannot tell reports everything as played: the mark
      // counts as heard when it was produced.
      {"no device clock", At(1000, 88200, 88200), {At(1200, 132300, 132300)}, At(1750, 132300, 132300), 750},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AnswerTracker t;
    t.Start(u'h', 0);
    t.MarkEnded(88200, c.at_mark);
    for (const auto& r : c.readings) t.Observe(r);
    t.Key(u'h', true, c.key);
    const auto a = t.Finish();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->reaction_ms, c.reaction);
  }
}

TEST(AnswerTrackerTest, OutcomeAndKeysFollowTheOrderOfEvents) {
  struct Case {
    const char* what;
    std::u16string keys;  // upper case: right
    bool timeout_after;   // the timeout comes after these keys
    Outcome outcome;
  };
  const std::vector<Case> cases = {
      {"right at once", u"H", false, Outcome::RightAtOnce},
      {"right, then a slip", u"Hs", false, Outcome::RightAtOnce},
      {"wrong then right", u"s5H", false, Outcome::RightAfterWrong},
      {"only wrong keys", u"s", true, Outcome::TimedOut},
      {"no key", u"", true, Outcome::TimedOut},
      {"stopped before any answer", u"s", false, Outcome::TimedOut},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AnswerTracker t;
    t.Start(u'h', 42);
    t.SetAllowed(6.5);
    t.MarkEnded(100, At(0, 0, 0));
    std::u16string typed;
    for (char16_t k : c.keys) {
      const bool right = k >= u'A' && k <= u'Z';
      const char16_t key = right ? char16_t(k + 32) : k;
      typed.push_back(key);
      t.Key(key, right, At(10, 0, 0));
    }
    if (c.timeout_after) t.TimedOut();
    const auto a = t.Finish();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->sent, u'h');
    EXPECT_EQ(a->utc_ms, 42);
    EXPECT_EQ(a->keys, typed);
    EXPECT_EQ(a->outcome, c.outcome);
    EXPECT_EQ(a->allowed_s, 6.5);
    EXPECT_EQ(a->reaction_ms.has_value(), !c.keys.empty());
    EXPECT_FALSE(t.Finish()) << "a record is finished once";
  }
}

TEST(AnswerTrackerTest, AKeyBeforeTheMarkEndsGivesANegativeReaction) {
  AnswerTracker t;
  t.Start(u'0', 0);
  t.Key(u'0', true, At(400, 0, 0));
  t.MarkEnded(44100, At(500, 0, 0));  // no device clock: heard at 500
  t.Key(u'x', false, At(600, 0, 0));   // a key after the answer is kept
  const auto a = t.Finish();
  ASSERT_TRUE(a);
  EXPECT_EQ(a->reaction_ms, -100);
  EXPECT_EQ(a->keys, u"0x");
  EXPECT_EQ(a->outcome, Outcome::RightAtOnce);
}

TEST(AnswerTrackerTest, IdleTrackerRecordsNothing) {
  AnswerTracker t;
  t.Key(u'a', true, At(0, 0, 0));
  t.TimedOut();
  EXPECT_FALSE(t.Finish());
}

}  // namespace
