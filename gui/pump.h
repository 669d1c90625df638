// Message pumping from inside a handler. Handlers nest: a handler reached
// through ProcessMessages may itself pump.
#pragma once

#include <chrono>
#include <cstdint>

namespace gui {

// Handles every event waiting in the queue and returns when it is empty.
void ProcessMessages();

namespace detail {
struct PumpState {
  std::int32_t countdown = 1;
  std::chrono::steady_clock::time_point last{};
  bool every_sample = false;
};
extern PumpState pump_state;
void TimedPump();
}  // namespace detail

// The per-sample pump of the tone generator. An idle processEvents() costs
// about 2 us, so pumping at every one of 44100 samples a second would burn a
// good part of a core and cap the sender near ten times real time. Instead
// the clock is read every few samples and the queue is handled once a
// millisecond has passed; the producer runs far ahead of real time between
// buffer waits, so every event is still handled within about a millisecond
// of wall time, and always before the next buffer wait ends.
inline void PumpSample() {
  auto& p = detail::pump_state;
  if (--p.countdown > 0) return;
  detail::TimedPump();
}

// Tests that must see each posted event handled between two given samples
// switch the per-sample pump to pump at every sample.
void SetPumpEverySample(bool every);

}  // namespace gui
