// The renderer's other output formats, through libsndfile: the samples the
// WAV path writes, encoded as FLAC, Ogg Vorbis, Opus, MP3 or RF64 WAV and
// streamed in blocks, so memory stays flat whatever the length.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "morse/render.h"
#include "tools/render_wav.h"

namespace render {

enum class Format { kWav, kRf64, kFlac, kVorbis, kOpus, kMp3 };

// "wav", "rf64", "flac", "ogg" (or "vorbis"), "opus", "mp3"; case is ignored.
std::optional<Format> FormatByName(std::string_view name);
// By the file name's extension: .wav, .rf64, .flac, .ogg/.oga, .opus, .mp3.
std::optional<Format> FormatByExtension(std::string_view path);
const char* FormatName(Format format);
// The names FormatByName knows, for messages.
inline constexpr char kFormatNames[] = "wav, rf64, flac, ogg, opus, mp3";

// Lossy formats take a quality from 0 (smallest) to 10 (best).
bool HasQuality(Format format);
inline constexpr morse::OptionRange kQualityRange{0, 10};

// Opus encodes only at 48 kHz: the 44.1 kHz samples are resampled on the way
// in. Every other format keeps the renderer's rate.
std::int32_t EncodedSampleRate(Format format);

// Renders text into path (or standard output for "-") in format, any but
// kWav, through a temporary file as RenderWaveFile does. Throws
// std::invalid_argument for bad options or a quality the format does not
// take, std::system_error when the file cannot or may not be written, and
// std::runtime_error with the encoder's message when encoding fails.
void RenderEncodedFile(const std::string& path, std::u16string_view text,
                       const morse::RenderOptions& options, Format format,
                       std::optional<std::int32_t> quality = std::nullopt,
                       const Progress& progress = {});

}  // namespace render
