// Fixed-size blocks of 16-bit sound values, each with the header the device
// is given, linked into a closed ring. One thread fills blocks at the Tail and
// hands them over; one other thread takes them at the Head. The ring only
// keeps their order and the count in between, and refuses moves that would
// overrun it; all waiting is its owner's business.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/wave_out.h"

namespace sound {

// One frame; in mono only `left` is used.
struct sample {
  std::int16_t left;
  std::int16_t right;
};
static_assert(sizeof(sample) == 4);

using DataP = std::int16_t*;

class EWaveBuffRing : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class WaveBuff {
 public:
  // `NSmallInt` values, not cleared.
  explicit WaveBuff(std::int32_t NSmallInt);
  WaveBuff(const WaveBuff&) = delete;
  WaveBuff& operator=(const WaveBuff&) = delete;

  WaveBuff* NextPtr() const { return next; }
  void SetNextPtr(WaveBuff* buff) { next = buff; }
  void* Buffer() const { return p.get(); }
  platform::WaveHdr* Header() { return GetHdr(); }

  std::int32_t Size() const { return size; }
  // No bound test: the caller keeps index within 0 .. Size() - 1.
  DataP element(std::int32_t index) const { return p.get() + index; }
  platform::WaveHdr* GetHdr() { return &h; }

 private:
  std::int32_t size;
  WaveBuff* next = nullptr;  // not owned
  platform::WaveHdr h;
  std::unique_ptr<std::int16_t[]> p;
};

class WaveBuffRing {
 public:
  // Rlength blocks of Blength values. Throws std::invalid_argument for
  // Rlength < 1 or Blength < 0.
  WaveBuffRing(std::int32_t Rlength, std::int32_t Blength);
  WaveBuffRing(const WaveBuffRing&) = delete;
  WaveBuffRing& operator=(const WaveBuffRing&) = delete;

  std::int32_t RingLength() const { return FRingLength; }
  std::int32_t NumInRing() const { return Nring.load(std::memory_order_acquire); }
  void SetNumInRing(std::int32_t n) { Nring.store(n, std::memory_order_release); }
  WaveBuff* Head() const { return FHead; }
  WaveBuff* Tail() const { return FTail; }

  // Producer side: value number `index` of the Tail block.
  void PutValue(std::int32_t index, const std::int16_t& value) {
    // Only the consumer changes Nring meanwhile, and only downwards.
    if (Nring.load(std::memory_order_relaxed) >= FRingLength) Refuse(kPutValue);
    *FTail->element(index) = value;
  }
  // Consumer side: value number `index` of the Head block.
  void GetValue(std::int32_t index, std::int16_t& value) const;

  // Hands the Tail block over and moves on to the next one.
  WaveBuff* GetandMoveTail();
  // Takes the oldest handed-over block.
  WaveBuff* GetandMoveHead();

 private:
  enum Guard { kGetValue, kPutValue, kMoveHead, kMoveTail };
  [[noreturn]] static void Refuse(Guard guard);

  std::int32_t FRingLength;
  std::atomic<std::int32_t> Nring{0};
  WaveBuff* FHead = nullptr;
  WaveBuff* FTail = nullptr;
  std::vector<std::unique_ptr<WaveBuff>> blocks_;  // owns each block once
};

}  // namespace sound
