// The speed and spacing model: dit length, the silence after a character and
// the silence for a word break, from the character and text speeds.
#pragma once

#include "morse/trainer_state.h"

namespace morse {

// Derives FDitLength, Charspace and Wdspace from Fspeed (character speed) and
// Speed (text speed), in words per minute. Below the character speed the
// gaps are stretched (Farnsworth) and Nchar and Nword are set to 3 and 7.
void DeriveTiming(TrainerState& st);

}  // namespace morse
