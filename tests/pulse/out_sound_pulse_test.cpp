#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
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
