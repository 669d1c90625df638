#include "morse/random_groups.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "morse/convert.h"

namespace morse {
namespace {

struct ScriptExhausted {};

// Hands out scripted draws 0..99; running dry aborts the generation, so a
// loop that never ends shows as a failure instead of a hang.
class ScriptedInts : public RandomSource {
 public:
  explicit ScriptedInts(std::deque<std::int32_t> ints) : ints_(std::move(ints)) {}
  double Real() override {
    ADD_FAILURE() << "groups draw integers only";
    return 0;
  }
  std::int32_t Int(std::int32_t n) override {
    EXPECT_EQ(n, 100);
    if (ints_.empty()) throw ScriptExhausted{};
    const std::int32_t r = ints_.front();
    ints_.pop_front();
    ++drawn;
    return r;
  }
  void Randomize() override {}
  int drawn = 0;

 private:
  std::deque<std::int32_t> ints_;
};

bool HasThreeInARow(const std::u16string& drawn) {
  for (std::size_t i = 2; i < drawn.size(); ++i) {
    if (drawn[i] == drawn[i - 1] && drawn[i] == drawn[i - 2]) return true;
  }
  return false;
}

TEST(RandomGroups, PlainGroupOfTwoCharacters) {
  // 0 = a, 1 = b: the third a in a row is discarded and drawn again.
  ScriptedInts random({0, 0, 0, 0, 1, 2, 3});
  EXPECT_EQ(GenerateGroups(u"ab", 1, false, random), u"aabab ");
  EXPECT_EQ(random.drawn, 7);

  for (int run = 0; run < 200; ++run) {
    const std::u16string text = GenerateGroups(u"ab", 1, false, SystemRandom());
    ASSERT_EQ(text.size(), 6u);
    EXPECT_EQ(text.back(), u' ');
    const std::u16string drawn = text.substr(0, 5);
    EXPECT_EQ(drawn.find_first_not_of(u"ab"), std::u16string::npos) << ToUtf8(text);
    EXPECT_FALSE(HasThreeInARow(drawn)) << ToUtf8(text);
  }
}

TEST(RandomGroups, TeachingLayoutRepeatsEveryLaterGroup) {
  // Character at (r mod 5): 0 a, 1 b, 2 c, 3 d, 4 e.
  ScriptedInts random({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 14, 13, 12, 11, 10});
  EXPECT_EQ(GenerateGroups(u"abcde", 3, true, random), u"abcde.abcde abcde.edcba edcba.");
}

TEST(RandomGroups, NoThirdInARowAcrossGroupBoundaries) {
  // "babaa" ends a group; the next two a are thirds in a row and discarded.
  const std::deque<std::int32_t> script = {1, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1};
  ScriptedInts plain(script);
  EXPECT_EQ(GenerateGroups(u"ab", 2, false, plain), u"babaa bbaab ");
  ScriptedInts teaching(script);
  EXPECT_EQ(GenerateGroups(u"ab", 2, true, teaching), u"babaa.bbaab bbaab.");
  EXPECT_EQ(teaching.drawn, 12);

  for (int run = 0; run < 50; ++run) {
    const std::u16string text = GenerateGroups(u"aab", 40, false, SystemRandom());
    std::u16string drawn;
    for (char16_t c : text)
      if (c != u' ') drawn += c;
    ASSERT_EQ(drawn.size(), 200u);
    EXPECT_FALSE(HasThreeInARow(drawn)) << ToUtf8(text);
  }
}

TEST(RandomGroups, DrawnPositionFoldsOverTheWholeLength) {
  // With more than 100 characters the draw never reaches beyond the 100th.
  std::u16string chars(100, u'x');
  chars[0] = u'a';
  chars[99] = u'z';
  chars += std::u16string(50, u'Q');
  ScriptedInts random({0, 99, 50, 99, 0});
  EXPECT_EQ(GenerateGroups(chars, 1, false, random), u"azxza ");
  for (int run = 0; run < 20; ++run) {
    EXPECT_EQ(GenerateGroups(chars, 20, false, SystemRandom()).find(u'Q'), std::u16string::npos);
  }
  // With fewer, r mod n: 99 mod 7 = 1.
  ScriptedInts seven({99, 7, 13, 6, 3});
  EXPECT_EQ(GenerateGroups(u"abcdefg", 1, false, seven), u"baggd ");
}

TEST(RandomGroups, BlankIsDrawnAndTheRunStartsAfterABlank) {
  // The run begins as if a blank had been drawn: a leading blank can come once.
  ScriptedInts random({0, 0, 1, 0, 0, 1, 1});
  EXPECT_EQ(GenerateGroups(u" a", 1, false, random), u" a  a ");
}

TEST(RandomGroups, RefusedInputs) {
  struct Case {
    std::u16string chars;
    std::int64_t groups;
    std::u16string message;
  };
  const std::u16string hundredA(100, u'a');
  const Case cases[] = {
      {u"", 3, u"Please enter at least 2 characters."},
      {u"a", 3, u"Please enter at least 2 characters."},
      {u"a", 0, u"Please enter at least 2 characters."},
      {u"aa", 3, u"Please enter at least 2 different characters."},
      {hundredA + u"b", 1, u"Please enter at least 2 different characters."},  // b never drawn
      {u"ab", kMaxGroups + 1, u"Please enter at most 10000 groups."},
      {u"ab", INT64_MAX, u"Please enter at most 10000 groups."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.chars.substr(0, 5)));
    EXPECT_EQ(GroupsInputProblem(c.chars, c.groups), c.message);
    ScriptedInts random({});
    try {
      GenerateGroups(c.chars, c.groups, false, random);
      ADD_FAILURE() << "accepted";
    } catch (const EGroupsError& e) {
      EXPECT_EQ(e.what(), ToUtf8(c.message));
    }
    EXPECT_EQ(random.drawn, 0);
  }
  EXPECT_EQ(GroupsInputProblem(hundredA.substr(1) + u"b", 1), u"");
  EXPECT_EQ(GroupsInputProblem(u"aa", 0), u"");  // nothing to draw, nothing to refuse
  EXPECT_EQ(GenerateGroups(u"ab", kMaxGroups, true, SystemRandom()).size(),
            static_cast<std::size_t>(6 + (kMaxGroups - 1) * 12));
}

TEST(RandomGroups, NoGroupsGiveAnEmptyText) {
  for (std::int64_t groups : {0, -1, -100}) {
    ScriptedInts random({});
    EXPECT_EQ(GenerateGroups(u"abc", groups, true, random), u"");
    EXPECT_EQ(random.drawn, 0);
  }
}

TEST(RandomGroups, FixedTexts) {
  EXPECT_EQ(kDitsText, u"@@@@@@@@@@");
  EXPECT_EQ(kRandomCharsInstructions[0],
            u"Enter characters, no spaces, in the \u0060Enter Characters' box.");
  EXPECT_EQ(kRandomCharsInstructions[1], u"Then click the button labelled \u0060Generate'");
  EXPECT_EQ(kRandomCharsInstructions[3],
            u"After they appear, click the \u0060send text' button to send them");
}

}  // namespace
}  // namespace morse
