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

// Lays little-endian 16-bit samples into a stream that already holds the
// zeros they replace, so silence costs only a seek and the stream never
// grows piecemeal.
class WaveDataWriter final : public morse::SampleWriter {
 public:
  explicit WaveDataWriter(record::Stream& out) : out_(out) {}

  void Samples(const std::int16_t* data, std::size_t count) override {
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

  void Zeros(std::int64_t count) override { out_.Seek(out_.Position() + 2 * count); }

 private:
  record::Stream& out_;
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
  // Counting first costs a fraction of rendering, refuses an over-long sound
  // before memory is spent on it, and lets the stream be sized once.
  const std::int64_t samples = morse::CountTextSamples(text, options);
  const std::int64_t limit = std::min(maxDataBytes, kMaxWaveDataBytes);
  if (samples > limit / 2) {
    throw std::length_error("the sound is too long for a WAV file (" + std::to_string(samples) +
                            " samples, " + std::to_string(limit / 2) + " at most)");
  }
  record::TWaveImage image(out);
  image.InitHeader(MonoPcmFormat());
  const std::int64_t dataStart = out.Position();
  out.SetSize(dataStart + 2 * samples);
  out.Seek(dataStart);
  WaveDataWriter writer(out);
  morse::RenderText(text, options, writer);
  out.SetSize(out.Position());  // trailing silence is a seek: make it part of the data
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
