// The master volume of the default output, as a fraction of its normal
// (unamplified) volume, set and followed. Production follows the default
// PulseAudio sink (endpoint_volume_pulse.h); tests use a settable stand-in
// (test_endpoint_volume.h).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

class EndpointVolume {
 public:
  // Called on any thread with the new level; it must not block.
  using Notify = std::function<void(double level)>;

  virtual ~EndpointVolume() = default;
  // Connects and registers notify for every change of the level, the
  // default output changing included. Empty on success, else the reason.
  virtual std::string Open(Notify notify) = 0;
  // The loudest channel's level; nullopt when it cannot be read.
  virtual std::optional<double> GetMasterVolumeLevelScalar() = 0;
  // Scales every channel so that the loudest gets the level: the balance
  // between channels stays. False when it could not be set.
  virtual bool SetMasterVolumeLevelScalar(double level) = 0;
  // No notification runs after this returns.
  virtual void Close() = 0;
};

using EndpointVolumeFactory = std::function<std::unique_ptr<EndpointVolume>()>;

}  // namespace platform
