#include "morse/settings_file.h"

#include <string>

#include "morse/convert.h"

namespace morse {

namespace {

std::u16string Number(std::int32_t v) {
  const std::string s = std::to_string(v);
  return {s.begin(), s.end()};
}

std::u16string Flag(bool b) { return b ? u"1" : u"0"; }

std::u16string OneLine(std::u16string_view text) {
  std::u16string s(text);
  for (char16_t& c : s) {
    if (c == u'\r' || c == u'\n') c = u' ';
  }
  return s;
}

}  // namespace

std::vector<std::u16string> SettingsLines(const SettingsValues& v) {
  return {Flag(v.autoSave),          OneLine(v.practiceNumber), Number(v.textSpeed),
          Number(v.charSpeed),       Number(v.frequency),       OneLine(v.startCount),
          OneLine(v.usingCount),     Flag(v.showProgress),      OneLine(v.pauseAfterChars),
          Number(v.fontSize),        OneLine(v.fontName),       Number(v.clockSize),
          Flag(v.clearAfterPause),   Number(v.clearAfterChars), Number(v.fontColor),
          Number(v.fontStyle),       Flag(v.showClock)};
}

std::u16string_view SettingsLine(const std::vector<std::u16string>& lines, int n) {
  if (n < 1 || static_cast<std::size_t>(n) > lines.size()) return {};
  return lines[static_cast<std::size_t>(n) - 1];
}

void ApplySettings(const std::vector<std::u16string>& lines, SettingsTarget& t) {
  auto text = [&lines](int n) { return SettingsLine(lines, n); };
  auto number = [&lines](int n) { return StrToInt(SettingsLine(lines, n)); };
  auto checked = [&lines](int n) { return SettingsLine(lines, n) == u"1"; };

  t.SetAutoSave(checked(1));
  t.SetPracticeNumber(text(2));
  t.SetTextSpeed(number(3));
  t.SetCharSpeed(number(4));
  t.SetFrequency(number(5));
  t.SetStartCount(text(6));
  t.SetUsingCount(text(7));
  t.SetShowProgress(checked(8));
  t.SetPauseAfterChars(text(9));
  for (TextBox box : {TextBox::Memo1, TextBox::edit2}) {
    t.SetFontSize(box, number(10));
    t.SetFontName(box, text(11));
    t.SetFontColor(box, number(15));
    t.SetFontStyle(box, number(16) & 0xFF);
  }
  t.SetClockSize(number(12));
  t.SetClearAfterPause(checked(13));
  t.SetClearAfterChars(number(14));
  if (text(17) == u"0") t.HideClock();
}

}  // namespace morse
