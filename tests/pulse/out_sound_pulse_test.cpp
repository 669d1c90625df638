#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "pulse_support.h"
#include "sound/out_sound.h"

namespace sound {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using pulse_test::kRate;
using pulse_test::PlayNote;
using ::testing::HasSubstr;

constexpr double kDit = 0.06;  // 20 words per minute
constexpr double kTone = 800;

// "PARIS " in Morse: marks and gaps in dit lengths (negative = gap).
const std::vector<int> kParis = {1, -1, 3, -1, 3, -1, 1, -3, 1, -1, 3, -3, 1, -1, 3, -1, 1, -3,
                                 1, -1, 1, -3, 1, -1, 1, -1, 1, -7};

double PlayParis(TOutSound& out) {
  double seconds = 0;
  for (int d : kParis) {
    PlayNote(out, kTone, std::abs(d) * kDit, d > 0 ? 20000 : 0);
    seconds += std::abs(d) * kDit;
  }
  return seconds;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

TEST(PulseSoundOutputTest, SendingRunsInRealTime) {
  TOutSound out;
  out.Initialize();
  double audio = 0;
  const auto start = Clock::now();
  while (audio < 6.0) audio += PlayParis(out);
  out.Flush();
  const double wall = Seconds(Clock::now() - start);
  // The producer runs ahead by at most the three buffers (1.36 s) and what
  // the server holds (2 s); it never falls far behind.
  EXPECT_GT(wall, audio - 3.5) << audio << " s of sound";
  EXPECT_LT(wall, audio + 1.0) << audio << " s of sound";
}

TEST(PulseSoundOutputTest, TheSinkPlaysTheTonesAtTheirFrequencyAndLength) {
  pulse_test::MonitorRecorder recorder;
  ASSERT_TRUE(recorder.Started()) << "parec did not start";
  std::this_thread::sleep_for(300ms);  // let the recorder connect
  {
    TOutSound out;
    out.Initialize();
    PlayNote(out, 0, 0.2, 0);
    PlayNote(out, kTone, 0.5, 20000);
    PlayNote(out, 0, 0.3, 0);
    PlayNote(out, kTone, kDit, 20000);
    out.Flush();
    // Flush returns up to three buffers and the server's latency before the
    // sound has been played. Then the producer sends nothing for a while and
    // the device runs out of buffers: the next sound must come out whole.
    std::this_thread::sleep_for(2500ms);
    PlayNote(out, kTone, kDit, 20000);
    out.Flush();
    std::this_thread::sleep_for(2000ms);  // tear-down would cut what is left
  }
  recorder.Stop();
  const std::vector<std::int16_t> x = recorder.Samples();
  const auto marks = pulse_test::SoundSegments(x);
  ASSERT_EQ(marks.size(), 3u) << x.size() << " samples recorded";

  const long tol = kRate / 100;  // 10 ms
  EXPECT_NEAR(marks[0].end - marks[0].begin, 0.5 * kRate, tol);
  EXPECT_NEAR(marks[1].begin - marks[0].end, 0.3 * kRate, tol) << "the gap between the marks";
  EXPECT_NEAR(marks[1].end - marks[1].begin, kDit * kRate, tol);
  EXPECT_NEAR(marks[2].end - marks[2].begin, kDit * kRate, tol) << "the dit after the idle time";
  EXPECT_NEAR(pulse_test::ZeroCrossingFrequency(x, marks[0]), kTone, 4.0);
  EXPECT_NEAR(pulse_test::ZeroCrossingFrequency(x, marks[1]), kTone, 20.0);
  int peak = 0;
  for (long i = marks[0].begin; i < marks[0].end; ++i) peak = std::max(peak, std::abs(int{x[i]}));
  EXPECT_NEAR(peak, 20000, 100) << "the sink plays at unity volume";
}

// Everything a rendering sends, kept for comparison with the recording.
struct Rendered {
  std::vector<std::int16_t> samples;
  void Note(TOutSound& out, double frequency, double seconds, double amplitude) {
    const long n = std::lround(seconds * kRate);
    const double ramp = 0.005 * kRate;
    for (long k = 0; k < n; ++k) {
      const double env = std::min({1.0, k / ramp, (n - 1 - k) / ramp});
      const auto v = static_cast<std::int16_t>(std::lround(amplitude * env * std::sin(2 * M_PI * frequency * k / kRate)));
      samples.push_back(v);
      out.sendSample({v, 0});
    }
  }
  void Paris(TOutSound& out) {
    for (int d : kParis) Note(out, kTone, std::abs(d) * kDit, d > 0 ? 20000 : 0);
  }
};

// The recording from the first sound on, without the trailing silence.
std::vector<std::int16_t> Trimmed(const std::vector<std::int16_t>& x) {
  auto first = std::find_if(x.begin(), x.end(), [](std::int16_t v) { return v != 0; });
  auto last = std::find_if(x.rbegin(), x.rend(), [](std::int16_t v) { return v != 0; }).base();
  return first < last ? std::vector<std::int16_t>(first, last) : std::vector<std::int16_t>{};
}

TEST(PulseSoundOutputTest, PauseFallsBetweenElementsAndRestartPlaysTheRestExactly) {
  pulse_test::MonitorRecorder recorder;
  ASSERT_TRUE(recorder.Started()) << "parec did not start";
  std::this_thread::sleep_for(300ms);
  Rendered sent;
  {
    TOutSound out;
    const auto start = Clock::now();
    bool paused = false, restarted = false;
    Clock::time_point paused_at;
    // The clicks arrive through the pump, while the producer waits ahead.
    out.SetWaitPump([&] {
      const auto now = Clock::now();
      if (!paused && now - start > 2200ms) {
        paused = true;
        paused_at = now;
        out.Pause();
      } else if (paused && !restarted && now - paused_at > 1500ms) {
        restarted = true;
        out.Restart();
      }
    });
    out.Initialize();
    while (!restarted || sent.samples.size() < 8u * kRate) sent.Paris(out);
    out.Flush();
    ASSERT_TRUE(out.WaitUntilPlayed(10s, {}));
    EXPECT_EQ(out.FramesPlayed(), out.FramesQueued());
  }
  recorder.Stop();
  const std::vector<std::int16_t> heard = Trimmed(recorder.Samples());
  const std::vector<std::int16_t> expected = Trimmed(sent.samples);
  ASSERT_GT(heard.size(), expected.size() + kRate) << "no pause of a second or more was heard";

  // Heard: the stream up to the pause point, silence, then the rest of the
  // stream, sample for sample.
  const auto split = std::mismatch(expected.begin(), expected.end(), heard.begin(), heard.end());
  const long k = split.first - expected.begin();
  const long pause = static_cast<long>(heard.size() - expected.size());
  ASSERT_LT(k, static_cast<long>(expected.size()));
  EXPECT_TRUE(std::equal(expected.begin() + k, expected.end(), heard.begin() + k + pause))
      << "the sound after the pause is not the rest of the stream";
  EXPECT_TRUE(std::all_of(heard.begin() + k, heard.begin() + k + pause, [](std::int16_t v) { return v == 0; }));
  // The first difference is where the sound resumes; the pause lies in the
  // gap before it, so no mark was split.
  for (long i = std::max(0L, k - kRate / 1000); i < k; ++i)
    ASSERT_EQ(expected[i], 0) << "the pause split a mark before sample " << k;
}

TEST(PulseSoundOutputTest, AVanishedServerEndsSendingWithItsReason) {
  pulse_test::PrivateDaemon daemon;
  ASSERT_TRUE(daemon.Started());
  pulse_test::ScopedEnv server("PULSE_SERVER", daemon.Server());
  TOutSound out;
  out.Initialize();

  std::atomic<bool> killed{false};
  Clock::time_point killedAt;
  std::thread killer([&] {
    std::this_thread::sleep_for(1s);
    killedAt = Clock::now();
    killed = daemon.Kill(SIGKILL);
  });
  std::string message;
  const auto start = Clock::now();
  try {
    while (Clock::now() - start < 30s) PlayParis(out);
  } catch (const EOutSound& e) {
    message = e.what();
  }
  const auto failedAt = Clock::now();
  killer.join();
  ASSERT_TRUE(killed);
  EXPECT_EQ(message,
            "The sound server stopped or restarted. Press Send Text again to reconnect. The system said: "
            "Connection terminated.");
  EXPECT_LT(Seconds(failedAt - killedAt), 3.0) << "the loss must surface promptly";

  const auto closing = Clock::now();
  out.Close();
  EXPECT_LT(Seconds(Clock::now() - closing), 2.0);
}

TEST(PulseSoundOutputTest, NoServerFailsTheOpenWithPulseAudiosReason) {
  pulse_test::ScopedEnv server("PULSE_SERVER", "unix:/nonexistent/marlowick/native");
  TOutSound out;
  const auto start = Clock::now();
  try {
    out.Initialize();
    ADD_FAILURE() << "opened without a server";
  } catch (const EOutSound& e) {
    EXPECT_THAT(e.what(), HasSubstr("Connection refused"));
  }
  EXPECT_LT(Seconds(Clock::now() - start), 2.0);
  EXPECT_EQ(out.stage(), OpenStages::CapabilitiesChecked);
}

}  // namespace
}  // namespace sound
