#include "record/wave_image.h"

namespace record {

namespace {

void WriteTag(Stream& stream, const char (&tag)[5]) { stream.Write(tag, 4); }

void WriteU32(Stream& stream, std::uint32_t value) {
  const std::uint8_t bytes[4] = {
      static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
      static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  stream.Write(bytes, sizeof bytes);
}

void PutU16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(std::uint8_t* at, std::uint32_t value) {
  PutU16(at, static_cast<std::uint16_t>(value));
  PutU16(at + 2, static_cast<std::uint16_t>(value >> 16));
}

}  // namespace

std::array<std::uint8_t, kWaveFormatExBytes> SerializeWaveFormat(const WaveFormatEx& format) {
  std::array<std::uint8_t, kWaveFormatExBytes> bytes{};
  PutU16(&bytes[0], format.wFormatTag);
  PutU16(&bytes[2], format.nChannels);
  PutU32(&bytes[4], format.nSamplesPerSec);
  PutU32(&bytes[8], format.nAvgBytesPerSec);
  PutU16(&bytes[12], format.nBlockAlign);
  PutU16(&bytes[14], format.wBitsPerSample);
  PutU16(&bytes[16], format.cbSize);
  return bytes;
}

void TWaveImage::InitHeader(WaveFormatEx Wfx) {
  // Only the basic record is written, so an extensible format is recorded as
  // plain PCM; its cbSize still says 22, as the original images do.
  Wfx.wFormatTag = kWaveFormatPcm;
  FData.Seek(0);
  FData.SetSize(0);
  WriteTag(FData, "RIFF");
  FTotalSizeOffset = static_cast<std::uint32_t>(FData.Position());
  WriteU32(FData, 0);
  WriteTag(FData, "WAVE");
  WriteTag(FData, "fmt ");
  WriteU32(FData, kWaveFormatExBytes);
  const auto format = SerializeWaveFormat(Wfx);
  FData.Write(format.data(), format.size());
  WriteTag(FData, "data");
  FDataOffset = static_cast<std::uint32_t>(FData.Position());
  WriteU32(FData, 0);
}

void TWaveImage::CorretHeader() {
  if (FDataOffset == 0) return;  // no header laid down yet
  const std::int64_t size = FData.Size();
  if (size > std::int64_t{FTotalSizeOffset} + 4) {
    FData.Seek(FTotalSizeOffset);
    WriteU32(FData, static_cast<std::uint32_t>(size - 8));
  }
  if (size > std::int64_t{FDataOffset} + 4) {
    FData.Seek(FDataOffset);
    WriteU32(FData, static_cast<std::uint32_t>(size - FDataOffset - 4));
  }
}

}  // namespace record
