#include "morse/tone.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "morse/waveform.h"

namespace morse {
namespace {

constexpr std::int32_t kRate = 44100;

class Tone : public ::testing::Test {
 protected:
  Tone() {
    BuildStartupSineTab(st);
    st.Risetime = 0.005;
  }

  std::vector<std::int16_t> Render(double frequency, double duration, double amplitude) {
    std::vector<std::int16_t> out;
    RenderNote(st, kRate, frequency, duration, amplitude,
               [&](std::int16_t v) { out.push_back(v); });
    return out;
  }

  TrainerState st;
};

// With every table entry 1 the samples are the rounded amplitudes.
TEST_F(Tone, MarkRisesHoldsAndFallsByRepeatedSubtraction) {
  st.SineTab.fill(1.0);
  const auto s = Render(800, 0.06, 20000);
  const double delta = 20000 / 220.5;
  EXPECT_DOUBLE_EQ(st.DeltaAmp, delta);
  // 2646 samples of the note; the fall from 220 steps down takes 220 more,
  // the last one a hair below zero.
  ASSERT_EQ(s.size(), 2646u + 220u);
  EXPECT_THAT(std::vector<std::int16_t>(s.begin(), s.begin() + 4), ::testing::ElementsAre(0, 91, 181, 272));
  EXPECT_EQ(s[220], 19955);  // 220 x 20000 / 220.5 = 19954.65, the plateau
  EXPECT_TRUE(std::all_of(s.begin() + 220, s.begin() + 2646, [](std::int16_t v) { return v == 19955; }));
  EXPECT_EQ(s[2646], RoundHalfEven(219 * delta));
  EXPECT_EQ(s[2646 + 218], 91);
  EXPECT_EQ(s[2646 + 219], 0);
}

TEST_F(Tone, PhaseStepsThroughTheTableFromEntryZero) {
  for (int i = 0; i < kSineTabSize; ++i) st.SineTab[i] = i;
  // R = 1.5: sample 0 at amplitude 0, then the plateau 1 / 1.5 x 1.5 = 1.
  st.Risetime = 1.5 / kRate;
  const auto s = Render(800, 100.0 / kRate, 1.5);
  ASSERT_EQ(s.size(), 100u + 1u);  // the fall: 1 - 1 = 0, one sample
  EXPECT_EQ(s[0], 0);
  // Step 1024 x 800 / 44100 = 18.576, read without interpolation.
  EXPECT_THAT(std::vector<std::int16_t>(s.begin() + 1, s.begin() + 4), ::testing::ElementsAre(18, 37, 55));
  EXPECT_EQ(s[55], 1021);  // 55 x 18.576 = 1021.68
  EXPECT_EQ(s[56], 16);    // wrapped: 1040.256 - 1024
  EXPECT_EQ(s[100], 0);    // the fall sample at amplitude 0
}

TEST_F(Tone, GapIsExactlyItsZerosAndNoFall) {
  const auto s = Render(800, 0.1, 0);
  EXPECT_EQ(s.size(), 4410u);
  EXPECT_TRUE(std::all_of(s.begin(), s.end(), [](std::int16_t v) { return v == 0; }));

  struct ZeroSink {
    void operator()(std::int16_t) { ++samples; }
    void Zeros(std::int64_t n) { zeros.push_back(n); }
    std::int64_t samples = 0;
    std::vector<std::int64_t> zeros;
  } sink;
  RenderNote(st, kRate, 800, 0.1, 0, sink);
  RenderNote(st, kRate, 800, 0.0, 0, sink);
  EXPECT_EQ(sink.samples, 0);
  EXPECT_THAT(sink.zeros, ::testing::ElementsAre(4410));
  RenderNote(st, kRate, 800, 0.001, 20000, sink);  // marks still go sample by sample
  EXPECT_GT(sink.samples, 44);
}

TEST_F(Tone, SampleCountRoundsTheDurationAsGiven) {
  // The caller forms d x FDitLength; 44100 x 0.075 x 3 the other way round
  // would give 3307.
  EXPECT_EQ(Render(800, 3 * (1.2 / 48), 0).size(), 3308u);
  EXPECT_EQ(Render(800, 3 * 0.075, 0).size(), 9922u);
}

TEST_F(Tone, NoteWithoutSamplesFallsFromFullAmplitude) {
  st.SineTab.fill(1.0);
  const auto s = Render(800, 0, 20000);
  ASSERT_EQ(s.size(), 221u);  // 20000 - 220 x 90.70 = 45.35 > 0, one more to go below
  EXPECT_EQ(s.front(), RoundHalfEven(20000 - 20000 / 220.5));
  EXPECT_EQ(s.back(), RoundHalfEven(20000 - 221 * (20000 / 220.5)));
  EXPECT_EQ(Render(800, -1, 20000).size(), 221u);
}

// An event handled during a note may start another note on the same state;
// the outer note must go on with its own phase, amplitude and ramp step.
TEST_F(Tone, NestedNoteLeavesTheOuterNoteIntact) {
  const auto alone = Render(800, 0.06, 20000);
  for (const std::size_t at : {std::size_t{0}, std::size_t{100}, std::size_t{1000}, alone.size() - 5}) {
    SCOPED_TRACE(at);
    std::vector<std::int16_t> outer, inner;
    st.Risetime = 0.005;
    RenderNote(st, kRate, 800, 0.06, 20000, [&](std::int16_t v) {
      outer.push_back(v);
      if (outer.size() == at + 1) {
        st.Risetime = 0.010;  // the inner caller reads its own rise time
        RenderNote(st, kRate, 600, 0.03, 10000, [&](std::int16_t w) { inner.push_back(w); });
      }
    });
    EXPECT_EQ(outer, alone);
    EXPECT_EQ(inner.size(), 1323u + 440u);
    EXPECT_DOUBLE_EQ(st.DeltaAmp, 10000 / 441.0);  // the note started last
  }
}

TEST_F(Tone, RampOfZeroLengthFailsBeforeAnySample) {
  struct Case {
    double risetime, amplitude;
    const char* message;
  };
  const Case cases[] = {
      {0, 20000, "Floating point division by zero"},
      {0, 0, "Invalid floating point operation"},
      {-0.005, 20000, "Invalid floating point operation"},  // would never finish falling
      {-0.005, 0, "Invalid floating point operation"},
  };
  for (const Case& c : cases) {
    st.Risetime = c.risetime;
    int calls = 0;
    try {
      RenderNote(st, kRate, 800, 0.06, c.amplitude, [&](std::int16_t) { ++calls; });
      ADD_FAILURE() << "no error for " << c.risetime << ", " << c.amplitude;
    } catch (const EMathError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_EQ(calls, 0);
  }
}

TEST_F(Tone, OutOfRangeInputsStaySafe) {
  st.SineTab.fill(1.0);
  auto loud = Render(800, 0.01, 1e9);
  EXPECT_EQ(*std::max_element(loud.begin(), loud.end()), 32767);
  st.SineTab.fill(-1.0);
  loud = Render(800, 0.01, 1e9);
  EXPECT_EQ(*std::min_element(loud.begin(), loud.end()), -32768);

  // Frequencies beyond the sample rate or below zero keep the phase inside
  // the table; a non-number fails like the other invalid operations.
  BuildStartupSineTab(st);
  EXPECT_EQ(Render(-800, 0.01, 20000).size(), 441u + 220u);
  EXPECT_EQ(Render(1e12, 0.01, 20000).size(), 441u + 220u);
  EXPECT_THROW(Render(std::numeric_limits<double>::infinity(), 0.01, 20000), EMathError);
  EXPECT_THROW(Render(std::numeric_limits<double>::quiet_NaN(), 0.01, 20000), EMathError);
  // A note without end (the gaps of a speed of 0) fails instead of playing for ever.
  EXPECT_THROW(Render(800, std::numeric_limits<double>::infinity(), 0), EMathError);
  EXPECT_THROW(Render(800, std::numeric_limits<double>::quiet_NaN(), 0), EMathError);
}

}  // namespace
}  // namespace morse
