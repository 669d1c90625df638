#include "gui/text_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace gui {
namespace {

struct DecodeCase {
  const char* name;
  QByteArray bytes;
  QString text;
};

TEST(TextFileTest, DecodesUtf8WithOrWithoutMarkAndFallsBackToWindows1252) {
  const DecodeCase cases[] = {
      {"plain", "CQ DE", u"CQ DE"_qs},
      {"mark dropped", "\xEF\xBB\xBF" "1\r\n", u"1\r\n"_qs},
      {"utf-8", "\xC3\xA4\xE2\x82\xAC", u"\u00E4\u20AC"_qs},
      {"cp1252 letters", "\xE4 \x80 \x9F", u"\u00E4 \u20AC \u0178"_qs},
      {"cp1252 unassigned", "\x81\x8D", u"\u0081\u008D"_qs},
      {"overlong is not utf-8", "\xC0\xAF", u"\u00C0\u00AF"_qs},
      {"surrogate is not utf-8", "\xED\xA0\x80", u"\u00ED\u00A0\u20AC"_qs},
      {"cut sequence", "ab\xE2\x82", u"ab\u00E2\u201A"_qs},
      {"mark alone", "\xEF\xBB\xBF", u""_qs},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeText(c.bytes), c.text) << c.name;
}

TEST(TextFileTest, EveryLineBreakEndsALineAndAFinalOneStartsNone) {
  const struct {
    QString text;
    QStringList lines;
  } cases[] = {
      {u"a\r\nb\r\n"_qs, {"a", "b"}},
      {u"a\nb"_qs, {"a", "b"}},
      {u"a\rb\r"_qs, {"a", "b"}},
      {u"a\r\n\r\nb"_qs, {"a", "", "b"}},
      {u"\n"_qs, {""}},
      {u""_qs, {}},
      {u"a\n\r"_qs, {"a", ""}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitLines(c.text), c.lines) << c.text.toStdString();
  EXPECT_EQ(EncodeLines({"a", "", "\u00E4"}), QByteArray("a\r\n\r\n\xC3\xA4\r\n"));
  EXPECT_EQ(EncodeLines({}), QByteArray());
  // A text that begins with U+FEFF keeps it through a save and a load.
  const QStringList marked{u"\uFEFF\uFEFFx"_qs};
  EXPECT_EQ(SplitLines(DecodeText(EncodeLines(marked))), marked);
}

class TextFileWriteTest : public ::testing::Test {
 protected:
  QString Path(const QString& name) const { return dir_.filePath(name); }
  QStringList Entries() const {
    return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  }
  QTemporaryDir dir_;
};

TEST_F(TextFileWriteTest, ReplacesTheFileThroughATemporaryOneAndLeavesNoneBehind) {
  const QString path = Path("Pelkainit.txt");
  WriteTextLines(path, {"1", "12"});
  ::chmod(QFile::encodeName(path).constData(), 0640);
  WriteTextLines(path, {"0"});
  EXPECT_EQ(ReadFileBytes(path), QByteArray("0\r\n"));
  EXPECT_EQ(ReadTextLines(path), QStringList{"0"});
  EXPECT_EQ(Entries(), QStringList{"Pelkainit.txt"});
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u) << "the file keeps its permissions";
}

TEST_F(TextFileWriteTest, ALinkStaysALinkAndADeviceIsWrittenThrough) {
  WriteTextLines(Path("real.txt"), {"old"});
  ASSERT_TRUE(QFile::link(Path("real.txt"), Path("link.txt")));
  WriteTextLines(Path("link.txt"), {"new"});
  EXPECT_TRUE(QFileInfo(Path("link.txt")).isSymLink());
  EXPECT_EQ(ReadTextLines(Path("real.txt")), QStringList{"new"});

  WriteTextLines("/dev/null", {"gone"});
  EXPECT_TRUE(QFileInfo("/dev/null").exists());
  EXPECT_FALSE(QFileInfo("/dev/null").isFile());
}

TEST_F(TextFileWriteTest, FailuresNameTheFullPathAndTheSystemsReason) {
  const QString missing = Path("no/such/folder/Notepad.txt");
  const struct {
    QString path;
    QString message;
  } cases[] = {
      {missing, "Cannot create file \"" + missing + "\". No such file or directory"},
      {dir_.path(), "Cannot create file \"" + dir_.path() + "\". Is a directory"},
      {"/dev/full", "Cannot create file \"/dev/full\". No space left on device"},
  };
  for (const auto& c : cases) {
    try {
      WriteTextLines(c.path, {"text"});
      ADD_FAILURE() << "no error for " << c.path.toStdString();
    } catch (const EFileError& e) {
      EXPECT_EQ(QString::fromUtf8(e.what()), c.message);
    }
  }
  EXPECT_TRUE(Entries().isEmpty());

  try {
    ReadTextLines(missing);
    ADD_FAILURE() << "no error";
  } catch (const EFileError& e) {
    EXPECT_EQ(QString::fromUtf8(e.what()),
              "Cannot open file \"" + missing + "\". No such file or directory");
  }
}

TEST_F(TextFileWriteTest, ARelativePathIsShownAbsoluteAndASizeLimitIsAnError) {
  const QString old = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir_.path()));
  WriteFileAtomically("big.txt", QByteArray(100, 'x'));
  try {
    ReadFileBytes("big.txt", 99);
    ADD_FAILURE() << "no error";
  } catch (const EFileError& e) {
    EXPECT_EQ(QString::fromUtf8(e.what()),
              "Cannot open file \"" + Path("big.txt") + "\". File too large");
  }
  EXPECT_EQ(ReadFileBytes("big.txt", 100).size(), 100);
  QDir::setCurrent(old);
}

}  // namespace
}  // namespace gui
