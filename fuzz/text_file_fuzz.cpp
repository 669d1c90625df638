// Arbitrary bytes as a text file: decoding never fails, lines never hold a
// line break, and writing the lines and reading them back gives the same
// lines, so a round trip never grows a file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QStringDecoder>

#include "gui/text_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QString text = gui::DecodeText(bytes);
  QByteArray body = bytes;
  if (body.startsWith("\xEF\xBB\xBF")) body.remove(0, 3);
  // Either UTF-8 (a further mark kept as text), or one character per byte.
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
  if (text != QString(utf8(body)) && text.size() != body.size()) std::abort();

  const QStringList lines = gui::SplitLines(text);
  qsizetype chars = 0;
  for (const QString& l : lines) {
    if (l.contains(QChar(u'\r')) || l.contains(QChar(u'\n'))) std::abort();
    chars += l.size();
  }
  if (chars > text.size()) std::abort();

  const QByteArray written = gui::EncodeLines(lines);
  if (gui::SplitLines(gui::DecodeText(written)) != lines) std::abort();
  return 0;
}
