#include "record/file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "record/memory_stream.h"

namespace record {
namespace {

using ::testing::HasSubstr;

class FileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("file-stream-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  static std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  std::filesystem::path dir_;
};

// One step of a script run against both kinds of stream.
struct Op {
  enum Kind { kWrite, kSeek, kSetSize, kRead } kind;
  std::int64_t value;  // bytes to write or read, or the position or size
};

std::string Apply(Stream& s, const Op& op, std::uint8_t& next) {
  switch (op.kind) {
    case Op::kWrite: {
      std::vector<std::uint8_t> bytes(static_cast<std::size_t>(op.value));
      for (auto& b : bytes) b = ++next;
      s.Write(bytes.data(), bytes.size());
      return {};
    }
    case Op::kSeek:
      s.Seek(op.value);
      return {};
    case Op::kSetSize:
      s.SetSize(op.value);
      return {};
    case Op::kRead: {
      std::string got(static_cast<std::size_t>(op.value), '\0');
      got.resize(s.Read(got.data(), got.size()));
      return got;
    }
  }
  return {};
}

std::string Describe(const Op& op) {
  static const char* const kNames[] = {"Write", "Seek", "SetSize", "Read"};
  return std::string(kNames[op.kind]) + "(" + std::to_string(op.value) + ")";
}

std::vector<Op> RandomScript(unsigned seed) {
  std::mt19937 random(seed);
  std::vector<Op> ops;
  for (int i = 0; i < 400; ++i) {
    const auto kind = static_cast<Op::Kind>(random() % 4);
    ops.push_back({kind, static_cast<std::int64_t>(random() % (kind == Op::kWrite ? 40 : 120))});
  }
  return ops;
}

// Whatever the buffer holds, a file stream answers every call as a memory
// stream does and leaves the same bytes in the file.
TEST_F(FileStreamTest, BehavesAsAMemoryStream) {
  const std::vector<std::vector<Op>> scripts = {
      // overwrite inside, then append
      {{Op::kWrite, 6}, {Op::kSeek, 2}, {Op::kWrite, 2}, {Op::kSeek, 6}, {Op::kWrite, 3}},
      // a gap left by a seek past the end reads as zeros once written after
      {{Op::kSeek, 5}, {Op::kWrite, 1}, {Op::kSeek, 0}, {Op::kRead, 10}},
      // shrinking pulls the position back, growing leaves it and zero-fills
      {{Op::kWrite, 10}, {Op::kSetSize, 4}, {Op::kWrite, 1}, {Op::kSetSize, 9}, {Op::kRead, 9},
       {Op::kSeek, 0}, {Op::kRead, 20}},
      // reads see what is still buffered; at and past the end they give nothing
      {{Op::kWrite, 5}, {Op::kSeek, 1}, {Op::kRead, 3}, {Op::kWrite, 4}, {Op::kSeek, 9},
       {Op::kRead, 4}, {Op::kSeek, 30}, {Op::kRead, 4}},
      // one write larger than the buffer, after a partly filled one
      {{Op::kWrite, 3}, {Op::kWrite, 100}, {Op::kSeek, 50}, {Op::kWrite, 70}, {Op::kSetSize, 200}},
      RandomScript(1),
      RandomScript(2),
  };
  for (const std::size_t buffer : {std::size_t{1}, std::size_t{4}, std::size_t{64},
                                   FileStream::kDefaultBufferBytes}) {
    for (std::size_t n = 0; n < scripts.size(); ++n) {
      SCOPED_TRACE(::testing::Message() << "buffer " << buffer << ", script " << n);
      const std::string path = PathOf("s.bin");
      MemoryStream memory;
      FileStream file(path, buffer);
      std::uint8_t memoryNext = 0, fileNext = 0;
      for (const Op& op : scripts[n]) {
        SCOPED_TRACE(Describe(op));
        ASSERT_EQ(Apply(file, op, fileNext), Apply(memory, op, memoryNext));
        ASSERT_EQ(file.Position(), memory.Position());
        ASSERT_EQ(file.Size(), memory.Size());
      }
      file.Close();
      EXPECT_EQ(Contents(path), std::string(memory.Bytes().begin(), memory.Bytes().end()));
    }
  }
}

TEST_F(FileStreamTest, NegativePositionsAndSizesAreRefusedAsByAMemoryStream) {
  MemoryStream memory;
  FileStream file(PathOf("n.bin"), 8);
  for (Stream* s : {static_cast<Stream*>(&memory), static_cast<Stream*>(&file)}) {
    s->Write("abc", 3);
    EXPECT_THROW(s->Seek(-1), std::out_of_range);
    EXPECT_THROW(s->SetSize(-1), std::out_of_range);
    EXPECT_EQ(s->Position(), 3);
    EXPECT_EQ(s->Size(), 3);
  }
}

TEST_F(FileStreamTest, KeepsWhatTheFileHeldAndOpensWhereItStarts) {
  const std::string path = PathOf("old.bin");
  std::ofstream(path) << "0123456789";
  FileStream file(::open(path.c_str(), O_RDWR), path);
  EXPECT_EQ(file.Size(), 10);
  file.Seek(4);
  file.Write("ab", 2);
  file.Close();
  EXPECT_EQ(Contents(path), "0123ab6789");
}

TEST_F(FileStreamTest, CreateFailureNamesTheFile) {
  const std::string path = PathOf("no-such-dir/x.bin");
  try {
    FileStream file(path);
    ADD_FAILURE() << "no error";
  } catch (const std::system_error& e) {
    EXPECT_EQ(std::string(e.what()), "cannot create \"" + path + "\": No such file or directory");
  }
}

// A failed write is reported where it happens and again at every later
// write, flush and close, however it is caught in between.
TEST_F(FileStreamTest, AWriteFailureStaysReported) {
  const std::string path = PathOf("ro.bin");
  std::ofstream(path) << "keep";
  FileStream file(::open(path.c_str(), O_RDONLY), "ro.bin", FileStream::Mode::kSeekable, 4);
  file.Write("ab", 2);  // still in the buffer
  try {
    file.Write("cdef", 4);
    ADD_FAILURE() << "no error";
  } catch (const std::system_error& e) {
    EXPECT_EQ(std::string(e.what()), "cannot write \"ro.bin\": Bad file descriptor");
  }
  EXPECT_THROW(file.Write("g", 1), std::system_error);
  EXPECT_THROW(file.Flush(), std::system_error);
  EXPECT_THROW(file.Close(), std::system_error);
  EXPECT_NO_THROW(file.Close());
  EXPECT_EQ(Contents(path), "keep");
}

TEST_F(FileStreamTest, AFullDeviceFailsAtCloseAtTheLatest) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  FileStream file("/dev/full");
  file.Reserve(1000);  // a device cannot: nothing happens
  file.Write("abc", 3);
  try {
    file.Close();
    ADD_FAILURE() << "no error";
  } catch (const std::system_error& e) {
    EXPECT_THAT(e.what(), HasSubstr("cannot write \"/dev/full\": No space left on device"));
  }
}

TEST_F(FileStreamTest, SequentialStreamWritesAPipeInOrderAndRefusesToGoBack) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  {
    FileStream out(fds[1], "pipe", FileStream::Mode::kSequential, 4);
    out.Write("abc", 3);
    out.Write("defghij", 7);
    out.Seek(out.Position());
    out.SetSize(out.Size());
    EXPECT_EQ(out.Size(), 10);
    try {
      out.Seek(0);
      ADD_FAILURE() << "no error";
    } catch (const std::system_error& e) {
      EXPECT_EQ(std::string(e.what()), "cannot seek in \"pipe\": Illegal seek");
    }
    EXPECT_THROW(out.SetSize(2), std::system_error);
    char c;
    EXPECT_THROW(out.Read(&c, 1), std::system_error);
    out.Write("k", 1);  // refusals leave the stream usable
    out.Close();
  }
  char got[32] = {};
  EXPECT_EQ(::read(fds[0], got, sizeof got), 11);
  EXPECT_STREQ(got, "abcdefghijk");
  ::close(fds[0]);
}

TEST_F(FileStreamTest, SequentialStreamMovesTheDescriptorOffset) {
  // As standard output is shared with whatever writes after the program.
  const std::string path = PathOf("seq.bin");
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  ASSERT_EQ(::write(fd, "hi ", 3), 3);
  {
    FileStream out(::dup(fd), path, FileStream::Mode::kSequential);
    out.Write("there", 5);
    out.Close();
  }
  ASSERT_EQ(::write(fd, "!", 1), 1);
  ::close(fd);
  EXPECT_EQ(Contents(path), "hi there!");
}

TEST_F(FileStreamTest, ReservationKeepsTheSizeAndIsGivenBackAtClose) {
  const std::string path = PathOf("r.bin");
  FileStream file(path);
  file.Write("0123456789", 10);
  file.Reserve(std::int64_t{8} << 20);
  EXPECT_EQ(file.Size(), 10);
  try {
    file.Reserve(std::int64_t{1} << 50);  // more than any disk here
  } catch (const std::system_error& e) {
    EXPECT_THAT(e.what(), HasSubstr("cannot write \"" + path + "\": "));
  }
  file.Write("ab", 2);
  file.Close();
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 12);
  EXPECT_LT(st.st_blocks * 512, 1 << 20);
  EXPECT_EQ(Contents(path), "0123456789ab");
}

}  // namespace
}  // namespace record
