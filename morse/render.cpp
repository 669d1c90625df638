#include "morse/render.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <stdexcept>

#include "morse/code_table.h"
#include "morse/text.h"
#include "morse/text_sender.h"
#include "morse/timing.h"
#include "morse/tone.h"
#include "morse/waveform.h"

namespace morse {

namespace {

void CheckRange(const char* what, std::int32_t value, OptionRange range, const char* unit) {
  if (value < range.min || value > range.max) {
    throw std::invalid_argument(std::string(what) + " must be " + std::to_string(range.min) +
                                ".." + std::to_string(range.max) + unit + ", not " +
                                std::to_string(value));
  }
}

// Collects samples into blocks so the writer is called once per block, not
// once per sample; silence goes through in one piece.
class BlockSink {
 public:
  explicit BlockSink(SampleWriter& out) : out_(out) {}

  void operator()(std::int16_t v) {
    block_[used_++] = v;
    if (used_ == block_.size()) Flush();
  }

  void Zeros(std::int64_t n) {
    Flush();
    out_.Zeros(n);
  }

  // A run that is already in memory goes through without copying.
  void Run(const std::int16_t* data, std::size_t n) {
    if (n > block_.size() - used_) {
      Flush();
      if (n >= block_.size()) {
        out_.Samples(data, n);
        return;
      }
    }
    std::copy_n(data, n, block_.data() + used_);
    used_ += n;
    if (used_ == block_.size()) Flush();
  }

  void Flush() {
    if (used_ > 0) out_.Samples(block_.data(), used_);
    used_ = 0;
  }

 private:
  SampleWriter& out_;
  std::array<std::int16_t, 8192> block_{};
  std::size_t used_ = 0;
};

// Counts what a note would produce. The value is dropped, so once inlined
// the compiler leaves only the loops that decide how many samples there are.
// Stops with std::length_error as soon as the count passes the limit, so an
// over-long text is refused without walking all of it.
struct CountingSink {
  void operator()(std::int16_t) { Add(1); }
  void Zeros(std::int64_t n) { Add(n); }
  void Run(const std::int16_t*, std::size_t n) { Add(static_cast<std::int64_t>(n)); }
  void Add(std::int64_t n) {
    count += n;
    if (count > limit) throw std::length_error("too many samples");
  }
  std::int64_t count = 0;
  std::int64_t limit = std::numeric_limits<std::int64_t>::max();
};

// A text has only a handful of distinct notes: each mark is rendered once
// and then copied, which saves the per-sample table lookup and rounding.
// Nothing changes the waveform or the ramp during a render, so a note's
// samples depend only on its frequency, duration and amplitude.
class NoteCache {
 public:
  template <class Sink>
  void Play(TrainerState& st, double frequency, double duration, double amplitude, Sink& sink) {
    if (amplitude == 0) {  // gaps are zero runs already
      RenderNote(st, kRenderSampRate, frequency, duration, amplitude, sink);
      return;
    }
    for (const Entry& e : entries_) {
      if (e.frequency == frequency && e.duration == duration && e.amplitude == amplitude) {
        st.DeltaAmp = e.deltaAmp;
        sink.Run(e.samples.data(), e.samples.size());
        return;
      }
    }
    std::vector<std::int16_t> samples;
    RenderNote(st, kRenderSampRate, frequency, duration, amplitude,
               [&samples](std::int16_t v) { samples.push_back(v); });
    sink.Run(samples.data(), samples.size());
    if (entries_.size() < kMaxEntries) {
      entries_.push_back({frequency, duration, amplitude, st.DeltaAmp, std::move(samples)});
    }
  }

 private:
  static constexpr std::size_t kMaxEntries = 64;
  struct Entry {
    double frequency, duration, amplitude, deltaAmp;
    std::vector<std::int16_t> samples;
  };
  std::vector<Entry> entries_;
};

template <class Sink>
class RenderHost final : public SendHost {
 public:
  RenderHost(TrainerState& st, std::u16string_view text, Sink& sink)
      : st_(st), text_(text), sink_(sink) {}

  TrainerState& State() override { return st_; }
  std::u16string_view CurrentText() override { return text_; }
  void PlayNote(double frequency, double duration, double amplitude) override {
    notes_.Play(st_, frequency, duration, amplitude, sink_);
  }
  void ProcessMessages() override {}
  // Nobody could lift a pause here, so none is ever kept.
  void WaitWhilePaused() override { st_.PauseFlag = false; }
  void PauseRequest() override {}
  TimePoint Now() override { return 0; }
  void BeginRun() override {}
  void AppendProgress(char16_t) override {}
  std::int32_t ProgressLength() override { return 0; }
  void SetProgressText(std::u16string_view) override {}
  std::int32_t PauseAfterChars() override { return 0; }
  std::int32_t PauseAfterMins() override { return 0; }
  std::int32_t ClearAfterChars() override { return 0; }
  bool ClearAfterPause() override { return false; }
  bool ResumeFromCursor() override { return false; }

 private:
  TrainerState& st_;
  std::u16string_view text_;
  Sink& sink_;
  NoteCache notes_;
};

class VectorWriter final : public SampleWriter {
 public:
  explicit VectorWriter(std::vector<std::int16_t>& out) : out_(out) {}
  void Samples(const std::int16_t* data, std::size_t count) override {
    out_.insert(out_.end(), data, data + count);
  }
  void Zeros(std::int64_t count) override {
    out_.resize(out_.size() + static_cast<std::size_t>(count), 0);
  }

 private:
  std::vector<std::int16_t>& out_;
};

}  // namespace

void ValidateRenderOptions(const RenderOptions& options) {
  CheckRange("character speed", options.charWpm, kWpmRange, " wpm");
  CheckRange("text speed", options.textWpm, kWpmRange, " wpm");
  CheckRange("frequency", options.frequency, kFrequencyRange, " Hz");
  CheckRange("rise/fall time", options.riseMs, kRiseRange, " ms");
  CheckRange("harmonics", options.harmonics, kHarmonicsRange, "");
}

void PrepareRenderState(TrainerState& st, const RenderOptions& options) {
  CodeTableInitialize(st);
  if (options.harmonics == 1 && !options.square) {
    BuildStartupSineTab(st);
  } else {
    BuildSineTab(st.SineTab, options.harmonics, options.square);
  }
  st.Fspeed = options.charWpm;
  st.Speed = options.textWpm;
  st.FFrequency = options.frequency;
  DeriveTiming(st);
  st.Risetime = options.riseMs / 1000.0;
}

std::u16string NormalizeLineBreaks(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      out += u"\r\n";
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else {
      out += c;
    }
  }
  return out;
}

namespace {

template <class String>
void NormalizeInPlace(String& text) {
  const std::size_t n = text.size();
  std::size_t extra = 0;  // a lone CR or LF becomes two characters
  for (std::size_t i = 0; i < n; ++i) {
    if (text[i] == '\r') {
      if (i + 1 < n && text[i + 1] == '\n') {
        ++i;
      } else {
        ++extra;
      }
    } else if (text[i] == '\n') {
      ++extra;
    }
  }
  if (extra == 0) return;
  text.resize(n + extra);
  // From the back, so nothing is overwritten before it is read: an LF pairs
  // with the CR right before it, as reading from the front pairs them.
  std::size_t w = n + extra;
  for (std::size_t i = n; i-- > 0;) {
    const char16_t c = text[i];
    if (c == '\n' || c == '\r') {
      if (c == '\n' && i > 0 && text[i - 1] == '\r') --i;
      text[--w] = '\n';
      text[--w] = '\r';
    } else {
      text[--w] = c;
    }
  }
}

}  // namespace

void NormalizeLineBreaksInPlace(std::u16string& text) { NormalizeInPlace(text); }

void NormalizeLineBreaksInPlace(std::string& utf8) { NormalizeInPlace(utf8); }

namespace {

template <class Sink>
void Run(std::u16string_view text, const RenderOptions& options, Sink& sink) {
  ValidateRenderOptions(options);
  auto st = std::make_unique<TrainerState>();
  PrepareRenderState(*st, options);
  st->SendFlag = true;
  RenderHost<Sink> host(*st, text, sink);
  RunSendText(host);
}

}  // namespace

void RenderText(std::u16string_view text, const RenderOptions& options, SampleWriter& out) {
  BlockSink sink(out);
  Run(text, options, sink);
  sink.Flush();
}

std::int64_t CountTextSamples(std::u16string_view text, const RenderOptions& options,
                              std::int64_t limit) {
  CountingSink sink;
  sink.limit = limit;
  try {
    Run(text, options, sink);
  } catch (const std::length_error&) {
    return -1;
  }
  return sink.count;
}

std::map<char16_t, std::int64_t> UnsendableCharacters(std::u16string_view text) {
  const auto st = std::make_unique<TrainerState>();
  CodeTableInitialize(*st);
  // Whether each code unit has code, looked up once: texts are long, their
  // alphabets small.
  std::vector<std::int8_t> known(0x10000, -1);
  std::vector<std::int64_t> counts(0x10000, 0);
  for (const char16_t c : text) {
    std::int8_t& k = known[c];
    if (k < 0) {
      const char16_t upper = AsciiUpper(c);
      const bool passed = c == u'\r' || c == u'\n' || c == u' ' || c == u'|';
      k = passed || !CharToCode(*st, std::u16string_view(&upper, 1)).empty() ? 1 : 0;
    }
    if (k == 0) ++counts[c];
  }
  std::map<char16_t, std::int64_t> found;
  for (std::size_t c = 0; c < counts.size(); ++c) {
    if (counts[c] > 0) found[static_cast<char16_t>(c)] = counts[c];
  }
  return found;
}

std::vector<std::int16_t> RenderTextSamples(std::u16string_view text, const RenderOptions& options) {
  std::vector<std::int16_t> samples;
  VectorWriter writer(samples);
  RenderText(text, options, writer);
  return samples;
}

}  // namespace morse
