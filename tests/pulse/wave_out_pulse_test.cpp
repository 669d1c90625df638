#include "platform/wave_out_pulse.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "pulse_support.h"

namespace platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using pulse_test::PrivateDaemon;
using pulse_test::ScopedEnv;

// Collects the device's messages.
struct Messages {
  static void Callback(HWAVEOUT, std::uint32_t message, std::uintptr_t instance, WaveHdr* header) {
    auto* self = reinterpret_cast<Messages*>(instance);
    std::lock_guard lock(self->mutex);
    self->got.push_back(message);
    if (message == WOM_DONE) self->done.push_back(header);
    self->cv.notify_all();
  }
  bool WaitDone(std::size_t n, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex);
    return cv.wait_for(lock, timeout, [&] { return done.size() >= n; });
  }
  std::uintptr_t instance() { return reinterpret_cast<std::uintptr_t>(this); }
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<std::uint32_t> got;
  std::vector<WaveHdr*> done;
};

struct Buffer {
  explicit Buffer(std::size_t values) : data(values, 0) {
    header.lpData = reinterpret_cast<char*>(data.data());
    header.dwBufferLength = static_cast<std::uint32_t>(values * 2);
  }
  std::vector<std::int16_t> data;
  WaveHdr header;
};

TEST(PulseSoundDeviceTest, QueryAcceptsPlayableFormatsOnly) {
  PulseWaveOut device;
  EXPECT_EQ(device.QueryFormat(WAVE_MAPPER, Pcm16Format(44100, 1)), MMSYSERR_NOERROR);
  EXPECT_EQ(device.QueryFormat(0, Pcm16Format(8000, 2)), MMSYSERR_NOERROR);
  EXPECT_EQ(device.QueryFormat(5, Pcm16Format(44100, 1)), MMSYSERR_BADDEVICEID);

  const struct {
    const char* what;
    void (*spoil)(WaveFormatEx&);
  } bad[] = {
      {"8 bits", [](WaveFormatEx& f) { f.wBitsPerSample = 8; }},
      {"not PCM", [](WaveFormatEx& f) { f.wFormatTag = 3; }},
      {"no channels", [](WaveFormatEx& f) { f = Pcm16Format(44100, 0); }},
      {"block size", [](WaveFormatEx& f) { f.nBlockAlign = 4; }},
      {"rate 0", [](WaveFormatEx& f) { f = Pcm16Format(0, 1); }},
      {"too many channels", [](WaveFormatEx& f) { f = Pcm16Format(44100, 300); }},
  };
  for (const auto& b : bad) {
    WaveFormatEx f = Pcm16Format(44100, 1);
    b.spoil(f);
    EXPECT_EQ(device.QueryFormat(WAVE_MAPPER, f), WAVERR_BADFORMAT) << b.what;
  }
}

TEST(PulseSoundDeviceTest, OpensWritesReportsDoneAndCloses) {
  // A server buffer shorter than the sound, so the writes must wait.
  PulseWaveOut::Options options;
  options.buffer_time = 50ms;
  PulseWaveOut device(options);
  Messages messages;
  HWAVEOUT handle = nullptr;
  const MMRESULT opened = device.Open(&handle, WAVE_MAPPER, Pcm16Format(44100, 1),
                                      &Messages::Callback, messages.instance());
  ASSERT_EQ(opened, MMSYSERR_NOERROR) << device.GetErrorText(opened);

  Buffer a(4410), b(4410);
  EXPECT_EQ(device.Write(handle, &a.header), WAVERR_UNPREPARED);
  ASSERT_EQ(device.PrepareHeader(handle, &a.header), MMSYSERR_NOERROR);
  ASSERT_EQ(device.PrepareHeader(handle, &b.header), MMSYSERR_NOERROR);
  const auto start = Clock::now();
  ASSERT_EQ(device.Write(handle, &a.header), MMSYSERR_NOERROR);
  ASSERT_EQ(device.Write(handle, &b.header), MMSYSERR_NOERROR);
  EXPECT_EQ(device.UnprepareHeader(handle, &a.header), WAVERR_STILLPLAYING);

  ASSERT_TRUE(messages.WaitDone(2, 5s));
  // 0.2 s of sound is taken in real time, less what the server buffers.
  EXPECT_GE(Clock::now() - start, 30ms);
  EXPECT_EQ(messages.done, (std::vector<WaveHdr*>{&a.header, &b.header}));
  EXPECT_TRUE(a.header.dwFlags & WHDR_DONE);
  EXPECT_FALSE(a.header.dwFlags & WHDR_INQUEUE);
  EXPECT_EQ(device.UnprepareHeader(handle, &a.header), MMSYSERR_NOERROR);

  EXPECT_EQ(device.Close(handle), MMSYSERR_NOERROR);
  EXPECT_EQ(device.Close(handle), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(messages.got.front(), WOM_OPEN);
  EXPECT_EQ(messages.got.back(), WOM_CLOSE);
}

TEST(PulseSoundDeviceTest, ResetReturnsEveryPendingBuffer) {
  PulseWaveOut device;
  Messages messages;
  HWAVEOUT handle = nullptr;
  ASSERT_EQ(device.Open(&handle, WAVE_MAPPER, Pcm16Format(44100, 1), &Messages::Callback,
                        messages.instance()),
            MMSYSERR_NOERROR);
  std::vector<Buffer> buffers;
  for (int i = 0; i < 3; ++i) buffers.emplace_back(44100);  // 3 s queued
  for (auto& b : buffers) {
    device.PrepareHeader(handle, &b.header);
    ASSERT_EQ(device.Write(handle, &b.header), MMSYSERR_NOERROR);
  }
  EXPECT_EQ(device.Close(handle), WAVERR_STILLPLAYING);
  EXPECT_EQ(device.Reset(handle), MMSYSERR_NOERROR);
  ASSERT_TRUE(messages.WaitDone(3, 1s));
  const auto start = Clock::now();
  EXPECT_EQ(device.Close(handle), MMSYSERR_NOERROR);
  EXPECT_LT(Clock::now() - start, 1s) << "nothing is left to drain after a reset";
}

TEST(PulseSoundDeviceTest, NoServerFailsFastWithPulseAudiosReason) {
  ScopedEnv server("PULSE_SERVER", "unix:/nonexistent/marlowick/native");
  PulseWaveOut device;
  HWAVEOUT handle = nullptr;
  const auto start = Clock::now();
  const MMRESULT r = device.Open(&handle, WAVE_MAPPER, Pcm16Format(44100, 1), nullptr, 0);
  EXPECT_LT(Clock::now() - start, 2s);
  EXPECT_NE(r, MMSYSERR_NOERROR);
  EXPECT_EQ(device.GetErrorText(r),
            "No sound server is running (PulseAudio or PipeWire). Start it, then press Send Text again. "
            "The system said: Connection refused.");
}

TEST(PulseSoundDeviceTest, AServerThatDoesNotAnswerTimesOut) {
  PrivateDaemon daemon;
  ASSERT_TRUE(daemon.Started());
  ScopedEnv server("PULSE_SERVER", daemon.Server());
  ASSERT_TRUE(daemon.Kill(SIGSTOP));
  PulseWaveOut::Options options;
  options.connect_timeout = 500ms;
  PulseWaveOut device(options);
  HWAVEOUT handle = nullptr;
  const auto start = Clock::now();
  const MMRESULT r = device.Open(&handle, WAVE_MAPPER, Pcm16Format(44100, 1), nullptr, 0);
  const auto took = Clock::now() - start;
  daemon.Kill(SIGCONT);
  EXPECT_GE(took, 400ms);
  EXPECT_LT(took, 3s);
  EXPECT_EQ(device.GetErrorText(r),
            "The sound server (PulseAudio or PipeWire) does not answer: nothing within 0.5 seconds. "
            "Restart it, then press Send Text again.");
}

}  // namespace
}  // namespace platform
