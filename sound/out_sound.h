// The sound output component: opens a wave-out device and plays the frames
// it is given, one sendSample per frame. Frames fill a ring of buffers; a
// transfer thread hands each full buffer to the device, and the device's
// buffer-done callback frees it again. When every buffer is filled or still
// playing, sendSample waits for one to come back: that wait is what paces the
// producer to real time.
//
// sendSample and Flush belong to one producer thread; everything else to the
// thread that owns the component.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/wave_out.h"
#include "sound/counting_semaphore.h"
#include "sound/transfer_thread.h"
#include "sound/wave_buffer_ring.h"

namespace sound {

class EOutSound : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class OpenStages {
  DeviceClosed,
  CapabilitiesChecked,  // the device has accepted the format in a query
  DeviceOpen,
  BufferRingCreated,
  TransferThreadCreated,  // samples may be sent
};

// Registered with the device: releases the semaphore given as instance value
// on WOM_DONE, ignores every other message. Runs on the device's thread.
void OutBuffDoneCallback(platform::HWAVEOUT handle, std::uint32_t uMsg, std::uintptr_t dwInstance,
                         platform::WaveHdr* header);

class TOutSound {
 public:
  // nullptr plays on PulseAudio.
  explicit TOutSound(std::unique_ptr<platform::WaveOutDevice> device = nullptr);
  // Closes; an error on the way is written to stderr, never thrown.
  ~TOutSound();
  TOutSound(const TOutSound&) = delete;
  TOutSound& operator=(const TOutSound&) = delete;

  // The setters throw EOutSound "Cannot set soundcard property after
  // initialization." unless stage() is DeviceClosed.
  std::uint32_t Device() const { return FDevice; }  // WAVE_MAPPER: the default output
  void SetDevice(std::uint32_t value);
  std::int32_t SampRate() const { return FSampRate; }
  void SetSampRate(std::int32_t value);
  std::int32_t Channels() const { return FChannels; }
  void SetChannels(std::int32_t value);
  std::int32_t Buffers() const { return FBuffers; }
  void SetBuffers(std::int32_t value);
  // Values per buffer (frames x channels).
  std::int32_t BufferLength() const { return FBufferLength; }
  void SetBufferLength(std::int32_t value);
  platform::HWAVEOUT WaveOutHandle() const { return hWaveOut; }
  OpenStages stage() const { return FStage; }

  // Opens the device and starts the transfer thread. Throws EOutSound with
  // the device's error text when it refuses the format (stage stays
  // DeviceClosed) or cannot be opened (stage stays CapabilitiesChecked).
  void Initialize();
  // Appends one frame (left only in mono). Waits, at the start of a buffer
  // only, until the device gives one back.
  void sendSample(const sample& s);
  // Pads the buffer being filled with silence and hands it over; nothing to
  // do when no buffer is being filled.
  void Flush();
  // Hands the buffer being filled over as it is, without padding: the device
  // gets exactly the frames sent so far, as a pause needs.
  void Submit();

  // Pause and Restart may be called from a handler the producer's pump
  // runs. Pause silences the device at the first gap after what sounds now
  // and keeps the rest; Restart plays on from there. Sending goes on while
  // paused: it waits, without giving up, until Restart frees buffers.
  void Pause();
  void Restart();
  bool Paused() const { return paused_; }
  // Silences the device at once: what is queued is dropped, and so is every
  // frame sent from now on until Rearm (the rest of the note being
  // rendered). A producer waiting for a buffer returns at once. Safe from a
  // handler the producer's pump runs.
  void Abort();
  // Sending plays again after an Abort.
  void Rearm();
  bool Aborted() const { return discarding_; }
  // Whether sound can be sent: open, the transfer thread healthy and the
  // device's stream not lost. When false, Close and Initialize again.
  bool Usable();
  // Called every few milliseconds while sendSample waits for a buffer, so
  // the window stays responsive and a click can Pause or Abort.
  void SetWaitPump(std::function<void()> pump) { wait_pump_ = std::move(pump); }
  // Tear-down: stops the transfer thread, resets and closes the device,
  // releases the semaphores and the ring, and returns to DeviceClosed. Throws
  // EOutSound with the device's text when the reset or close fails; the
  // steps done so far stay done and Close may be called again.
  void Close();

  // How long sendSample waits for a buffer, pause not counted, before it
  // gives up (4 s unless a test says otherwise).
  void SetProducerTimeout(std::chrono::milliseconds timeout) { producer_timeout_ = timeout; }
  std::chrono::milliseconds ProducerTimeout() const { return producer_timeout_; }
  platform::WaveOutDevice& WaveOut() { return *device_; }
  // Position of the next value in the buffer being filled; 0 when none is.
  std::int32_t BuffIndex() const { return buffindex; }
  // Whether the transfer thread got the raised priority it asks for.
  bool TransferPriorityRaised() const;

  // Frames handed to the device since Initialize: whole buffers, Flush's
  // padding included; the buffer being filled is not counted yet, nor are
  // buffers an Abort took back before the device got them.
  std::int64_t FramesQueued() const;
  // Of those, the frames heard so far, as the device reports them; where it
  // cannot tell, every queued frame counts as heard.
  std::int64_t FramesPlayed();
  // Calls pump until every frame queued so far has been heard, or limit has
  // passed; true when it has all been heard.
  bool WaitUntilPlayed(std::chrono::milliseconds limit, const std::function<void()>& pump);

 private:
  [[noreturn]] void RaiseDeviceError(platform::MMRESULT code);
  // False when an Abort came while waiting.
  bool StartBuffer();
  void HandOver(std::int32_t values);
  // Throws EOutSound with the reason the transfer thread failed, if it did.
  void CheckTransfer();
  void RequireClosed() const;

  std::uint32_t FDevice = platform::WAVE_MAPPER;
  std::int32_t FSampRate = 44100;
  std::int32_t FChannels = 1;
  std::int32_t FBuffers = 3;
  std::int32_t FBufferLength = 20000;
  std::unique_ptr<CountingSemaphore> hSemOutBuffEmpty;
  std::unique_ptr<CountingSemaphore> hSemOutBuffFull;
  platform::HWAVEOUT hWaveOut = nullptr;
  std::unique_ptr<WaveBuffRing> BufferRing;
  std::int32_t buffindex = 0;
  std::unique_ptr<OutTransferThread> TransferThread;
  OpenStages FStage = OpenStages::DeviceClosed;
  std::array<char, platform::MAXERRORLENGTH> errmsg{};

  std::chrono::milliseconds producer_timeout_{std::chrono::seconds(4)};
  std::int64_t frames_queued_ = 0;
  std::function<void()> wait_pump_;
  bool paused_ = false;
  bool discarding_ = false;
  std::uint32_t epoch_ = 0;  // stamped on each buffer; Abort moves it on
  std::int64_t discarded_before_close_ = 0;
  std::unique_ptr<platform::WaveOutDevice> device_;
};

}  // namespace sound
