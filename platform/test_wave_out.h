// A wave-out device for tests: it keeps a copy of every buffer written to it
// and reports buffers done either at once or when the test says so, and it
// can be told to refuse an operation with a given error text.
//
//   auto device = std::make_unique<platform::TestWaveOut>(TestWaveOut::Completion::OnCommand);
//   auto* dev = device.get();          // keep a view before handing it over
//   sound::TOutSound out(std::move(device));
//   ...  dev->Samples(), dev->Pending(), dev->CompleteOne()
//
// All members may be called from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/wave_out.h"

namespace platform {

class TestWaveOut : public WaveOutDevice {
 public:
  enum class Completion {
    AtOnce,     // every buffer is done as soon as it is written
    OnCommand,  // buffers stay pending until CompleteOne / CompleteAll
  };

  explicit TestWaveOut(Completion mode = Completion::AtOnce);

  void SetCompletion(Completion mode);
  Completion Mode() const;
  // Whether written samples are kept (on by default; benchmarks turn it off).
  void SetKeepSamples(bool keep);

  // From now on the operation fails with an error code whose text is `text`:
  // `code`, or one of the device's own when it is 0. Returns the code.
  MMRESULT FailQuery(std::string text, MMRESULT code = 0);
  MMRESULT FailOpen(std::string text, MMRESULT code = 0);
  MMRESULT FailWrite(std::string text, MMRESULT code = 0);
  MMRESULT FailReset(std::string text, MMRESULT code = 0);
  MMRESULT FailClose(std::string text, MMRESULT code = 0);

  // Every value written, in the order written.
  std::vector<std::int16_t> Samples() const;
  // The values of each written buffer, one entry per Write.
  std::vector<std::vector<std::int16_t>> WrittenBuffers() const;
  int Written() const;  // buffers accepted by Write
  int Pending() const;  // written and not yet reported done
  // Waits until at least `count` buffers have been written; false on timeout.
  bool WaitForWritten(int count,
                      std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

  // Reports the oldest pending buffer done, on the calling thread; false if
  // none is pending.
  bool CompleteOne();
  // Reports every pending buffer done; returns how many.
  int CompleteAll();

  bool IsOpen() const;
  std::uint32_t OpenedDevice() const;  // device number of the last query or open
  WaveFormatEx OpenedFormat() const;   // format of the last query or open
  int Queries() const;
  int Opens() const;
  int Resets() const;
  int Closes() const;
  int Pauses() const;
  int Restarts() const;

  MMRESULT QueryFormat(std::uint32_t device, const WaveFormatEx& format) override;
  MMRESULT Open(HWAVEOUT* handle, std::uint32_t device, const WaveFormatEx& format,
                WaveOutProc callback, std::uintptr_t instance) override;
  MMRESULT PrepareHeader(HWAVEOUT handle, WaveHdr* header) override;
  MMRESULT UnprepareHeader(HWAVEOUT handle, WaveHdr* header) override;
  MMRESULT Write(HWAVEOUT handle, WaveHdr* header) override;
  MMRESULT Reset(HWAVEOUT handle) override;
  MMRESULT Close(HWAVEOUT handle) override;
  std::string GetErrorText(MMRESULT code) const override;
  // Counted only: the buffers complete as the mode says.
  MMRESULT Pause(HWAVEOUT handle) override;
  MMRESULT Restart(HWAVEOUT handle) override;
  // The frames of the buffers reported done: a buffer is heard once it is done.
  std::int64_t PlayedFrames(HWAVEOUT handle) override;

 private:
  enum Op { kQuery, kOpen, kWrite, kReset, kClose, kOps };

  MMRESULT Fail(Op op, std::string text, MMRESULT code);
  HWAVEOUT OwnHandle() const { return reinterpret_cast<HWAVEOUT>(const_cast<TestWaveOut*>(this)); }
  bool ValidHandle(HWAVEOUT handle) const { return open_ && handle == OwnHandle(); }
  // Calls the callback for each header, outside the lock.
  void ReportDone(const std::vector<WaveHdr*>& done);

  mutable std::mutex mutex_;
  mutable std::condition_variable written_cv_;
  Completion mode_;
  bool keep_samples_ = true;
  MMRESULT fail_[kOps] = {};
  std::map<MMRESULT, std::string> texts_;
  MMRESULT next_code_ = 1000;

  bool open_ = false;
  WaveOutProc callback_ = nullptr;
  std::uintptr_t instance_ = 0;
  std::uint32_t device_ = 0;
  WaveFormatEx format_{};
  std::deque<WaveHdr*> pending_;
  std::vector<std::vector<std::int16_t>> buffers_;
  int written_ = 0;
  std::int64_t played_frames_ = 0;
  int queries_ = 0, opens_ = 0, resets_ = 0, closes_ = 0, pauses_ = 0, restarts_ = 0;
};

}  // namespace platform
