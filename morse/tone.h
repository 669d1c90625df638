// The note renderer: one note (frequency, duration, amplitude) as 16-bit
// samples from the waveform table, with a linear rise and fall. A template,
// so the per-sample path inlines into its sink.
#pragma once

#include <cmath>
#include <concepts>
#include <cstdint>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "morse/rounding.h"
#include "morse/trainer_state.h"

namespace morse {

// Floating-point faults of a note, with the messages the user knows from the
// original's runtime: x/0 and 0/0.
class EMathError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr char kDivisionByZero[] = "Floating point division by zero";
inline constexpr char kInvalidOperation[] = "Invalid floating point operation";

inline constexpr double kMarkAmplitude = 20000;

// A sink that can take a run of zeros at once (a gap) instead of one call
// per sample.
template <class Sink>
concept ZeroFillSink = requires(Sink& s, std::int64_t n) { s.Zeros(n); };

inline std::int16_t ToSample(double value) {
  const std::int64_t v = RoundHalfEven(value);
  if (v > INT16_MAX) return INT16_MAX;
  if (v < INT16_MIN) return INT16_MIN;
  return static_cast<std::int16_t>(v);
}

// Renders one note into sink(std::int16_t), one call per sample. Reads
// st.Risetime (seconds) and st.SineTab, the latter at every sample, so a
// table rebuilt by an event handled in the sink takes effect at once.
// st.DeltaAmp receives this note's ramp step, but the note itself works
// with its own copy: a note started from inside the sink (the window pumps
// events there) leaves the outer note's ramp, phase and amplitude intact.
//
// The amplitude rises over the first ceil(R) samples, R = sampRate *
// Risetime, holds (ceil(R) - 1) * step, and after the N = sampRate *
// duration samples falls by repeated subtraction while it is above zero.
// A gap (amplitude 0) is exactly N zeros; a sink with Zeros(n) gets them in
// one call.
template <class Sink>
void RenderNote(TrainerState& st, std::int32_t sampRate, double frequency, double duration,
                double amplitude, Sink&& sink) {
  const double ramp = sampRate * st.Risetime;
  if (ramp == 0) throw EMathError(amplitude != 0 ? kDivisionByZero : kInvalidOperation);
  // A negative ramp would make the fall climb instead of fall, forever.
  if (!(ramp > 0)) throw EMathError(kInvalidOperation);
  const double delta = amplitude / ramp;
  st.DeltaAmp = delta;

  double step = 1024.0 * frequency / sampRate;
  if (!std::isfinite(step)) throw EMathError(kInvalidOperation);
  if (step < 0 || step >= kSineTabSize) {
    // Only for frequencies at or beyond the sample rate, or negative: keep
    // the phase inside the table.
    step = std::fmod(step, static_cast<double>(kSineTabSize));
    if (step < 0) step += kSineTabSize;
  }
  // An endless or undefined length (a speed of 0 gives infinite gaps) can
  // never be played; the original's rounding raised the same error.
  if (!std::isfinite(sampRate * duration)) throw EMathError(kInvalidOperation);
  const std::int64_t n = RoundHalfEven(sampRate * duration);

  if constexpr (ZeroFillSink<std::remove_reference_t<Sink>>) {
    if (amplitude == 0) {
      if (n > 0) sink.Zeros(n);
      return;
    }
  }

  double phase = 0;
  double a = amplitude;
  auto emit_sample = [&] {
    sink(ToSample(st.SineTab[static_cast<int>(phase)] * a));
    phase += step;
    while (phase >= kSineTabSize) phase -= kSineTabSize;
  };
  std::int64_t count = 0;
  for (; count < n && static_cast<double>(count) < ramp; ++count) {  // rise
    a = static_cast<double>(count) * delta;
    emit_sample();
  }
  for (; count < n; ++count) emit_sample();  // hold the last ramp value
  while (a > 0) {
    const double next = a - delta;
    if (!(next < a)) break;  // a step too small to make progress would never end
    a = next;
    emit_sample();
  }
}

}  // namespace morse
