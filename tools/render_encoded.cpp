#include "tools/render_encoded.h"

#include <samplerate.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "tools/output_file.h"

namespace render {

namespace {

struct FormatEntry {
  Format format;
  const char* name;
  int sfFormat;
  bool quality;
};

constexpr FormatEntry kFormats[] = {
    {Format::kWav, "wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, false},
    {Format::kRf64, "rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, false},
    {Format::kFlac, "flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, false},
    {Format::kVorbis, "ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, true},
    {Format::kOpus, "opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, true},
    {Format::kMp3, "mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, true},
};

const FormatEntry& Entry(Format format) {
  for (const FormatEntry& e : kFormats) {
    if (e.format == format) return e;
  }
  throw std::logic_error("unknown format");
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Feeds samples to libsndfile in blocks; for Opus through a streaming
// resampler first.
class EncodedWriter final : public morse::SampleWriter {
 public:
  EncodedWriter(SNDFILE* file, const std::string& name, bool resample)
      : file_(file), name_(name) {
    if (resample) {
      int error = 0;
      src_.reset(src_new(SRC_SINC_FASTEST, 1, &error));
      if (!src_) throw std::runtime_error("cannot resample for \"" + name_ + "\": " + src_strerror(error));
      in_.resize(kBlock);
      out_.resize(kBlock * 2 + 64);
    }
  }

  void Samples(const std::int16_t* data, std::size_t count) override {
    while (count > 0) {
      const std::size_t n = std::min(count, kBlock);
      if (src_) {
        src_short_to_float_array(data, in_.data(), static_cast<int>(n));
        Resample(n, false);
      } else {
        Write(data, n);
      }
      data += n;
      count -= n;
    }
  }

  void Zeros(std::int64_t count) override {
    static constexpr std::array<std::int16_t, kBlock> kZeros{};
    while (count > 0) {
      const auto n = static_cast<std::size_t>(std::min<std::int64_t>(count, kBlock));
      Samples(kZeros.data(), n);
      count -= static_cast<std::int64_t>(n);
    }
  }

  void Finish() {
    if (src_) Resample(0, true);
  }

 private:
  static constexpr std::size_t kBlock = 8192;

  struct SrcFree {
    void operator()(SRC_STATE* s) const { src_delete(s); }
  };

  void Write(const std::int16_t* data, std::size_t n) {
    if (sf_write_short(file_, data, static_cast<sf_count_t>(n)) != static_cast<sf_count_t>(n)) {
      Fail();
    }
  }

  void Resample(std::size_t n, bool last) {
    SRC_DATA d{};
    d.data_in = in_.data();
    d.input_frames = static_cast<long>(n);
    d.src_ratio = static_cast<double>(EncodedSampleRate(Format::kOpus)) / morse::kRenderSampRate;
    d.end_of_input = last ? 1 : 0;
    do {
      d.data_out = out_.data();
      d.output_frames = static_cast<long>(out_.size());
      if (const int error = src_process(src_.get(), &d); error != 0) {
        throw std::runtime_error("cannot resample for \"" + name_ + "\": " + src_strerror(error));
      }
      const auto got = static_cast<sf_count_t>(d.output_frames_gen);
      if (got > 0 && sf_write_float(file_, out_.data(), got) != got) Fail();
      d.data_in += d.input_frames_used;
      d.input_frames -= d.input_frames_used;
      if (last && d.output_frames_gen == 0) break;
    } while (d.input_frames > 0 || last);
  }

  [[noreturn]] void Fail() {
    const int error = errno;
    const std::string reason = sf_strerror(file_);
    if (error != 0 && reason.find("ystem error") != std::string::npos) {
      throw std::system_error(error, std::generic_category(), "cannot write \"" + name_ + "\"");
    }
    throw std::runtime_error("cannot write \"" + name_ + "\": " + reason);
  }

  SNDFILE* file_;
  std::string name_;
  std::unique_ptr<SRC_STATE, SrcFree> src_;
  std::vector<float> in_, out_;
};

void Encode(int fd, const std::string& name, std::u16string_view text,
            const morse::RenderOptions& options, Format format,
            std::optional<std::int32_t> quality, const Progress& progress, std::int64_t samples) {
  SF_INFO info{};
  info.samplerate = EncodedSampleRate(format);
  info.channels = 1;
  info.format = Entry(format).sfFormat;
  SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
  if (file == nullptr) {
    ::close(fd);
    throw std::runtime_error("cannot write \"" + name + "\": " + sf_strerror(nullptr));
  }
  std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> guard(file, sf_close);
  if (quality) {
    double q = *quality / 10.0;
    sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &q, sizeof q);
  }
  EncodedWriter writer(file, name, format == Format::kOpus);
  ProgressWriter tap(writer, samples, progress);
  errno = 0;
  morse::RenderText(text, options, tap);
  writer.Finish();
  sf_write_sync(file);
  if (const int error = sf_close(guard.release()); error != 0) {
    throw std::runtime_error("cannot write \"" + name + "\": " + sf_error_number(error));
  }
}

}  // namespace

std::optional<Format> FormatByName(std::string_view name) {
  const std::string n = Lower(name);
  if (n == "vorbis") return Format::kVorbis;
  for (const FormatEntry& e : kFormats) {
    if (n == e.name) return e.format;
  }
  return std::nullopt;
}

std::optional<Format> FormatByExtension(std::string_view path) {
  const auto slash = path.find_last_of('/');
  const auto dot = path.find_last_of('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
    return std::nullopt;
  }
  const std::string ext = Lower(path.substr(dot + 1));
  if (ext == "oga") return Format::kVorbis;
  return FormatByName(ext == "vorbis" ? "" : ext);
}

const char* FormatName(Format format) { return Entry(format).name; }

bool HasQuality(Format format) { return Entry(format).quality; }

std::int32_t EncodedSampleRate(Format format) {
  return format == Format::kOpus ? 48000 : morse::kRenderSampRate;
}

void RenderEncodedFile(const std::string& path, std::u16string_view text,
                       const morse::RenderOptions& options, Format format,
                       std::optional<std::int32_t> quality, const Progress& progress) {
  if (format == Format::kWav) throw std::logic_error("WAV goes through RenderWaveFile");
  if (quality && !HasQuality(format)) {
    throw std::invalid_argument(std::string(FormatName(format)) +
                                " is lossless and takes no quality");
  }
  if (quality && (*quality < kQualityRange.min || *quality > kQualityRange.max)) {
    throw std::invalid_argument("quality must be 0..10, not " + std::to_string(*quality));
  }
  morse::ValidateRenderOptions(options);
  const std::int64_t samples = morse::CountTextSamples(text, options);
  if (path == "-") {
    const int fd = ::dup(STDOUT_FILENO);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), "cannot write \"standard output\"");
    Encode(fd, "standard output", text, options, format, quality, progress, samples);
    return;
  }
  ReplacingFile file(path);
  Encode(file.ReleaseFd(), path, text, options, format, quality, progress, samples);
  file.Commit();
}

}  // namespace render
