#include "morse/settings_file.h"

#include <gtest/gtest.h>

#include "morse/convert.h"
#include "morse/practice_texts.h"

namespace morse {
namespace {

// Records each call as "name:value" in order.
class Recorder final : public SettingsTarget {
 public:
  void SetAutoSave(bool c) override { Add("auto", c); }
  void SetPracticeNumber(std::u16string_view t) override { Add("number", t); }
  void SetTextSpeed(std::int32_t p) override { Add("text", p); }
  void SetCharSpeed(std::int32_t p) override { Add("char", p); }
  void SetFrequency(std::int32_t p) override { Add("freq", p); }
  void SetStartCount(std::u16string_view t) override { Add("start", t); }
  void SetUsingCount(std::u16string_view t) override { Add("using", t); }
  void SetShowProgress(bool c) override { Add("progress", c); }
  void SetPauseAfterChars(std::u16string_view t) override { Add("pause", t); }
  void SetFontSize(TextBox b, std::int32_t s) override { Add(Box(b) + "size", s); }
  void SetFontName(TextBox b, std::u16string_view n) override { Add(Box(b) + "name", n); }
  void SetFontColor(TextBox b, std::int32_t c) override { Add(Box(b) + "color", c); }
  void SetFontStyle(TextBox b, std::int32_t s) override { Add(Box(b) + "style", s); }
  void SetClockSize(std::int32_t s) override { Add("clock", s); }
  void SetClearAfterPause(bool c) override { Add("clearpause", c); }
  void SetClearAfterChars(std::int32_t c) override { Add("clearchars", c); }
  void HideClock() override { calls += "hideclock "; }

  std::string calls;

 private:
  static std::string Box(TextBox b) { return b == TextBox::Memo1 ? "m." : "e."; }
  void Add(const std::string& name, std::int32_t v) { calls += name + ":" + std::to_string(v) + " "; }
  void Add(const std::string& name, bool v) { calls += name + ":" + (v ? "1 " : "0 "); }
  void Add(const std::string& name, std::u16string_view v) { calls += name + ":" + ToUtf8(v) + " "; }
};

std::vector<std::u16string> Lines(std::initializer_list<const char16_t*> l) { return {l.begin(), l.end()}; }

TEST(SettingsFileTest, AppliesTheLinesInTheirOrderOfApplication) {
  Recorder r;
  ApplySettings(Lines({u"1", u"7", u"5", u"12", u"800", u"2", u"3", u"x", u"9", u"-8", u"Mono", u"32", u"1",
                       u"40", u"255", u"261", u"0"}),
                r);
  EXPECT_EQ(r.calls,
            "auto:1 number:7 text:5 char:12 freq:800 start:2 using:3 progress:0 pause:9 "
            "m.size:-8 m.name:Mono m.color:255 m.style:5 e.size:-8 e.name:Mono e.color:255 e.style:5 "
            "clock:32 clearpause:1 clearchars:40 hideclock ");
}

TEST(SettingsFileTest, StopsAtTheFirstNumberLineThatIsNoNumber) {
  Recorder r;
  EXPECT_THROW(
      try { ApplySettings(Lines({u"1", u"2"}), r); } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
        throw;
      },
      EConvertError);
  EXPECT_EQ(r.calls, "auto:1 number:2 ");
}

TEST(SettingsFileTest, WritesSeventeenLinesWithTextsOnOneLine) {
  SettingsValues v;
  v.autoSave = true;
  v.practiceNumber = u"12\r\n3";
  v.fontName = u"A\nB";
  v.fontColor = kWindowTextColor;
  v.showClock = true;
  const auto lines = SettingsLines(v);
  ASSERT_EQ(lines.size(), 17u);
  EXPECT_EQ(lines[1], u"12  3");
  EXPECT_EQ(lines[10], u"A B");
  EXPECT_EQ(lines[14], u"-16777208");
  EXPECT_EQ(lines[16], u"1");
}

TEST(PracticeTextsTest, NumbersMapToFileAndLine) {
  const struct {
    std::int32_t n, hund, index, next;
  } cases[] = {{1, 0, 1, 2}, {100, 0, 100, 101}, {101, 1, 1, 102}, {237, 2, 37, 238}, {950, 9, 50, 1}};
  for (const auto& c : cases) {
    EXPECT_TRUE(IsPracticeNumber(c.n));
    EXPECT_EQ(PracticeHundred(c.n), c.hund) << c.n;
    EXPECT_EQ(PracticeIndex(c.n), c.index) << c.n;
    EXPECT_EQ(NextPracticeNumber(c.n), c.next) << c.n;
  }
  EXPECT_EQ(PracticeFileName(9), u"P9");
  for (std::int32_t n : {0, 951, -3, INT32_MIN, INT32_MAX}) EXPECT_FALSE(IsPracticeNumber(n)) << n;
  EXPECT_EQ(NextPracticeNumber(-3), -2);
  EXPECT_EQ(NextPracticeNumber(INT32_MAX), 1);
  EXPECT_EQ(NextPracticeNumber(INT32_MIN), INT32_MIN + 1);
}

}  // namespace
}  // namespace morse
