// Numbered practice texts 1 to 950: ten files "P0".."P9" of one text per
// line, text n being line n - 100 * floor((n - 1) / 100) of file
// "P<floor((n - 1) / 100)>".
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

namespace morse {

inline constexpr std::int32_t kFirstPracticeText = 1;
inline constexpr std::int32_t kLastPracticeText = 950;
// Only this much of a text's line is loaded.
inline constexpr std::size_t kPracticeTextMaxChars = 4096;

inline bool IsPracticeNumber(std::int32_t n) { return n >= kFirstPracticeText && n <= kLastPracticeText; }

// The hundred, which is also the digit of the file name.
inline std::int32_t PracticeHundred(std::int32_t n) {
  return static_cast<std::int32_t>(std::floor((static_cast<double>(n) - 1) / 100));
}
// The text's line within its file, from 1.
inline std::int32_t PracticeIndex(std::int32_t n) { return n - 100 * PracticeHundred(n); }

inline std::u16string PracticeFileName(std::int32_t hundred) {
  std::u16string name = u"P";
  name += static_cast<char16_t>(u'0' + hundred);
  return name;
}

// The number written back after a load: the next one, wrapping after the last.
inline std::int32_t NextPracticeNumber(std::int32_t n) { return n >= kLastPracticeText ? 1 : n + 1; }

}  // namespace morse
