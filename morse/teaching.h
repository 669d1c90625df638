// The teaching model: the three teaching orders, one error weight per
// position, the pick of the next character, the statistics over the weights,
// the rule that brings the next character into use and the mastery rating.
// Positions count from 1, as Errors and ichar do.
//
// The window refuses character counts outside 1..40, but these functions
// never index out of range or divide by zero for any state: where a count is
// used to index or average they work over positions 1..Numusing clamped into
// 1..40, and each says below what it does with a count outside that range.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "morse/random_source.h"
#include "morse/trainer_state.h"

namespace morse {

inline constexpr int kTeachOrderCount = 3;

// The teaching order of a radio-group item: 0 "Tamsel", 1 "Koch",
// 2 "Alpha/Num". Any other index (no item selected) gives the first order, so
// Teachstring is never left without its 40 characters.
std::u16string_view TeachOrder(int itemIndex);
// The item's caption; empty outside 0..2.
std::u16string_view TeachOrderCaption(int itemIndex);

// The constants and the weights of a fresh run: every position at 1.0, ichar
// 1, two repeats pending. Numusing, AverageError and MaxCharError are left.
void ResetTeachStats(TrainerState& s);

// A wrong key or a timeout: the weight rises by Delerror unless it would
// reach Emax. A position outside 1..40 is ignored.
void RaiseCharError(TrainerState& s, std::int32_t i);
// A right key: the weight falls by Delerror while it is above Emin. A
// position outside 1..40 is ignored.
void LowerCharError(TrainerState& s, std::int32_t i);

// AverageError and MaxCharError over positions 1..Numusing. With Numusing
// below 1 there is nothing to average and both become 0; above 40 only the
// 40 positions count.
void ComputeErrorStats(TrainerState& s);

// Sets ichar to the next character to send: the current one while repeats
// are pending (Newflag counts down), otherwise a weighted random choice among
// positions 1..Numusing (Numusing clamped into 1..40 for the draw). Weights
// at or below 0 (a state never reset) would reject for ever, so the choice
// stops after a fixed number of rejections and keeps the last candidate.
void PickTeachChar(TrainerState& s, RandomSource& random);

// Brings the next character into use when the average and the highest weight
// are below their triggers: Numusing grows by one, ichar points at the new
// character and it is sent at the next two picks. Returns whether it did.
// A count below 1 or already at 40 (or Numtotal) brings nothing in.
bool IntroduceNextChar(TrainerState& s);

// round(((0.2 - AverageError) * 125 + 100) * Numusing / 40), halves to even,
// from the statistics as last computed. Numusing is clamped into 0..40: the
// rating is a share of the 40 characters and never exceeds what all 40 give.
std::int32_t MasteryRating(const TrainerState& s);

// The chart label of position i (1..40): empty while teach mode is on, so the
// bars do not give the characters away, otherwise the character in upper
// case. Empty for a position outside Teachstring.
std::u16string ChartLabel(const TrainerState& s, int i);

}  // namespace morse
