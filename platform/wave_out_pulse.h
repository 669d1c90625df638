// The wave-out device on a PulseAudio playback stream (s16le at the format's
// rate and channel count) on the default sink.
//
// The server keeps a long buffer (two seconds, as paplay does) so that a
// writer that wakes late on a busy machine never starves the sink, while the
// sink itself renders only a short block ahead: what is queued can be taken
// back at once. A written buffer counts as done once the server has taken all
// of it; the device keeps its own copy of what the server holds, so Pause can
// silence the queued sound after the tone that is sounding and play it again
// on Restart. Nothing is written while nothing is queued, and after a second
// of silence the stream is corked so an idle trainer costs the server
// nothing; the next sound starts whole.
//
// Every wait on the server is bounded. When the connection or the output
// device is lost, pending buffers are returned as done and later writes fail
// with the reason, so a writer never hangs on a vanished server.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>

#include "platform/wave_out.h"

namespace platform {

class PulseWaveOut : public WaveOutDevice {
 public:
  struct Options {
    // How long connecting to the server and opening the stream may take.
    std::chrono::milliseconds connect_timeout{2000};
    // Sound the server keeps buffered: enough to ride out a writer that is
    // not scheduled for a second on a loaded machine.
    std::chrono::milliseconds buffer_time{2000};
    // How far ahead the sink renders, and how often the server asks for
    // more: the delay before a Pause or Reset is heard.
    std::chrono::milliseconds request_time{20};
    // Silence after which the stream is corked.
    std::chrono::milliseconds idle_time{1000};
    // How long Reset waits for the server to drop what it holds.
    std::chrono::milliseconds reset_timeout{1000};
    // How long Close waits for the last buffered sound to be played.
    std::chrono::milliseconds drain_timeout{2000};
    std::string client_name = "Marlowick";
    std::string stream_name = "Morse";
  };

  // Error codes of this device, besides the common ones of wave_out.h. The
  // ranges carry PulseAudio's own error number in their low byte.
  static constexpr MMRESULT kConnectTimeout = 0x100;
  static constexpr MMRESULT kStreamTimeout = 0x101;
  static constexpr MMRESULT kServerStalled = 0x102;
  static constexpr MMRESULT kConnectError = 0x1000;  // + PA_ERR_*
  static constexpr MMRESULT kStreamError = 0x2000;   // + PA_ERR_*
  static constexpr MMRESULT kLostError = 0x3000;     // + PA_ERR_*
  static constexpr MMRESULT kSinkLost = 0x4000;      // + PA_ERR_*

  PulseWaveOut();
  explicit PulseWaveOut(Options options);
  // Closes streams still open, without further callbacks.
  ~PulseWaveOut() override;
  PulseWaveOut(const PulseWaveOut&) = delete;
  PulseWaveOut& operator=(const PulseWaveOut&) = delete;

  // Accepts 16-bit PCM with a consistent block size and a rate and channel
  // count PulseAudio can play; device WAVE_MAPPER (or 0) is the default sink.
  MMRESULT QueryFormat(std::uint32_t device, const WaveFormatEx& format) override;
  MMRESULT Open(HWAVEOUT* handle, std::uint32_t device, const WaveFormatEx& format,
                WaveOutProc callback, std::uintptr_t instance) override;
  MMRESULT PrepareHeader(HWAVEOUT handle, WaveHdr* header) override;
  MMRESULT UnprepareHeader(HWAVEOUT handle, WaveHdr* header) override;
  MMRESULT Write(HWAVEOUT handle, WaveHdr* header) override;
  // Drops what the server holds and returns every pending buffer as done.
  MMRESULT Reset(HWAVEOUT handle) override;
  MMRESULT Pause(HWAVEOUT handle) override;
  MMRESULT Restart(HWAVEOUT handle) override;
  MMRESULT StreamStatus(HWAVEOUT handle) override;
  // From the stream's playing position, less the silence Pause put in.
  std::int64_t PlayedFrames(HWAVEOUT handle) override;
  // Whether the thread that feeds the server got a raised priority.
  bool FeederPriorityRaised(HWAVEOUT handle);
  // Lets the server play what it holds (bounded by drain_timeout), then
  // disconnects. A stream whose connection was lost closes without error.
  MMRESULT Close(HWAVEOUT handle) override;
  std::string GetErrorText(MMRESULT code) const override;

  const Options& options() const { return options_; }

 private:
  struct Stream;
  Stream* Find(HWAVEOUT handle);
  void Destroy(Stream* stream);

  Options options_;
  std::mutex mutex_;  // guards streams_
  std::set<Stream*> streams_;
};

}  // namespace platform
