#include "record/file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/falloc.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

namespace record {

namespace {

int CreateFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    throw std::system_error(errno, std::generic_category(), "cannot create \"" + path + "\"");
  }
  return fd;
}

}  // namespace

FileStream::FileStream(const std::string& path, std::size_t bufferBytes)
    : FileStream(CreateFile(path), path, Mode::kSeekable, bufferBytes) {}

FileStream::FileStream(int fd, std::string name, Mode mode, std::size_t bufferBytes)
    : fd_(fd), name_(std::move(name)), mode_(mode), capacity_(std::max<std::size_t>(bufferBytes, 1)) {
  if (fd < 0) throw std::invalid_argument("FileStream needs an open file descriptor");
  try {
    if (mode_ == Mode::kSeekable) {
      struct stat st {};
      if (::fstat(fd_, &st) != 0) Throw("cannot open", errno);
      if (S_ISREG(st.st_mode)) fileSize_ = st.st_size;
    }
    buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(capacity_);
  } catch (...) {
    ::close(fd_);
    throw;
  }
}

FileStream::~FileStream() {
  try {
    Close();
  } catch (...) {
    // Close reports; a destructor cannot.
  }
}

void FileStream::Throw(const char* what, int error) const {
  throw std::system_error(error, std::generic_category(), std::string(what) + " \"" + name_ + "\"");
}

void FileStream::CheckUsable() const {
  if (fd_ < 0) throw std::logic_error("file \"" + name_ + "\" is closed");
  if (error_ != 0) Throw("cannot write", error_);
}

void FileStream::Seek(std::int64_t position) {
  if (position < 0) throw std::out_of_range("Stream position before the start");
  if (position == position_) return;
  if (mode_ == Mode::kSequential) Throw("cannot seek in", ESPIPE);
  Flush();
  position_ = position;
}

std::int64_t FileStream::Size() const {
  if (mode_ == Mode::kSequential) return position_;
  return used_ > 0 ? std::max(fileSize_, position_) : fileSize_;
}

void FileStream::SetSize(std::int64_t size) {
  if (size < 0) throw std::out_of_range("Negative stream size");
  if (mode_ == Mode::kSequential) {
    if (size != Size()) Throw("cannot resize", ESPIPE);
    return;
  }
  Flush();
  if (::ftruncate(fd_, size) != 0) {
    error_ = errno;
    Throw("cannot write", error_);
  }
  fileSize_ = size;
  position_ = std::min(position_, size);
}

void FileStream::Write(const void* data, std::size_t count) {
  CheckUsable();
  auto from = static_cast<const std::uint8_t*>(data);
  while (count > 0) {
    if (used_ == 0 && count >= capacity_) {
      // Nothing to gather: straight from the caller's memory.
      WriteOut(from, count, position_);
      position_ += static_cast<std::int64_t>(count);
      fileSize_ = std::max(fileSize_, position_);
      return;
    }
    const std::size_t n = std::min(capacity_ - used_, count);
    std::memcpy(buffer_.get() + used_, from, n);
    used_ += n;
    position_ += static_cast<std::int64_t>(n);
    from += n;
    count -= n;
    if (used_ == capacity_) Flush();
  }
}

void FileStream::Flush() {
  CheckUsable();
  if (used_ == 0) return;
  const std::size_t n = used_;
  used_ = 0;  // on failure the bytes are lost, and the stream says so from now on
  WriteOut(buffer_.get(), n, position_ - static_cast<std::int64_t>(n));
  fileSize_ = std::max(fileSize_, position_);
}

void FileStream::WriteOut(const std::uint8_t* data, std::size_t count, std::int64_t at) {
  while (count > 0) {
    const ssize_t n = mode_ == Mode::kSeekable ? ::pwrite(fd_, data, count, at)
                                               : ::write(fd_, data, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? errno : EIO;
      Throw("cannot write", error_);
    }
    data += n;
    at += n;
    count -= static_cast<std::size_t>(n);
  }
}

std::size_t FileStream::Read(void* data, std::size_t count) {
  if (mode_ == Mode::kSequential) Throw("cannot read", ESPIPE);
  Flush();
  auto to = static_cast<std::uint8_t*>(data);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd_, to + done, count - done, position_);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Throw("cannot read", errno);
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
    position_ += n;
  }
  return done;
}

void FileStream::Reserve(std::int64_t size) {
  CheckUsable();
  if (mode_ == Mode::kSequential || size <= std::max(Size(), reserved_)) return;
#ifdef FALLOC_FL_KEEP_SIZE
  // Preallocated blocks also spare ext4 the delayed allocation that it
  // would otherwise flush when the file is renamed over another. Close gives
  // back what a failed call may have allocated.
  reserved_ = size;
  while (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, 0, size) != 0) {
    switch (errno) {
      case EINTR:
        continue;
      case EOPNOTSUPP:
      case ENOSYS:
      case ENODEV:
      case ESPIPE:
      case EINVAL:
        return;  // not a file system that can: writing will tell
      default:
        Throw("cannot write", errno);
    }
  }
#endif
}

void FileStream::Close() {
  if (fd_ < 0) return;
  int error = error_;
  if (error == 0) {
    try {
      Flush();
    } catch (const std::system_error&) {
      error = error_;
    }
  }
  // Blocks reserved beyond the end would stay with the file.
  if (error == 0 && reserved_ > fileSize_ && ::ftruncate(fd_, fileSize_) != 0) error = errno;
  if (::close(fd_) != 0 && error == 0 && errno != EINTR) error = errno;
  fd_ = -1;
  if (error != 0) {
    error_ = error;
    Throw("cannot write", error);
  }
}

}  // namespace record
