// The program's number conversions and text encoding.
#include <gtest/gtest.h>

#include "morse/convert.h"

namespace morse {
namespace {

TEST(StrToInt, TakesASignAndDecimalDigitsWithin32Bits) {
  const std::pair<const char16_t*, std::int32_t> good[] = {
      {u"12", 12}, {u"-7", -7}, {u"+5", 5}, {u"007", 7},
      {u"2147483647", INT32_MAX}, {u"-2147483648", INT32_MIN}};
  for (const auto& [text, value] : good) EXPECT_EQ(StrToInt(text), value) << ToUtf8(text);
  for (const char16_t* bad : {u"", u"12abc", u" 12", u"1.5", u"-", u"2147483648", u"0x10",
                              u"99999999999999999999"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << ToUtf8(bad);
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.what(), "'" + ToUtf8(bad) + "' is not a valid integer value");
    }
  }
  EXPECT_EQ(StrToIntDef(u"x", 3), 3);
}

TEST(StrToFloat, TakesADecimalNumber) {
  const std::pair<const char16_t*, double> good[] = {
      {u"5", 5}, {u"5.5", 5.5}, {u"-0.25", -0.25}, {u".5", 0.5}, {u"2.", 2}, {u"1e3", 1000},
      {u"+5", 5}, {u"+.5e+1", 5}, {u"1e308", 1e308}, {u"-2.5E-3", -0.0025}};
  for (const auto& [text, value] : good) EXPECT_DOUBLE_EQ(StrToFloat(text), value) << ToUtf8(text);
  for (const char16_t* bad : {u"", u".", u"5,5", u"1e", u"abc", u"5 ", u"+", u"+-5", u"1e400", u"-1e400",
                              u"1e-400", u"inf", u"nan", u"0x10"}) {
    try {
      StrToFloat(bad);
      ADD_FAILURE() << ToUtf8(bad);
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.what(), "'" + ToUtf8(bad) + "' is not a valid floating point value");
    }
  }
}

TEST(Utf8, RoundTripsAndReplacesWhatIsBroken) {
  const std::u16string text = u"A\u00e9\u20ac\U0001F600";
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(FromUtf8("\xff" "a\xc3"), u"\ufffda\ufffd");
  EXPECT_EQ(ToUtf8(std::u16string(1, u'\xd800')), "\xef\xbf\xbd");  // a lone surrogate
}

}  // namespace
}  // namespace morse
