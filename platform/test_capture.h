// A scripted capture device for tests. The test keeps a TestCapture and
// hands out Factory(); every device made by it captures what the test
// pushes, fails where the test says, and counts what was asked of it.
// All members may be called from any thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/capture.h"

namespace platform {

class TestCapture {
 public:
  CaptureFactory Factory();

  void SetFormat(WaveFormatEx format);
  void FailOpen(std::string reason);
  // The drain after the packets pushed so far fails with this reason.
  void FailDrain(std::string reason);
  // A packet for the next drain; Silence is a packet without data.
  void Push(std::vector<std::uint8_t> bytes);
  void PushSilence(std::size_t bytes);

  // Called on the capture thread when a device closes.
  void SetOnClose(std::function<void()> on_close);

  int Opens() const;
  int Closes() const;
  int Drains() const;
  std::optional<bool> OpenedLoopback() const;  // of the last open
  // Waits until at least n drains have run; false after the timeout.
  bool WaitForDrains(int n, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

 private:
  class Device;
  struct Packet {
    std::vector<std::uint8_t> bytes;
    std::size_t silence = 0;
    std::optional<std::string> failure;
  };

  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  WaveFormatEx format_ = Pcm16Format(48000, 2);
  std::string open_error_;
  std::deque<Packet> packets_;
  int opens_ = 0, closes_ = 0, drains_ = 0;
  std::optional<bool> loopback_;
  std::function<void()> on_close_;
};

}  // namespace platform
