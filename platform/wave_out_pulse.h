// The wave-out device on a PulseAudio playback stream (s16le at the format's
// rate and channel count) on the default sink.
//
// A written buffer counts as done once the server has taken all of it; the
// server holds only a small target length, so a writer that waits for done
// buffers runs in real time. While no buffer is queued the stream is fed
// silence, so it never runs dry: a sound after a pause starts after the same
// short latency as any other, without an underrun and restart.
//
// Every wait on the server is bounded. When the connection is lost, pending
// buffers are returned as done and later writes fail with the server's own
// reason, so a writer never hangs on a vanished server.
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
    std::chrono::milliseconds connect_timeout{5000};
    // Sound the server keeps buffered; much below 100 ms underruns on a busy
    // machine.
    std::chrono::milliseconds target_latency{150};
    // How long Close waits for the last buffered sound to be played.
    std::chrono::milliseconds drain_timeout{2000};
    std::string client_name = "Marlowick";
    std::string stream_name = "Morse";
  };

  // Error codes of this device, besides the common ones of wave_out.h. The
  // ranges carry PulseAudio's own error number in their low byte.
  static constexpr MMRESULT kConnectTimeout = 0x100;
  static constexpr MMRESULT kStreamTimeout = 0x101;
  static constexpr MMRESULT kConnectError = 0x1000;  // + PA_ERR_*
  static constexpr MMRESULT kStreamError = 0x2000;   // + PA_ERR_*
  static constexpr MMRESULT kLostError = 0x3000;     // + PA_ERR_*

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
