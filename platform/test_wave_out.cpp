#include "platform/test_wave_out.h"

#include <cstring>
#include <utility>

namespace platform {

TestWaveOut::TestWaveOut(Completion mode) : mode_(mode) {}

void TestWaveOut::SetCompletion(Completion mode) {
  std::lock_guard lock(mutex_);
  mode_ = mode;
}

TestWaveOut::Completion TestWaveOut::Mode() const {
  std::lock_guard lock(mutex_);
  return mode_;
}

void TestWaveOut::SetKeepSamples(bool keep) {
  std::lock_guard lock(mutex_);
  keep_samples_ = keep;
}

MMRESULT TestWaveOut::Fail(Op op, std::string text, MMRESULT code) {
  std::lock_guard lock(mutex_);
  if (code == MMSYSERR_NOERROR) code = next_code_++;
  texts_[code] = std::move(text);
  fail_[op] = code;
  return code;
}

MMRESULT TestWaveOut::FailQuery(std::string text, MMRESULT code) { return Fail(kQuery, std::move(text), code); }
MMRESULT TestWaveOut::FailOpen(std::string text, MMRESULT code) { return Fail(kOpen, std::move(text), code); }
MMRESULT TestWaveOut::FailWrite(std::string text, MMRESULT code) { return Fail(kWrite, std::move(text), code); }
MMRESULT TestWaveOut::FailReset(std::string text, MMRESULT code) { return Fail(kReset, std::move(text), code); }
MMRESULT TestWaveOut::FailClose(std::string text, MMRESULT code) { return Fail(kClose, std::move(text), code); }

std::vector<std::int16_t> TestWaveOut::Samples() const {
  std::lock_guard lock(mutex_);
  std::vector<std::int16_t> all;
  for (const auto& b : buffers_) all.insert(all.end(), b.begin(), b.end());
  return all;
}

std::vector<std::vector<std::int16_t>> TestWaveOut::WrittenBuffers() const {
  std::lock_guard lock(mutex_);
  return buffers_;
}

int TestWaveOut::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

int TestWaveOut::Pending() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(pending_.size());
}

bool TestWaveOut::WaitForWritten(int count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return written_cv_.wait_for(lock, timeout, [&] { return written_ >= count; });
}

bool TestWaveOut::IsOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

std::uint32_t TestWaveOut::OpenedDevice() const {
  std::lock_guard lock(mutex_);
  return device_;
}

WaveFormatEx TestWaveOut::OpenedFormat() const {
  std::lock_guard lock(mutex_);
  return format_;
}

int TestWaveOut::Queries() const {
  std::lock_guard lock(mutex_);
  return queries_;
}

int TestWaveOut::Opens() const {
  std::lock_guard lock(mutex_);
  return opens_;
}

int TestWaveOut::Resets() const {
  std::lock_guard lock(mutex_);
  return resets_;
}

int TestWaveOut::Closes() const {
  std::lock_guard lock(mutex_);
  return closes_;
}

void TestWaveOut::ReportDone(const std::vector<WaveHdr*>& done) {
  WaveOutProc callback;
  std::uintptr_t instance;
  {
    std::lock_guard lock(mutex_);
    callback = callback_;
    instance = instance_;
  }
  if (callback == nullptr) return;
  for (WaveHdr* h : done) callback(OwnHandle(), WOM_DONE, instance, h);
}

bool TestWaveOut::CompleteOne() {
  WaveHdr* h;
  {
    std::lock_guard lock(mutex_);
    if (pending_.empty()) return false;
    h = pending_.front();
    pending_.pop_front();
    if (format_.nBlockAlign != 0) played_frames_ += h->dwBufferLength / format_.nBlockAlign;
    h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
  }
  ReportDone({h});
  return true;
}

int TestWaveOut::CompleteAll() {
  int n = 0;
  while (CompleteOne()) ++n;
  return n;
}

MMRESULT TestWaveOut::QueryFormat(std::uint32_t device, const WaveFormatEx& format) {
  std::lock_guard lock(mutex_);
  ++queries_;
  device_ = device;
  format_ = format;
  return fail_[kQuery];
}

MMRESULT TestWaveOut::Open(HWAVEOUT* handle, std::uint32_t device, const WaveFormatEx& format,
                           WaveOutProc callback, std::uintptr_t instance) {
  if (handle == nullptr) return MMSYSERR_INVALPARAM;
  {
    std::lock_guard lock(mutex_);
    ++opens_;
    device_ = device;
    format_ = format;
    if (fail_[kOpen] != MMSYSERR_NOERROR) return fail_[kOpen];
    if (open_) return MMSYSERR_INVALPARAM;  // one stream at a time
    open_ = true;
    played_frames_ = 0;
    callback_ = callback;
    instance_ = instance;
    *handle = OwnHandle();
  }
  if (callback != nullptr) callback(OwnHandle(), WOM_OPEN, instance, nullptr);
  return MMSYSERR_NOERROR;
}

MMRESULT TestWaveOut::PrepareHeader(HWAVEOUT handle, WaveHdr* header) {
  std::lock_guard lock(mutex_);
  if (!ValidHandle(handle)) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT TestWaveOut::UnprepareHeader(HWAVEOUT handle, WaveHdr* header) {
  std::lock_guard lock(mutex_);
  if (!ValidHandle(handle)) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT TestWaveOut::Write(HWAVEOUT handle, WaveHdr* header) {
  {
    std::lock_guard lock(mutex_);
    if (!ValidHandle(handle)) return MMSYSERR_INVALHANDLE;
    if (header == nullptr) return MMSYSERR_INVALPARAM;
    if (fail_[kWrite] != MMSYSERR_NOERROR) return fail_[kWrite];
    if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    if (keep_samples_) {
      std::vector<std::int16_t> copy(header->dwBufferLength / sizeof(std::int16_t));
      if (!copy.empty()) std::memcpy(copy.data(), header->lpData, copy.size() * sizeof(std::int16_t));
      buffers_.push_back(std::move(copy));
    }
    ++written_;
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    pending_.push_back(header);
    written_cv_.notify_all();
    if (mode_ == Completion::OnCommand) return MMSYSERR_NOERROR;
  }
  CompleteOne();
  return MMSYSERR_NOERROR;
}

MMRESULT TestWaveOut::Reset(HWAVEOUT handle) {
  {
    std::lock_guard lock(mutex_);
    if (!ValidHandle(handle)) return MMSYSERR_INVALHANDLE;
    ++resets_;
    if (fail_[kReset] != MMSYSERR_NOERROR) return fail_[kReset];
  }
  CompleteAll();
  return MMSYSERR_NOERROR;
}

MMRESULT TestWaveOut::Close(HWAVEOUT handle) {
  WaveOutProc callback;
  std::uintptr_t instance;
  {
    std::lock_guard lock(mutex_);
    if (!ValidHandle(handle)) return MMSYSERR_INVALHANDLE;
    ++closes_;
    if (fail_[kClose] != MMSYSERR_NOERROR) return fail_[kClose];
    if (!pending_.empty()) return WAVERR_STILLPLAYING;
    callback = callback_;
    instance = instance_;
    open_ = false;
    callback_ = nullptr;
  }
  if (callback != nullptr) callback(OwnHandle(), WOM_CLOSE, instance, nullptr);
  return MMSYSERR_NOERROR;
}

int TestWaveOut::Pauses() const {
  std::lock_guard lock(mutex_);
  return pauses_;
}

int TestWaveOut::Restarts() const {
  std::lock_guard lock(mutex_);
  return restarts_;
}

MMRESULT TestWaveOut::Pause(HWAVEOUT handle) {
  std::lock_guard lock(mutex_);
  if (!ValidHandle(handle)) return MMSYSERR_INVALHANDLE;
  ++pauses_;
  return MMSYSERR_NOERROR;
}

MMRESULT TestWaveOut::Restart(HWAVEOUT handle) {
  std::lock_guard lock(mutex_);
  if (!ValidHandle(handle)) return MMSYSERR_INVALHANDLE;
  ++restarts_;
  return MMSYSERR_NOERROR;
}

std::int64_t TestWaveOut::PlayedFrames(HWAVEOUT handle) {
  std::lock_guard lock(mutex_);
  return ValidHandle(handle) ? played_frames_ : -1;
}

std::string TestWaveOut::GetErrorText(MMRESULT code) const {
  {
    std::lock_guard lock(mutex_);
    if (auto it = texts_.find(code); it != texts_.end()) return BoundErrorText(it->second);
  }
  if (auto common = CommonErrorText(code); !common.empty()) return std::string(common);
  return "Unknown sound output error " + std::to_string(code) + ".";
}

}  // namespace platform
