// Shared-mode capture: the default output's mix (loopback, the default
// sink's monitor) or the default input, as 16-bit PCM at the source's own
// rate and channel count whatever its sample format. Production captures on
// PulseAudio (capture_pulse.h); tests use a scripted device (test_capture.h).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "platform/wave_out.h"

namespace platform {

class CaptureDevice {
 public:
  // Receives captured bytes in order; data is nullptr for `bytes` of silence.
  using Sink = std::function<void(const void* data, std::size_t bytes)>;

  virtual ~CaptureDevice() = default;
  // Connects and starts capturing; sound from then on is kept for Drain.
  // Empty on success, otherwise the reason for the user.
  virtual std::string Open(bool loopback) = 0;
  // The captured format; valid after a successful Open.
  virtual WaveFormatEx Format() const = 0;
  // How much captured sound the device holds safely; a reader that drains
  // twice in this time loses nothing.
  virtual std::chrono::milliseconds BufferDuration() const = 0;
  // How long sound takes from the speaker to Drain.
  virtual std::chrono::milliseconds Latency() const = 0;
  // Hands every captured packet waiting now to sink. Empty on success,
  // otherwise why the capture broke; what was handed over stays valid.
  virtual std::string Drain(const Sink& sink) = 0;
  // Stops capturing; every wait in it is bounded.
  virtual void Close() = 0;
};

using CaptureFactory = std::function<std::unique_ptr<CaptureDevice>()>;

}  // namespace platform
