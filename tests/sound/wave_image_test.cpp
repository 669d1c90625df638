#include "record/wave_image.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace record {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

std::uint32_t U32At(const MemoryStream& s, std::size_t at) {
  const auto& b = s.Bytes();
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t{b[at + 3]} << 24;
}

std::vector<std::uint8_t> Slice(const MemoryStream& s, std::size_t from, std::size_t to) {
  return {s.Bytes().begin() + from, s.Bytes().begin() + to};
}

void Append(Stream& s, std::size_t count, std::uint8_t value = 0x5A) {
  const std::vector<std::uint8_t> data(count, value);
  s.Write(data.data(), data.size());
}

const WaveFormatEx kStereo48k{1, 2, 48000, 192000, 4, 16, 0};

TEST(WaveImage, InitHeaderDiscardsOldContentAndLaysDownHeader) {
  MemoryStream stream;
  Append(stream, 100, 0xAA);
  stream.Seek(60);
  TWaveImage image(stream);
  image.InitHeader(kStereo48k);

  EXPECT_EQ(stream.Size(), kWaveHeaderBytes);
  EXPECT_EQ(stream.Position(), kWaveHeaderBytes);
  EXPECT_EQ(image.TotalSizeOffset(), 4u);
  EXPECT_EQ(image.DataOffset(), 42u);
  const std::uint8_t expected[kWaveHeaderBytes] = {
      'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
      18, 0, 0, 0,
      0x01, 0x00, 0x02, 0x00, 0x80, 0xBB, 0x00, 0x00, 0x00, 0xEE, 0x02, 0x00,
      0x04, 0x00, 0x10, 0x00, 0x00, 0x00,
      'd', 'a', 't', 'a', 0, 0, 0, 0};
  EXPECT_THAT(stream.Bytes(), ElementsAreArray(expected));
}

TEST(WaveImage, FormatTagIsAlwaysPcmAndCbSizeIsKept) {
  struct Case {
    std::uint16_t tag;
    std::uint16_t cbSize;
  };
  for (const Case c : {Case{1, 0}, Case{3, 0}, Case{0xFFFE, 22}}) {
    SCOPED_TRACE(c.tag);
    MemoryStream stream;
    TWaveImage image(stream);
    image.InitHeader({c.tag, 2, 44100, 352800, 8, 32, c.cbSize});
    EXPECT_THAT(Slice(stream, 20, 22), ElementsAre(0x01, 0x00));
    EXPECT_THAT(Slice(stream, 36, 38),
                ElementsAre(static_cast<std::uint8_t>(c.cbSize), 0x00));
    EXPECT_EQ(stream.Size(), kWaveHeaderBytes);  // no extension written
  }
}

TEST(WaveImage, CorretHeaderPatchesSizesFromStreamSize) {
  struct Case {
    std::size_t dataBytes;
    std::uint32_t riffSize;
    std::uint32_t dataSize;
    std::int64_t positionAfter;
  };
  for (const Case c : {Case{0, 38, 0, 8}, Case{1, 39, 1, 46}, Case{4000, 4038, 4000, 46}}) {
    SCOPED_TRACE(c.dataBytes);
    MemoryStream stream;
    TWaveImage image(stream);
    image.InitHeader(kStereo48k);
    Append(stream, c.dataBytes);
    image.CorretHeader();
    EXPECT_EQ(U32At(stream, 4), c.riffSize);
    EXPECT_EQ(U32At(stream, 42), c.dataSize);
    EXPECT_EQ(stream.Position(), c.positionAfter);
    EXPECT_EQ(stream.Size(), static_cast<std::int64_t>(kWaveHeaderBytes + c.dataBytes));

    const auto before = stream.Bytes();
    image.CorretHeader();
    EXPECT_EQ(stream.Bytes(), before);
  }
}

// Reports a size beyond 4 GiB without holding it, to see the low 32 bits written.
class HugeStream : public MemoryStream {
 public:
  std::int64_t Size() const override { return (std::int64_t{1} << 32) + 100; }
};

TEST(WaveImage, SizesBeyondFourGigabytesKeepTheirLow32Bits) {
  HugeStream stream;
  TWaveImage image(stream);
  image.InitHeader(kStereo48k);
  image.CorretHeader();
  EXPECT_EQ(U32At(stream, 4), 92u);
  EXPECT_EQ(U32At(stream, 42), 54u);
}

TEST(WaveImage, CorretHeaderWithoutHeaderLeavesStreamAlone) {
  MemoryStream stream;
  Append(stream, 50, 0xAA);
  TWaveImage image(stream);
  image.CorretHeader();
  EXPECT_EQ(stream.Bytes(), std::vector<std::uint8_t>(50, 0xAA));
}

TEST(MemoryStream, SeekSetSizeReadAndWrite) {
  MemoryStream s;
  s.Seek(3);
  const std::uint8_t abc[] = {1, 2, 3};
  s.Write(abc, 3);  // the gap before it reads as zeros
  EXPECT_THAT(s.Bytes(), ElementsAre(0, 0, 0, 1, 2, 3));
  EXPECT_EQ(s.Position(), 6);

  s.Seek(4);
  std::uint8_t out[8] = {};
  EXPECT_EQ(s.Read(out, sizeof out), 2u);
  EXPECT_THAT(Slice(s, 4, 6), ElementsAre(out[0], out[1]));
  EXPECT_EQ(s.Read(out, sizeof out), 0u);

  s.SetSize(2);
  EXPECT_EQ(s.Size(), 2);
  EXPECT_EQ(s.Position(), 2);
  s.SetSize(4);
  EXPECT_THAT(s.Bytes(), ElementsAre(0, 0, 0, 0));

  EXPECT_THROW(s.Seek(-1), std::out_of_range);
  EXPECT_THROW(s.SetSize(-1), std::out_of_range);
}

TEST(MemoryStream, SaveToFileWritesContentOrReportsWhy) {
  const auto dir = std::filesystem::temp_directory_path() / "marlowick_wave_test";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "out.wav").string();
  MemoryStream s;
  TWaveImage image(s);
  image.InitHeader(kStereo48k);
  Append(s, 10);
  image.CorretHeader();
  s.SaveToFile(path);
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> saved{std::istreambuf_iterator<char>(in), {}};
  EXPECT_EQ(saved, s.Bytes());
  std::filesystem::remove_all(dir);

  const std::string missing = (dir / "no" / "out.wav").string();
  try {
    s.SaveToFile(missing);
    FAIL() << "saved into a missing folder";
  } catch (const EFCreateError& e) {
    EXPECT_STREQ(e.what(),
                 ("Cannot create file \"" + missing + "\". No such file or directory").c_str());
  }
  if (std::filesystem::exists("/dev/full")) {
    try {
      s.SaveToFile("/dev/full");
      FAIL() << "a full device took the file";
    } catch (const EFCreateError& e) {
      EXPECT_THAT(e.what(), HasSubstr("No space left on device"));
    }
  }
}

}  // namespace
}  // namespace record
