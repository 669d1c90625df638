// Time for pauses and limits: a monotonic millisecond clock behind an
// interface, so a change of the wall clock never disturbs a run and tests
// can drive time by hand.
#pragma once

#include "morse/trainer_state.h"

namespace morse {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual TimePoint NowMs() = 0;
};

// The process-wide steady clock.
Clock& SystemClock();

// A clock that moves only when told to.
class ManualClock : public Clock {
 public:
  TimePoint NowMs() override { return now_; }
  void Advance(TimePoint ms) { now_ += ms; }
  void Set(TimePoint ms) { now_ = ms; }

 private:
  TimePoint now_ = 0;
};

}  // namespace morse
