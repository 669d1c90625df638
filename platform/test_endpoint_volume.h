// A master volume for tests: the test sets the level as the desktop would
// (notifying from a thread of its own, as the sound server does) and reads
// back what the program set.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/endpoint_volume.h"

namespace platform {

class TestEndpointVolume {
 public:
  EndpointVolumeFactory Factory();

  void FailOpen(std::string reason);
  // Changes the level elsewhere; the notification comes from another
  // thread, and this returns once it has been delivered.
  void ChangeElsewhere(double level);
  void SetLevel(double level);  // without a notification
  double Level() const;
  std::vector<double> Sets() const;  // every level the program set, in order
  bool Open() const;

 private:
  class Device;
  mutable std::mutex mutex_;
  double level_ = 0.5;
  std::string open_error_;
  std::vector<double> sets_;
  EndpointVolume::Notify notify_;
  bool open_ = false;
};

}  // namespace platform
