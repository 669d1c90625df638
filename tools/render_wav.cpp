#include "tools/render_wav.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace render {

namespace {

// Appends little-endian 16-bit samples to the stream after the header.
class WaveDataWriter final : public morse::SampleWriter {
 public:
  WaveDataWriter(record::Stream& out, std::int64_t maxBytes) : out_(out), max_bytes_(maxBytes) {}

  void Samples(const std::int16_t* data, std::size_t count) override {
    Reserve(static_cast<std::int64_t>(count));
    if constexpr (std::endian::native == std::endian::little) {
      out_.Write(data, count * sizeof(std::int16_t));
    } else {
      std::array<std::uint8_t, 4096> bytes;
      while (count > 0) {
        const std::size_t n = std::min(count, bytes.size() / 2);
        for (std::size_t i = 0; i < n; ++i) {
          const auto v = static_cast<std::uint16_t>(data[i]);
          bytes[2 * i] = static_cast<std::uint8_t>(v);
          bytes[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
        }
        out_.Write(bytes.data(), 2 * n);
        data += n;
        count -= n;
      }
    }
  }

  void Zeros(std::int64_t count) override {
    Reserve(count);
    const std::int64_t end = out_.Position() + 2 * count;
    out_.SetSize(end);  // zero-extends
    out_.Seek(end);
  }

 private:
  void Reserve(std::int64_t samples) {
    if (samples > (max_bytes_ - data_bytes_) / 2) {
      throw std::length_error("the sound is too long for a WAV file (" +
                              std::to_string(max_bytes_) + " bytes of samples at most)");
    }
    data_bytes_ += 2 * samples;
  }

  record::Stream& out_;
  const std::int64_t max_bytes_;
  std::int64_t data_bytes_ = 0;
};

[[noreturn]] void ThrowFileError(const std::string& path, int error) {
  throw std::runtime_error("cannot write \"" + path + "\": " + std::strerror(error));
}

}  // namespace

record::WaveFormatEx MonoPcmFormat() {
  record::WaveFormatEx f;
  f.wFormatTag = record::kWaveFormatPcm;
  f.nChannels = 1;
  f.nSamplesPerSec = morse::kRenderSampRate;
  f.wBitsPerSample = 16;
  f.nBlockAlign = 2;
  f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
  f.cbSize = 0;
  return f;
}

void RenderWave(std::u16string_view text, const morse::RenderOptions& options,
                record::Stream& out, std::int64_t maxDataBytes) {
  morse::ValidateRenderOptions(options);
  record::TWaveImage image(out);
  image.InitHeader(MonoPcmFormat());
  WaveDataWriter writer(out, std::min(maxDataBytes, kMaxWaveDataBytes));
  morse::RenderText(text, options, writer);
  image.CorretHeader();
}

void SaveFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) ThrowFileError(path, errno);
  // mkstemp makes the file private; give it the usual mode for new files.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  int error = ::fchmod(fd, 0666 & ~mask) == 0 ? 0 : errno;
  std::size_t done = 0;
  while (error == 0 && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno != EINTR) error = errno;
    } else {
      done += static_cast<std::size_t>(n);
    }
  }
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    ThrowFileError(path, error);
  }
}

}  // namespace render
