// Arbitrary bytes as the renderer's UTF-8 input: line-break normalisation
// and the whole send loop at high speed into a sink that only counts. The
// first bytes pick the tone settings within the renderer's ranges.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "morse/convert.h"
#include "morse/render.h"

namespace {

class CountingWriter final : public morse::SampleWriter {
 public:
  void Samples(const std::int16_t* data, std::size_t count) override {
    for (std::size_t i = 0; i < count; ++i) {
      if (data[i] > peak) peak = data[i];
    }
    n += static_cast<std::int64_t>(count);
  }
  void Zeros(std::int64_t count) override {
    if (count <= 0) std::abort();  // a gap is never announced empty
    n += count;
  }
  std::int64_t n = 0;
  std::int16_t peak = 0;
};

constexpr std::size_t kMaxText = 512;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  morse::RenderOptions options;
  options.charWpm = 60 + data[0] % 41;  // 60..100: fast, so a run stays short
  options.textWpm = 40 + data[1] % 61;  // 40..100: Farnsworth and plain alike
  options.harmonics = data[2] & 3;
  options.square = (data[2] & 4) != 0;
  options.riseMs = 1 + (data[2] >> 3) % 50;
  options.frequency = 500 + data[0] * 2;
  data += 3;
  size -= 3;
  if (size > kMaxText) size = kMaxText;

  const std::string_view utf8(reinterpret_cast<const char*>(data), size);
  const std::u16string text = morse::NormalizeLineBreaks(morse::FromUtf8(utf8));
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Every CR is followed by LF, and every LF preceded by CR.
    if (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n')) std::abort();
    if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) std::abort();
  }

  CountingWriter writer;
  morse::RenderText(text, options, writer);
  // At least the lead-in; never louder than a mark's plateau.
  if (writer.n < 3 * 44100 * 1.2 / 100 || writer.peak > 20000) std::abort();
  if (writer.n != morse::CountTextSamples(text, options)) std::abort();
  return 0;
}
