// Random practice groups: five characters each, drawn from a set the user
// types, in a plain layout (every group followed by a blank) or a teaching
// layout (the first group and a period, then every later group, a blank, the
// same group again and a period). Also the fixed texts of the Random Chars
// and Dits commands.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "morse/random_source.h"

namespace morse {

class EGroupsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr int kGroupLength = 5;
// Only the first 100 characters of a set can be drawn (a draw is 0..99).
inline constexpr std::size_t kDrawableChars = 100;
// Generation runs on the GUI thread; 10000 groups is already far more than a
// session can send, and keeps the window responsive.
inline constexpr std::int64_t kMaxGroups = 10000;

inline constexpr std::array<std::u16string_view, 4> kRandomCharsInstructions = {
    u"Enter characters, no spaces, in the `Enter Characters' box.",
    u"Then click the button labelled `Generate'",
    u"A random string of them will appear in this box.",
    u"After they appear, click the `send text' button to send them",
};

// Twenty dits each: Send Text plays them as one stream of 200 dits.
inline constexpr std::u16string_view kDitsText = u"@@@@@@@@@@";

// The message that refuses these inputs, or empty when they can be used:
// "Please enter at least 2 characters." for a shorter set; for a positive
// count, "Please enter at least 2 different characters." when the drawable
// characters are all the same (no third in a row could ever be drawn, so the
// groups would never fill) and "Please enter at most 10000 groups." above
// kMaxGroups. A count of 0 or below is accepted and gives an empty text.
std::u16string GroupsInputProblem(std::u16string_view chars, std::int64_t groups);

// The text of the given number of groups, built in one piece. Each character
// is the one at (Int(100) mod length) of chars; a draw that would make a third
// equal character in a row is discarded, across group boundaries too, and the
// run starts as if a blank had just been drawn. The caller reseeds random.
// Throws EGroupsError with GroupsInputProblem's message for refused inputs.
std::u16string GenerateGroups(std::u16string_view chars, std::int64_t groups,
                              bool teachingLayout, RandomSource& random);

}  // namespace morse
