// The worker that hands filled buffers to the wave-out device: it waits for a
// filled buffer, takes it from the ring's Head, prepares its header and
// writes it. It runs at raised priority and does nothing else.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/wave_out.h"
#include "sound/counting_semaphore.h"
#include "sound/wave_buffer_ring.h"

namespace sound {

class OutTransferThread {
 public:
  // Starts at once. hS counts filled buffers; `channels` values make a frame; a buffer whose write fails is
  // given back to hSemEmpty, since the device will never report it done.
  OutTransferThread(CountingSemaphore* hS, platform::WaveOutDevice& device,
                    platform::HWAVEOUT hW, WaveBuffRing* BR, CountingSemaphore* hSemEmpty,
                    int channels = 1);
  // Terminate and WaitFor.
  ~OutTransferThread();
  OutTransferThread(const OutTransferThread&) = delete;
  OutTransferThread& operator=(const OutTransferThread&) = delete;

  // Asks the loop to stop and wakes it; it touches nothing more once it has
  // seen the request.
  void Terminate();
  // Returns once Execute has returned.
  void WaitFor();
  bool Terminated() const { return terminated_.load(std::memory_order_acquire); }

  // Whether the last write or the loop itself failed. The failure stays.
  bool Failed() const { return failed_.load(std::memory_order_acquire); }
  // The device's code of the failed write, or 0 when the loop failed otherwise.
  platform::MMRESULT FailureCode() const;
  // What failed when it was not the device (an unexpected exception).
  std::string FailureText() const;
  // Whether the raised priority was granted.
  bool PriorityRaised() const { return priority_raised_.load(std::memory_order_acquire); }

  // Buffers handed over before this call are no longer written: they go
  // back to hSemEmpty as they come. `reset` runs once no write is in
  // flight, so nothing written before it can follow it.
  template <class Reset>
  void DiscardHandedOver(std::uint32_t epoch, Reset reset) {
    std::lock_guard lock(write_mutex_);
    accept_from_epoch_.store(epoch, std::memory_order_release);
    reset();
  }
  // Frames of the buffers discarded so far.
  std::int64_t DiscardedFrames() const { return discarded_frames_.load(std::memory_order_acquire); }

 private:
  void Execute();
  void Record(platform::MMRESULT code, std::string text);

  CountingSemaphore* hSemOutBuffFull;
  platform::HWAVEOUT hWaveOut;
  WaveBuffRing* BufferRing;  // not owned
  platform::WaveOutDevice& device_;
  CountingSemaphore* hSemOutBuffEmpty;
  int channels_;

  std::atomic<bool> terminated_{false};
  std::atomic<bool> failed_{false};
  std::atomic<bool> priority_raised_{false};
  // A buffer whose header carries an older epoch (in dwUser) is discarded.
  std::atomic<std::uint32_t> accept_from_epoch_{0};
  std::atomic<std::int64_t> discarded_frames_{0};
  std::mutex write_mutex_;
  mutable std::mutex failure_mutex_;
  platform::MMRESULT failure_code_ = 0;
  std::string failure_text_;
  std::thread thread_;  // last: starts once every other member is ready
};

}  // namespace sound
