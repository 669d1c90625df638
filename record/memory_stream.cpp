#include "record/memory_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace record {

namespace {

[[noreturn]] void ThrowCreateError(const std::string& path, int error) {
  throw EFCreateError("Cannot create file \"" + path + "\". " + std::strerror(error));
}

}  // namespace

void MemoryStream::Seek(std::int64_t position) {
  if (position < 0) throw std::out_of_range("Stream position before the start");
  position_ = position;
}

void MemoryStream::SetSize(std::int64_t size) {
  if (size < 0) throw std::out_of_range("Negative stream size");
  bytes_.resize(static_cast<std::size_t>(size));
  if (position_ > size) position_ = size;
}

void MemoryStream::Write(const void* data, std::size_t count) {
  if (count == 0) return;
  const auto start = static_cast<std::size_t>(position_);
  if (start + count > bytes_.size()) bytes_.resize(start + count);
  std::memcpy(bytes_.data() + start, data, count);
  position_ += static_cast<std::int64_t>(count);
}

std::size_t MemoryStream::Read(void* data, std::size_t count) {
  if (position_ >= Size()) return 0;
  const auto start = static_cast<std::size_t>(position_);
  const std::size_t n = std::min(count, bytes_.size() - start);
  if (n > 0) std::memcpy(data, bytes_.data() + start, n);
  position_ += static_cast<std::int64_t>(n);
  return n;
}

void MemoryStream::SaveToFile(const std::string& path) const {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) ThrowCreateError(path, errno);
  errno = 0;
  const std::size_t written =
      bytes_.empty() ? 0 : std::fwrite(bytes_.data(), 1, bytes_.size(), file);
  int error = written == bytes_.size() ? 0 : (errno != 0 ? errno : EIO);
  if (std::fclose(file) != 0 && error == 0) error = errno != 0 ? errno : EIO;
  if (error != 0) ThrowCreateError(path, error);
}

}  // namespace record
