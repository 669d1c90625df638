// A RIFF WAVE file image laid down in a byte stream: a fixed 46-byte header
// for a basic wave format, the caller's sound data after it, and the two
// size fields patched from the stream's final size.
#pragma once

#include <array>
#include <cstdint>

#include "platform/wave_out.h"
#include "record/memory_stream.h"

namespace record {

// The basic wave format record, the one the sound devices speak (18 bytes
// on disk, little-endian, no padding).
using WaveFormatEx = platform::WaveFormatEx;

inline constexpr int kWaveFormatExBytes = 18;
inline constexpr int kWaveHeaderBytes = 46;
inline constexpr std::uint16_t kWaveFormatPcm = 1;

std::array<std::uint8_t, kWaveFormatExBytes> SerializeWaveFormat(const WaveFormatEx& format);

class TWaveImage {
 public:
  // The stream is not owned and must outlive the image; nothing is written yet.
  explicit TWaveImage(Stream& ADataStream) : FData(ADataStream) {}

  // Discards what the stream held and writes the header, with the format tag
  // forced to PCM and everything else (cbSize too) copied. Leaves the stream
  // at offset 46, ready for data.
  void InitHeader(WaveFormatEx Wfx);

  // Patches the RIFF size (stream size - 8) and, when there is at least one
  // data byte, the data size (stream size - 46), each as its low 32 bits.
  // Leaves the stream just after the last field written. Does nothing before
  // InitHeader, which has laid down no header to patch.
  void CorretHeader();

  std::uint32_t TotalSizeOffset() const { return FTotalSizeOffset; }
  std::uint32_t DataOffset() const { return FDataOffset; }

 private:
  Stream& FData;
  std::uint32_t FTotalSizeOffset = 0;
  std::uint32_t FDataOffset = 0;
};

}  // namespace record
