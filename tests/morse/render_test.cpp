#include "morse/render.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "fake_send_host.h"
#include "morse/convert.h"
#include "tools/render_wav.h"

namespace morse {
namespace {

using testing::FakeSendHost;

// Send Text as the window runs it, through the same loop the renderer uses
// but with a host that renders note by note into a vector.
std::vector<std::int16_t> SendTextSamples(std::u16string_view text, const RenderOptions& o) {
  FakeSendHost host{std::u16string(text)};
  TrainerState& st = host.st;
  if (o.harmonics != 1 || o.square) BuildSineTab(st.SineTab, o.harmonics, o.square);
  st.Fspeed = o.charWpm;
  st.Speed = o.textWpm;
  st.FFrequency = o.frequency;
  DeriveTiming(st);
  st.Risetime = o.riseMs / 1000.0;
  RunSendText(host);
  return host.samples;
}

TEST(Render, SamplesAreWhatSendTextPlays) {
  const std::u16string text = u"cq de k1abc|\r\nPSE @@ K?\t\u00E9 ";
  const RenderOptions cases[] = {
      {},                             // the start-up settings
      {20, 20, 800, 5, 1, false},
      {35, 40, 1000, 1, 0, true},
      {18, 10, 500, 50, 3, false},
      {25, 15, 700, 12, 2, true},
  };
  for (const RenderOptions& o : cases) {
    SCOPED_TRACE(::testing::Message() << o.charWpm << "/" << o.textWpm << " " << o.frequency
                                      << " Hz " << o.riseMs << " ms H" << o.harmonics
                                      << (o.square ? " square" : ""));
    const auto expected = SendTextSamples(text, o);
    const auto rendered = RenderTextSamples(text, o);
    ASSERT_EQ(rendered.size(), expected.size());
    EXPECT_TRUE(rendered == expected);
    EXPECT_EQ(CountTextSamples(text, o), static_cast<std::int64_t>(expected.size()));
  }
}

TEST(Render, OptionsOutOfRangeAreRefused) {
  const RenderOptions bad[] = {
      {0, 5, 800, 5, 1, false},    {101, 5, 800, 5, 1, false}, {12, 0, 800, 5, 1, false},
      {12, 101, 800, 5, 1, false}, {12, 5, 0, 5, 1, false},    {12, 5, 20001, 5, 1, false},
      {12, 5, 800, 0, 1, false},   {12, 5, 800, 51, 1, false}, {12, 5, 800, 5, -1, false},
      {12, 5, 800, 5, 4, false},
  };
  for (const RenderOptions& o : bad) {
    EXPECT_THROW(RenderTextSamples(u"E", o), std::invalid_argument);
  }
  EXPECT_NO_THROW(RenderTextSamples(u"E", {1, 100, 20000, 50, 0, true}));
  EXPECT_NO_THROW(RenderTextSamples(u"E", {100, 1, 1, 1, 3, false}));
}

TEST(Render, LineBreaksBecomeCrLf) {
  struct Case {
    std::u16string in, out;
  };
  const Case cases[] = {
      {u"a\nb", u"a\r\nb"},         {u"a\rb", u"a\r\nb"},     {u"a\r\nb", u"a\r\nb"},
      {u"a\n", u"a\r\n"},           {u"\n\n", u"\r\n\r\n"},   {u"\r\r\n", u"\r\n\r\n"},
      {u"\n\r", u"\r\n\r\n"},       {u"", u""},               {u"ab", u"ab"},
  };
  for (const Case& c : cases) EXPECT_EQ(NormalizeLineBreaks(c.in), c.out) << ToUtf8(c.in);
}

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t{b[at + 3]} << 24;
}
std::uint16_t U16At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

TEST(RenderWave, ImageHoldsTheSamplesAsMonoPcm) {
  const RenderOptions o{20, 20, 800, 5, 1, false};
  record::MemoryStream image;
  render::RenderWave(u"PARIS PARIS", o, image);
  const auto& b = image.Bytes();
  const auto samples = RenderTextSamples(u"PARIS PARIS", o);
  ASSERT_EQ(b.size(), 46 + 2 * samples.size());
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(U32At(b, 4), b.size() - 8);
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(U32At(b, 16), 18u);
  EXPECT_EQ(U16At(b, 20), 1);  // PCM
  EXPECT_EQ(U16At(b, 22), 1);  // mono
  EXPECT_EQ(U32At(b, 24), 44100u);
  EXPECT_EQ(U32At(b, 28), 88200u);
  EXPECT_EQ(U16At(b, 32), 2);
  EXPECT_EQ(U16At(b, 34), 16);
  EXPECT_EQ(U16At(b, 36), 0);
  EXPECT_EQ(std::string(b.begin() + 38, b.begin() + 42), "data");
  EXPECT_EQ(U32At(b, 42), 2 * samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    ASSERT_EQ(static_cast<std::int16_t>(U16At(b, 46 + 2 * i)), samples[i]) << i;
  }
}

TEST(RenderWave, SoundTooLongForTheImageIsRefused) {
  record::MemoryStream image;
  EXPECT_THROW(render::RenderWave(u"EEEE", {}, image, 20000), std::length_error);
  EXPECT_LE(image.Size(), 46 + 20000);
  EXPECT_NO_THROW(render::RenderWave(u"", {}, image, 2 * 13230));  // the lead-in exactly
  EXPECT_EQ(image.Size(), 46 + 2 * 13230);
}

class SaveFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("render-save-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  static std::string Read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  std::filesystem::path dir_;
};

TEST_F(SaveFile, ReplacesTheFileOnlyWhenComplete) {
  const auto path = dir_ / "out.wav";
  std::ofstream(path) << "old";
  render::SaveFileAtomically(path.string(), {'n', 'e', 'w'});
  EXPECT_EQ(Read(path), "new");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);

  const auto missing = dir_ / "no-such-dir" / "out.wav";
  try {
    render::SaveFileAtomically(missing.string(), {'x'});
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_THAT(e.what(), ::testing::HasSubstr(missing.string()));
    EXPECT_THAT(e.what(), ::testing::HasSubstr("No such file or directory"));
  }
  EXPECT_FALSE(std::filesystem::exists(missing));
}

}  // namespace
}  // namespace morse
