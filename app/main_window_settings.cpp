// The settings file "Pelkainit.txt": Save, Load, the automatic load at
// start-up and save at close, and Reset Saved Settings.
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <vector>

#include "app/main_window.h"
#include "gui/error_report.h"
#include "gui/fonts.h"
#include "gui/pump.h"
#include "gui/text_file.h"
#include "morse/settings_file.h"

namespace {

const QString kSettingsFile = QString::fromUtf16(morse::kSettingsFileName);

// A settings file is a few hundred bytes; anything this large is not one.
constexpr qint64 kMaxSettingsBytes = 1 << 20;

std::vector<std::u16string> ToLines(const QStringList& list) {
  std::vector<std::u16string> lines;
  lines.reserve(static_cast<std::size_t>(list.size()));
  for (const QString& s : list) lines.emplace_back(gui::View(s));
  return lines;
}

QStringList ReadSettingsLines() {
  return gui::SplitLines(gui::DecodeText(gui::ReadFileBytes(kSettingsFile, kMaxSettingsBytes)));
}

}  // namespace

// Each loaded value goes through its control's own setter, so clamping and
// the change handlers act as if the user had made the change.
class WindowSettings final : public morse::SettingsTarget {
 public:
  explicit WindowSettings(TForm1& form) : f_(form) {}

  void SetAutoSave(bool checked) override { f_.cbSaveSettings->setChecked(checked); }
  void SetPracticeNumber(std::u16string_view text) override { f_.Edit1->SetText(gui::FromView(text)); }
  void SetTextSpeed(std::int32_t position) override { f_.CspeedScrollbar->SetPosition(position); }
  void SetCharSpeed(std::int32_t position) override { f_.SpeedScrollBar->SetPosition(position); }
  void SetFrequency(std::int32_t position) override { f_.Freqscrollbar->SetPosition(position); }
  void SetStartCount(std::u16string_view text) override { f_.StartNumEdit->SetText(gui::FromView(text)); }
  void SetUsingCount(std::u16string_view text) override { f_.UsingEdit->SetText(gui::FromView(text)); }
  void SetShowProgress(bool checked) override { f_.cbShowProgress->setChecked(checked); }
  void SetPauseAfterChars(std::u16string_view text) override { f_.sePauseValue->SetText(gui::FromView(text)); }
  void SetFontSize(morse::TextBox box, std::int32_t points) override { gui::SetFontSize(Box(box), points); }
  void SetFontName(morse::TextBox box, std::u16string_view name) override {
    gui::SetFontName(Box(box), gui::FromView(name));
  }
  void SetFontColor(morse::TextBox box, std::int32_t color) override { gui::SetFontColor(Box(box), color); }
  void SetFontStyle(morse::TextBox box, std::int32_t style) override { gui::SetFontStyle(Box(box), style); }
  void SetClockSize(std::int32_t points) override {
    gui::SetFontSize(f_.lbClock, points);
    f_.lbClock->adjustSize();
  }
  void SetClearAfterPause(bool checked) override { f_.cbClearAfterPause->setChecked(checked); }
  void SetClearAfterChars(std::int32_t value) override { f_.seClearAfterChars->SetValue(value); }
  void HideClock() override { f_.cbShowClock->setChecked(false); }

 private:
  QWidget* Box(morse::TextBox box) const { return box == morse::TextBox::Memo1 ? f_.Memo1 : f_.edit2; }
  TForm1& f_;
};

void TForm1::ConnectSettingsHandlers() {
  using gui::On;
  On(SaveEnv1, &QAction::triggered, this, [this] { SaveEnv1Click(); });
  On(LoadEnv1, &QAction::triggered, this, [this] { LoadEnv1Click(); });
  On(ResetSavedSettings1, &QAction::triggered, this, [this] { ResetSavedSettings1Click(); });
}

void TForm1::SaveEnv1Click() {
  morse::SettingsValues v;
  v.autoSave = cbSaveSettings->isChecked();
  v.practiceNumber = gui::View(Edit1->Text());
  v.textSpeed = CspeedScrollbar->Position();
  v.charSpeed = SpeedScrollBar->Position();
  v.frequency = Freqscrollbar->Position();
  v.startCount = gui::View(StartNumEdit->Text());
  v.usingCount = gui::View(UsingEdit->Text());
  v.showProgress = cbShowProgress->isChecked();
  v.pauseAfterChars = gui::View(sePauseValue->Text());
  const gui::StoredFont font = gui::GetStoredFont(Memo1);
  v.fontSize = font.size;
  v.fontName = gui::View(font.name);
  v.clockSize = gui::GetStoredFont(lbClock).size;
  v.clearAfterPause = cbClearAfterPause->isChecked();
  v.clearAfterChars = seClearAfterChars->Value();
  v.fontColor = font.color;
  v.fontStyle = font.style;
  v.showClock = cbShowClock->isChecked();

  QStringList lines;
  for (const std::u16string& line : morse::SettingsLines(v)) lines << gui::FromView(line);
  Memo3->SetText(lines.join(QStringLiteral("\r\n")));
  gui::WriteTextLines(kSettingsFile, lines);
  StatusBar1->SetSimpleText(QStringLiteral("Current Settings saved."));
}

void TForm1::LoadEnv1Click() {
  Memo3->Clear();
  const QStringList lines = ReadSettingsLines();
  Memo3->SetText(lines.join(QStringLiteral("\r\n")));
  WindowSettings target(*this);
  morse::ApplySettings(ToLines(lines), target);
  gui::ProcessMessages();
  StatusBar1->SetSimpleText(QStringLiteral("Saved Settings loaded and appplied."));
}

void TForm1::LoadSettingsAtStartup() {
  Memo3->Clear();
  if (!QFileInfo::exists(kSettingsFile)) return;
  const QStringList lines = ReadSettingsLines();
  Memo3->SetText(lines.join(QStringLiteral("\r\n")));
  if (!lines.isEmpty() && lines.first() == QStringLiteral("1")) LoadEnv1Click();
}

void TForm1::SaveSettingsOnClose() {
  if (!cbSaveSettings->isChecked()) return;
  try {
    SaveEnv1Click();
  } catch (const std::exception& e) {
    // Closing would lose the changed settings without a word: say why and
    // let the user stay to save them elsewhere or free space first.
    const QString question = QString::fromUtf8(e.what()) +
                             QStringLiteral("\n\nThe settings were not saved. Close anyway?");
    if (!Dialogs().Confirm(question)) keep_open_ = true;
  }
}

void TForm1::ResetSavedSettings1Click() {
  const QFileInfo info(kSettingsFile);
  if (info.exists() || info.isSymLink()) {
    if (::unlink(QFile::encodeName(kSettingsFile).constData()) != 0) {
      // Ending with the file still there would bring the settings back at
      // the next start.
      const QString reason = QString::fromLocal8Bit(std::strerror(errno));
      throw gui::EFileError(QStringLiteral("Cannot delete file \"%1\". %2")
                                .arg(gui::AbsolutePath(kSettingsFile), reason)
                                .toStdString());
    }
  }
  cbSaveSettings->setChecked(false);
  close();
}
