#include "sound/transfer_thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <utility>

namespace sound {

namespace {

// Above every ordinary thread, well below the kernel's own real-time work.
constexpr int kRealTimePriority = 10;
constexpr int kNiceFallback = -10;

// Asks for real-time scheduling, else for a better nice value; either may be
// refused without harm, the thread then just runs at normal priority.
bool RaisePriority() {
  sched_param param{};
  param.sched_priority = std::min(kRealTimePriority, sched_get_priority_max(SCHED_FIFO));
  if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0) return true;
  return setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kNiceFallback) == 0;
}

}  // namespace

OutTransferThread::OutTransferThread(CountingSemaphore* hS, platform::WaveOutDevice& device,
                                     platform::HWAVEOUT hW, WaveBuffRing* BR,
                                     CountingSemaphore* hSemEmpty)
    : hSemOutBuffFull(hS),
      hWaveOut(hW),
      BufferRing(BR),
      device_(device),
      hSemOutBuffEmpty(hSemEmpty),
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
  priority_raised_.store(RaisePriority(), std::memory_order_release);
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
