// The renderer's WAV output: the samples of a text as a RIFF WAVE image
// (16-bit mono PCM, 44100 Hz) streamed into a byte stream, a file or a pipe.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "morse/render.h"
#include "record/memory_stream.h"
#include "record/wave_image.h"

namespace render {

// Told how far a render has come: samples written of the total.
using Progress = std::function<void(std::int64_t done, std::int64_t total)>;

// Passes samples on and reports progress every kStep samples and at the end.
class ProgressWriter final : public morse::SampleWriter {
 public:
  static constexpr std::int64_t kStep = 1 << 20;
  ProgressWriter(morse::SampleWriter& out, std::int64_t total, const Progress& progress);
  void Samples(const std::int16_t* data, std::size_t count) override;
  void Zeros(std::int64_t count) override;

 private:
  void Advance(std::int64_t count);
  morse::SampleWriter& out_;
  std::int64_t total_;
  const Progress& progress_;
  std::int64_t done_ = 0;
  std::int64_t next_ = 0;
};

record::WaveFormatEx MonoPcmFormat();

// The largest data chunk whose sizes still fit the 32-bit header fields.
inline constexpr std::int64_t kMaxWaveDataBytes = 0xFFFFFFFFLL + 8 - record::kWaveHeaderBytes;

// How many samples the WAV image of text holds. Throws
// std::invalid_argument for options out of range, and std::length_error
// when the data would exceed maxDataBytes (never more than the format allows).
std::int64_t WaveSampleCount(std::u16string_view text, const morse::RenderOptions& options,
                             std::int64_t maxDataBytes = kMaxWaveDataBytes);

// Renders text (line breaks already CR LF) into a WAV image in out, which
// is cleared first; the header's sizes are patched from the stream's size at
// the end. Throws as WaveSampleCount does, before writing anything; errors
// of the stream propagate.
void RenderWave(std::u16string_view text, const morse::RenderOptions& options,
                record::Stream& out, std::int64_t maxDataBytes = kMaxWaveDataBytes);

// The same bytes for a stream that only goes forward, such as a pipe: the
// header is complete before the data, and out is never asked to seek. They
// are appended at out's position.
void RenderWaveInOrder(std::u16string_view text, const morse::RenderOptions& options,
                       record::Stream& out, std::int64_t maxDataBytes = kMaxWaveDataBytes);

// Renders into the file at path through a temporary file in the same
// folder, which replaces path only once it is complete, so a failure never
// leaves a partial file behind, nor destroys what path held. A link is
// followed and what it points to replaced, keeping its permissions; a
// device or named pipe is written into as it is. Refused options or length
// create no file, and neither does a file without write permission. Throws
// std::system_error naming path and the reason when the file cannot or may
// not be written.
void RenderWaveFile(const std::string& path, std::u16string_view text,
                    const morse::RenderOptions& options,
                    std::int64_t maxDataBytes = kMaxWaveDataBytes,
                    const Progress& progress = {});

}  // namespace render
