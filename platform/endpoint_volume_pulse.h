// The default sink's volume on PulseAudio. The level is the loudest
// channel's raw volume over PA_VOLUME_NORM, linear in the raw value (neither
// the cubic nor the dB scale), so whole percents survive a round trip. A
// subscription to sink and server events follows changes and a change of
// the default sink; its callbacks only query and pass the result on.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/endpoint_volume.h"
#include "platform/pulse_connection.h"

namespace platform {

class PulseEndpointVolume : public EndpointVolume {
 public:
  explicit PulseEndpointVolume(std::chrono::milliseconds timeout = std::chrono::milliseconds(3000))
      : timeout_(timeout) {}
  ~PulseEndpointVolume() override { Close(); }

  std::string Open(Notify notify) override;
  std::optional<double> GetMasterVolumeLevelScalar() override;
  bool SetMasterVolumeLevelScalar(double level) override;
  void Close() override;

  // The raw volume for a level, to the nearest step.
  static std::uint32_t RawVolume(double level);

 private:
  struct Query;
  static void OnSubscribe(pa_context* c, pa_subscription_event_type_t type, std::uint32_t index, void* userdata);
  static void OnFollowInfo(pa_context* c, const pa_sink_info* info, int eol, void* userdata);
  // Loop locked: asks for the default sink again; the answer notifies.
  void Follow();

  std::chrono::milliseconds timeout_;
  PulseConnection connection_;
  std::mutex mutex_;  // guards notify_ and the follow state
  Notify notify_;
  std::uint32_t default_index_ = PA_INVALID_INDEX;
};

}  // namespace platform
