#include "sound/wave_buffer_ring.h"

namespace sound {

WaveBuff::WaveBuff(std::int32_t NSmallInt)
    : size(NSmallInt),
      p(std::make_unique_for_overwrite<std::int16_t[]>(static_cast<std::size_t>(NSmallInt))) {
  h.lpData = reinterpret_cast<char*>(p.get());
  h.dwBufferLength = static_cast<std::uint32_t>(NSmallInt) * 2u;
  h.dwFlags = 0;
  h.dwLoops = 0;
}

WaveBuffRing::WaveBuffRing(std::int32_t Rlength, std::int32_t Blength) : FRingLength(Rlength) {
  if (Rlength < 1) throw std::invalid_argument("A WaveBuffRing needs at least one buffer.");
  if (Blength < 0) throw std::invalid_argument("A WaveBuffRing buffer cannot have a negative length.");
  blocks_.reserve(static_cast<std::size_t>(Rlength));
  for (std::int32_t i = 0; i < Rlength; ++i) {
    blocks_.push_back(std::make_unique<WaveBuff>(Blength));
    if (i > 0) blocks_[i - 1]->SetNextPtr(blocks_[i].get());
  }
  blocks_.back()->SetNextPtr(blocks_.front().get());
  FHead = FTail = blocks_.front().get();
}

void WaveBuffRing::Refuse(Guard guard) {
  switch (guard) {
    case kGetValue:
      throw EWaveBuffRing("Attempt to GetValue when WaveBuffRing empty.");
    case kPutValue:
      throw EWaveBuffRing("Attempt to PutValue when WaveBuffRing full.");
    case kMoveHead:
      throw EWaveBuffRing("Attempt to GetandMoveHead when WaveBuffRing empty.");
    case kMoveTail:
      break;
  }
  throw EWaveBuffRing("Attempt to GetandMoveTail when WaveBuffRing full.");
}

void WaveBuffRing::GetValue(std::int32_t index, std::int16_t& value) const {
  if (Nring.load(std::memory_order_relaxed) <= 0) Refuse(kGetValue);
  value = *FHead->element(index);
}

WaveBuff* WaveBuffRing::GetandMoveTail() {
  if (Nring.load(std::memory_order_relaxed) >= FRingLength) Refuse(kMoveTail);
  WaveBuff* handed = FTail;
  FTail = FTail->NextPtr();
  Nring.fetch_add(1, std::memory_order_acq_rel);
  return handed;
}

WaveBuff* WaveBuffRing::GetandMoveHead() {
  if (Nring.load(std::memory_order_relaxed) <= 0) Refuse(kMoveHead);
  WaveBuff* taken = FHead;
  FHead = FHead->NextPtr();
  Nring.fetch_sub(1, std::memory_order_acq_rel);
  return taken;
}

}  // namespace sound
