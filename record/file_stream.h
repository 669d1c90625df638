// A byte stream on a file descriptor with a large write buffer, for laying
// down big images (a WAV file of many minutes) without holding them in
// memory. Writes collect in the buffer and go out in few large system calls;
// a seek or a read writes them out first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

#include "record/memory_stream.h"

namespace record {

// Every failure of the system throws std::system_error whose message names
// the file and gives the system's reason, e.g.
// cannot write "out.wav": No space left on device
// Once a write has failed, the stream keeps failing: every later write or
// flush, and Close, throws that failure again, so a short file is never
// reported as complete.
class FileStream final : public Stream {
 public:
  enum class Mode {
    // Positions are offsets in the file, written with pwrite; the
    // descriptor's own offset is left alone. Behaves as a MemoryStream.
    kSeekable,
    // Bytes go out in order with write(), so pipes, terminals and files
    // open for appending work and the descriptor's offset moves on. Seeking
    // or resizing anywhere but the end, and reading, throw.
    kSequential,
  };

  static constexpr std::size_t kDefaultBufferBytes = std::size_t{1} << 20;

  // Creates path, or truncates what is there (mode 0666 less the umask).
  explicit FileStream(const std::string& path, std::size_t bufferBytes = kDefaultBufferBytes);
  // Takes over fd, which the stream closes. name is only for messages.
  FileStream(int fd, std::string name, Mode mode = Mode::kSeekable,
             std::size_t bufferBytes = kDefaultBufferBytes);
  // Writes out what is buffered and closes, ignoring errors: call Close to
  // learn of them.
  ~FileStream() override;

  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  std::int64_t Position() const override { return position_; }
  void Seek(std::int64_t position) override;
  std::int64_t Size() const override;
  void SetSize(std::int64_t size) override;
  void Write(const void* data, std::size_t count) override;
  std::size_t Read(void* data, std::size_t count) override;

  // Sets disk space aside for a stream of the given size without changing
  // its size, so that running out of space shows before the data is made,
  // and writing is cheaper. Does nothing where the file system cannot.
  void Reserve(std::int64_t size);

  // Writes out what is buffered.
  void Flush();

  // Flushes, gives back space reserved beyond the end, and closes the file.
  // Later calls do nothing.
  void Close();

  const std::string& Name() const { return name_; }

 private:
  [[noreturn]] void Throw(const char* what, int error) const;
  void CheckUsable() const;
  void WriteOut(const std::uint8_t* data, std::size_t count, std::int64_t at);

  int fd_ = -1;
  std::string name_;
  Mode mode_;
  std::size_t capacity_;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t used_ = 0;          // buffered bytes, which end at position_
  std::int64_t position_ = 0;
  std::int64_t fileSize_ = 0;     // what the file holds, buffer not counted
  std::int64_t reserved_ = 0;
  int error_ = 0;                 // the first write failure, thrown again
};

}  // namespace record
