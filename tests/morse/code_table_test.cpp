#include "morse/code_table.h"

#include <gtest/gtest.h>

#include <string>

#include "morse/text.h"

namespace morse {
namespace {

TEST(CodeTable, HoldsEveryEntryAtItsIndex) {
  TrainerState st;
  CodeTableInitialize(st);
  EXPECT_EQ(st.Fbase, 41);
  const std::array<std::string, kCodeTableSize> expected = {
      "",       "111313", "31331", "331133", "31113", "131313", "31131", "33333",
      "13333",  "11333",  "11133", "11113",  "11111", "31111",  "33111", "33311",
      "33331",  "31313",  "13131", "",       "31113", "",       "113311",
      std::string(20, '1'),
      "13",     "3111",   "3131",  "311",    "1",     "1131",   "331",   "1111",
      "11",     "1333",   "313",   "1311",   "33",    "31",     "333",   "1331",
      "3313",   "131",    "111",   "3",      "113",   "1113",   "133",   "3113",
      "3133",   "3311"};  // 50..63 stay empty
  EXPECT_EQ(st.CodeTable, expected);

  CodeTableInitialize(st);
  EXPECT_EQ(st.CodeTable, expected);
}

TEST(CodeTable, CharToCodeLooksUpTheFirstCharacterOnly) {
  TrainerState st;
  CodeTableInitialize(st);
  struct Case {
    std::u16string s;
    std::string code;
  };
  const Case cases[] = {
      {u"E", "1"},    {u"Z", "3311"}, {u"@", std::string(20, '1')}, {u"EZ", "1"},
      {u"*", "111313"}, {u"-", "31113"}, {u"=", "31113"},
      // empty entries inside the table, and codes outside it
      {u"a", ""}, {u"h", ""}, {u"z", ""}, {u"<", ""}, {u">", ""}, {u")", ""}, {u"[", ""},
      {u"!", ""}, {u" ", ""}, {u"\t", ""}, {u"\r", ""}, {u"\u00C9", ""}, {u"\uFFFD", ""},
      {u"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CharToCode(st, c.s), c.code) << "code point " << (c.s.empty() ? 0 : int(c.s[0]));
  }
}

TEST(CodeTable, UninitialisedTableGivesNothingWithoutFaulting) {
  TrainerState st;  // Fbase 0: every character below 64 lands in the empty table
  EXPECT_EQ(CharToCode(st, u"E"), "");
  EXPECT_EQ(CharToCode(st, u"\uFFFF"), "");
}

TEST(Text, CaseChangesAsciiLettersOnly) {
  struct Case {
    char16_t in, upper, lower;
  };
  const Case cases[] = {
      {u'a', u'A', u'a'}, {u'z', u'Z', u'z'}, {u'A', u'A', u'a'}, {u'Z', u'Z', u'z'},
      {u'@', u'@', u'@'}, {u'[', u'[', u'['}, {u'`', u'`', u'`'}, {u'{', u'{', u'{'},
      {u'\u00E9', u'\u00E9', u'\u00E9'}, {u'\u00C9', u'\u00C9', u'\u00C9'}, {u'1', u'1', u'1'},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AsciiUpper(c.in), c.upper) << int(c.in);
    EXPECT_EQ(AsciiLower(c.in), c.lower) << int(c.in);
  }
}

}  // namespace
}  // namespace morse
