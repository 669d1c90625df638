// Capture on a PulseAudio record stream: loopback records the default sink's
// monitor source, input the default source. The stream asks for s16le at the
// source's rate and channel map and the server converts from whatever format
// the source has, so float and integer sinks record alike.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/capture.h"
#include "platform/pulse_connection.h"

namespace platform {

class PulseCapture : public CaptureDevice {
 public:
  struct Options {
    std::chrono::milliseconds connect_timeout{5000};
    // The server's default fragment is 2 s; small fragments keep the end of
    // a recording close behind the speaker.
    std::chrono::milliseconds fragment{20};
    std::string client_name = "Marlowick";
    std::string stream_name = "Recording";
  };

  PulseCapture() : PulseCapture(Options{}) {}
  explicit PulseCapture(Options options) : options_(std::move(options)) {}
  ~PulseCapture() override { Close(); }

  std::string Open(bool loopback) override;
  WaveFormatEx Format() const override { return format_; }
  std::chrono::milliseconds BufferDuration() const override { return std::chrono::seconds(1); }
  std::chrono::milliseconds Latency() const override { return 4 * options_.fragment; }
  std::string Drain(const Sink& sink) override;
  void Close() override;

 private:
  static void OnStreamState(pa_stream* s, void* userdata);

  Options options_;
  PulseConnection connection_;
  pa_stream* stream_ = nullptr;
  WaveFormatEx format_{};
};

}  // namespace platform
