// The renderer's WAV output: the samples of a text as a RIFF WAVE image
// (16-bit mono PCM, 44100 Hz) laid down in a stream, and the saving of a
// finished image.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "morse/render.h"
#include "record/memory_stream.h"
#include "record/wave_image.h"

namespace render {

record::WaveFormatEx MonoPcmFormat();

// The largest data chunk whose sizes still fit the 32-bit header fields.
inline constexpr std::int64_t kMaxWaveDataBytes = 0xFFFFFFFFLL + 8 - record::kWaveHeaderBytes;

// Renders text (line breaks already CR LF) into a WAV image in out, which
// is cleared first. Throws std::invalid_argument for options out of range,
// and std::length_error, before writing anything, when the data would exceed
// maxDataBytes.
void RenderWave(std::u16string_view text, const morse::RenderOptions& options,
                record::Stream& out, std::int64_t maxDataBytes = kMaxWaveDataBytes);

// Writes bytes to path through a temporary file in the same directory that
// replaces path only once it is complete, so a failure never leaves a
// partial file behind, nor destroys what path held. Throws
// std::runtime_error naming the file and the reason.
void SaveFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace render
