#include "sound/out_sound.h"

#include <algorithm>
#include <thread>
#include <cstdio>
#include <cstring>
#include <exception>
#include <utility>

#include "platform/wave_out_pulse.h"

namespace sound {

namespace {

constexpr const char* kSetAfterInit = "Cannot set soundcard property after initialization.";
constexpr const char* kReinit = "Cannot reinitialize sound output device";
constexpr const char* kSendBeforeThread =
    "Cannot send sample until output transfer thread has been created.";

}  // namespace

void OutBuffDoneCallback(platform::HWAVEOUT, std::uint32_t uMsg, std::uintptr_t dwInstance,
                         platform::WaveHdr*) {
  if (uMsg == platform::WOM_DONE) reinterpret_cast<CountingSemaphore*>(dwInstance)->Release();
}

TOutSound::TOutSound(std::unique_ptr<platform::WaveOutDevice> device)
    : device_(device ? std::move(device) : std::make_unique<platform::PulseWaveOut>()) {}

TOutSound::~TOutSound() {
  try {
    Close();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Sound output tear-down failed: %s\n", e.what());
  }
  // Whatever Close left undone: the thread goes before the device it
  // writes to, the device (and its callbacks) before the semaphores and ring.
  TransferThread.reset();
  device_.reset();
}

void TOutSound::RequireClosed() const {
  if (FStage != OpenStages::DeviceClosed) throw EOutSound(kSetAfterInit);
}

void TOutSound::SetDevice(std::uint32_t value) {
  RequireClosed();
  FDevice = value;
}

void TOutSound::SetSampRate(std::int32_t value) {
  RequireClosed();
  FSampRate = value;
}

void TOutSound::SetChannels(std::int32_t value) {
  RequireClosed();
  FChannels = value;
}

void TOutSound::SetBuffers(std::int32_t value) {
  RequireClosed();
  FBuffers = value;
}

void TOutSound::SetBufferLength(std::int32_t value) {
  RequireClosed();
  FBufferLength = value;
}

bool TOutSound::TransferPriorityRaised() const {
  return TransferThread != nullptr && TransferThread->PriorityRaised();
}

void TOutSound::RaiseDeviceError(platform::MMRESULT code) {
  std::string text = device_->GetErrorText(code);
  if (text.empty()) text = "Sound output error " + std::to_string(code) + ".";
  const std::size_t n = std::min(text.size(), errmsg.size() - 1);
  std::memcpy(errmsg.data(), text.data(), n);
  errmsg[n] = '\0';
  throw EOutSound(errmsg.data());
}

void TOutSound::Initialize() {
  if (FStage != OpenStages::DeviceClosed) throw EOutSound(kReinit);
  // The end of a buffer is found by equality, so a length the frames do not
  // fill exactly would run past it.
  if (FBuffers < 1) throw EOutSound("The number of sound buffers must be at least 1.");
  if (FBufferLength < 1 || (FChannels == 2 && FBufferLength % 2 != 0))
    throw EOutSound("The sound buffer length must be a positive multiple of the channel count.");

  platform::WaveFormatEx format;
  format.wFormatTag = platform::WAVE_FORMAT_PCM;
  format.nChannels = static_cast<std::uint16_t>(FChannels);
  format.nSamplesPerSec = static_cast<std::uint32_t>(FSampRate);
  format.nAvgBytesPerSec = static_cast<std::uint32_t>(FSampRate) * static_cast<std::uint32_t>(FChannels) * 2u;
  format.nBlockAlign = static_cast<std::uint16_t>(FChannels * 2);
  format.wBitsPerSample = 16;
  format.cbSize = 0;

  if (const platform::MMRESULT r = device_->QueryFormat(FDevice, format)) RaiseDeviceError(r);
  FStage = OpenStages::CapabilitiesChecked;

  hSemOutBuffEmpty = std::make_unique<CountingSemaphore>(FBuffers, FBuffers);
  hSemOutBuffFull = std::make_unique<CountingSemaphore>(0, FBuffers);
  platform::HWAVEOUT handle = nullptr;
  if (const platform::MMRESULT r =
          device_->Open(&handle, FDevice, format, &OutBuffDoneCallback,
                        reinterpret_cast<std::uintptr_t>(hSemOutBuffEmpty.get()))) {
    // Nothing will ever wait on them.
    hSemOutBuffEmpty.reset();
    hSemOutBuffFull.reset();
    RaiseDeviceError(r);
  }
  hWaveOut = handle;
  frames_queued_ = 0;
  discarded_before_close_ = 0;
  FStage = OpenStages::DeviceOpen;

  BufferRing = std::make_unique<WaveBuffRing>(FBuffers, FBufferLength);
  FStage = OpenStages::BufferRingCreated;

  buffindex = 0;
  paused_ = false;
  discarding_ = false;
  TransferThread = std::make_unique<OutTransferThread>(hSemOutBuffFull.get(), *device_, hWaveOut,
                                                       BufferRing.get(), hSemOutBuffEmpty.get(), FChannels);
  FStage = OpenStages::TransferThreadCreated;
}

void TOutSound::CheckTransfer() {
  if (!TransferThread->Failed()) return;
  if (const platform::MMRESULT code = TransferThread->FailureCode()) RaiseDeviceError(code);
  throw EOutSound(TransferThread->FailureText());
}

bool TOutSound::StartBuffer() {
  CheckTransfer();
  // Waits in short slices, pumping in between: a click must still reach
  // Pause, Abort or Close while the device holds every buffer.
  constexpr auto kSlice = std::chrono::milliseconds(5);
  auto waited = std::chrono::steady_clock::duration::zero();
  for (;;) {
    const auto start = std::chrono::steady_clock::now();
    if (hSemOutBuffEmpty->TryAcquireFor(kSlice)) break;
    if (wait_pump_) wait_pump_();
    if (discarding_) return false;
    CheckTransfer();
    // A paused device keeps its buffers as long as the pause lasts.
    if (!paused_) waited += std::chrono::steady_clock::now() - start;
    if (waited >= producer_timeout_)
      throw EOutSound("The sound output stopped taking sound: nothing was played for " +
                      platform::DurationText(producer_timeout_) +
                      ". If the sound server (PulseAudio or PipeWire) hangs, restart it, then press "
                      "Send Text again.");
  }
  if (TransferThread->Failed()) {
    // The failure came while we waited; the buffer stays free.
    hSemOutBuffEmpty->Release();
    CheckTransfer();
  }
  return true;
}

void TOutSound::HandOver(std::int32_t values) {
  platform::WaveHdr* header = BufferRing->Tail()->GetHdr();
  header->dwBufferLength = static_cast<std::uint32_t>(values) * 2u;
  header->dwUser = epoch_;
  frames_queued_ += values / FChannels;
  BufferRing->GetandMoveTail();
  hSemOutBuffFull->Release();
  buffindex = 0;
}

void TOutSound::sendSample(const sample& s) {
  if (FStage != OpenStages::TransferThreadCreated) [[unlikely]]
    throw EOutSound(kSendBeforeThread);
  if (discarding_) [[unlikely]]
    return;
  if (buffindex == 0) [[unlikely]] {
    if (!StartBuffer()) return;
  }
  BufferRing->PutValue(buffindex, s.left);
  ++buffindex;
  if (FChannels == 2) {
    BufferRing->PutValue(buffindex, s.right);
    ++buffindex;
  }
  if (buffindex == FBufferLength) [[unlikely]]
    HandOver(FBufferLength);
}

void TOutSound::Flush() {
  if (buffindex == 0 || discarding_) return;
  CheckTransfer();
  std::fill_n(BufferRing->Tail()->element(buffindex), FBufferLength - buffindex, std::int16_t{0});
  HandOver(FBufferLength);
}

void TOutSound::Submit() {
  if (buffindex == 0 || discarding_) return;
  CheckTransfer();
  HandOver(buffindex);
}

void TOutSound::Pause() {
  if (FStage != OpenStages::TransferThreadCreated || paused_) return;
  paused_ = true;
  if (const platform::MMRESULT r = device_->Pause(hWaveOut)) RaiseDeviceError(r);
}

void TOutSound::Restart() {
  if (FStage != OpenStages::TransferThreadCreated || !paused_) return;
  paused_ = false;
  if (const platform::MMRESULT r = device_->Restart(hWaveOut)) RaiseDeviceError(r);
}

void TOutSound::Abort() {
  if (FStage != OpenStages::TransferThreadCreated) return;
  discarding_ = true;
  paused_ = false;
  if (buffindex > 0) {
    // The buffer being filled was never handed over: its slot is free again.
    hSemOutBuffEmpty->Release();
    buffindex = 0;
  }
  ++epoch_;
  platform::MMRESULT r = platform::MMSYSERR_NOERROR;
  TransferThread->DiscardHandedOver(epoch_, [&] { r = device_->Reset(hWaveOut); });
  if (r != platform::MMSYSERR_NOERROR) RaiseDeviceError(r);
}

void TOutSound::Rearm() { discarding_ = false; }

bool TOutSound::Usable() {
  return FStage == OpenStages::TransferThreadCreated && !TransferThread->Failed() &&
         device_->StreamStatus(hWaveOut) == platform::MMSYSERR_NOERROR;
}

std::int64_t TOutSound::FramesQueued() const {
  return frames_queued_ - (TransferThread ? TransferThread->DiscardedFrames() : discarded_before_close_);
}

std::int64_t TOutSound::FramesPlayed() {
  const std::int64_t queued = FramesQueued();
  if (FStage < OpenStages::DeviceOpen) return queued;
  const std::int64_t played = device_->PlayedFrames(hWaveOut);
  return played < 0 ? queued : std::min(played, queued);
}

bool TOutSound::WaitUntilPlayed(std::chrono::milliseconds limit, const std::function<void()>& pump) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  const std::int64_t target = FramesQueued();
  while (FramesPlayed() < target) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (pump) pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void TOutSound::Close() {
  if (FStage >= OpenStages::DeviceOpen) {
    if (TransferThread) {
      TransferThread->Terminate();
      TransferThread->WaitFor();
      discarded_before_close_ = TransferThread->DiscardedFrames();
      TransferThread.reset();
    }
    // Without the thread no sample can be sent any more.
    if (FStage == OpenStages::TransferThreadCreated) FStage = OpenStages::BufferRingCreated;
    buffindex = 0;
    if (const platform::MMRESULT r = device_->Reset(hWaveOut)) RaiseDeviceError(r);
    if (const platform::MMRESULT r = device_->Close(hWaveOut)) RaiseDeviceError(r);
    hWaveOut = nullptr;
    hSemOutBuffEmpty.reset();
    hSemOutBuffFull.reset();
  }
  BufferRing.reset();
  FStage = OpenStages::DeviceClosed;
}

}  // namespace sound
