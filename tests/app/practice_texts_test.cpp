// Load practice Text and Load any File through the real window, and the
// practice texts that ship with the program.
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <set>

#include "file_fixture.h"
#include "gui/text_file.h"

namespace {

class PracticeTextTest : public FileWindowTest {
 protected:
  // Files P0..P9 whose line k reads "P<h> TEXT <k>".
  void WriteNumberedFiles(int lines = 100) {
    for (int h = 0; h < 10; ++h) {
      QByteArray bytes;
      for (int k = 1; k <= lines; ++k) bytes += QString("P%1 TEXT %2\r\n").arg(h).arg(k).toUtf8();
      Write(QString("P%1").arg(h), bytes);
    }
  }
  void Load(const QString& number) {
    form->Edit1->SetText(number);
    form->Button1->click();
  }
};

TEST_F(PracticeTextTest, NumbersPickFileAndLineAndAdvance) {
  WriteNumberedFiles();
  const struct {
    const char* number;
    const char* text;
    const char* next;
  } cases[] = {
      {"1", "P0 TEXT 1", "2"},      {"100", "P0 TEXT 100", "101"}, {"101", "P1 TEXT 1", "102"},
      {"237", "P2 TEXT 37", "238"}, {"950", "P9 TEXT 50", "1"},    {"0", "", "1"},
      {"951", "", "1"},             {"-3", "", "-2"},              {"2000", "", "1"},
      {"+7", "P0 TEXT 7", "8"},
  };
  TForm1& f = *form;
  for (const auto& c : cases) {
    f.Memo1->SetText("old");
    f.FmessagePos = 9;
    f.sentstring = u"x";
    Load(c.number);
    EXPECT_EQ(f.Memo1->Text(), c.text) << c.number;  // no line break after the text
    EXPECT_EQ(f.Edit1->Text(), c.next) << c.number;
    EXPECT_EQ(f.FmessagePos, 1);
    EXPECT_TRUE(f.sentstring.empty());
    EXPECT_EQ(f.StatusBar1->SimpleText(), "Press <Send Text> to start sending");
  }
  EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("\n").toStdString();
  Load("950");
  EXPECT_EQ(f.PracHund, 9);
  EXPECT_EQ(f.PracIndex, 50);
  EXPECT_EQ(f.PracNumber, 1);
}

TEST_F(PracticeTextTest, EveryClickReadsItsFileAgain) {
  WriteNumberedFiles();
  TForm1& f = *form;
  f.Edit1->SetText("95");
  QStringList loaded;
  for (int i = 0; i < 10; ++i) {
    if (i == 3) Write("P0", QByteArray("changed\r\n").repeated(100));
    f.Button1->click();
    loaded << f.Memo1->Text();
  }
  EXPECT_EQ(loaded, (QStringList{"P0 TEXT 95", "P0 TEXT 96", "P0 TEXT 97", "changed", "changed", "changed",
                                 "P1 TEXT 1", "P1 TEXT 2", "P1 TEXT 3", "P1 TEXT 4"}));
  EXPECT_EQ(f.Edit1->Text(), "105");
}

TEST_F(PracticeTextTest, QmSwitchesTheFastScaleAndNothingElse) {
  WriteNumberedFiles();
  TForm1& f = *form;
  f.Memo1->SetText("keep");
  f.StatusBar1->SetSimpleText("status");
  Load("qm");
  EXPECT_TRUE(f.FastFlag);
  EXPECT_EQ(f.Edit1->Text(), "qm");
  EXPECT_EQ(f.Memo1->Text(), "keep");
  EXPECT_EQ(f.StatusBar1->SimpleText(), "status");
  f.CspeedScrollbar->SetPosition(7);
  EXPECT_DOUBLE_EQ(f.Speed, 14);

  for (const char* notSwitch : {"Qm", "QM", " qm"}) {
    Open();
    form->Memo1->SetText("keep");
    form->StatusBar1->SetSimpleText("status");
    Load(notSwitch);
    EXPECT_FALSE(form->FastFlag) << notSwitch;
    ASSERT_EQ(dialogs.errors.size(), 1) << notSwitch;
    EXPECT_EQ(dialogs.errors[0], QString("'%1' is not a valid integer value").arg(notSwitch));
    EXPECT_EQ(form->Memo1->Text(), "");  // cleared before the number is read
    EXPECT_EQ(form->Edit1->Text(), notSwitch);
    EXPECT_EQ(form->StatusBar1->SimpleText(), "status");
    dialogs.errors.clear();
  }
}

TEST_F(PracticeTextTest, MissingFilesShortFilesAndLongLines) {
  TForm1& f = *form;
  Load("5");  // no P0
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_EQ(dialogs.errors[0], QString("Cannot open file \"%1\". No such file or directory").arg(Path("P0")));
  EXPECT_EQ(f.Edit1->Text(), "5");

  Write("P0", "only one\r\n");
  Load("5");
  EXPECT_EQ(f.Memo1->Text(), "");
  EXPECT_EQ(f.Edit1->Text(), "6");
  EXPECT_EQ(f.StatusBar1->SimpleText(), "Press <Send Text> to start sending");

  // A mark, LF endings, a 5000-character line cut to 4096.
  Write("P0", "\xEF\xBB\xBF" "first\n" + QByteArray(5000, 'E') + "\nthird");
  Load("2");
  EXPECT_EQ(f.Memo1->Text(), QString(4096, 'E'));
  Load("1");
  EXPECT_EQ(f.Memo1->Text(), "first");
  Load("3");
  EXPECT_EQ(f.Memo1->Text(), "third");
}

TEST_F(PracticeTextTest, LoadingTidiesTheWindow) {
  WriteNumberedFiles();
  TForm1& f = *form;
  f.CheckBox2->setChecked(true);
  f.Label10->show();
  f.UsingEdit->show();
  f.Panel2->show();
  f.ChangeClientHeight(f.Panel2->height());
  const int tall = f.ClientHeight();
  f.Button1->click();
  f.Button1->click();
  EXPECT_FALSE(f.CheckBox2->isChecked());
  EXPECT_FALSE(gui::Shown(f.Memo2));
  EXPECT_FALSE(gui::Shown(f.Label10));
  EXPECT_TRUE(gui::Shown(f.UsingEdit));  // only Load any File hides it
  EXPECT_FALSE(gui::Shown(f.Panel2));
  EXPECT_EQ(f.ClientHeight(), tall - 100);  // once
}

TEST_F(PracticeTextTest, LoadAnyFile) {
  TForm1& f = *form;
  f.UsingEdit->show();
  Write("notes.txt", "CQ\r\nDE \xE9X\r\n");  // Windows-1252
  dialogs.open_answer = Path("notes.txt");
  f.FmessagePos = 4;
  f.LoadFile->click();
  EXPECT_TRUE(dialogs.errors.isEmpty());
  EXPECT_EQ(f.Memo1->Text(), u"CQ\r\nDE \u00E9X"_qs);
  EXPECT_FALSE(f.Teachbutton->isEnabled());
  EXPECT_FALSE(gui::Shown(f.UsingEdit));
  EXPECT_EQ(f.FmessagePos, 1);
  EXPECT_EQ(f.StatusBar1->SimpleText(), "Press <Send Text> to start sending");

  // Cancel leaves the text but still resets the position and status.
  f.Teachbutton->setEnabled(true);
  dialogs.open_answer.clear();
  f.FmessagePos = 4;
  f.LoadFile->click();
  EXPECT_EQ(f.Memo1->Text(), u"CQ\r\nDE \u00E9X"_qs);
  EXPECT_TRUE(f.Teachbutton->isEnabled());
  EXPECT_EQ(f.FmessagePos, 1);
  EXPECT_EQ(f.StatusBar1->SimpleText(), "Press <Send Text> to start sending");
}

TEST_F(PracticeTextTest, LoadAnyFileRefusesWhatItCannotRead) {
  TForm1& f = *form;
  f.Memo1->SetText("keep");
  {
    QFile big(Path("big.txt"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(10 * 1024 * 1024 + 1));  // sparse: no real disk used
  }
  for (const QString& name : {Path("big.txt"), Path("missing.txt"), dir_.path()}) {
    dialogs.errors.clear();
    dialogs.open_answer = name;
    f.LoadFile->click();
    ASSERT_EQ(dialogs.errors.size(), 1) << name.toStdString();
    EXPECT_TRUE(dialogs.errors[0].startsWith(QString("Cannot open file \"%1\". ").arg(name)));
    EXPECT_EQ(f.Memo1->Text(), "keep");
    EXPECT_TRUE(f.Teachbutton->isEnabled());
    EXPECT_EQ(f.StatusBar1->SimpleText(), "Choose a test (ASCII) file to load");
  }
  EXPECT_EQ(dialogs.errors[0], QString("Cannot open file \"%1\". Is a directory").arg(dir_.path()));
  EXPECT_EQ(QDir::currentPath(), dir_.path());  // the dialog does not move the working directory
}

TEST_F(PracticeTextTest, ShippedTextsOneFiveHundredAndNineFiftyLoadAndSend) {
  for (int h = 0; h < 10; ++h) {
    const QString name = QString("P%1").arg(h);
    ASSERT_TRUE(QFile::copy(QString(MARLOWICK_DATA_DIR "/") + name, Path(name)));
  }
  TForm1& f = *form;
  f.SpeedScrollBar->SetPosition(35);
  f.CspeedScrollbar->SetPosition(20);
  for (const char* number : {"1", "500", "950"}) {
    Load(number);
    const QString text = f.Memo1->Text();
    ASSERT_GE(text.size(), 150) << number;
    const int written = Device().Written();
    f.Sendbutton->click();
    EXPECT_EQ(gui::FromView(f.sentstring), text) << number;
    // At 35 and 20 words per minute a text of 150 characters or more lasts
    // well over 10 s: more than ten 20000-sample buffers.
    EXPECT_GT(Device().Written() - written, 10) << number;
  }
  EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("\n").toStdString();
}

// The shipped texts: counts, characters, lengths, grading, and the script
// that writes them.
class ShippedTextsTest : public ::testing::Test {
 protected:
  static QStringList Lines(int h) {
    const QByteArray bytes = gui::ReadFileBytes(QString(MARLOWICK_DATA_DIR "/P%1").arg(h));
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(bytes.count("\r\n"), bytes.count('\n'));
    EXPECT_EQ(bytes.count("\r\n"), bytes.count('\r'));
    return gui::SplitLines(QString::fromLatin1(bytes));
  }
  // Share of characters that are figures or punctuation.
  static double Density(const QStringList& texts) {
    double dense = 0, all = 0;
    for (const QString& t : texts) {
      for (QChar c : t) dense += c.isDigit() || QString(".,?/=-").contains(c);
      all += t.size();
    }
    return dense / all;
  }
};

TEST_F(ShippedTextsTest, NineHundredFiftyDistinctSendableTextsGradedEasyToHard) {
  const QRegularExpression sendable("^[A-Z0-9 .,?/=\\-]{150,500}$");
  std::set<QString> all;
  std::vector<double> density, length;
  for (int h = 0; h < 10; ++h) {
    const QStringList texts = Lines(h);
    ASSERT_EQ(texts.size(), h == 9 ? 50 : 100) << h;
    for (const QString& t : texts) {
      EXPECT_TRUE(sendable.match(t).hasMatch()) << "P" << h << ": " << t.toStdString();
      all.insert(t);
    }
    density.push_back(Density(texts));
    double chars = 0;
    for (const QString& t : texts) chars += t.size();
    length.push_back(chars / texts.size());
  }
  EXPECT_EQ(all.size(), 950u);
  EXPECT_TRUE(std::is_sorted(length.begin(), length.end()));
  EXPECT_LT(density.front() * 5, density.back());
}

TEST_F(ShippedTextsTest, TheScriptReproducesTheFiles) {
  QTemporaryDir out;
  ASSERT_TRUE(out.isValid());
  const int rc = QProcess::execute("python3", {MARLOWICK_SOURCE_DIR "/scripts/make-practice-texts.py", out.path()});
  ASSERT_EQ(rc, 0);
  for (int h = 0; h < 10; ++h) {
    const QString name = QString("/P%1").arg(h);
    EXPECT_EQ(gui::ReadFileBytes(out.path() + name), gui::ReadFileBytes(MARLOWICK_DATA_DIR + name)) << h;
  }
}

}  // namespace
