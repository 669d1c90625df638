// Arbitrary bytes as a text file: decoding never fails, lines never hold a
// line break, and writing the lines and reading them back gives the same
// lines, so a round trip never grows a file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "gui/text_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QString text = gui::DecodeText(bytes);
  QByteArray body = bytes;
  if (body.startsWith("\xEF\xBB\xBF")) body.remove(0, 3);
  // Either UTF-8, or one character per byte.
  if (text != QString::fromUtf8(body) && text.size() != body.size()) std::abort();

  const QStringList lines = gui::SplitLines(text);
  qsizetype chars = 0;
  for (const QString& l : lines) {
    if (l.contains(QChar(u'\r')) || l.contains(QChar(u'\n'))) std::abort();
    chars += l.size();
  }
  if (chars > text.size()) std::abort();

  const QByteArray written = gui::EncodeLines(lines);
  QStringList again = gui::SplitLines(gui::DecodeText(written));
  // A second mark at the start reads as text once and as a mark after.
  QStringList expected = lines;
  if (!expected.isEmpty() && expected[0].startsWith(QChar(0xFEFF))) {
    expected[0].remove(0, 1);
    if (again.isEmpty()) again << QString();
  }
  if (again != expected) std::abort();
  if (gui::SplitLines(gui::DecodeText(gui::EncodeLines(again))) != again) std::abort();
  return 0;
}
