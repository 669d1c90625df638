// Arbitrary bytes as the settings file: decoded and split as the window reads
// it, then applied to a target that keeps what it is given. Either a number
// line fails with the conversion error, or the values saved back and loaded
// again come out the same, and saving them again writes the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui/text_file.h"
#include "morse/convert.h"
#include "morse/settings_file.h"

namespace {

struct Font {
  std::int32_t size = 0, color = 0, style = 0;
  std::u16string name;
  bool operator==(const Font&) const = default;
};

class Keeper final : public morse::SettingsTarget {
 public:
  void SetAutoSave(bool c) override { v.autoSave = c; }
  void SetPracticeNumber(std::u16string_view t) override { v.practiceNumber = t; }
  void SetTextSpeed(std::int32_t p) override { v.textSpeed = p; }
  void SetCharSpeed(std::int32_t p) override { v.charSpeed = p; }
  void SetFrequency(std::int32_t p) override { v.frequency = p; }
  void SetStartCount(std::u16string_view t) override { v.startCount = t; }
  void SetUsingCount(std::u16string_view t) override { v.usingCount = t; }
  void SetShowProgress(bool c) override { v.showProgress = c; }
  void SetPauseAfterChars(std::u16string_view t) override { v.pauseAfterChars = t; }
  void SetFontSize(morse::TextBox b, std::int32_t s) override { Box(b).size = s; }
  void SetFontName(morse::TextBox b, std::u16string_view n) override { Box(b).name = n; }
  void SetFontColor(morse::TextBox b, std::int32_t c) override { Box(b).color = c; }
  void SetFontStyle(morse::TextBox b, std::int32_t s) override {
    if (s < 0 || s > 255) std::abort();
    Box(b).style = s;
  }
  void SetClockSize(std::int32_t s) override { v.clockSize = s; }
  void SetClearAfterPause(bool c) override { v.clearAfterPause = c; }
  void SetClearAfterChars(std::int32_t c) override { v.clearAfterChars = c; }
  void HideClock() override { v.showClock = false; }

  Font& Box(morse::TextBox b) { return b == morse::TextBox::Memo1 ? memo : edit; }
  morse::SettingsValues Values() {
    if (!(memo == edit)) std::abort();  // both boxes get the same font
    v.fontSize = memo.size;
    v.fontName = memo.name;
    v.fontColor = memo.color;
    v.fontStyle = memo.style;
    return v;
  }

  morse::SettingsValues v = [] {
    morse::SettingsValues s;
    s.showClock = true;
    return s;
  }();
  Font memo, edit;
};

std::vector<std::u16string> Lines(const QByteArray& bytes) {
  std::vector<std::u16string> out;
  for (const QString& s : gui::SplitLines(gui::DecodeText(bytes)))
    out.emplace_back(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size()));
  return out;
}

QByteArray Save(const morse::SettingsValues& v) {
  QStringList list;
  for (const std::u16string& l : morse::SettingsLines(v))
    list << QString(reinterpret_cast<const QChar*>(l.data()), static_cast<qsizetype>(l.size()));
  return gui::EncodeLines(list);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const std::vector<std::u16string> lines = Lines(bytes);
  Keeper first;
  try {
    morse::ApplySettings(lines, first);
  } catch (const morse::EConvertError& e) {
    // The message quotes the line; a NUL in it ends the C string early.
    const std::string what = e.what();
    if (what.rfind("'", 0) != 0) std::abort();
    return 0;
  }
  const morse::SettingsValues values = first.Values();
  const QByteArray saved = Save(values);
  const std::vector<std::u16string> savedLines = Lines(saved);
  if (savedLines.size() != morse::kSettingsLineCount) std::abort();

  Keeper second;
  morse::ApplySettings(savedLines, second);  // must not throw
  if (!(second.Values() == values)) std::abort();
  if (Save(second.Values()) != saved) std::abort();
  return 0;
}
