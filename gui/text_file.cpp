#include "gui/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace gui {

namespace {

// Windows-1252 at 0x80..0x9F; the five unassigned bytes keep their C1 code,
// as the system's own conversion does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(const unsigned char* p, qsizetype n) {
  qsizetype i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    int extra;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (n - i <= extra) return false;
    if (p[i + 1] < lo || p[i + 1] > hi) return false;
    for (int k = 2; k <= extra; ++k)
      if ((p[i + k] & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

QString FromCp1252(const QByteArray& bytes) {
  QString text(bytes.size(), Qt::Uninitialized);
  QChar* out = text.data();
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    out[i] = QChar(c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : char16_t{c});
  }
  return text;
}

std::string Native(const QString& path) { return QFile::encodeName(path).toStdString(); }

[[noreturn]] void ThrowOpen(const QString& absolute, const QString& reason) {
  throw EFileError(QStringLiteral("Cannot open file \"%1\". %2").arg(absolute, reason).toStdString());
}

[[noreturn]] void ThrowOpen(const QString& absolute, int error) {
  ThrowOpen(absolute, QString::fromLocal8Bit(std::strerror(error)));
}

[[noreturn]] void ThrowCreate(const QString& absolute, int error) {
  throw EFileError(QStringLiteral("Cannot create file \"%1\". %2")
                       .arg(absolute, QString::fromLocal8Bit(std::strerror(error)))
                       .toStdString());
}

// 0 or the errno of the first failure.
int WriteAll(int fd, const QByteArray& bytes) {
  const char* p = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, static_cast<std::size_t>(left));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += n;
    left -= n;
  }
  return 0;
}

// fsync where the file system has it; a device or pipe may not.
int SyncFile(int fd) {
  if (::fsync(fd) == 0 || errno == EINVAL || errno == EROFS || errno == ENOTSUP) return 0;
  return errno;
}

int CloseFile(int fd) { return ::close(fd) == 0 || errno == EINTR ? 0 : errno; }

void WriteDirect(const std::string& target, const QString& absolute, const QByteArray& bytes) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) ThrowCreate(absolute, errno);
  int error = WriteAll(fd, bytes);
  if (error == 0) error = SyncFile(fd);
  const int closeError = CloseFile(fd);
  if (error == 0) error = closeError;
  if (error != 0) ThrowCreate(absolute, error);
}

std::atomic<unsigned> temp_counter{0};

}  // namespace

QString DecodeText(const QByteArray& bytes) {
  QByteArray body = bytes;
  if (body.startsWith("\xEF\xBB\xBF")) body.remove(0, 3);
  if (IsUtf8(reinterpret_cast<const unsigned char*>(body.constData()), body.size())) {
    // QString::fromUtf8 would drop a second mark as well: it is text here.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder(body);
  }
  return FromCp1252(body);
}

QStringList SplitLines(const QString& text) {
  QStringList lines;
  qsizetype start = 0;
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = text[i];
    if (c != u'\r' && c != u'\n') continue;
    lines << text.mid(start, i - start);
    if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < n) lines << text.mid(start);
  return lines;
}

QByteArray EncodeLines(const QStringList& lines) {
  QByteArray bytes;
  // Reading drops one leading mark; a text that itself begins with U+FEFF
  // gets one in front so that it reads back whole.
  if (!lines.isEmpty() && lines.front().startsWith(QChar(0xFEFF))) bytes += "\xEF\xBB\xBF";
  for (const QString& line : lines) {
    bytes += line.toUtf8();
    bytes += "\r\n";
  }
  return bytes;
}

QString AbsolutePath(const QString& path) {
  return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QByteArray ReadFileBytes(const QString& path, qint64 maxBytes, const QString& tooLarge) {
  const QString absolute = AbsolutePath(path);
  const auto throwTooLarge = [&] {
    if (tooLarge.isEmpty()) ThrowOpen(absolute, EFBIG);
    ThrowOpen(absolute, tooLarge);
  };
  const int fd = ::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowOpen(absolute, errno);
  struct stat st {};
  if (::fstat(fd, &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      ::close(fd);
      ThrowOpen(absolute, EISDIR);
    }
    if (maxBytes >= 0 && S_ISREG(st.st_mode) && st.st_size > maxBytes) {
      ::close(fd);
      throwTooLarge();
    }
  }
  QByteArray bytes;
  if (S_ISREG(st.st_mode) && st.st_size > 0) bytes.reserve(static_cast<qsizetype>(st.st_size));
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      ThrowOpen(absolute, error);
    }
    bytes.append(chunk, static_cast<qsizetype>(n));
    if (maxBytes >= 0 && bytes.size() > maxBytes) {
      ::close(fd);
      throwTooLarge();
    }
  }
  ::close(fd);
  return bytes;
}

QString ReadTextFile(const QString& path) { return DecodeText(ReadFileBytes(path)); }

QStringList ReadTextLines(const QString& path) { return SplitLines(ReadTextFile(path)); }

void WriteFileAtomically(const QString& path, const QByteArray& bytes) {
  const QString absolute = AbsolutePath(path);
  std::string target = Native(absolute);

  // A link stays a link: replace the file it names.
  struct stat lst {};
  if (::lstat(target.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    if (char* real = ::realpath(target.c_str(), nullptr)) {
      target = real;
      std::free(real);
    } else {
      // A dangling link: writing through it creates what it names.
      WriteDirect(target, absolute, bytes);
      return;
    }
  }
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    WriteDirect(target, absolute, bytes);
    return;
  }

  const std::string::size_type slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = folder + "." + name + ".tmp-" + std::to_string(::getpid()) + "-" +
           std::to_string(temp_counter.fetch_add(1));
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    const int error = errno;
    // The folder takes no new file, but the file itself may still be written.
    if (exists && (error == EACCES || error == EPERM) && ::access(target.c_str(), W_OK) == 0) {
      WriteDirect(target, absolute, bytes);
      return;
    }
    ThrowCreate(absolute, error);
  }
  if (exists) (void)::fchmod(fd, st.st_mode & 07777);
  int error = WriteAll(fd, bytes);
  if (error == 0) error = SyncFile(fd);
  const int closeError = CloseFile(fd);
  if (error == 0) error = closeError;
  if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    ThrowCreate(absolute, error);
  }
}

void WriteTextLines(const QString& path, const QStringList& lines) {
  WriteFileAtomically(path, EncodeLines(lines));
}

}  // namespace gui
