// The numbered practice texts and Load any File: both fill Memo1 and set the
// sender back to its first character.
#include "app/main_window.h"
#include "gui/error_report.h"
#include "gui/text_file.h"
#include "morse/practice_texts.h"

namespace {

// Far more than can be sent in any sensible time, and more than a text box
// handles without stalling the window.
constexpr qint64 kMaxTextFileBytes = 10 * 1024 * 1024;

// At most the first 4096 characters of a line, never half a surrogate pair.
QString PracticeLine(const QStringList& lines, std::int32_t index) {
  if (index < 1 || index > lines.size()) return {};
  QString line = lines[index - 1];
  auto max = static_cast<qsizetype>(morse::kPracticeTextMaxChars);
  if (line.size() > max) {
    if (line[max - 1].isHighSurrogate()) --max;
    line.truncate(max);
  }
  return line;
}

}  // namespace

void TForm1::ConnectTextHandlers() {
  using gui::On;
  On(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  On(LoadFile, &QPushButton::clicked, this, [this] { LoadFileClick(); });
}

void TForm1::Button1Click() {
  if (Edit1->Text() == QStringLiteral("qm")) {
    // The hidden switch: the text-speed bar counts double from its next move.
    FastFlag = true;
    SetSpeed();
    return;
  }
  Memo2->hide();
  CheckBox2->setChecked(false);
  Label10->hide();
  CollapseChartPanel();
  Memo1->Clear();

  PracNumber = gui::StrToInt(Edit1->Text());
  if (morse::IsPracticeNumber(PracNumber)) {
    PracHund = morse::PracticeHundred(PracNumber);
    // Every click reads its file again: the files may have been edited.
    const QString name = gui::FromView(morse::PracticeFileName(PracHund));
    const QStringList lines = gui::SplitLines(gui::DecodeText(gui::ReadFileBytes(name, kMaxTextFileBytes)));
    Memo3->SetText(lines.join(QStringLiteral("\r\n")));
    PracIndex = morse::PracticeIndex(PracNumber);
    Memo1->SetText(PracticeLine(lines, PracIndex));
  }
  PracNumber = morse::NextPracticeNumber(PracNumber);
  Edit1->SetText(QString::number(PracNumber));
  FmessagePos = 1;
  sentstring.clear();
  Memo1->ScrollToTop();
  StatusBar1->SetSimpleText(QStringLiteral("Press <Send Text> to start sending"));
}

void TForm1::LoadFileClick() {
  StatusBar1->SetSimpleText(QStringLiteral("Choose a test (ASCII) file to load"));
  UsingEdit->hide();
  Memo2->hide();
  CheckBox2->setChecked(false);
  Label10->hide();
  CollapseChartPanel();

  const QString name = Dialogs().OpenFileName(QStringLiteral("."));
  if (!name.isEmpty()) {
    const QString text = gui::DecodeText(gui::ReadFileBytes(name, kMaxTextFileBytes));
    Memo1->SetText(gui::SplitLines(text).join(QStringLiteral("\r\n")));
    Teachbutton->setEnabled(false);
  }
  FmessagePos = 1;
  sentstring.clear();
  StatusBar1->SetSimpleText(QStringLiteral("Press <Send Text> to start sending"));
}
