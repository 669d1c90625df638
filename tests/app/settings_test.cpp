// The settings file through the real window: Save, Load, the automatic load
// at start-up and save at close, Reset Saved Settings, and their failures.
#include <unistd.h>

#include <QTimer>

#include "file_fixture.h"
#include "gui/fonts.h"
#include "gui/text_file.h"

namespace {

const QString kFile = QStringLiteral("Pelkainit.txt");

// The file a start without settings saves with only the auto box ticked.
const QStringList kStartLines = {"1", "1", "5", "12", "800", "1", "1", "1", "0", "12", "Consolas",
                                 "32", "0", "0", "-16777208", "0", "1"};

QByteArray Crlf(const QStringList& lines) {
  QByteArray b;
  for (const QString& l : lines) b += l.toUtf8() + "\r\n";
  return b;
}

// The start-up file with some lines (numbered from 1) replaced.
QStringList With(std::initializer_list<std::pair<int, QString>> changes, QStringList lines = kStartLines) {
  for (const auto& [n, text] : changes) lines[n - 1] = text;
  return lines;
}

class SettingsTest : public FileWindowTest {};

TEST_F(SettingsTest, SaveRightAfterStartWritesTheExampleByteForByte) {
  TForm1& f = *form;
  f.cbSaveSettings->setChecked(true);
  f.SaveEnv1->trigger();
  EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("\n").toStdString();
  EXPECT_EQ(Read(kFile), Crlf(kStartLines));
  EXPECT_EQ(f.StatusBar1->SimpleText(), "Current Settings saved.");
  EXPECT_EQ(Entries(), QStringList{kFile});  // no temporary file left
}

TEST_F(SettingsTest, SaveThenLoadRestoresEveryControl) {
  TForm1& f = *form;
  f.Edit1->SetText("237");
  f.CspeedScrollbar->SetPosition(9);
  f.SpeedScrollBar->SetPosition(20);
  f.Freqscrollbar->SetPosition(650);
  f.StartNumEdit->SetText("5");
  f.UsingEdit->SetText("7");
  f.cbShowProgress->setChecked(false);
  f.sePauseValue->SetText("30");
  f.cbClearAfterPause->setChecked(true);
  f.seClearAfterChars->SetText("40");
  f.cbShowClock->setChecked(false);
  const gui::StoredFont font{"Ubuntu Mono", 17, 255, gui::kBold | gui::kStrikeOut};
  gui::SetStoredFont(f.Memo1, font);
  gui::SetFontSize(f.lbClock, 40);
  f.SaveEnv1->trigger();

  Open();  // a new start: line 1 is "0", nothing is applied
  TForm1& g = *form;
  EXPECT_EQ(g.SpeedScrollBar->Position(), 12);
  g.LoadEnv1->trigger();
  EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("\n").toStdString();
  EXPECT_FALSE(g.cbSaveSettings->isChecked());
  EXPECT_EQ(g.Edit1->Text(), "237");
  EXPECT_EQ(g.CspeedScrollbar->Position(), 9);
  EXPECT_EQ(g.CSpeedEdit->Text(), "9");
  EXPECT_EQ(g.SpeedScrollBar->Position(), 20);
  EXPECT_EQ(g.SpeedEdit->Text(), "20");
  EXPECT_EQ(g.Freqscrollbar->Position(), 650);
  EXPECT_DOUBLE_EQ(g.Fspeed, 20);
  EXPECT_DOUBLE_EQ(g.Speed, 9);
  EXPECT_DOUBLE_EQ(g.FFrequency, 650);
  EXPECT_EQ(g.StartNumEdit->Text(), "5");
  EXPECT_EQ(g.UsingEdit->Text(), "7");
  EXPECT_FALSE(g.cbShowProgress->isChecked());
  EXPECT_FALSE(gui::Shown(g.edit2));
  EXPECT_EQ(g.sePauseValue->Text(), "30");
  EXPECT_TRUE(g.cbClearAfterPause->isChecked());
  EXPECT_EQ(g.seClearAfterChars->Value(), 40);
  EXPECT_FALSE(g.cbShowClock->isChecked());
  EXPECT_FALSE(gui::Shown(g.lbClock));
  EXPECT_EQ(gui::GetStoredFont(g.Memo1), font);
  EXPECT_EQ(gui::GetStoredFont(g.edit2), font);
  EXPECT_EQ(g.Memo1->font().family(), "Ubuntu Mono");
  EXPECT_TRUE(g.edit2->font().strikeOut());
  EXPECT_EQ(g.Memo1->palette().color(QPalette::Text), QColor(255, 0, 0));
  EXPECT_EQ(gui::GetStoredFont(g.lbClock).size, 40);
  EXPECT_EQ(g.StatusBar1->SimpleText(), "Saved Settings loaded and appplied.");
}

TEST_F(SettingsTest, ClearAfterCharsComesBackAsItsClampedValue) {
  const struct {
    const char* typed;
    const char* saved;
    int loaded;
  } cases[] = {{"abc", "0", 0}, {"600", "600", 500}, {"-4", "-4", 0}, {"250", "250", 250}};
  for (const auto& c : cases) {
    Open();
    form->seClearAfterChars->SetText(c.typed);
    form->SaveEnv1->trigger();
    EXPECT_EQ(gui::SplitLines(QString::fromUtf8(Read(kFile))).value(13), c.saved) << c.typed;
    form->seClearAfterChars->SetText("7");
    form->LoadEnv1->trigger();
    EXPECT_EQ(form->seClearAfterChars->Text(), QString::number(c.loaded)) << c.typed;
  }
}

TEST_F(SettingsTest, StartUpAppliesTheFileOnlyWhenItsFirstLineIsOne) {
  const QByteArray cp1252Name = "Caf\xE9 Mono";
  const struct {
    const char* name;
    QByteArray bytes;
    bool applied;
  } cases[] = {
      {"crlf", Crlf(With({{4, "20"}})), true},
      {"byte-order mark", "\xEF\xBB\xBF" + Crlf(With({{4, "20"}})), true},
      {"lf only", Crlf(With({{4, "20"}})).replace("\r\n", "\n"), true},
      {"cr only", Crlf(With({{4, "20"}})).replace("\r\n", "\r"), true},
      {"windows-1252", Crlf(With({{4, "20"}})).replace("Consolas", cp1252Name), true},
      {"first line 0", Crlf(With({{1, "0"}, {4, "20"}})), false},
      {"first line 1 and a space", Crlf(With({{1, "1 "}, {4, "20"}})), false},
  };
  for (const auto& c : cases) {
    Write(kFile, c.bytes);
    Open();
    EXPECT_TRUE(dialogs.errors.isEmpty()) << c.name << dialogs.errors.join("\n").toStdString();
    EXPECT_EQ(form->SpeedScrollBar->Position(), c.applied ? 20 : 12) << c.name;
    EXPECT_EQ(form->cbSaveSettings->isChecked(), c.applied) << c.name;
  }
  EXPECT_EQ(gui::GetStoredFont(form->Memo1).name, "Consolas");
  Write(kFile, Crlf(With({{11, "x"}})).replace("x", cp1252Name));
  Open();
  EXPECT_EQ(gui::GetStoredFont(form->Memo1).name, u"Caf\u00E9 Mono"_qs);
}

TEST_F(SettingsTest, StartUpLoadsEvenWithoutSoundAndReportsAnUnreadableFile) {
  Write(kFile, Crlf(With({{4, "20"}})));
  Open(/*failing_device=*/true);
  ASSERT_EQ(dialogs.errors.size(), 1);  // the sound error only
  EXPECT_EQ(form->SpeedScrollBar->Position(), 20);

  QFile::remove(Path(kFile));
  QDir(dir_.path()).mkdir(kFile);
  dialogs.errors.clear();
  Open();
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_EQ(dialogs.errors[0],
            QString("Cannot open file \"%1\". Is a directory").arg(QDir(dir_.path()).absoluteFilePath(kFile)));
  EXPECT_TRUE(form->StatusBar1->SimpleText().startsWith("Load text into the text box"));
}

TEST_F(SettingsTest, LoadAppliesTheFileWhateverItsFirstLine) {
  Write(kFile, Crlf(With({{1, "0"}, {3, "50"}, {5, "800"}})));
  Open();
  TForm1& f = *form;
  f.cbSaveSettings->setChecked(true);
  f.LoadEnv1->trigger();
  EXPECT_FALSE(f.cbSaveSettings->isChecked());
  EXPECT_EQ(f.CspeedScrollbar->Position(), 20);  // clamped
  EXPECT_DOUBLE_EQ(f.Speed, 20);
}

TEST_F(SettingsTest, AShortFileAppliesWhatItHas) {
  TForm1& f = *form;
  // 16 lines: no error, and the clock box keeps its state.
  f.cbShowClock->setChecked(false);
  QStringList sixteen = With({{4, "25"}});
  sixteen.removeLast();
  Write(kFile, Crlf(sixteen));
  f.LoadEnv1->trigger();
  EXPECT_TRUE(dialogs.errors.isEmpty());
  EXPECT_EQ(f.SpeedScrollBar->Position(), 25);
  EXPECT_FALSE(f.cbShowClock->isChecked());
  EXPECT_EQ(f.StatusBar1->SimpleText(), "Saved Settings loaded and appplied.");

  // 2 lines: lines 1 and 2 apply, then the empty line 3 is not a number.
  f.StatusBar1->SetSimpleText("before");
  Write(kFile, "1\r\n44\r\n");
  f.LoadEnv1->trigger();
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_EQ(dialogs.errors[0], "'' is not a valid integer value");
  EXPECT_TRUE(f.cbSaveSettings->isChecked());
  EXPECT_EQ(f.Edit1->Text(), "44");
  EXPECT_EQ(f.SpeedScrollBar->Position(), 25);
  EXPECT_EQ(f.StatusBar1->SimpleText(), "before");
}

TEST_F(SettingsTest, LineSeventeenOnlyEverHidesTheClock) {
  TForm1& f = *form;
  f.cbShowClock->setChecked(false);  // the user hid it
  Write(kFile, Crlf(kStartLines));   // line 17 "1"
  f.LoadEnv1->trigger();
  EXPECT_FALSE(f.cbShowClock->isChecked());
  EXPECT_FALSE(gui::Shown(f.lbClock));

  f.cbShowClock->setChecked(true);
  Write(kFile, Crlf(With({{17, "0"}})));
  f.LoadEnv1->trigger();
  EXPECT_FALSE(f.cbShowClock->isChecked());
  EXPECT_FALSE(gui::Shown(f.lbClock));
}

TEST_F(SettingsTest, APauseInMinutesGivesWayToTheLoadedLimits) {
  Write(kFile, Crlf(With({{1, "0"}, {9, "30"}, {14, "50"}})));
  TForm1& f = *form;
  f.sePauseMins->SetText("5");
  f.LoadEnv1->trigger();
  EXPECT_EQ(f.sePauseMins->Text(), "0");
  // Kept: the minutes box, cleared on the loaded value's behalf, no longer
  // clears it in turn (it used to, dropping the loaded limit).
  EXPECT_EQ(f.sePauseValue->Text(), "30");
  EXPECT_EQ(f.seClearAfterChars->Text(), "50");

  // At start-up the minutes box is 0, so the pause value stays.
  Write(kFile, Crlf(With({{9, "30"}, {14, "50"}})));
  Open();
  EXPECT_EQ(form->sePauseValue->Text(), "30");
  EXPECT_EQ(form->seClearAfterChars->Text(), "50");
}

TEST_F(SettingsTest, ABadColourStopsTheLoadBetweenTheTwoBoxes) {
  Write(kFile, Crlf(With({{10, "20"}, {11, "Ubuntu Mono"}, {12, "40"}, {15, "red"}})));
  TForm1& f = *form;
  f.StatusBar1->SetSimpleText("before");
  f.LoadEnv1->trigger();
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_EQ(dialogs.errors[0], "'red' is not a valid integer value");
  EXPECT_EQ(gui::GetStoredFont(f.Memo1).size, 20);
  EXPECT_EQ(gui::GetStoredFont(f.Memo1).name, "Ubuntu Mono");
  EXPECT_EQ(gui::GetStoredFont(f.edit2), (gui::StoredFont{"Consolas", 12, -16777208, 0}));
  EXPECT_EQ(gui::GetStoredFont(f.lbClock).size, 32);
  EXPECT_EQ(f.StatusBar1->SimpleText(), "before");
}

TEST_F(SettingsTest, LoadWithoutAFileSaysWhereItLooked) {
  TForm1& f = *form;
  f.StatusBar1->SetSimpleText("before");
  f.LoadEnv1->trigger();
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_EQ(dialogs.errors[0],
            QString("Cannot open file \"%1\". No such file or directory").arg(QDir(dir_.path()).absoluteFilePath(kFile)));
  EXPECT_EQ(f.StatusBar1->SimpleText(), "before");
}

TEST_F(SettingsTest, AFailedSaveKeepsTheOldFileAndNeverReportsSuccess) {
  TForm1& f = *form;
  const QString absolute = QDir(dir_.path()).absoluteFilePath(kFile);
  const struct {
    const char* name;
    std::function<void()> prepare;
    QString reason;
  } cases[] = {
      {"directory in the way", [&] { QDir(dir_.path()).mkpath(kFile + "/inner"); }, "Is a directory"},
      {"full disk", [&] { ASSERT_EQ(::symlink("/dev/full", Path(kFile).toLocal8Bit().constData()), 0); },
       "No space left on device"},
  };
  for (const auto& c : cases) {
    QDir(Path(kFile)).removeRecursively();
    QFile::remove(Path(kFile));
    c.prepare();
    dialogs.errors.clear();
    f.StatusBar1->SetSimpleText("before");
    f.SaveEnv1->trigger();
    ASSERT_EQ(dialogs.errors.size(), 1) << c.name;
    EXPECT_EQ(dialogs.errors[0], QString("Cannot create file \"%1\". %2").arg(absolute, c.reason)) << c.name;
    EXPECT_EQ(f.StatusBar1->SimpleText(), "before") << c.name;
    EXPECT_EQ(Entries(), QStringList{kFile}) << c.name;
  }
}

TEST_F(SettingsTest, ClosingSavesWhenTheAutoBoxIsTicked) {
  // The Close button and the window's own close box alike.
  for (bool button : {true, false}) {
    QFile::remove(Path(kFile));
    Open();
    form->cbSaveSettings->setChecked(true);
    form->SpeedScrollBar->SetPosition(30);
    if (button) {
      form->btnClose->click();
    } else {
      form->close();
    }
    EXPECT_TRUE(form->Closing());
    EXPECT_EQ(Read(kFile), Crlf(With({{4, "30"}}))) << button;
  }
  // Unticked, closing writes nothing.
  QFile::remove(Path(kFile));
  Open();
  form->close();
  EXPECT_FALSE(Exists(kFile));
}

TEST_F(SettingsTest, AutoSaveAndLoadKeepSpeedsAndFontAcrossARestart) {
  Show();
  TForm1& f = *form;
  QTest::mouseClick(f.cbSaveSettings, Qt::LeftButton, Qt::NoModifier, QPoint(6, f.cbSaveSettings->height() / 2));
  ASSERT_TRUE(f.cbSaveSettings->isChecked());
  f.SpeedScrollBar->SetPosition(18);
  f.CspeedScrollbar->SetPosition(10);
  f.Freqscrollbar->SetPosition(700);
  f.spFontEdit->Up()->click();
  dialogs.font_answer = QFont("DejaVu Serif", 16);
  f.Button4->click();
  f.btnClose->click();
  ASSERT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("\n").toStdString();

  Open();
  TForm1& g = *form;
  EXPECT_TRUE(g.cbSaveSettings->isChecked());
  EXPECT_EQ(g.SpeedEdit->Text(), "18");
  EXPECT_EQ(g.CSpeedEdit->Text(), "10");
  EXPECT_EQ(g.Freqedit->Text(), "700");
  EXPECT_DOUBLE_EQ(g.FDitLength, 1.2 / 18);
  EXPECT_EQ(g.Memo1->font().family(), "DejaVu Serif");
  EXPECT_EQ(g.edit2->font().pointSize(), 16);
  EXPECT_EQ(g.StatusBar1->SimpleText(), "Saved Settings loaded and appplied.");
}

TEST_F(SettingsTest, ClosingWhileAPausedSendSavesAndEnds) {
  TForm1& f = *form;
  Show();
  f.cbSaveSettings->setChecked(true);
  f.Memo1->SetText("EEEE");
  f.btnPause->click();
  QTimer::singleShot(20, &f, [&] { f.btnClose->click(); });
  f.Sendbutton->click();  // must return
  EXPECT_TRUE(f.Closing());
  EXPECT_FALSE(f.PauseFlag);
  EXPECT_EQ(f.btnPause->text(), "Pause");
  EXPECT_LT(f.sentstring.size(), 4u);
  EXPECT_TRUE(Exists(kFile));
}

TEST_F(SettingsTest, AFailedSaveAtCloseAsksBeforeLosingTheSettings) {
  ASSERT_EQ(::symlink("/dev/full", Path(kFile).toLocal8Bit().constData()), 0);
  Show();
  TForm1& f = *form;
  f.cbSaveSettings->setChecked(true);
  dialogs.confirm_answer = false;
  f.btnClose->click();
  ASSERT_EQ(dialogs.questions.size(), 1);
  EXPECT_TRUE(dialogs.questions[0].startsWith("Cannot create file")) << dialogs.questions[0].toStdString();
  EXPECT_TRUE(dialogs.questions[0].contains("No space left on device"));
  EXPECT_TRUE(f.isVisible());
  EXPECT_FALSE(f.Closing());

  dialogs.confirm_answer = true;
  f.btnClose->click();
  EXPECT_EQ(dialogs.questions.size(), 2);
  EXPECT_FALSE(f.isVisible());
}

TEST_F(SettingsTest, ResetDeletesTheFileAndEndsWithoutWritingItAgain) {
  for (bool withFile : {true, false}) {
    if (withFile) Write(kFile, Crlf(kStartLines));
    Open();
    Show();
    TForm1& f = *form;
    EXPECT_EQ(f.cbSaveSettings->isChecked(), withFile);
    f.ResetSavedSettings1->trigger();
    EXPECT_TRUE(dialogs.errors.isEmpty());
    EXPECT_FALSE(f.cbSaveSettings->isChecked());
    EXPECT_FALSE(f.isVisible());
    EXPECT_FALSE(Exists(kFile)) << withFile;
  }
}

TEST_F(SettingsTest, ResetReportsADeleteThatFails) {
  QDir(dir_.path()).mkpath(kFile + "/inner");  // a folder is not deleted as a file
  Show();
  TForm1& f = *form;
  f.cbSaveSettings->setChecked(true);
  f.ResetSavedSettings1->trigger();
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_TRUE(dialogs.errors[0].startsWith(
      QString("Cannot delete file \"%1\". ").arg(QDir(dir_.path()).absoluteFilePath(kFile))))
      << dialogs.errors[0].toStdString();
  EXPECT_TRUE(f.cbSaveSettings->isChecked());
  EXPECT_TRUE(f.isVisible());
}

}  // namespace
