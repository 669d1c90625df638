#include "tools/render_wav.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <system_error>

#include "record/file_stream.h"
#include "tools/output_file.h"

namespace render {

namespace {

// Lays little-endian 16-bit samples, silence included, into a stream in
// order, holding the renderer to the count the header was made from.
class WaveDataWriter final : public morse::SampleWriter {
 public:
  WaveDataWriter(record::Stream& out, std::int64_t samples) : out_(out), left_(samples) {}

  void Samples(const std::int16_t* data, std::size_t count) override {
    Take(static_cast<std::int64_t>(count));
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
    Take(count);
    static constexpr std::array<std::uint8_t, 65536> kZeros{};
    for (std::int64_t bytes = 2 * count; bytes > 0;) {
      const auto n = static_cast<std::size_t>(std::min<std::int64_t>(bytes, kZeros.size()));
      out_.Write(kZeros.data(), n);
      bytes -= static_cast<std::int64_t>(n);
    }
  }

  void Finish() const {
    if (left_ != 0) throw std::logic_error("the sound came out shorter than counted");
  }

 private:
  void Take(std::int64_t count) {
    if (count > left_) throw std::logic_error("the sound came out longer than counted");
    left_ -= count;
  }

  record::Stream& out_;
  std::int64_t left_;
};

// Reports the size the finished image will have, so that TWaveImage patches
// a header before any data exists, for streams that cannot go back to it.
class SizedHeader final : public record::MemoryStream {
 public:
  explicit SizedHeader(std::int64_t imageSize) : imageSize_(imageSize) {}
  std::int64_t Size() const override { return imageSize_; }

 private:
  std::int64_t imageSize_;
};

// The header, then the samples: the stream only ever moves forward.
void WriteWave(std::u16string_view text, const morse::RenderOptions& options,
               record::Stream& out, std::int64_t samples, const Progress& progress = {}) {
  SizedHeader header(record::kWaveHeaderBytes + 2 * samples);
  record::TWaveImage image(header);
  image.InitHeader(MonoPcmFormat());
  image.CorretHeader();
  out.Write(header.Bytes().data(), header.Bytes().size());
  WaveDataWriter writer(out, samples);
  ProgressWriter tap(writer, samples, progress);
  morse::RenderText(text, options, tap);
  writer.Finish();
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

std::int64_t WaveSampleCount(std::u16string_view text, const morse::RenderOptions& options,
                             std::int64_t maxDataBytes) {
  // Counting stops at the limit, so an over-long text is refused at once
  // and before anything is written.
  const std::int64_t limit = std::min(maxDataBytes, kMaxWaveDataBytes);
  const std::int64_t samples = morse::CountTextSamples(text, options, limit / 2);
  if (samples < 0) {
    throw std::length_error("the sound is too long for a WAV file (more than " +
                            std::to_string(limit / 2) +
                            " samples); choose RF64 (--format rf64) or a compressed format such "
                            "as FLAC, which have no such limit");
  }
  return samples;
}

void RenderWave(std::u16string_view text, const morse::RenderOptions& options,
                record::Stream& out, std::int64_t maxDataBytes) {
  const std::int64_t samples = WaveSampleCount(text, options, maxDataBytes);
  record::TWaveImage image(out);
  image.InitHeader(MonoPcmFormat());
  // Sized once, a memory stream does not grow piecemeal; the data then
  // overwrites its zeros in order.
  const std::int64_t dataStart = out.Position();
  out.SetSize(dataStart + 2 * samples);
  out.Seek(dataStart);
  WaveDataWriter writer(out, samples);
  morse::RenderText(text, options, writer);
  writer.Finish();
  image.CorretHeader();
}

void RenderWaveInOrder(std::u16string_view text, const morse::RenderOptions& options,
                       record::Stream& out, std::int64_t maxDataBytes) {
  WriteWave(text, options, out, WaveSampleCount(text, options, maxDataBytes));
}

void RenderWaveFile(const std::string& path, std::u16string_view text,
                    const morse::RenderOptions& options, std::int64_t maxDataBytes,
                    const Progress& progress) {
  const std::int64_t samples = WaveSampleCount(text, options, maxDataBytes);
  ReplacingFile file(path);
  if (file.Direct()) {
    record::FileStream out(file.ReleaseFd(), path, record::FileStream::Mode::kSequential);
    WriteWave(text, options, out, samples, progress);
    out.Close();
    return;
  }
  record::FileStream out(file.ReleaseFd(), path);  // messages name the file the user asked for
  out.Reserve(record::kWaveHeaderBytes + 2 * samples);
  WriteWave(text, options, out, samples, progress);
  out.Close();
  file.Commit();
}

ProgressWriter::ProgressWriter(morse::SampleWriter& out, std::int64_t total,
                               const Progress& progress)
    : out_(out), total_(total), progress_(progress) {}

void ProgressWriter::Samples(const std::int16_t* data, std::size_t count) {
  out_.Samples(data, count);
  Advance(static_cast<std::int64_t>(count));
}

void ProgressWriter::Zeros(std::int64_t count) {
  out_.Zeros(count);
  Advance(count);
}

void ProgressWriter::Advance(std::int64_t count) {
  done_ += count;
  if (progress_ && (done_ >= next_ || done_ == total_)) {
    progress_(done_, total_);
    next_ = done_ + kStep;
  }
}

}  // namespace render
