// The tone's waveform: one period in 1024 table entries, read without
// interpolation by the note renderer.
#pragma once

#include <array>
#include <cstdint>

#include "morse/trainer_state.h"

namespace morse {

// The start-up table: the fundamental plus the third harmonic / 3.
void BuildStartupSineTab(TrainerState& st);

// A sum of the odd harmonics 1, 3 .. 2H+1 with weights 1/(2k+1) (none when
// harmonics < 0); square clips every non-zero entry to +1 or -1.
void BuildSineTab(std::array<double, kSineTabSize>& table, std::int32_t harmonics, bool square);

}  // namespace morse
