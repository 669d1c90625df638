#include "morse/random_groups.h"

#include <algorithm>

#include "morse/convert.h"

namespace morse {

std::u16string GroupsInputProblem(std::u16string_view chars, std::int64_t groups) {
  if (chars.size() < 2) return u"Please enter at least 2 characters.";
  if (groups <= 0) return {};
  const std::u16string_view drawable = chars.substr(0, kDrawableChars);
  if (std::all_of(drawable.begin(), drawable.end(),
                  [&](char16_t c) { return c == drawable.front(); })) {
    return u"Please enter at least 2 different characters.";
  }
  if (groups > kMaxGroups) return u"Please enter at most 10000 groups.";
  return {};
}

std::u16string GenerateGroups(std::u16string_view chars, std::int64_t groups,
                              bool teachingLayout, RandomSource& random) {
  if (const std::u16string problem = GroupsInputProblem(chars, groups); !problem.empty()) {
    throw EGroupsError(ToUtf8(problem));
  }
  std::u16string text;
  if (groups <= 0) return text;
  const std::int64_t total = groups * kGroupLength;
  text.reserve(static_cast<std::size_t>(total * (teachingLayout ? 2 : 1) + groups * 2));

  std::int64_t count = 0;
  char16_t prev = u' ';
  int run = 0;
  int k = 0;
  std::u16string group;
  bool first = true;
  while (count < total) {
    // Over the whole length: with more than 100 characters only the first
    // 100 are ever drawn.
    const auto r = static_cast<std::size_t>(random.Int(static_cast<std::int32_t>(kDrawableChars)));
    const char16_t ch = chars[r % chars.size()];
    run = ch == prev ? run + 1 : 0;
    if (run >= 2) continue;  // never a third in a row
    ++k;
    ++count;
    text += ch;
    group += ch;
    prev = ch;
    if (k == kGroupLength) {
      if (!teachingLayout) {
        text += u' ';
      } else if (first) {
        text += u'.';
        first = false;
      } else {
        text += u' ';
        text += group;
        text += u'.';
      }
      k = 0;
      group.clear();
    }
  }
  return text;
}

}  // namespace morse
