// The renderer's speed: samples of a text at 20/20 wpm per second of work,
// into a WAV image in memory and streamed to a file. Reports the multiple of
// real time (44100 samples a second) as "x_realtime", from CPU time as
// Google Benchmark measures it; the file benchmark runs on wall-clock time
// too ("/real_time"), which includes the file system's waits.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "morse/render.h"
#include "record/memory_stream.h"
#include "tools/render_wav.h"

namespace {

std::u16string Text() {
  std::u16string text;
  for (int i = 0; i < 20; ++i) text += u"THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789\r\n";
  return text;
}

const morse::RenderOptions kOptions{20, 20, 800, 5, 1, false};

void Report(benchmark::State& state, std::int64_t samplesPerRun) {
  const double samples = static_cast<double>(samplesPerRun) * static_cast<double>(state.iterations());
  state.counters["samples_per_s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
  state.counters["x_realtime"] =
      benchmark::Counter(samples / morse::kRenderSampRate, benchmark::Counter::kIsRate);
}

class CountingWriter final : public morse::SampleWriter {
 public:
  void Samples(const std::int16_t* data, std::size_t count) override {
    n += static_cast<std::int64_t>(count);
    benchmark::DoNotOptimize(data);
  }
  void Zeros(std::int64_t count) override { n += count; }
  std::int64_t n = 0;
};

// The engine alone: the send loop and the note renderer, no output.
void BM_RenderSamplesOnly(benchmark::State& state) {
  const std::u16string text = Text();
  std::int64_t samples = 0;
  for (auto _ : state) {
    CountingWriter writer;
    morse::RenderText(text, kOptions, writer);
    samples = writer.n;
  }
  Report(state, samples);
}
BENCHMARK(BM_RenderSamplesOnly)->Unit(benchmark::kMillisecond);

void BM_RenderWaveToMemory(benchmark::State& state) {
  const std::u16string text = Text();
  std::int64_t bytes = 0;
  for (auto _ : state) {
    record::MemoryStream image;
    render::RenderWave(text, kOptions, image);
    bytes = image.Size();
    benchmark::DoNotOptimize(image.Bytes().data());
  }
  Report(state, (bytes - record::kWaveHeaderBytes) / 2);
  state.counters["audio_s"] = static_cast<double>(bytes - record::kWaveHeaderBytes) / 2 / 44100;
}
BENCHMARK(BM_RenderWaveToMemory)->Unit(benchmark::kMillisecond);

// What marlowick-render does: each run replaces the file of the run before.
void BM_RenderWaveToFile(benchmark::State& state) {
  const std::u16string text = Text();
  const std::string path =
      (std::filesystem::temp_directory_path() / "marlowick-render-bench.wav").string();
  for (auto _ : state) render::RenderWaveFile(path, text, kOptions);
  const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
  std::remove(path.c_str());
  Report(state, (bytes - record::kWaveHeaderBytes) / 2);
}
BENCHMARK(BM_RenderWaveToFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderWaveToFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
