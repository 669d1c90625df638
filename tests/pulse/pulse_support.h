// Helpers for the tests against a real PulseAudio daemon: tones, a recorder
// on the null sink's monitor, a private daemon a test may kill, and scoped
// environment changes.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sound/out_sound.h"

namespace pulse_test {

inline constexpr int kRate = 44100;

inline std::string TestSink() {
  const char* sink = std::getenv("MARLOWICK_TEST_SINK");
  return sink != nullptr && *sink != '\0' ? sink : "marlowick_null";
}

// __FILE__ is relative to the build folder, not to where tests run: the
// build says where the script is.
inline std::filesystem::path DaemonScript() {
#ifdef MARLOWICK_PULSE_DAEMON_SCRIPT
  return MARLOWICK_PULSE_DAEMON_SCRIPT;
#else
  return std::filesystem::path(__FILE__).parent_path() / "pulse-daemon.sh";
#endif
}

// Sets (or with nullopt unsets) a variable for the scope's life.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value->c_str(), 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Runs a program; returns its pid, or -1.
inline pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

inline int Run(const std::vector<std::string>& args) {
  const pid_t pid = Spawn(args);
  if (pid < 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Records the test sink's monitor (mono, s16le, 44100 Hz) into a file.
class MonitorRecorder {
 public:
  MonitorRecorder() {
    file_ = std::filesystem::temp_directory_path() /
            ("marlowick-monitor-" + std::to_string(::getpid()) + ".raw");
    pid_ = Spawn({"parec", "--device=" + TestSink() + ".monitor", "--format=s16le", "--rate=44100",
                  "--channels=1", "--raw", "--latency-msec=20", file_.string()});
  }
  ~MonitorRecorder() {
    Stop();
    std::error_code ec;
    std::filesystem::remove(file_, ec);
  }
  bool Started() const { return pid_ > 0; }
  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGINT);
    int status = 0;
    for (int i = 0; i < 50 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (waitpid(pid_, &status, WNOHANG) == 0) {
      ::kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  std::vector<std::int16_t> Samples() const {
    std::ifstream in(file_, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
      samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                             static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8);
    return samples;
  }

 private:
  std::filesystem::path file_;
  pid_t pid_ = -1;
};

// A daemon of its own for a test that kills it, in a fresh directory.
class PrivateDaemon {
 public:
  PrivateDaemon() {
    char name[] = "/tmp/marlowick-pulse-XXXXXX";
    if (::mkdtemp(name) == nullptr) return;
    dir_ = name;
    started_ = Run({DaemonScript().string(), "start", dir_.string()}) == 0;
  }
  ~PrivateDaemon() {
    if (dir_.empty()) return;
    Run({DaemonScript().string(), "stop", dir_.string()});
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  bool Started() const { return started_; }
  // Stops it if it runs and starts a fresh one on the same socket.
  bool Restart() {
    started_ = Run({DaemonScript().string(), "start", dir_.string()}) == 0;
    return started_;
  }
  std::string Server() const { return "unix:" + (dir_ / "pulse" / "native").string(); }
  bool Kill(int signal) const {
    std::ifstream in(dir_ / "pid");
    pid_t pid = 0;
    return static_cast<bool>(in >> pid) && pid > 0 && ::kill(pid, signal) == 0;
  }

 private:
  std::filesystem::path dir_;
  bool started_ = false;
};

// One note as the trainer plays it: a sine with a 5 ms linear rise and fall
// (amplitude 0 gives silence of the same length).
inline void PlayNote(sound::TOutSound& out, double frequency, double seconds, double amplitude) {
  const long n = std::lround(seconds * kRate);
  const double ramp = 0.005 * kRate;
  for (long k = 0; k < n; ++k) {
    const double env = std::min({1.0, k / ramp, (n - 1 - k) / ramp});
    const double v = amplitude * env * std::sin(2 * M_PI * frequency * k / kRate);
    out.sendSample({static_cast<std::int16_t>(std::lround(v)), 0});
  }
}

struct Segment {
  long begin, end;  // sample indices, end exclusive
};

// Runs of sound separated by more than `gap` silent samples.
inline std::vector<Segment> SoundSegments(const std::vector<std::int16_t>& x, long gap = 200,
                                          int threshold = 50) {
  std::vector<Segment> segments;
  long last = -1;
  for (long i = 0; i < static_cast<long>(x.size()); ++i) {
    if (std::abs(x[i]) <= threshold) continue;
    if (segments.empty() || i - last > gap)
      segments.push_back({i, i + 1});
    else
      segments.back().end = i + 1;
    last = i;
  }
  return segments;
}

// Frequency from the upward zero crossings within a segment.
inline double ZeroCrossingFrequency(const std::vector<std::int16_t>& x, Segment s) {
  long first = -1, last = -1, crossings = 0;
  for (long i = s.begin + 1; i < s.end; ++i) {
    if (x[i - 1] < 0 && x[i] >= 0) {
      if (first < 0) first = i;
      last = i;
      ++crossings;
    }
  }
  if (crossings < 2) return 0;
  return (crossings - 1) * static_cast<double>(kRate) / (last - first);
}

}  // namespace pulse_test
