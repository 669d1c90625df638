// The Morse code table: element strings of "1" (dit) and "3" (dah), one digit
// per element in sending order, for the character codes Fbase .. Fbase + 63.
#pragma once

#include <string>
#include <string_view>

#include "morse/trainer_state.h"

namespace morse {

inline constexpr std::int32_t kCodeTableBase = 41;  // ")"

// Sets Fbase and fills CodeTable; running it again gives the same table.
void CodeTableInitialize(TrainerState& st);

// The element string of the first character of s; empty for an empty s and
// for characters outside the table or without an entry. Case is not folded:
// callers upper-case first.
std::string CharToCode(const TrainerState& st, std::u16string_view s);

}  // namespace morse
