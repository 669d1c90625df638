// A seekable, resizable byte stream and its in-memory implementation. The WAV
// image is laid down in one of these and saved to disk unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace record {

// A file could not be created or fully written; the message names the file
// and gives the system's reason.
class EFCreateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Stream {
 public:
  virtual ~Stream() = default;
  virtual std::int64_t Position() const = 0;
  // Absolute position; a position past the end is allowed and the next write
  // fills the gap with zeros. Negative positions throw std::out_of_range.
  virtual void Seek(std::int64_t position) = 0;
  virtual std::int64_t Size() const = 0;
  // Truncates or zero-extends; a position beyond the new end moves to it.
  virtual void SetSize(std::int64_t size) = 0;
  // Writes at the position, growing the stream as needed, and advances.
  virtual void Write(const void* data, std::size_t count) = 0;
  // Reads up to count bytes from the position and advances; returns how many.
  virtual std::size_t Read(void* data, std::size_t count) = 0;
};

class MemoryStream : public Stream {
 public:
  std::int64_t Position() const override { return position_; }
  void Seek(std::int64_t position) override;
  std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }
  void SetSize(std::int64_t size) override;
  void Write(const void* data, std::size_t count) override;
  std::size_t Read(void* data, std::size_t count) override;

  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

  // Writes the whole content to path, replacing any file there. Throws
  // EFCreateError "Cannot create file "<path>". <reason>" when the file
  // cannot be created, and the same message when writing or closing it
  // fails, so a short file is never taken for a saved one.
  void SaveToFile(const std::string& path) const;

 private:
  std::vector<std::uint8_t> bytes_;
  std::int64_t position_ = 0;
};

}  // namespace record
