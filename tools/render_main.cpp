// marlowick-render: a text file (UTF-8) to the WAV file of the Morse that the
// trainer's Send Text plays for it.
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

#include <unistd.h>

#include "morse/convert.h"
#include "morse/render.h"
#include "record/file_stream.h"
#include "tools/render_wav.h"

namespace {

constexpr char kProgram[] = "marlowick-render";

void PrintUsage(std::ostream& out) {
  out << "Usage: " << kProgram << " [options] -o OUTPUT [INPUT]\n"
      << "Renders a UTF-8 text (from INPUT, or standard input when INPUT is missing or \"-\")\n"
      << "as Morse code into a 16-bit mono 44100 Hz WAV file, exactly as the trainer's\n"
      << "Send Text plays it.\n\n"
      << "  -c, --wpm N         character speed, words per minute (1..100, default 12)\n"
      << "  -t, --farnsworth N  text speed with Farnsworth spacing (1..100, default 5);\n"
      << "                      at or above the character speed all is sent at N\n"
      << "      --freq N        tone frequency in Hz (1..20000, default 800)\n"
      << "      --rise N        rise and fall time in ms (1..50, default 5)\n"
      << "      --harmonics N   odd harmonics added to the sine (0..3, default 1)\n"
      << "      --square        square wave (every non-zero table entry to +1 or -1)\n"
      << "  -o, --output FILE   the WAV file to write, \"-\" for standard output\n"
      << "  -h, --help          this text\n";
}

struct UsageError {
  std::string message;
};

struct Arguments {
  morse::RenderOptions options;
  std::optional<std::string> output;
  std::string input = "-";
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
  } catch (const UsageError& e) {
    std::cerr << kProgram << ": " << e.message << "\n"
              << "Try '" << kProgram << " --help' for more information.\n";
    return 2;
  }

  try {
    std::string raw = ReadInput(args.input);
    std::string_view body = raw;
    if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);  // a UTF-8 byte order mark
    const std::u16string text = morse::NormalizeLineBreaks(morse::FromUtf8(body));
    if (*args.output == "-") {
      WriteStdout(text, args.options);
    } else {
      render::RenderWaveFile(*args.output, text, args.options);
    }
  } catch (const std::exception& e) {
    std::cerr << kProgram << ": " << e.what() << "\n";
    return 1;
  }
  return 0;
}
