// How the sound feels to a learner, measured where a listener would hear it:
// the null sink's monitor of a private PulseAudio daemon, read as it arrives
// and stamped with the wall clock. The window runs on PulseAudio and the
// buttons are clicked while a run plays.
//
//   send_to_mark_ms   Send Text click to the first mark, less the lead-in
//   pause_to_quiet_ms Pause click to silence (the rest of the sounding
//                     element included)
//   abort_to_quiet_ms Abort click to silence
//   idle_wakeups/s    context switches of the sound server per second while
//                     the trainer sits idle after a run
//
// Each figure is printed beside the one measured before the sound output
// was reworked (`*_before`).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "gui/dialogs.h"
#include "gui/pump.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kRate = 44100;

// Figures of the trainer before the rework, measured with this program.
constexpr double kSendToMarkBefore = 105;
constexpr double kPauseToQuietBefore = 1001;
constexpr double kAbortToQuietBefore = 1243;
constexpr double kIdleWakeupsBefore = 100.5;

std::filesystem::path g_daemon_dir;

pid_t SpawnWithStdout(const std::vector<std::string>& args, int* read_fd) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  *read_fd = fds[0];
  return pid;
}

int RunScript(const std::string& action) {
  const std::string command =
      std::string(MARLOWICK_PULSE_DAEMON_SCRIPT) + " " + action + " " + g_daemon_dir.string();
  return std::system(command.c_str());
}

// Reads the monitor as it comes and remembers when each chunk arrived.
class MonitorListener {
 public:
  MonitorListener() {
    pid_ = SpawnWithStdout({"parec", "--device=marlowick_null.monitor", "--format=s16le", "--rate=44100",
                            "--channels=1", "--raw", "--latency-msec=5"},
                           &fd_);
    thread_ = std::thread([this] { Read(); });
  }
  ~MonitorListener() {
    if (pid_ > 0) kill(pid_, SIGINT);
    thread_.join();
    close(fd_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  // The arrival time of every sample so far (of its chunk).
  void Snapshot(std::vector<std::int16_t>* samples, std::vector<Clock::time_point>* times) {
    std::lock_guard lock(mutex_);
    *samples = samples_;
    *times = times_;
  }

 private:
  void Read() {
    char buffer[4096];
    std::vector<char> pending;
    for (;;) {
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n <= 0) return;
      const auto now = Clock::now();
      pending.insert(pending.end(), buffer, buffer + n);
      std::lock_guard lock(mutex_);
      std::size_t i = 0;
      for (; i + 1 < pending.size(); i += 2) {
        samples_.push_back(static_cast<std::int16_t>(static_cast<std::uint8_t>(pending[i]) |
                                                     static_cast<std::uint8_t>(pending[i + 1]) << 8));
        times_.push_back(now);
      }
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }

  pid_t pid_ = -1;
  int fd_ = -1;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::int16_t> samples_;
  std::vector<Clock::time_point> times_;
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

bool Loud(std::int16_t v) { return v > 50 || v < -50; }

// Arrival of the first loud sample that arrived after `after`.
std::optional<Clock::time_point> FirstSound(const std::vector<std::int16_t>& x,
                                            const std::vector<Clock::time_point>& t, Clock::time_point after) {
  for (std::size_t i = 0; i < x.size(); ++i)
    if (t[i] >= after && Loud(x[i])) return t[i];
  return std::nullopt;
}

// Arrival of the last loud sample before the first silence of at least
// `quiet` that lasts beyond `click`: when the sound stopped for it. Before
// the click when it came in a gap.
std::optional<Clock::time_point> QuietFrom(const std::vector<std::int16_t>& x,
                                           const std::vector<Clock::time_point>& t, Clock::time_point click,
                                           std::chrono::milliseconds quiet) {
  const long need = static_cast<long>(quiet.count()) * kRate / 1000;
  long last_loud = -1;
  for (long i = 0; i < static_cast<long>(x.size()); ++i) {
    const bool end = i + 1 == static_cast<long>(x.size());
    if (!Loud(x[i]) && !end) continue;
    if (last_loud >= 0 && i - last_loud >= need && t[i] > click) return t[last_loud];
    last_loud = i;
  }
  return std::nullopt;
}

long ServerContextSwitches() {
  std::ifstream pid_file(g_daemon_dir / "pid");
  long pid = 0;
  pid_file >> pid;
  long total = 0;
  std::error_code ec;
  for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    std::ifstream status(task.path() / "status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
        total += std::stol(line.substr(line.find(':') + 1));
    }
  }
  return total;
}

void Wait(std::chrono::milliseconds d) {
  const auto end = Clock::now() + d;
  while (Clock::now() < end) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(2ms);
  }
}

template <class F>
void At(Clock::time_point when, F f) {
  const auto delay = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now());
  QTimer::singleShot(std::max<long long>(0, delay.count()), f);
}

void BM_SoundFeel(benchmark::State& state) {
  gui::ScriptedDialogs dialogs;
  TrainerServices services;
  services.dialogs = &dialogs;
  auto form = std::make_unique<TForm1>(std::move(services));
  TForm1& f = *form;
  f.SpeedScrollBar->SetPosition(20);
  f.CspeedScrollbar->SetPosition(20);

  std::vector<double> send, pause, abort_, wakeups;
  // Idle, with no recorder on the server: after a short run the window sits
  // without sound.
  f.Memo1->SetText(QStringLiteral("E"));
  f.Sendbutton->click();
  Wait(2500ms);
  const long before = ServerContextSwitches();
  Wait(4000ms);
  wakeups.push_back((ServerContextSwitches() - before) / 4.0);

  MonitorListener monitor;
  Wait(500ms);
  int round = 0;
  for (auto _ : state) {
    Wait(1500ms);
    // Clicks land at different points of the elements from round to round.
    const auto offset = std::chrono::milliseconds(61 * round++);
    f.Memo1->SetText(QStringLiteral("PARIS PARIS PARIS PARIS PARIS PARIS PARIS PARIS PARIS PARIS"));
    Clock::time_point clicked, paused, aborted;
    const auto start = Clock::now();
    // Clicks arrive while the run plays, as the learner's would.
    At(start + 3300ms + offset, [&] {
      paused = Clock::now();
      f.btnPause->click();
    });
    At(start + 5300ms + offset, [&] { f.btnPause->click(); });
    At(start + 7300ms + offset, [&] {
      aborted = Clock::now();
      f.AbortButton->click();
    });
    clicked = Clock::now();
    f.Sendbutton->click();
    Wait(3500ms);

    std::vector<std::int16_t> x;
    std::vector<Clock::time_point> t;
    monitor.Snapshot(&x, &t);
    const double lead_in = 3 * f.FDitLength * 1000;
    if (auto m = FirstSound(x, t, clicked)) send.push_back(Ms(*m - clicked) - lead_in);
    if (auto q = QuietFrom(x, t, paused, 600ms)) pause.push_back(std::max(0.0, Ms(*q - paused)));
    if (auto q = QuietFrom(x, t, aborted, 1500ms)) abort_.push_back(std::max(0.0, Ms(*q - aborted)));
  }
  // The worst of the rounds: what a learner may meet.
  auto worst = [](const std::vector<double>& v) { return v.empty() ? -1.0 : *std::max_element(v.begin(), v.end()); };
  state.counters["send_to_mark_ms"] = worst(send);
  state.counters["send_to_mark_ms_before"] = kSendToMarkBefore;
  state.counters["pause_to_quiet_ms"] = worst(pause);
  state.counters["pause_to_quiet_ms_before"] = kPauseToQuietBefore;
  state.counters["abort_to_quiet_ms"] = worst(abort_);
  state.counters["abort_to_quiet_ms_before"] = kAbortToQuietBefore;
  state.counters["idle_wakeups/s"] = worst(wakeups);
  state.counters["idle_wakeups/s_before"] = kIdleWakeupsBefore;
  if (!dialogs.errors.isEmpty()) state.SkipWithError(dialogs.errors.first().toStdString().c_str());
}
BENCHMARK(BM_SoundFeel)->Iterations(5)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  char dir[] = "/tmp/marlowick-feel-XXXXXX";
  if (mkdtemp(dir) == nullptr) return 1;
  g_daemon_dir = dir;
  if (RunScript("start") != 0) return 1;
  setenv("PULSE_SERVER", ("unix:" + (g_daemon_dir / "pulse" / "native").string()).c_str(), 1);
  setenv("PULSE_RUNTIME_PATH", (g_daemon_dir / "pulse").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", g_daemon_dir.c_str(), 1);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  }
  RunScript("stop");
  std::error_code ec;
  std::filesystem::remove_all(g_daemon_dir, ec);
  return 0;
}
