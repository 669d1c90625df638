// Cost of the sound output: sendSample and Flush against a device that
// finishes every buffer at once, and the CPU the whole output path uses per
// second of sound when it plays in real time on PulseAudio.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "platform/test_wave_out.h"
#include "sound/out_sound.h"

namespace {

using platform::TestWaveOut;

std::unique_ptr<sound::TOutSound> OnTestDevice(int channels) {
  auto device = std::make_unique<TestWaveOut>(TestWaveOut::Completion::AtOnce);
  device->SetKeepSamples(false);
  auto out = std::make_unique<sound::TOutSound>(std::move(device));
  out->SetChannels(channels);
  out->Initialize();
  return out;
}

// Frames per second that sendSample takes when the device never holds it up.
void BM_SendSample(benchmark::State& state) {
  auto out = OnTestDevice(static_cast<int>(state.range(0)));
  std::int16_t v = 0;
  for (auto _ : state) {
    const sound::sample s{v, static_cast<std::int16_t>(-v)};
    out->sendSample(s);
    ++v;
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(state.range(0) == 1 ? "mono" : "stereo");
}
BENCHMARK(BM_SendSample)->Arg(1)->Arg(2);

// One frame, then Flush: pads the other 19999 values and hands the buffer over.
void BM_FlushAfterOneFrame(benchmark::State& state) {
  auto out = OnTestDevice(1);
  const sound::sample s{1000, 1000};
  for (auto _ : state) {
    out->sendSample(s);
    out->Flush();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FlushAfterOneFrame);

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// An 800 Hz tone sent in real time: after the buffers have filled, the CPU
// time of the whole process (producer, transfer thread, PulseAudio client
// thread) per second of sound, and the wall time per second of sound.
void BM_PulseRealTime(benchmark::State& state) {
  constexpr int kRate = 44100;
  constexpr double kWarmUp = 1.5, kMeasured = 5.0;
  sound::TOutSound out;
  try {
    out.Initialize();
  } catch (const std::exception& e) {
    state.SkipWithError((std::string("no PulseAudio server reachable: ") + e.what()).c_str());
    return;
  }
  double cpu = 0, wall = 0;
  long k = 0;
  auto send = [&](double seconds) {
    const long n = std::lround(seconds * kRate);
    for (long i = 0; i < n; ++i, ++k) {
      const auto v = static_cast<std::int16_t>(std::lround(20000 * std::sin(2 * M_PI * 800 * k / kRate)));
      out.sendSample({v, v});
    }
  };
  for (auto _ : state) {
    send(kWarmUp);  // until the producer waits on the device
    const double cpu0 = CpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    send(kMeasured);
    cpu += CpuSeconds() - cpu0;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    out.Flush();
  }
  const double audio = kMeasured * static_cast<double>(state.iterations());
  state.counters["cpu_s_per_audio_s"] = cpu / audio;
  state.counters["wall_s_per_audio_s"] = wall / audio;
}
BENCHMARK(BM_PulseRealTime)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
