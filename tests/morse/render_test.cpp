#include "morse/render.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "fake_send_host.h"
#include "morse/convert.h"
#include "record/file_stream.h"
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

TEST(Render, CountingStopsOnceTheLimitIsPassed) {
  const std::int64_t full = CountTextSamples(u"PARIS PARIS", {});
  EXPECT_EQ(CountTextSamples(u"PARIS PARIS", {}, full), full);
  EXPECT_EQ(CountTextSamples(u"PARIS PARIS", {}, full - 1), -1);
  EXPECT_EQ(CountTextSamples(u"PARIS PARIS", {}, 0), -1);
}

TEST(Render, UnsendableCharactersAreCountedOnce) {
  const auto found = UnsendableCharacters(u"ab~c\t~ \r\n|\u00E9~x");
  const std::map<char16_t, std::int64_t> expected{{u'~', 3}, {u'\t', 1}, {u'\u00E9', 1}};
  EXPECT_EQ(found, expected);
  EXPECT_TRUE(UnsendableCharacters(u"CQ de k1abc 73?\r\n").empty());
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
      {u"\ra\r\nb\n\rc\r\r\n", u"\r\na\r\nb\r\n\r\nc\r\n\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NormalizeLineBreaks(c.in), c.out) << ToUtf8(c.in);
    std::u16string inPlace = c.in;
    NormalizeLineBreaksInPlace(inPlace);
    EXPECT_EQ(inPlace, c.out) << ToUtf8(c.in);
    std::string utf8 = ToUtf8(c.in);
    NormalizeLineBreaksInPlace(utf8);
    EXPECT_EQ(utf8, ToUtf8(c.out));
  }
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
  EXPECT_EQ(image.Size(), 0);  // refused before anything was written
  EXPECT_NO_THROW(render::RenderWave(u"", {}, image, 2 * 13230));  // the lead-in exactly
  EXPECT_EQ(image.Size(), 46 + 2 * 13230);
}

std::string MemoryImage(std::u16string_view text, const RenderOptions& o) {
  record::MemoryStream image;
  render::RenderWave(text, o, image);
  return {image.Bytes().begin(), image.Bytes().end()};
}

class WaveFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("render-file-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  static std::string Read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::filesystem::path dir_;
};

// A file, and a stream that cannot go back (as a pipe), get the very bytes
// of the image in memory, also when they pass through the buffer many times.
TEST_F(WaveFile, FileAndPipeGetTheBytesOfTheMemoryImage) {
  std::u16string longText;
  for (int i = 0; i < 8; ++i) longText += u"PARIS ";
  struct Case {
    std::u16string text;
    RenderOptions options;
  };
  const Case cases[] = {
      {u"cq de k1abc|\r\nPSE K?", {20, 20, 800, 5, 1, false}},
      {u"", {35, 40, 1000, 1, 0, true}},
      {longText, {18, 10, 500, 50, 3, false}},
  };
  const auto file = dir_ / "out.wav";
  const auto piped = dir_ / "piped.wav";
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.text));
    const std::string expected = MemoryImage(c.text, c.options);
    render::RenderWaveFile(file.string(), c.text, c.options);
    EXPECT_TRUE(Read(file) == expected);

    const int fd = ::open(piped.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    record::FileStream out(fd, "piped", record::FileStream::Mode::kSequential);  // refuses seeks
    render::RenderWaveInOrder(c.text, c.options, out);
    out.Close();
    EXPECT_TRUE(Read(piped) == expected);
  }
  EXPECT_EQ(Entries(), (std::vector<std::string>{"out.wav", "piped.wav"}));
}

mode_t ModeOf(const std::filesystem::path& p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0);
  return st.st_mode & 0777;
}

TEST_F(WaveFile, ReplacesTheFileOnlyWhenCompleteKeepingItsPermissions) {
  const std::string image = MemoryImage(u"E", {});
  const auto path = dir_ / "out.wav";
  std::ofstream(path) << "old";
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::owner_write);
  render::RenderWaveFile(path.string(), u"E", {});
  EXPECT_TRUE(Read(path) == image);
  EXPECT_EQ(ModeOf(path), 0600u);

  const auto fresh = dir_ / "new.wav";
  render::RenderWaveFile(fresh.string(), u"E", {});
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(ModeOf(fresh), 0666 & ~mask);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"new.wav", "out.wav"}));
}

// Even root, who could replace it, leaves a file nobody may write alone.
TEST_F(WaveFile, RefusesAFileWithoutWritePermission) {
  const auto path = dir_ / "out.wav";
  std::ofstream(path) << "old";
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
  try {
    render::RenderWaveFile(path.string(), u"E", {});
    ADD_FAILURE() << "no error";
  } catch (const std::system_error& e) {
    EXPECT_EQ(std::string(e.what()), "cannot write \"" + path.string() + "\": Permission denied");
  }
  EXPECT_EQ(Read(path), "old");
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.wav"});
}

// A rename would put a regular file where the link or the pipe was.
TEST_F(WaveFile, WritesThroughALinkAndIntoANamedPipe) {
  const std::string image = MemoryImage(u"E", {});
  std::filesystem::create_directories(dir_ / "real");
  std::ofstream(dir_ / "real" / "out.wav") << "old";
  std::filesystem::create_symlink("real/out.wav", dir_ / "link.wav");
  render::RenderWaveFile((dir_ / "link.wav").string(), u"E", {});
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "link.wav"));
  EXPECT_TRUE(Read(dir_ / "real" / "out.wav") == image);

  const auto fifo = dir_ / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const int keepOpen = ::open(fifo.c_str(), O_WRONLY);  // no end of data before the render's
  ASSERT_GE(keepOpen, 0);
  ::fcntl(reader, F_SETFL, 0);
  std::exception_ptr failure;
  std::thread writer([&] {
    try {
      render::RenderWaveFile(fifo.string(), u"E", {});
    } catch (...) {
      failure = std::current_exception();
    }
    ::close(keepOpen);
  });
  std::string got;
  char buffer[65536];
  for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;) got.append(buffer, n);
  writer.join();
  ::close(reader);
  if (failure) std::rethrow_exception(failure);
  EXPECT_TRUE(got == image) << got.size() << " bytes";
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"fifo", "link.wav", "real"}));
}

// Makes writing a regular file past the given size fail with EFBIG, as a
// disk that fills up would, instead of killing the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
};

// Whatever fails, and wherever, the error says what and where, an old file
// keeps its content and no temporary file is left behind.
TEST_F(WaveFile, FailuresKeepWhatWasThereAndLeaveNothingBehind) {
  std::u16string longText;  // more than one buffer of data
  for (int i = 0; i < 6; ++i) longText += u"PARIS ";
  struct Case {
    const char* what;
    std::string name;  // in the test folder
    std::u16string text;
    RenderOptions options;
    std::int64_t maxDataBytes;
    rlim_t fileSizeLimit;  // 0 for none
    std::string error;
  };
  const Case cases[] = {
      {"missing folder", "missing/out.wav", u"E", {}, render::kMaxWaveDataBytes, 0,
       "No such file or directory"},
      {"folder is a file", "plain/out.wav", u"E", {}, render::kMaxWaveDataBytes, 0,
       "Not a directory"},
      {"target is a folder", "folder", u"E", {}, render::kMaxWaveDataBytes, 0, "Is a directory"},
      {"disk full part way", "out.wav", longText, {20, 20, 800, 5, 1, false},
       render::kMaxWaveDataBytes, 200000, "File too large"},
      {"disk full at the end", "out.wav", u"PARIS", {20, 20, 800, 5, 1, false},
       render::kMaxWaveDataBytes, 200000, "File too large"},
      {"too long", "out.wav", u"EEEE", {}, 20000, 0, "too long for a WAV file"},
      {"bad option", "out.wav", u"E", {0, 5, 800, 5, 1, false}, render::kMaxWaveDataBytes, 0,
       "character speed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "folder");
    std::ofstream(dir_ / "folder" / "x") << "x";
    std::ofstream(dir_ / "plain") << "plain";
    std::ofstream(dir_ / "out.wav") << "old";
    const auto before = Entries();
    const std::string path = (dir_ / c.name).string();
    try {
      std::optional<FileSizeLimit> limit;
      if (c.fileSizeLimit != 0) limit.emplace(c.fileSizeLimit);
      render::RenderWaveFile(path, c.text, c.options, c.maxDataBytes);
      ADD_FAILURE() << "no error";
    } catch (const std::system_error& e) {
      EXPECT_EQ(std::string(e.what()), "cannot write \"" + path + "\": " + c.error);
    } catch (const std::exception& e) {
      EXPECT_THAT(e.what(), ::testing::HasSubstr(c.error));
    }
    EXPECT_EQ(Entries(), before);
    EXPECT_EQ(Read(dir_ / "out.wav"), "old");
    EXPECT_EQ(Read(dir_ / "folder" / "x"), "x");
  }
}

}  // namespace
}  // namespace morse
