// A recording's memory: captured packets appended to the in-memory WAV image
// and the image saved, as the capture thread and the save do it. Prints the
// append and save rates and the peak resident memory per byte recorded
// (near 1 when the image is never copied whole; a copy on the way to the
// file would show near 2).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/wave_out.h"
#include "record/memory_stream.h"
#include "record/wave_image.h"

namespace {

double PeakResidentBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) * 1024.0;
}

// Minutes of 48 kHz stereo, in 20 ms packets as the server delivers them.
void BM_RecordAndSave(benchmark::State& state) {
  const auto format = platform::Pcm16Format(48000, 2);
  const std::size_t packet = format.nAvgBytesPerSec / 50;
  const std::int64_t packets = state.range(0) * 60 * 50;
  const std::vector<std::uint8_t> data(packet, 0x5A);
  const auto path = std::filesystem::temp_directory_path() / "marlowick-record-bench.wav";
  double bytes = 0;
  for (auto _ : state) {
    const double before = PeakResidentBytes();
    record::MemoryStream stream;
    record::TWaveImage image(stream);
    image.InitHeader(format);
    for (std::int64_t i = 0; i < packets; ++i) stream.Write(data.data(), data.size());
    image.CorretHeader();
    stream.Seek(0);
    stream.SaveToFile(path.string());
    bytes = static_cast<double>(stream.Size());
    state.counters["peak_rss_per_byte"] = (PeakResidentBytes() - before) / bytes;
  }
  std::filesystem::remove(path);
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
  state.counters["recorded_MB"] = bytes / 1e6;
}
BENCHMARK(BM_RecordAndSave)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
