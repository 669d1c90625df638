// The settings file: seventeen values, one per line, their meaning given by
// the line number. Writing turns the window's values into lines; reading
// applies the lines one by one, in a fixed order, to a target that acts as
// the user changing each control would.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morse {

inline constexpr int kSettingsLineCount = 17;
inline constexpr char16_t kSettingsFileName[] = u"Pelkainit.txt";

// The platform's window-text colour, the text boxes' colour at start-up.
inline constexpr std::int32_t kWindowTextColor = -16777208;

struct SettingsValues {
  bool autoSave = false;              // 1
  std::u16string practiceNumber;      // 2
  std::int32_t textSpeed = 0;         // 3
  std::int32_t charSpeed = 0;         // 4
  std::int32_t frequency = 0;         // 5
  std::u16string startCount;          // 6
  std::u16string usingCount;          // 7
  bool showProgress = false;          // 8
  std::u16string pauseAfterChars;     // 9
  std::int32_t fontSize = 0;          // 10
  std::u16string fontName;            // 11
  std::int32_t clockSize = 0;         // 12
  bool clearAfterPause = false;       // 13
  std::int32_t clearAfterChars = 0;   // 14
  std::int32_t fontColor = 0;         // 15
  std::int32_t fontStyle = 0;         // 16
  bool showClock = false;             // 17

  bool operator==(const SettingsValues&) const = default;
};

// The 17 lines. A line break inside a text value would shift every later
// line, so it is written as a space.
std::vector<std::u16string> SettingsLines(const SettingsValues& values);

enum class TextBox { Memo1, edit2 };

// Where a loaded line goes. Each call must act as a user change of that
// control: clamping, and handlers only on an actual change.
class SettingsTarget {
 public:
  virtual ~SettingsTarget() = default;
  virtual void SetAutoSave(bool checked) = 0;
  virtual void SetPracticeNumber(std::u16string_view text) = 0;
  virtual void SetTextSpeed(std::int32_t position) = 0;
  virtual void SetCharSpeed(std::int32_t position) = 0;
  virtual void SetFrequency(std::int32_t position) = 0;
  virtual void SetStartCount(std::u16string_view text) = 0;
  virtual void SetUsingCount(std::u16string_view text) = 0;
  virtual void SetShowProgress(bool checked) = 0;
  virtual void SetPauseAfterChars(std::u16string_view text) = 0;
  virtual void SetFontSize(TextBox box, std::int32_t points) = 0;
  virtual void SetFontName(TextBox box, std::u16string_view name) = 0;
  virtual void SetFontColor(TextBox box, std::int32_t color) = 0;
  virtual void SetFontStyle(TextBox box, std::int32_t styleBits) = 0;  // 0..255
  virtual void SetClockSize(std::int32_t points) = 0;
  virtual void SetClearAfterPause(bool checked) = 0;
  virtual void SetClearAfterChars(std::int32_t value) = 0;
  virtual void HideClock() = 0;  // line 17 is "0"
};

// Line n (from 1), or an empty text beyond the end.
std::u16string_view SettingsLine(const std::vector<std::u16string>& lines, int n);

// Applies the lines in the file's order of application. A number line that
// is not an integer throws EConvertError "'<text>' is not a valid integer
// value"; what was applied before it stays applied.
void ApplySettings(const std::vector<std::u16string>& lines, SettingsTarget& target);

}  // namespace morse
