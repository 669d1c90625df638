// Two minutes of Morse played while every core is busy twice over must come
// out of the sink exactly as rendered: not one sample inserted or lost.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "pulse/pulse_support.h"
#include "sound/out_sound.h"

namespace sound {
namespace {

using namespace std::chrono_literals;
using pulse_test::kRate;

// Busy processes beside the test, two per core, stopped with the scope:
// stress-ng's CPU workers where it is installed (they starve a 150 ms buffer
// where shell loops do not), else shell busy loops.
class CpuHog {
 public:
  CpuHog() {
    const long workers = 2 * std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
    const pid_t stress = pulse_test::Spawn({"stress-ng", "--quiet", "--cpu", std::to_string(workers), "--timeout", "300s"});
    if (stress > 0) {
      pids_.push_back(stress);
      return;
    }
    for (long i = 0; i < workers; ++i) {
      const pid_t pid = pulse_test::Spawn({"sh", "-c", "while :; do :; done"});
      if (pid > 0) pids_.push_back(pid);
    }
  }
  ~CpuHog() {
    // stress-ng stops its workers on SIGTERM.
    for (pid_t pid : pids_) ::kill(pid, SIGTERM);
    for (pid_t pid : pids_) waitpid(pid, nullptr, 0);
  }
  std::size_t Size() const { return pids_.size(); }

 private:
  std::vector<pid_t> pids_;
};

std::vector<std::int16_t> Trimmed(const std::vector<std::int16_t>& x) {
  auto first = std::find_if(x.begin(), x.end(), [](std::int16_t v) { return v != 0; });
  auto last = std::find_if(x.rbegin(), x.rend(), [](std::int16_t v) { return v != 0; }).base();
  return first < last ? std::vector<std::int16_t>(first, last) : std::vector<std::int16_t>{};
}

TEST(SoundUnderLoadTest, TwoMinutesBesideACpuHogComeOutSampleExact) {
  pulse_test::MonitorRecorder recorder;
  ASSERT_TRUE(recorder.Started()) << "parec did not start";
  std::this_thread::sleep_for(300ms);
  std::vector<std::int16_t> sent;
  sent.reserve(130u * kRate);
  {
    CpuHog hog;
    ASSERT_GT(hog.Size(), 0u);
    TOutSound out;
    out.Initialize();
    // Marks and gaps of varied lengths, as a text at 20 words per minute.
    const double dit = 0.06;
    const std::vector<int> pattern = {1, -1, 3, -1, 3, -1, 1, -3, 1, -1, 3, -3, 1, -1, 3, -1, 1, -3,
                                      1, -1, 1, -3, 1, -1, 1, -1, 1, -7};
    const double ramp = 0.005 * kRate;
    while (sent.size() < 120u * kRate) {
      for (int d : pattern) {
        const long n = std::lround(std::abs(d) * dit * kRate);
        for (long k = 0; k < n; ++k) {
          const double env = std::min({1.0, k / ramp, (n - 1 - k) / ramp});
          const double v = d > 0 ? 20000 * env * std::sin(2 * M_PI * 700 * k / kRate) : 0;
          const auto s = static_cast<std::int16_t>(std::lround(v));
          sent.push_back(s);
          out.sendSample({s, 0});
        }
      }
    }
    out.Flush();
    ASSERT_TRUE(out.WaitUntilPlayed(10s, {}));
  }
  recorder.Stop();
  const std::vector<std::int16_t> heard = Trimmed(recorder.Samples());
  const std::vector<std::int16_t> expected = Trimmed(sent);
  const auto diff = std::mismatch(expected.begin(), expected.end(), heard.begin(), heard.end());
  EXPECT_EQ(heard.size(), expected.size()) << "samples inserted (more) or lost (fewer)";
  EXPECT_TRUE(diff.first == expected.end() && diff.second == heard.end())
      << "first difference at sample " << (diff.first - expected.begin()) << " of " << expected.size()
      << " (" << (diff.first - expected.begin()) / double(kRate) << " s)";
}

}  // namespace
}  // namespace sound
