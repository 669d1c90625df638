// marlowick-render: a text file (UTF-8) to the audio file of the Morse that
// the trainer's Send Text plays for it.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <map>

#include "morse/convert.h"
#include "morse/render.h"
#include "record/file_stream.h"
#include "tools/output_file.h"
#include "tools/render_encoded.h"
#include "tools/render_wav.h"

namespace {

constexpr char kProgram[] = "marlowick-render";

void PrintUsage(std::ostream& out) {
  out << "Usage: " << kProgram << " [options] -o OUTPUT [INPUT]\n"
      << "Renders a UTF-8 text (from INPUT, or standard input when INPUT is missing or \"-\")\n"
      << "as Morse code into a mono 44100 Hz audio file, exactly as the trainer's Send Text\n"
      << "plays it: 16-bit WAV, or FLAC, Ogg Vorbis, Opus (resampled to 48 kHz), MP3 or\n"
      << "RF64 WAV, chosen by the output file's extension or --format.\n\n"
      << "  -c, --wpm N         character speed, words per minute (1..100, default 12)\n"
      << "  -t, --farnsworth N  text speed with Farnsworth spacing (1..100, default 5);\n"
      << "                      at or above the character speed all is sent at N\n"
      << "      --freq N        tone frequency in Hz (1..20000, default 800)\n"
      << "      --rise N        rise and fall time in ms (1..50, default 5)\n"
      << "      --harmonics N   odd harmonics added to the sine (0..3, default 1)\n"
      << "      --square        square wave (every non-zero table entry to +1 or -1)\n"
      << "  -o, --output FILE   the file to write, \"-\" for standard output\n"
      << "  -f, --format NAME   wav, rf64, flac, ogg, opus or mp3 (default: by the\n"
      << "                      extension of FILE, WAV when it names none of them)\n"
      << "  -q, --quality N     ogg, opus and mp3: 0 (smallest) to 10 (best)\n"
      << "      --quiet         no progress bar and no summary\n"
      << "  -h, --help          this text\n\n"
      << "A WAV file holds at most about 13.5 hours at 44100 Hz; RF64 and the compressed\n"
      << "formats have no such limit. Line breaks at the end of the text are not sent.\n";
}

struct UsageError {
  std::string message;
};

struct Arguments {
  morse::RenderOptions options;
  std::optional<std::string> output;
  std::string input = "-";
  std::optional<render::Format> format;
  std::optional<std::int32_t> quality;
  bool quiet = false;
  bool help = false;
};

std::int32_t ParseNumber(std::string_view option, const std::string& text,
                         morse::OptionRange range) {
  std::int32_t value = 0;
  if (!morse::TryStrToInt(morse::FromUtf8(text), value) || value < range.min ||
      value > range.max) {
    throw UsageError{"invalid value '" + text + "' for " + std::string(option) + " (expected " +
                     std::to_string(range.min) + ".." + std::to_string(range.max) + ")"};
  }
  return value;
}

Arguments ParseArguments(int argc, char** argv) {
  Arguments args;
  bool haveInput = false;
  bool optionsDone = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsDone || arg == "-" || arg.empty() || arg[0] != '-') {
      if (haveInput) throw UsageError{"more than one input file: '" + arg + "'"};
      args.input = arg;
      haveInput = true;
      continue;
    }
    if (arg == "--") {
      optionsDone = true;
      continue;
    }
    std::optional<std::string> inlineValue;
    if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
      inlineValue = arg.substr(eq + 1);
      arg.resize(eq);
    }
    auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= argc) throw UsageError{"option " + arg + " needs a value"};
      return argv[++i];
    };
    auto flag = [&] {
      if (inlineValue) throw UsageError{"option " + arg + " takes no value"};
    };
    morse::RenderOptions& o = args.options;
    if (arg == "-c" || arg == "--wpm") {
      o.charWpm = ParseNumber(arg, value(), morse::kWpmRange);
    } else if (arg == "-t" || arg == "--farnsworth") {
      o.textWpm = ParseNumber(arg, value(), morse::kWpmRange);
    } else if (arg == "--freq") {
      o.frequency = ParseNumber(arg, value(), morse::kFrequencyRange);
    } else if (arg == "--rise") {
      o.riseMs = ParseNumber(arg, value(), morse::kRiseRange);
    } else if (arg == "--harmonics") {
      o.harmonics = ParseNumber(arg, value(), morse::kHarmonicsRange);
    } else if (arg == "--square") {
      flag();
      o.square = true;
    } else if (arg == "-o" || arg == "--output") {
      args.output = value();
      if (args.output->empty()) throw UsageError{"empty output file name"};
    } else if (arg == "-f" || arg == "--format") {
      const std::string name = value();
      args.format = render::FormatByName(name);
      if (!args.format) {
        throw UsageError{"unknown format '" + name + "' (expected one of " +
                         render::kFormatNames + ")"};
      }
    } else if (arg == "-q" || arg == "--quality") {
      args.quality = ParseNumber(arg, value(), render::kQualityRange);
    } else if (arg == "--quiet") {
      flag();
      args.quiet = true;
    } else if (arg == "-h" || arg == "--help") {
      flag();
      args.help = true;
    } else {
      throw UsageError{"unknown option '" + arg + "'"};
    }
  }
  return args;
}

std::string ReadAll(std::FILE* in, const std::string& name) {
  std::string text;
  // A file's size is known: one allocation instead of doubling growth.
  if (struct stat st {}; ::fstat(::fileno(in), &st) == 0 && S_ISREG(st.st_mode)) {
    text.reserve(static_cast<std::size_t>(st.st_size));
  }
  char buffer[65536];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, n);
  if (std::ferror(in)) {
    throw std::runtime_error("cannot read \"" + name + "\": " + std::strerror(errno));
  }
  return text;
}

std::string ReadInput(const std::string& name) {
  if (name == "-") return ReadAll(stdin, "standard input");
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) {
    throw std::runtime_error("cannot open \"" + name + "\": " + std::strerror(errno));
  }
  try {
    std::string text = ReadAll(file, name);
    std::fclose(file);
    return text;
  } catch (...) {
    std::fclose(file);
    throw;
  }
}

// Streams the WAV image to standard output, which may be a pipe: the header
// comes first, complete, and nothing is ever rewritten.
void WriteStdout(std::u16string_view text, const morse::RenderOptions& options) {
  const int fd = ::dup(STDOUT_FILENO);
  if (fd < 0) {
    throw std::system_error(errno, std::generic_category(), "cannot write \"standard output\"");
  }
  record::FileStream out(fd, "standard output", record::FileStream::Mode::kSequential);
  render::RenderWaveInOrder(text, options, out);
  out.Close();
}

// The same file, as far as the system can tell: a link or another name of
// the input counts too.
bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && S_ISREG(sa.st_mode) &&
         sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string Clock(double seconds) {
  const auto total = static_cast<std::int64_t>(seconds);
  char text[48];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(total / 3600),
                  static_cast<long long>(total / 60 % 60), static_cast<long long>(total % 60));
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(total / 60),
                  static_cast<long long>(total % 60));
  }
  return text;
}

std::string Bytes(double bytes) {
  char text[32];
  if (bytes >= 1e9) {
    std::snprintf(text, sizeof text, "%.2f GB", bytes / 1e9);
  } else if (bytes >= 1e6) {
    std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
  } else {
    std::snprintf(text, sizeof text, "%.1f kB", bytes / 1e3);
  }
  return text;
}

// A bar on standard error, redrawn in place; only for a terminal.
class ProgressBar {
 public:
  void operator()(std::int64_t done, std::int64_t total) {
    const double part = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1;
    const int filled = static_cast<int>(part * kWidth);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kWidth, '.');
    std::fprintf(stderr, "\r[%s] %3d%%  %s of %s", bar.c_str(), static_cast<int>(part * 100),
                 Clock(static_cast<double>(done) / morse::kRenderSampRate).c_str(),
                 Clock(static_cast<double>(total) / morse::kRenderSampRate).c_str());
    std::fflush(stderr);
    drawn_ = true;
  }
  void Clear() {
    if (drawn_) std::fprintf(stderr, "\r\033[K");
    drawn_ = false;
  }

 private:
  static constexpr int kWidth = 30;
  bool drawn_ = false;
};

std::string Describe(char16_t c) {
  switch (c) {
    case u'\t':
      return "tab";
    default:
      break;
  }
  char text[16];
  if (c < 0x20 || c == 0x7F) {
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
  }
  std::snprintf(text, sizeof text, "U+%04X ", static_cast<unsigned>(c));
  return std::string(text) + "'" + morse::ToUtf8(std::u16string(1, c)) + "'";
}

void ReportUnsendable(const std::map<char16_t, std::int64_t>& found) {
  if (found.empty()) return;
  std::string list;
  for (const auto& [c, n] : found) {
    if (!list.empty()) list += ", ";
    list += Describe(c) + " (" + std::to_string(n) + "x)";
  }
  std::cerr << kProgram << ": not sent, as Morse has no code for them: " << list << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  try {
    args = ParseArguments(argc, argv);
    if (args.help) {
      PrintUsage(std::cout);
      return std::cout.flush() ? 0 : 1;
    }
    if (!args.output) throw UsageError{"no output file given (-o FILE, or -o - for standard output)"};
    if (!args.format) args.format = render::FormatByExtension(*args.output);
    if (!args.format) args.format = render::Format::kWav;
    if (args.quality && !render::HasQuality(*args.format)) {
      throw UsageError{std::string("--quality does not apply to ") +
                       render::FormatName(*args.format) + ", which is lossless"};
    }
  } catch (const UsageError& e) {
    std::cerr << kProgram << ": " << e.message << "\n"
              << "Try '" << kProgram << " --help' for more information.\n";
    return 2;
  }

  render::RemoveTemporaryFileOnSignals();
  const std::string& output = *args.output;
  const bool toStdout = output == "-";
  try {
    if (!toStdout) {
      if (args.input != "-" && SameFile(args.input, output)) {
        throw std::runtime_error("the output file \"" + output +
                                 "\" is the input file; choose another name");
      }
      render::CheckWritable(output);
    }
    // Line breaks are made CR LF in the UTF-8 bytes, before the text
    // doubles in size as UTF-16, so no UTF-16 copy of a long text is made.
    std::u16string text;
    {
      std::string raw = ReadInput(args.input);
      const std::size_t bom = raw.starts_with("\xEF\xBB\xBF") ? 3 : 0;  // a byte order mark
      // A text file's last line ends in a line break; sent, it would only add
      // a word gap of silence at the end.
      while (raw.size() > bom && (raw.back() == '\n' || raw.back() == '\r')) raw.pop_back();
      morse::NormalizeLineBreaksInPlace(raw);
      text = morse::FromUtf8(std::string_view(raw).substr(bom));
    }

    const bool showBar = !args.quiet && ::isatty(STDERR_FILENO) == 1;
    ProgressBar bar;
    render::Progress progress;
    if (showBar) progress = [&bar](std::int64_t done, std::int64_t total) { bar(done, total); };

    const auto start = std::chrono::steady_clock::now();
    std::int64_t samples = 0;
    const render::Progress counting = [&](std::int64_t done, std::int64_t total) {
      samples = done;
      if (progress) progress(done, total);
    };
    try {
      if (*args.format == render::Format::kWav) {
        if (toStdout) {
          WriteStdout(text, args.options);
          samples = render::WaveSampleCount(text, args.options);
        } else {
          render::RenderWaveFile(output, text, args.options, render::kMaxWaveDataBytes, counting);
        }
      } else {
        render::RenderEncodedFile(output, text, args.options, *args.format, args.quality,
                                  counting);
      }
    } catch (...) {
      bar.Clear();
      throw;
    }
    bar.Clear();
    // After the render, so that a refused text is not walked once more.
    ReportUnsendable(morse::UnsendableCharacters(text));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!args.quiet) {
      const double audio = static_cast<double>(samples) / morse::kRenderSampRate;
      std::string where = toStdout ? "standard output" : "\"" + output + "\"";
      std::string size;
      if (struct stat st {}; !toStdout && ::stat(output.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        size = ", " + Bytes(static_cast<double>(st.st_size));
      }
      char speed[64];
      std::snprintf(speed, sizeof speed, "in %.2f s, %.0fx real time", seconds,
                    seconds > 0 ? audio / seconds : 0.0);
      std::cerr << kProgram << ": " << where << ": " << Clock(audio) << " of "
                << render::FormatName(*args.format) << size << ", " << speed << "\n";
    }
  } catch (const std::exception& e) {
    std::cerr << kProgram << ": " << e.what() << "\n";
    return 1;
  }
  return 0;
}

