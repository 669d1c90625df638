#include "sound/out_sound.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "platform/test_wave_out.h"

namespace sound {
namespace {

using namespace std::chrono_literals;
using platform::TestWaveOut;
using ::testing::Each;
using ::testing::ElementsAre;

constexpr const char* kSetAfterInit = "Cannot set soundcard property after initialization.";
constexpr const char* kSendBeforeThread =
    "Cannot send sample until output transfer thread has been created.";

// A component on a test device, with a view of the device kept for checks.
struct Rig {
  explicit Rig(TestWaveOut::Completion mode = TestWaveOut::Completion::AtOnce) {
    auto owned = std::make_unique<TestWaveOut>(mode);
    device = owned.get();
    out = std::make_unique<TOutSound>(std::move(owned));
    // Long enough for a loaded machine, short enough that a fault fails
    // the test instead of hanging it.
    out->SetProducerTimeout(5s);
  }
  // Sends values first, first + 1, ... (both channels the same but negated).
  void Send(int count, int first = 1) {
    for (int i = 0; i < count; ++i) {
      const auto v = static_cast<std::int16_t>(first + i);
      out->sendSample({v, static_cast<std::int16_t>(-v)});
    }
  }
  TestWaveOut* device;
  std::unique_ptr<TOutSound> out;
};

std::vector<std::int16_t> Ramp(int count, int first = 1) {
  std::vector<std::int16_t> v;
  for (int i = 0; i < count; ++i) v.push_back(static_cast<std::int16_t>(first + i));
  return v;
}

std::string MessageOf(const std::function<void()>& op) {
  try {
    op();
  } catch (const EOutSound& e) {
    return e.what();
  }
  return "(nothing thrown)";
}

TEST(OutSoundTest, FreshComponentHasTheDefaultsAndTakesEveryProperty) {
  Rig rig;
  TOutSound& out = *rig.out;
  EXPECT_EQ(out.Device(), 0xFFFFFFFFu);
  EXPECT_EQ(out.SampRate(), 44100);
  EXPECT_EQ(out.Channels(), 1);
  EXPECT_EQ(out.Buffers(), 3);
  EXPECT_EQ(out.BufferLength(), 20000);
  EXPECT_EQ(out.WaveOutHandle(), nullptr);
  EXPECT_EQ(out.stage(), OpenStages::DeviceClosed);

  out.SetDevice(0);
  out.SetSampRate(8000);
  out.SetChannels(2);
  out.SetBuffers(5);
  out.SetBufferLength(100);
  EXPECT_EQ(out.Device(), 0u);
  EXPECT_EQ(out.SampRate(), 8000);
  EXPECT_EQ(out.Channels(), 2);
  EXPECT_EQ(out.Buffers(), 5);
  EXPECT_EQ(out.BufferLength(), 100);
  EXPECT_EQ(rig.device->Queries() + rig.device->Opens(), 0) << "setting properties touches no device";
}

TEST(OutSoundTest, InitializeOpensTheDeviceInTheComponentsFormat) {
  const struct {
    std::int32_t rate, channels;
    std::uint32_t avg;
    std::uint16_t align;
  } cases[] = {{44100, 1, 88200, 2}, {8000, 2, 32000, 4}};
  for (const auto& c : cases) {
    Rig rig;
    rig.out->SetSampRate(c.rate);
    rig.out->SetChannels(c.channels);
    rig.out->Initialize();
    EXPECT_EQ(rig.out->stage(), OpenStages::TransferThreadCreated);
    EXPECT_NE(rig.out->WaveOutHandle(), nullptr);
    EXPECT_EQ(rig.device->Queries(), 1);
    EXPECT_EQ(rig.device->Opens(), 1);
    EXPECT_EQ(rig.device->OpenedDevice(), platform::WAVE_MAPPER);
    const platform::WaveFormatEx f = rig.device->OpenedFormat();
    EXPECT_EQ(f.wFormatTag, 1);
    EXPECT_EQ(f.nChannels, c.channels);
    EXPECT_EQ(f.nSamplesPerSec, static_cast<std::uint32_t>(c.rate));
    EXPECT_EQ(f.nAvgBytesPerSec, c.avg);
    EXPECT_EQ(f.nBlockAlign, c.align);
    EXPECT_EQ(f.wBitsPerSample, 16);
    EXPECT_EQ(f.cbSize, 0);
  }
}

TEST(OutSoundTest, AfterInitializePropertiesAndASecondInitializeAreRefused) {
  Rig rig;
  TOutSound& out = *rig.out;
  out.Initialize();
  EXPECT_EQ(MessageOf([&] { out.SetDevice(1); }), kSetAfterInit);
  EXPECT_EQ(MessageOf([&] { out.SetSampRate(8000); }), kSetAfterInit);
  EXPECT_EQ(MessageOf([&] { out.SetChannels(2); }), kSetAfterInit);
  EXPECT_EQ(MessageOf([&] { out.SetBuffers(1); }), kSetAfterInit);
  EXPECT_EQ(MessageOf([&] { out.SetBufferLength(10); }), kSetAfterInit);
  EXPECT_EQ(out.Device(), platform::WAVE_MAPPER);
  EXPECT_EQ(out.SampRate(), 44100);
  EXPECT_EQ(out.Channels(), 1);
  EXPECT_EQ(out.Buffers(), 3);
  EXPECT_EQ(out.BufferLength(), 20000);

  EXPECT_EQ(MessageOf([&] { out.Initialize(); }), "Cannot reinitialize sound output device");
  EXPECT_EQ(out.stage(), OpenStages::TransferThreadCreated);
  EXPECT_EQ(rig.device->Opens(), 1);
}

TEST(OutSoundTest, SamplesAreRefusedUntilTheThreadRuns) {
  Rig rig;
  EXPECT_EQ(MessageOf([&] { rig.Send(1); }), kSendBeforeThread);
  rig.out->Flush();  // nothing being filled: a no-op, not an error
  rig.out->Initialize();
  rig.Send(1);
  rig.out->Close();
  EXPECT_EQ(MessageOf([&] { rig.Send(1); }), kSendBeforeThread);
  EXPECT_EQ(rig.device->Written(), 0);
}

TEST(OutSoundTest, MonoBuffersCarryTheSamplesInOrder) {
  Rig rig;
  rig.out->Initialize();
  rig.Send(19999);
  rig.out->Flush();  // hands over the first buffer with its last value padded
  ASSERT_TRUE(rig.device->WaitForWritten(1));

  rig.Send(20000, 100);
  ASSERT_TRUE(rig.device->WaitForWritten(2));
  EXPECT_EQ(rig.out->BuffIndex(), 0);
  const auto buffers = rig.device->WrittenBuffers();
  ASSERT_EQ(buffers.size(), 2u);
  std::vector<std::int16_t> first = Ramp(19999);
  first.push_back(0);
  EXPECT_EQ(buffers[0], first);
  EXPECT_EQ(buffers[1], Ramp(20000, 100)) << "exactly 20000 calls hand one buffer over";
}

TEST(OutSoundTest, StereoCallsStoreLeftThenRight) {
  Rig rig;
  rig.out->SetChannels(2);
  rig.out->Initialize();
  rig.Send(9999);
  EXPECT_EQ(rig.device->Written(), 0);
  rig.Send(1, 10000);
  ASSERT_TRUE(rig.device->WaitForWritten(1));
  const std::vector<std::int16_t> samples = rig.device->Samples();
  ASSERT_EQ(samples.size(), 20000u);
  for (int frame = 0; frame < 10000; ++frame) {
    ASSERT_EQ(samples[2 * frame], frame + 1) << "left of frame " << frame;
    ASSERT_EQ(samples[2 * frame + 1], -(frame + 1)) << "right of frame " << frame;
  }
}

TEST(OutSoundTest, FlushPadsThePartBufferWithSilence) {
  Rig rig;
  rig.out->SetBuffers(1);  // the second buffer reuses the block of the first
  rig.out->Initialize();
  rig.out->Flush();
  rig.out->Flush();
  rig.Send(100);
  rig.out->Flush();
  rig.out->Flush();  // right after a hand-over: nothing more
  rig.Send(3, 7);
  rig.out->Flush();
  ASSERT_TRUE(rig.device->WaitForWritten(2));
  const auto buffers = rig.device->WrittenBuffers();
  ASSERT_EQ(buffers.size(), 2u);
  ASSERT_EQ(buffers[0].size(), 20000u);
  EXPECT_EQ(std::vector<std::int16_t>(buffers[0].begin(), buffers[0].begin() + 100), Ramp(100));
  EXPECT_THAT(std::vector<std::int16_t>(buffers[0].begin() + 100, buffers[0].end()), Each(0));
  EXPECT_THAT(std::vector<std::int16_t>(buffers[1].begin(), buffers[1].begin() + 4), ElementsAre(7, 8, 9, 0));
  EXPECT_THAT(std::vector<std::int16_t>(buffers[1].begin() + 3, buffers[1].end()), Each(0))
      << "the padding overwrites what the buffer held on its previous trip";
}

TEST(OutSoundTest, TheFourthBufferWaitsForTheDeviceToReturnOne) {
  Rig rig(TestWaveOut::Completion::OnCommand);
  rig.out->Initialize();
  rig.Send(60000);  // three buffers: never waits (a wait would time out and throw)
  ASSERT_TRUE(rig.device->WaitForWritten(3));
  EXPECT_EQ(rig.device->Pending(), 3);

  auto call60001 = std::async(std::launch::async, [&] { rig.Send(1, 60001); });
  EXPECT_EQ(call60001.wait_for(300ms), std::future_status::timeout) << "call 60001 should block";
  EXPECT_TRUE(rig.device->CompleteOne());
  ASSERT_EQ(call60001.wait_for(10s), std::future_status::ready);
  call60001.get();
  EXPECT_EQ(rig.out->BuffIndex(), 1);
  EXPECT_EQ(rig.device->Samples(), Ramp(60000));
}

TEST(OutSoundTest, ADeviceThatStopsAnsweringGivesABoundedError) {
  Rig rig(TestWaveOut::Completion::OnCommand);
  rig.out->SetProducerTimeout(200ms);
  rig.out->Initialize();
  rig.Send(60000);
  EXPECT_EQ(MessageOf([&] { rig.Send(1); }),
            "The sound output stopped taking sound: nothing was played for 0.2 seconds. If the sound "
            "server (PulseAudio or PipeWire) hangs, restart it, then press Send Text again.");
  EXPECT_EQ(rig.out->BuffIndex(), 0) << "nothing stored";

  // When the device comes back, so does the sound.
  rig.device->CompleteOne();
  rig.Send(20000, 5);
  ASSERT_TRUE(rig.device->WaitForWritten(4));
  EXPECT_EQ(rig.device->WrittenBuffers()[3], Ramp(20000, 5));
}

TEST(OutSoundTest, AFailedWriteSurfacesWithTheDevicesText) {
  Rig rig;
  rig.out->SetBuffers(1);
  rig.out->SetBufferLength(100);
  rig.out->Initialize();
  rig.device->FailWrite("Connection terminated");
  rig.Send(100);  // handed over; its write fails and frees the buffer
  EXPECT_EQ(MessageOf([&] { rig.Send(1); }), "Connection terminated");
  EXPECT_EQ(MessageOf([&] { rig.Send(1); }), "Connection terminated") << "the failure stays";
}

TEST(OutSoundTest, DeviceRefusalsLeaveTheStagesOfTheTable) {
  {
    Rig rig;
    rig.device->FailQuery("The device cannot play this format.");
    EXPECT_EQ(MessageOf([&] { rig.out->Initialize(); }), "The device cannot play this format.");
    EXPECT_EQ(rig.out->stage(), OpenStages::DeviceClosed);
    EXPECT_EQ(rig.device->Opens(), 0);
  }
  {
    Rig rig;
    rig.device->FailOpen("Cannot connect to the sound server: Connection refused");
    EXPECT_EQ(MessageOf([&] { rig.out->Initialize(); }),
              "Cannot connect to the sound server: Connection refused");
    EXPECT_EQ(rig.out->stage(), OpenStages::CapabilitiesChecked);
    EXPECT_EQ(rig.out->WaveOutHandle(), nullptr);
    EXPECT_EQ(MessageOf([&] { rig.Send(1); }), kSendBeforeThread);
    EXPECT_EQ(MessageOf([&] { rig.out->Initialize(); }), "Cannot reinitialize sound output device");
    rig.out->Close();
    EXPECT_EQ(rig.out->stage(), OpenStages::DeviceClosed);
    EXPECT_EQ(rig.device->Resets() + rig.device->Closes(), 0) << "nothing was open to reset or close";
  }
  {
    Rig rig;
    const std::string longText(300, 'x');
    rig.device->FailOpen(longText);
    EXPECT_EQ(MessageOf([&] { rig.out->Initialize(); }), longText.substr(0, 255));
  }
}

TEST(OutSoundTest, ConfigurationsThatWouldOverrunABufferAreRefused) {
  const struct {
    std::int32_t channels, buffers, length;
  } cases[] = {{2, 3, 20001}, {1, 3, 0}, {1, 0, 20000}, {2, -1, 100}};
  for (const auto& c : cases) {
    Rig rig;
    rig.out->SetChannels(c.channels);
    rig.out->SetBuffers(c.buffers);
    rig.out->SetBufferLength(c.length);
    EXPECT_THROW(rig.out->Initialize(), EOutSound) << c.channels << "/" << c.buffers << "/" << c.length;
    EXPECT_EQ(rig.out->stage(), OpenStages::DeviceClosed);
    EXPECT_EQ(rig.device->Queries(), 0);
  }
}

TEST(OutSoundTest, CloseStopsResetsAndClosesAndAllowsANewStart) {
  Rig rig(TestWaveOut::Completion::OnCommand);
  rig.out->Initialize();
  rig.Send(50000);  // two buffers pending at the device, one half filled
  ASSERT_TRUE(rig.device->WaitForWritten(2));
  rig.out->Close();
  EXPECT_EQ(rig.out->stage(), OpenStages::DeviceClosed);
  EXPECT_EQ(rig.out->WaveOutHandle(), nullptr);
  EXPECT_EQ(rig.device->Resets(), 1);
  EXPECT_EQ(rig.device->Closes(), 1);
  EXPECT_EQ(rig.device->Pending(), 0) << "the reset returned the pending buffers";
  EXPECT_FALSE(rig.device->IsOpen());

  rig.out->SetBufferLength(10);
  rig.device->SetCompletion(TestWaveOut::Completion::AtOnce);
  rig.out->Initialize();
  rig.Send(10, 500);
  ASSERT_TRUE(rig.device->WaitForWritten(3));
  EXPECT_EQ(rig.device->WrittenBuffers()[2], Ramp(10, 500));
}

TEST(OutSoundTest, TearDownOfANeverInitialisedComponentTouchesNothing) {
  Rig rig;
  rig.out->Close();
  EXPECT_EQ(rig.out->stage(), OpenStages::DeviceClosed);
  EXPECT_EQ(rig.device->Queries() + rig.device->Opens() + rig.device->Resets() + rig.device->Closes(), 0);
  rig.out.reset();
}

TEST(OutSoundTest, TearDownEndsAThreadThatIsWaitingOrBusy) {
  {
    Rig rig;  // the thread idles on its wait for a filled buffer
    rig.out->Initialize();
    rig.out.reset();
  }
  {
    Rig rig(TestWaveOut::Completion::OnCommand);  // all three buffers handed over, none back
    rig.out->Initialize();
    rig.Send(60000);
    rig.out.reset();
  }
  {
    Rig rig(TestWaveOut::Completion::OnCommand);  // the producer blocked on another thread
    rig.out->Initialize();
    rig.Send(60000);
    auto blocked = std::async(std::launch::async, [&] {
      try {
        rig.Send(1);
      } catch (const EOutSound&) {
      }
    });
    EXPECT_EQ(blocked.wait_for(100ms), std::future_status::timeout);
    rig.device->CompleteAll();
    blocked.get();
    rig.out.reset();
  }
}

TEST(OutSoundTest, TearDownErrorsCarryTheDevicesTextAndNeverEscapeTheDestructor) {
  Rig rig;
  rig.out->Initialize();
  rig.device->FailReset("The device would not stop.");
  EXPECT_EQ(MessageOf([&] { rig.out->Close(); }), "The device would not stop.");
  EXPECT_EQ(rig.out->stage(), OpenStages::BufferRingCreated) << "the thread is gone, the device still open";
  EXPECT_EQ(MessageOf([&] { rig.Send(1); }), kSendBeforeThread);

  rig.device->FailClose("The device would not close.");
  testing::internal::CaptureStderr();
  rig.out.reset();
  EXPECT_THAT(testing::internal::GetCapturedStderr(), ::testing::HasSubstr("The device would not stop."));
}

TEST(OutSoundTest, TheDoneCallbackReleasesOnlyOnBufferDone) {
  CountingSemaphore sem(0, 2);
  const auto instance = reinterpret_cast<std::uintptr_t>(&sem);
  OutBuffDoneCallback(nullptr, platform::WOM_OPEN, instance, nullptr);
  OutBuffDoneCallback(nullptr, platform::WOM_CLOSE, instance, nullptr);
  EXPECT_EQ(sem.Count(), 0);
  for (int i = 0; i < 3; ++i) OutBuffDoneCallback(nullptr, platform::WOM_DONE, instance, nullptr);
  EXPECT_EQ(sem.Count(), 2) << "a release past the maximum is dropped";
}

TEST(OutSoundPlayedTest, CountsQueuedAndHeardFramesAndWaitsForThePlayOut) {
  Rig rig(TestWaveOut::Completion::OnCommand);
  rig.out->SetBufferLength(100);
  rig.out->Initialize();
  rig.Send(250);  // two full buffers, half of a third
  ASSERT_TRUE(rig.device->WaitForWritten(2));
  EXPECT_EQ(rig.out->FramesQueued(), 200);
  EXPECT_EQ(rig.out->FramesPlayed(), 0);
  rig.out->Flush();
  ASSERT_TRUE(rig.device->WaitForWritten(3));
  EXPECT_EQ(rig.out->FramesQueued(), 300);

  EXPECT_FALSE(rig.out->WaitUntilPlayed(20ms, [] {}));
  int pumps = 0;
  EXPECT_TRUE(rig.out->WaitUntilPlayed(5s, [&] {
    ++pumps;
    rig.device->CompleteOne();
  }));
  EXPECT_EQ(rig.out->FramesPlayed(), 300);
  EXPECT_GE(pumps, 3);
}

}  // namespace
}  // namespace sound

namespace sound {
namespace {

TEST(OutSoundPauseAbortTest, SubmitHandsOverExactlyTheFramesSentSoFar) {
  Rig rig;
  rig.out->Initialize();
  rig.Send(30000);
  rig.out->Submit();
  rig.out->Submit();  // nothing more to hand over
  rig.Send(5, 30001);
  rig.out->Submit();
  ASSERT_TRUE(rig.device->WaitForWritten(3));
  EXPECT_EQ(rig.device->Samples(), Ramp(30005));
  EXPECT_EQ(rig.out->FramesQueued(), 30005);
}

TEST(OutSoundPauseAbortTest, AbortFreesAWaitingProducerAndDropsTheRestUntilRearm) {
  Rig rig(TestWaveOut::Completion::OnCommand);
  int pumps = 0;
  // The click arrives while the producer waits for a buffer.
  rig.out->SetWaitPump([&] {
    if (++pumps == 3) rig.out->Abort();
  });
  rig.out->Initialize();
  rig.Send(60000);                // every buffer written and held by the device
  rig.Send(30000, 100);           // waits, then returns at the Abort
  EXPECT_EQ(pumps, 3);
  EXPECT_TRUE(rig.out->Aborted());
  EXPECT_EQ(rig.device->Resets(), 1) << "what the device held was dropped";
  EXPECT_EQ(rig.device->Pending(), 0);
  rig.out->Flush();               // the end of the aborted run: nothing to add
  EXPECT_EQ(rig.device->Written(), 3);
  EXPECT_EQ(rig.out->FramesPlayed(), rig.out->FramesQueued());

  rig.out->Rearm();
  rig.device->SetCompletion(TestWaveOut::Completion::AtOnce);
  rig.Send(20000, 7);
  ASSERT_TRUE(rig.device->WaitForWritten(4));
  EXPECT_EQ(rig.device->WrittenBuffers().back(), Ramp(20000, 7));
}

TEST(OutSoundPauseAbortTest, APausedDeviceMayHoldEveryBufferWithoutATimeout) {
  Rig rig(TestWaveOut::Completion::OnCommand);
  rig.out->SetProducerTimeout(100ms);
  const auto start = std::chrono::steady_clock::now();
  rig.out->SetWaitPump([&] {
    if (std::chrono::steady_clock::now() - start > 400ms && rig.out->Paused()) {
      rig.out->Restart();
      rig.device->CompleteOne();
    }
  });
  rig.out->Initialize();
  rig.out->Pause();
  rig.Send(60001);  // the last frame waits for the pause to end
  EXPECT_EQ(rig.device->Pauses(), 1);
  EXPECT_EQ(rig.device->Restarts(), 1);
  EXPECT_EQ(rig.out->BuffIndex(), 1);
}

}  // namespace
}  // namespace sound
