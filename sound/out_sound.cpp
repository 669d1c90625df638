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
  FStage = OpenStages::DeviceOpen;

  BufferRing = std::make_unique<WaveBuffRing>(FBuffers, FBufferLength);
  FStage = OpenStages::BufferRingCreated;

  buffindex = 0;
  TransferThread = std::make_unique<OutTransferThread>(hSemOutBuffFull.get(), *device_, hWaveOut,
                                                       BufferRing.get(), hSemOutBuffEmpty.get());
  FStage = OpenStages::TransferThreadCreated;
}

void TOutSound::CheckTransfer() {
  if (!TransferThread->Failed()) return;
  if (const platform::MMRESULT code = TransferThread->FailureCode()) RaiseDeviceError(code);
  throw EOutSound(TransferThread->FailureText());
}

void TOutSound::StartBuffer() {
  CheckTransfer();
  if (!hSemOutBuffEmpty->TryAcquireFor(producer_timeout_))
    throw EOutSound("The sound device stopped accepting sound: no buffer came back within " +
                    platform::DurationText(producer_timeout_) + ".");
  if (TransferThread->Failed()) {
    // The failure came while we waited; the buffer stays free.
    hSemOutBuffEmpty->Release();
    CheckTransfer();
  }
}

void TOutSound::HandOver() {
  frames_queued_ += FBufferLength / FChannels;
  BufferRing->GetandMoveTail();
  hSemOutBuffFull->Release();
  buffindex = 0;
}

void TOutSound::sendSample(const sample& s) {
  if (FStage != OpenStages::TransferThreadCreated) [[unlikely]]
    throw EOutSound(kSendBeforeThread);
  if (buffindex == 0) [[unlikely]]
    StartBuffer();
  BufferRing->PutValue(buffindex, s.left);
  ++buffindex;
  if (FChannels == 2) {
    BufferRing->PutValue(buffindex, s.right);
    ++buffindex;
  }
  if (buffindex == FBufferLength) [[unlikely]]
    HandOver();
}

void TOutSound::Flush() {
  if (buffindex == 0) return;
  CheckTransfer();
  std::fill_n(BufferRing->Tail()->element(buffindex), FBufferLength - buffindex, std::int16_t{0});
  HandOver();
}

std::int64_t TOutSound::FramesPlayed() {
  if (FStage < OpenStages::DeviceOpen) return frames_queued_;
  const std::int64_t played = device_->PlayedFrames(hWaveOut);
  return played < 0 ? frames_queued_ : std::min(played, frames_queued_);
}

bool TOutSound::WaitUntilPlayed(std::chrono::milliseconds limit, const std::function<void()>& pump) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  const std::int64_t target = frames_queued_;
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
