// Whole text files as the trainer reads and writes them: its settings, notes,
// practice texts and any text the user loads.
//
// Reading takes UTF-8, with or without a byte-order mark, and falls back to
// Windows-1252 for bytes that are not UTF-8, so files from older editors
// still read. CR LF, LF and CR each end a line, and a final line break does
// not start another line: "a\r\nb\r\n" is two lines.
//
// Writing produces UTF-8 without a mark, CR LF after every line, and never
// damages the file it replaces: the bytes go to a temporary file beside it
// which is then renamed over it.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <stdexcept>

namespace gui {

// "Cannot open file "<absolute path>". <reason>" or
// "Cannot create file "<absolute path>". <reason>", the reason being the
// system's.
class EFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

QString DecodeText(const QByteArray& bytes);
QStringList SplitLines(const QString& text);
// Each line followed by CR LF; no lines give no bytes.
QByteArray EncodeLines(const QStringList& lines);

// The absolute form of path, as messages show it.
QString AbsolutePath(const QString& path);

// The file's bytes; throws EFileError "Cannot open file ..." when it cannot
// be read, or when it is larger than maxBytes (-1: no limit), with
// "File too large" as reason.
QByteArray ReadFileBytes(const QString& path, qint64 maxBytes = -1);
QString ReadTextFile(const QString& path);
QStringList ReadTextLines(const QString& path);

// Replaces path with bytes through a temporary file in the same folder,
// renamed over it once written, flushed to disk and closed without error.
// Where the folder takes no new file but the file itself may be written, or
// path is not a regular file (a device such as /dev/null), the bytes are
// written to it directly. A link is followed and stays a link. Throws
// EFileError "Cannot create file ..." and leaves no temporary file behind.
void WriteFileAtomically(const QString& path, const QByteArray& bytes);
void WriteTextLines(const QString& path, const QStringList& lines);

}  // namespace gui
