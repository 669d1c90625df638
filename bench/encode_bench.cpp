// The renderer against its yardsticks, side by side on the same text and
// settings (20/20 wpm, 800 Hz, 5 ms ramps, mono 44100 Hz):
// - Ogg Vorbis and MP3 files against ebook2cw writing the same format (the
//   target is at least twice its speed): "speedup" is ebook2cw's wall time
//   over ours, both measured in the same iteration;
// - the WAV file against writing the same number of bytes from memory into
//   the same folder, the disk's own speed (the target is within twice of
//   it): "disk_ratio" is our time over the plain write's.
// All times are wall-clock; files go to the system's temporary folder.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "morse/convert.h"
#include "morse/render.h"
#include "tools/render_encoded.h"
#include "tools/render_wav.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kLine = "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789";
constexpr int kLines = 20;
const morse::RenderOptions kOptions{20, 20, 800, 5, 1, false};

std::u16string Text() {
  std::u16string text;
  for (int i = 0; i < kLines; ++i) text += morse::FromUtf8(kLine) + u"\r\n";
  return text;
}

fs::path Folder() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("marlowick-encode-bench-" + std::to_string(::getpid()));
    fs::create_directories(d);
    std::ofstream text(d / "text.txt");
    for (int i = 0; i < kLines; ++i) text << kLine << "\n";
    return d;
  }();
  return dir;
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// ebook2cw with our settings: 20 wpm characters and spacing, 800 Hz, ramps
// of 5 ms (220 samples), 44100 Hz, no chapters; its own defaults otherwise
// (MP3 at 16 kbps CBR, quality 5). Returns the wall time, or -1.
double RunEbook2cw(bool ogg, const fs::path& out) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int devnull = ::open("/dev/null", O_RDWR);
    ::dup2(devnull, STDOUT_FILENO);
    ::dup2(devnull, STDERR_FILENO);
    ::setenv("HOME", Folder().c_str(), 1);  // it writes a configuration there
    const std::string text = (Folder() / "text.txt").string();
    const std::string name = out.string();
    std::vector<const char*> argv{"ebook2cw", "-w", "20", "-e", "20", "-f", "800", "-R", "220",
                                  "-F", "220", "-s", "44100", "-c", "", "-o", name.c_str()};
    if (ogg) argv.push_back("-O");
    argv.push_back(text.c_str());
    argv.push_back(nullptr);
    ::execvp("ebook2cw", const_cast<char* const*>(argv.data()));
    ::_exit(127);
  }
  const auto start = Clock::now();
  int status = 0;
  ::waitpid(pid, &status, 0);
  const double took = Seconds(start);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? took : -1;
}

void CompareWithEbook2cw(benchmark::State& state, render::Format format) {
  const bool ogg = format == render::Format::kVorbis;
  const std::u16string text = Text();
  const fs::path ours = Folder() / (ogg ? "ours.ogg" : "ours.mp3");
  const fs::path theirs = Folder() / "ebook2cw";  // it appends the extension
  double oursTotal = 0, theirsTotal = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    render::RenderEncodedFile(ours.string(), text, kOptions, format);
    const double took = Seconds(start);
    oursTotal += took;
    state.SetIterationTime(took);
    const double t = RunEbook2cw(ogg, theirs);
    if (t < 0) {
      state.SkipWithError("ebook2cw did not run (is the Debian package ebook2cw installed?)");
      break;
    }
    theirsTotal += t;
  }
  const double audio = static_cast<double>(morse::CountTextSamples(text, kOptions)) /
                       morse::kRenderSampRate;
  const auto n = static_cast<double>(state.iterations());
  if (n == 0 || theirsTotal == 0) return;
  state.counters["audio_s"] = audio;
  state.counters["ours_x_realtime"] = audio * n / oursTotal;
  state.counters["ebook2cw_x_realtime"] = audio * n / theirsTotal;
  state.counters["speedup"] = theirsTotal / oursTotal;
  state.counters["ours_kB"] = static_cast<double>(fs::file_size(ours)) / 1000;
  const fs::path theirsFile = theirs.string() + (ogg ? ".ogg" : ".mp3");
  if (fs::exists(theirsFile)) {
    state.counters["ebook2cw_kB"] = static_cast<double>(fs::file_size(theirsFile)) / 1000;
  }
}

void BM_OggVorbisVsEbook2cw(benchmark::State& state) {
  CompareWithEbook2cw(state, render::Format::kVorbis);
}
BENCHMARK(BM_OggVorbisVsEbook2cw)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_Mp3VsEbook2cw(benchmark::State& state) { CompareWithEbook2cw(state, render::Format::kMp3); }
BENCHMARK(BM_Mp3VsEbook2cw)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

// The WAV file, then the same bytes written plainly from memory into a file
// beside it, in 1 MiB writes, each run replacing the file of the run before.
void BM_WaveFileVsDiskWrite(benchmark::State& state) {
  const std::u16string text = Text();
  const fs::path wav = Folder() / "ours.wav";
  const fs::path plain = Folder() / "plain.bin";
  double oursTotal = 0, diskTotal = 0;
  std::int64_t bytes = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    render::RenderWaveFile(wav.string(), text, kOptions);
    const double took = Seconds(start);
    oursTotal += took;
    state.SetIterationTime(took);

    bytes = static_cast<std::int64_t>(fs::file_size(wav));
    static const std::vector<char> block(1 << 20, 1);
    start = Clock::now();
    const int fd = ::open(plain.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    for (std::int64_t left = bytes; left > 0;) {
      const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, block.size()));
      if (::write(fd, block.data(), n) != static_cast<ssize_t>(n)) break;
      left -= static_cast<std::int64_t>(n);
    }
    ::close(fd);
    diskTotal += Seconds(start);
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["ours_MB_per_s"] = static_cast<double>(bytes) * n / oursTotal / 1e6;
  state.counters["disk_MB_per_s"] = static_cast<double>(bytes) * n / diskTotal / 1e6;
  state.counters["disk_ratio"] = oursTotal / diskTotal;
}
BENCHMARK(BM_WaveFileVsDiskWrite)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(Folder());
  return 0;
}
