// The wave-out device the sound output is written against: open a stream in
// a PCM format, hand it buffers in order, and be told on the device's own
// thread when each one is finished with. Production plays on PulseAudio
// (wave_out_pulse.h); tests use a device that keeps what it is given
// (test_wave_out.h).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Result of every device operation: 0 is success, anything else an error
// code whose text GetErrorText gives.
using MMRESULT = std::uint32_t;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
// Codes every device may return; a device adds its own above these.
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT WAVERR_BADFORMAT = 32;
inline constexpr MMRESULT WAVERR_STILLPLAYING = 33;
inline constexpr MMRESULT WAVERR_UNPREPARED = 34;

// Device number that lets the device pick its default output.
inline constexpr std::uint32_t WAVE_MAPPER = 0xFFFFFFFFu;

// Messages to the open callback.
inline constexpr std::uint32_t WOM_OPEN = 0x3BB;
inline constexpr std::uint32_t WOM_CLOSE = 0x3BC;
inline constexpr std::uint32_t WOM_DONE = 0x3BD;

// Header flags.
inline constexpr std::uint32_t WHDR_DONE = 0x01;
inline constexpr std::uint32_t WHDR_PREPARED = 0x02;
inline constexpr std::uint32_t WHDR_INQUEUE = 0x10;

inline constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

// Capacity of an error text, terminating NUL included.
inline constexpr std::size_t MAXERRORLENGTH = 256;

struct WaveFormatEx {
  std::uint16_t wFormatTag = 0;
  std::uint16_t nChannels = 0;
  std::uint32_t nSamplesPerSec = 0;
  std::uint32_t nAvgBytesPerSec = 0;
  std::uint16_t nBlockAlign = 0;
  std::uint16_t wBitsPerSample = 0;
  std::uint16_t cbSize = 0;
};

// One buffer as the device sees it. The owner keeps it alive and leaves it
// alone from Write until the device reports it done.
struct WaveHdr {
  char* lpData = nullptr;
  std::uint32_t dwBufferLength = 0;  // bytes
  std::uint32_t dwBytesRecorded = 0;
  std::uintptr_t dwUser = 0;
  std::uint32_t dwFlags = 0;
  std::uint32_t dwLoops = 0;
  WaveHdr* lpNext = nullptr;
  std::uintptr_t reserved = 0;
};

// An open stream; only the device that opened it knows what is behind it.
struct WaveOutStream;
using HWAVEOUT = WaveOutStream*;

// Called on the device's own thread (or inside Write/Reset for devices that
// finish at once) with WOM_OPEN, WOM_DONE (header = the finished buffer) or
// WOM_CLOSE. It must be quick and must not call back into the device.
using WaveOutProc = void (*)(HWAVEOUT handle, std::uint32_t message, std::uintptr_t instance,
                             WaveHdr* header);

class WaveOutDevice {
 public:
  virtual ~WaveOutDevice() = default;

  // Whether the device could play this format; opens nothing.
  virtual MMRESULT QueryFormat(std::uint32_t device, const WaveFormatEx& format) = 0;
  // Opens a stream. After success the callback gets one WOM_DONE per written
  // buffer, in the order written, and none after Close has returned.
  virtual MMRESULT Open(HWAVEOUT* handle, std::uint32_t device, const WaveFormatEx& format,
                        WaveOutProc callback, std::uintptr_t instance) = 0;
  // Unpreparing a header that was never prepared is harmless.
  virtual MMRESULT PrepareHeader(HWAVEOUT handle, WaveHdr* header) = 0;
  virtual MMRESULT UnprepareHeader(HWAVEOUT handle, WaveHdr* header) = 0;
  // Queues a prepared buffer; buffers play in the order written, without
  // gaps while more are queued. Does not wait for the sound to be played.
  virtual MMRESULT Write(HWAVEOUT handle, WaveHdr* header) = 0;
  // Stops playback and returns every pending buffer as done.
  virtual MMRESULT Reset(HWAVEOUT handle) = 0;
  // Fails with WAVERR_STILLPLAYING while buffers are pending.
  virtual MMRESULT Close(HWAVEOUT handle) = 0;
  // The text for a code, at most MAXERRORLENGTH - 1 bytes.
  virtual std::string GetErrorText(MMRESULT code) const = 0;
  // Frames of the written buffers that have reached the speaker so far,
  // counted from Open, or -1 when the device cannot tell. Frames that Reset
  // dropped count as played: they are finished with. Any thread may ask.
  virtual std::int64_t PlayedFrames(HWAVEOUT) { return -1; }
  // Stops the sound at the first silence after what is sounding now (never
  // inside a tone) and keeps everything after it, written or still to be
  // written, for Restart; nothing is heard twice or lost. Devices that
  // cannot pause play on.
  virtual MMRESULT Pause(HWAVEOUT) { return MMSYSERR_NOERROR; }
  // Plays on from where Pause stopped.
  virtual MMRESULT Restart(HWAVEOUT) { return MMSYSERR_NOERROR; }
  // 0 while the stream can play, else the code of what broke it (the server
  // gone, the output device removed); such a stream must be closed and opened
  // again.
  virtual MMRESULT StreamStatus(HWAVEOUT) { return MMSYSERR_NOERROR; }
};

// Texts of the common codes; empty for a code that is not one of them.
std::string_view CommonErrorText(MMRESULT code);

// Cuts a text to MAXERRORLENGTH - 1 bytes without splitting a UTF-8 sequence.
std::string BoundErrorText(std::string text);

// "10 seconds", "1 second", "0.25 seconds": a wait for an error text.
std::string DurationText(std::chrono::milliseconds duration);

// The format for 16-bit PCM at a rate and channel count.
WaveFormatEx Pcm16Format(std::uint32_t samplesPerSec, std::uint16_t channels);

}  // namespace platform
