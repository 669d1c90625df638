#include "gui/pump.h"

#include <QCoreApplication>

namespace gui {

namespace detail {

PumpState pump_state;

namespace {
constexpr std::int32_t kSamplesPerClockRead = 16;
constexpr auto kPumpInterval = std::chrono::milliseconds(1);
}  // namespace

void TimedPump() {
  auto& p = pump_state;
  if (p.every_sample) {
    p.countdown = 1;
    ProcessMessages();
    return;
  }
  p.countdown = kSamplesPerClockRead;
  const auto now = std::chrono::steady_clock::now();
  if (now - p.last < kPumpInterval) return;
  p.last = now;
  ProcessMessages();
}

}  // namespace detail

void ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void SetPumpEverySample(bool every) {
  detail::pump_state.every_sample = every;
  detail::pump_state.countdown = 1;
}

}  // namespace gui
