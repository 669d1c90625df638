#include "sound/transfer_thread.h"

#include "platform/thread_priority.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace sound {

OutTransferThread::OutTransferThread(CountingSemaphore* hS, platform::WaveOutDevice& device,
                                     platform::HWAVEOUT hW, WaveBuffRing* BR,
                                     CountingSemaphore* hSemEmpty, int channels)
    : hSemOutBuffFull(hS),
      hWaveOut(hW),
      BufferRing(BR),
      device_(device),
      hSemOutBuffEmpty(hSemEmpty),
      channels_(channels),
      thread_([this] { Execute(); }) {}

OutTransferThread::~OutTransferThread() {
  Terminate();
  WaitFor();
}

void OutTransferThread::Terminate() {
  terminated_.store(true, std::memory_order_release);
  // Fails harmlessly at the maximum: the loop then does not block anyway.
  hSemOutBuffFull->Release();
}

void OutTransferThread::WaitFor() {
  if (thread_.joinable()) thread_.join();
}

platform::MMRESULT OutTransferThread::FailureCode() const {
  std::lock_guard lock(failure_mutex_);
  return failure_code_;
}

std::string OutTransferThread::FailureText() const {
  std::lock_guard lock(failure_mutex_);
  return failure_text_;
}

void OutTransferThread::Record(platform::MMRESULT code, std::string text) {
  std::lock_guard lock(failure_mutex_);
  if (failed_.load(std::memory_order_relaxed)) return;  // the first failure tells most
  failure_code_ = code;
  failure_text_ = std::move(text);
  failed_.store(true, std::memory_order_release);
}

void OutTransferThread::Execute() {
  priority_raised_.store(platform::RaiseThreadPriority(), std::memory_order_release);
  for (;;) {
    hSemOutBuffFull->Acquire();
    // Tested right after the wait: the wake-up of Terminate carries no buffer.
    if (Terminated()) return;
    // Nothing may escape the thread; a failure is kept for the producer.
    bool taken = false;
    try {
      WaveBuff* buff = BufferRing->GetandMoveHead();
      taken = true;
      platform::WaveHdr* header = buff->GetHdr();
      std::lock_guard lock(write_mutex_);
      if (static_cast<std::uint32_t>(header->dwUser) < accept_from_epoch_.load(std::memory_order_acquire)) {
        discarded_frames_.fetch_add(header->dwBufferLength / 2 / channels_, std::memory_order_acq_rel);
        taken = false;
        hSemOutBuffEmpty->Release();
        continue;
      }
      // Undoes the preparation of the buffer's previous trip.
      device_.UnprepareHeader(hWaveOut, header);
      device_.PrepareHeader(hWaveOut, header);
      if (Terminated()) return;
      const platform::MMRESULT r = device_.Write(hWaveOut, header);
      taken = false;
      if (r != platform::MMSYSERR_NOERROR) {
        Record(r, {});
        // The device will never report this buffer done: free it here.
        hSemOutBuffEmpty->Release();
      }
    } catch (const std::exception& e) {
      Record(platform::MMSYSERR_NOERROR, e.what());
      if (taken) hSemOutBuffEmpty->Release();
    } catch (...) {
      Record(platform::MMSYSERR_NOERROR, "The sound transfer failed.");
      if (taken) hSemOutBuffEmpty->Release();
    }
  }
}

}  // namespace sound
