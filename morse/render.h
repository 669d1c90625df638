// Renders a text to samples exactly as Send Text plays it at the trainer's
// settings, without a window or a sound device: the same lead-in, code
// table, spacing, ramps and waveform. Pauses do not exist here; a "|" costs
// only its character gap, as in a run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "morse/trainer_state.h"

namespace morse {

inline constexpr std::int32_t kRenderSampRate = 44100;

// The trainer's start-up values, in the units of its controls.
struct RenderOptions {
  std::int32_t charWpm = 12;     // character speed
  std::int32_t textWpm = 5;      // text speed (Farnsworth below charWpm)
  std::int32_t frequency = 800;  // hertz
  std::int32_t riseMs = 5;       // rise and fall time
  std::int32_t harmonics = 1;    // odd harmonics above the fundamental
  bool square = false;
};

struct OptionRange {
  std::int32_t min;
  std::int32_t max;
};
inline constexpr OptionRange kWpmRange{1, 100};
inline constexpr OptionRange kFrequencyRange{1, 20000};
inline constexpr OptionRange kRiseRange{1, 50};
inline constexpr OptionRange kHarmonicsRange{0, 3};

// Throws std::invalid_argument naming the first value out of its range.
void ValidateRenderOptions(const RenderOptions& options);

// Fills the code table, the waveform and the timing as the trainer has them
// with these settings: harmonics 1 without square gives the start-up table.
void PrepareRenderState(TrainerState& st, const RenderOptions& options);

// Where rendered samples go: runs of samples, and runs of silence in one call.
class SampleWriter {
 public:
  virtual ~SampleWriter() = default;
  virtual void Samples(const std::int16_t* data, std::size_t count) = 0;
  virtual void Zeros(std::int64_t count) = 0;
};

// Line breaks (LF, CR or CR LF) as CR LF, the way the main text box holds
// them; a final line break stays.
std::u16string NormalizeLineBreaks(std::u16string_view text);
// The same in the string's own storage, for texts too long to copy; also
// for UTF-8, where line breaks are single bytes too.
void NormalizeLineBreaksInPlace(std::u16string& text);
void NormalizeLineBreaksInPlace(std::string& utf8);

// Renders text, whose line breaks are already CR LF, with the Send Text loop.
// Validates the options first; errors from the writer propagate.
void RenderText(std::u16string_view text, const RenderOptions& options, SampleWriter& out);

// How many samples RenderText gives for text, found without producing them;
// -1 as soon as the count passes limit.
std::int64_t CountTextSamples(
    std::u16string_view text, const RenderOptions& options,
    std::int64_t limit = std::numeric_limits<std::int64_t>::max());

// The characters of text that Send Text passes over without a sound because
// the code table has nothing for them, with how often each occurs. Line
// breaks, blanks and the pause mark "|" are not among them.
std::map<char16_t, std::int64_t> UnsendableCharacters(std::u16string_view text);

// The same into memory.
std::vector<std::int16_t> RenderTextSamples(std::u16string_view text, const RenderOptions& options);

}  // namespace morse
