// The main window's design: every control with its name, caption, hint,
// range, initial state and place. Nothing here runs a handler; the handlers
// are connected afterwards, so the start-up cascades begin from these values.
#include <QApplication>
#include <QLayout>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "app/main_window.h"
#include "gui/bar_chart.h"

namespace {

constexpr char kHint[] = "hint";

QLabel* MakeLabel(const QString& text, QWidget* parent, int x, int y) {
  auto* l = new QLabel(text, parent);
  gui::Place(l, x, y);
  return l;
}

QPushButton* MakeButton(const QString& caption, const QString& hint, QWidget* parent, int x, int y,
                        int w, int h) {
  auto* b = new QPushButton(caption, parent);
  b->setToolTip(hint);
  gui::Place(b, x, y, w, h);
  return b;
}

QCheckBox* MakeCheck(const QString& caption, const QString& hint, bool checked, QWidget* parent,
                     int x, int y, int w, int h) {
  auto* c = new QCheckBox(caption, parent);
  c->setToolTip(hint);
  c->setChecked(checked);
  // The design's widths were made for a narrower font and a smaller box;
  // a caption that would be cut gets the room it needs to the right.
  gui::Place(c, x, y, std::max(w, c->sizeHint().width()), h);
  return c;
}

gui::Edit* MakeEdit(const QString& text, QWidget* parent, int x, int y, int w, int h) {
  auto* e = new gui::Edit(text, parent);
  gui::Place(e, x, y, w, h);
  return e;
}

gui::SpinEdit* MakeSpin(int min, int max, int value, QWidget* parent, int x, int y, int w, int h) {
  auto* s = new gui::SpinEdit(min, max, value, parent);
  gui::Place(s, x, y, w, h);
  return s;
}

// The design's 8-point face is narrower than its substitutes here: a label
// that would run under the control beside it gets a smaller size instead.
void FitLabelBefore(QLabel* label, const QWidget* next) {
  const int room = next->x() - label->x() - 2;
  QFont font = label->font();
  for (double points = font.pointSizeF(); label->sizeHint().width() > room && points > 6;) {
    points -= 0.5;
    font.setPointSizeF(points);
    label->setFont(font);
  }
  gui::Place(label, label->x(), label->y());
}

// The publisher's emblem: a key and the club's initials.
QPixmap Emblem() {
  QPixmap pm(41, 80);
  pm.fill(QColor(0, 0, 128));
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 215, 0));
  p.drawEllipse(QRect(8, 6, 25, 12));
  p.fillRect(QRect(17, 18, 7, 14), QColor(255, 215, 0));
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(10);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  const QString letters = QStringLiteral("KELTA");
  for (int i = 0; i < letters.size(); ++i) {
    p.drawText(QRect(0, 33 + i * 9, 41, 10), Qt::AlignCenter, letters.mid(i, 1));
  }
  return pm;
}

}  // namespace

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 2, 4, 2);
  layout->setSpacing(0);
  for (const QString& item : items) {
    auto* b = new QRadioButton(item, this);
    layout->addWidget(b);
    buttons_ << b;
  }
}

int RadioGroup::ItemIndex() const {
  for (int i = 0; i < buttons_.size(); ++i) {
    if (buttons_[i]->isChecked()) return i;
  }
  return -1;
}

void RadioGroup::SetItemIndex(int index) {
  if (index >= 0 && index < buttons_.size()) buttons_[index]->setChecked(true);
}

void TForm1::CreateControls() {
  setWindowTitle(QStringLiteral("Morse Teaching Program: Marlowick for the KELTA Morse Teacher - Version 8.02"));
  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

  Client = new QWidget(this);
  Client->setObjectName(QStringLiteral("Client"));
  setCentralWidget(Client);

  // Top panel.
  Panel1 = new QFrame(Client);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  gui::Place(Panel1, 0, 0, kClientWidth, 97);
  LoadFile = MakeButton("Load any File", "Load a text file to send from disk", Panel1, 15, 8, 78, 25);
  Button1 = MakeButton("Load practice Text",
                       "Load a supplied practice text, numbered 1 - 950:  Enter number in box below.",
                       Panel1, 95, 8, 105, 25);
  Label11 = MakeLabel("Practice Text Number (1 - 950)", Panel1, 15, 43);
  Edit1 = MakeEdit("1", Panel1, 167, 40, 33, 21);
  FitLabelBefore(Label11, Edit1);
  Edit1->setToolTip("Number of Practice Text to send: 1 - 950");
  CheckBox2 = MakeCheck("Show Quickscreen", "Toggle to show/hide red instruction box", false, Panel1,
                        15, 69, 113, 17);
  cbSaveSettings = MakeCheck("Auto Save / Load Settings", "", false, Panel1, 134, 69, 155, 17);
  rgTeachString = new RadioGroup("Teaching String:", {"Tamsel", "Koch", "Alpha/Num"}, Panel1);
  rgTeachString->setToolTip("Choose method for teaching string");
  rgTeachString->SetItemIndex(0);
  gui::Place(rgTeachString, 215, 4, 106, 69);
  rgTeachString->hide();
  Sendbutton = MakeButton("Send Text", "Send any text in the box, or the loaded practice text", Panel1,
                          328, 8, 65, 25);
  SpinButton1 = new gui::SpinButton(Panel1);
  gui::Place(SpinButton1, 328, 34, 20, 44);
  lbClock = new QLabel("Clock", Panel1);
  QFont clockFont(QStringLiteral("Arial"), 32);
  clockFont.setBold(true);
  lbClock->setFont(clockFont);
  lbClock->setMaximumHeight(55);
  gui::Place(lbClock, 354, 36);
  cbShowClock = MakeCheck("Show Clock", "", true, Panel1, 328, 78, 73, 15);
  btnPause = MakeButton("Pause", "Pause and resume sending", Panel1, 400, 8, 57, 25);
  AbortButton = MakeButton("Abort/Show text", "Stop sending text, show sent portion", Panel1, 464, 8, 89, 25);
  Button4 = MakeButton("Font", "Change the font style in the main window", Panel1, 560, 8, 41, 25);
  spFontEdit = new gui::SpinButton(Panel1);
  gui::Place(spFontEdit, 600, 8, 20, 25);
  Label19 = MakeLabel("Pause after X chars", Panel1, 736, 11);
  Label19->setToolTip("Automatically pauses after this number of characters");
  Label12 = MakeLabel("Clear after X chars", Panel1, 736, 39);
  Label20 = MakeLabel("Pause after X mins", Panel1, 736, 67);
  cbRecordOutput = MakeCheck("Record Output", "", false, Panel1, 864, 38, 97, 20);
  btnStopRecording = MakeButton("Stop Recording", "", Panel1, 864, 61, 97, 25);
  btnClose = MakeButton("Close", "", Panel1, 952, 8, 70, 25);
  QFont bold = btnClose->font();
  bold.setBold(true);
  btnClose->setFont(bold);

  // The pause limits stand on the window itself, over the panel's area.
  sePauseValue = MakeSpin(0, 250, 0, Client, 680, 8, 41, 22);
  sePauseValue->setToolTip("Automatically pauses after this number of characters");
  seClearAfterChars = MakeSpin(0, 500, 0, Client, 680, 36, 41, 22);
  sePauseMins = MakeSpin(0, 250, 0, Client, 680, 64, 41, 22);

  // Text boxes, speed and frequency.
  Memo1 = new gui::Memo(Client);
  Memo1->setToolTip("Text to be sent appears here");
  gui::Place(Memo1, 8, 103, 400, 170);
  edit2 = new gui::Memo(Client);
  edit2->setToolTip("Text to be sent appears here");
  gui::Place(edit2, 626, 103, 400, 170);
  Memo3 = new gui::Memo(Client);
  Memo3->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo3->SetText("Never Visible");
  gui::Place(Memo3, 626, 301, 313, 81);
  Memo3->hide();
  Label3 = MakeLabel("12", Client, 419, 108);
  Label4 = MakeLabel("35", Client, 563, 108);
  SpeedScrollBar = new gui::ScrollBar(12, 35, 14, Client);
  SpeedScrollBar->setToolTip("Set the overall morse speed.");
  gui::Place(SpeedScrollBar, 414, 127, 169, 16);
  SpeedEdit = MakeEdit("20", Client, 589, 127, 33, 21);
  SpeedEdit->setReadOnly(true);
  Label1 = MakeLabel("Character Speed", Client, 460, 149);
  Label2 = MakeLabel("3", Client, 419, 161);
  Label9 = MakeLabel("20", Client, 563, 161);
  CspeedScrollbar = new gui::ScrollBar(3, 20, 5, Client);
  CspeedScrollbar->setToolTip("Set the Farnsworth spacing.");
  gui::Place(CspeedScrollbar, 414, 177, 169, 17);
  CSpeedEdit = MakeEdit("5", Client, 589, 177, 33, 21);
  CSpeedEdit->setReadOnly(true);
  Label5 = new QLabel("Text Speed with Farnsworth Spacing", Client);
  Label5->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Label5->setWordWrap(true);
  // Two lines as designed: wider by a few pixels, around the same centre.
  gui::Place(Label5, 447 - 8, 200, 94 + 16, 26);
  Label6 = MakeLabel("500", Client, 419, 219);
  Label7 = MakeLabel("1000", Client, 555, 218);
  Freqscrollbar = new gui::ScrollBar(500, 1000, 500, Client);
  Freqscrollbar->setToolTip("Set audio frequency for morse");
  gui::Place(Freqscrollbar, 414, 233, 169, 16);
  Freqedit = MakeEdit("800", Client, 589, 233, 33, 21);
  Freqedit->setReadOnly(true);
  Label8 = MakeLabel("Audio Frequency", Client, 460, 251);

  // Lower area.
  CheckBox1 = MakeCheck("Show text", "Toggle to show/hide text in window", true, Client, 8, 278, 75, 17);
  cbResumeFromCursor = MakeCheck("Continue from cursor position", "", false, Client, 104, 277, 160, 17);
  cbShowProgress = MakeCheck("Show Progress", "Toggle Progress bar on/off.", true, Client, 632, 279, 89, 16);
  cbClearAfterPause = MakeCheck("Clear after Pause", "", false, Client, 742, 279, 103, 16);
  Teachbutton = MakeButton("Start Teach", "Prepare for interactive learning process", Client, 8, 302, 75, 25);
  TeachSendButton = MakeButton("Start Sending", "Start interactive teaching process", Client, 8, 330, 75, 25);
  TeachSendButton->setEnabled(false);
  TeachStopButton = MakeButton("Stop Teach", "Stop interactive teaching, show progress.", Client, 8, 358, 75, 25);
  TeachStopButton->setEnabled(false);
  StartNumLabel = MakeLabel("Characters to Start", Client, 176, 239);
  StartNumEdit = MakeEdit("", Client, 98, 304, 57, 21);
  Label18 = MakeLabel("Characters to start", Client, 161, 311);
  Label10 = MakeLabel("Characters in use", Client, 161, 330);
  UsingEdit = MakeEdit("", Client, 97, 330, 57, 21);
  UsingEdit->setReadOnly(true);
  Memo2 = new gui::Memo(Client);
  Memo2->setToolTip("Get going in a hurry!");
  Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  {
    QPalette pal = Memo2->palette();
    pal.setColor(QPalette::Text, Qt::red);
    Memo2->setPalette(pal);
  }
  Memo2->SetText("Memo2");
  gui::Place(Memo2, 89, 294, 185, 89);
  Memo2->hide();
  Edit3 = MakeEdit("", Client, 185, 360, 208, 21);
  Button3 = MakeButton("Generate String",
                       "Click to generate a random string from the characters you've entered.", Client,
                       89, 356, 89, 29);
  {
    QPalette pal = Button3->palette();
    pal.setColor(QPalette::ButtonText, Qt::red);
    Button3->setPalette(pal);
  }
  cbTeachingGroups = MakeCheck("Create \"Teaching\" Groups", "", false, Client, 185, 343, 152, 17);
  cbTeachingGroups->hide();
  Label15 = MakeLabel("Groups to generate", Client, 443, 363);
  Label15->hide();
  seGroups2Gen = MakeSpin(0, 0, 100, Client, 399, 360, 43, 22);
  seGroups2Gen->hide();
  SpinEdit3 = MakeSpin(0, 3, 1, Client, 337, 294, 33, 22);
  Label17 = MakeLabel("Harmonics", Client, 376, 297);
  SpinEdit2 = MakeSpin(1, 50, 5, Client, 432, 294, 41, 22);
  SpinEdit2->SetDecimal(true);  // the rise and fall time may have a fraction
  SpinEdit2->setToolTip("Lower, makes elements \"clickier\":   higher, \"woolier\"");
  Label16 = MakeLabel("Rise/Fall time, msec", Client, 479, 297);
  CheckBox3 = MakeCheck("Square Wave", "", false, Client, 337, 322, 89, 17);
  Image1 = new QLabel(Client);
  Image1->setPixmap(Emblem());
  Image1->setToolTip("Join KELTA today!");
  gui::Place(Image1, 976, 294, 41, 80);

  Panel2 = new QFrame(Client);
  Panel2->setFrameStyle(QFrame::NoFrame);
  gui::Place(Panel2, 0, 389, kClientWidth, 100);
  Panel2->hide();
  Chart1 = new gui::BarChart(Panel2);
  Chart1->setGeometry(0, 0, kClientWidth, 100);
  StatusBar1 = new gui::StatusLine(Client);
  gui::Place(StatusBar1, 0, kClientHeight - 19, kClientWidth, 19);

  // Labels and pictures are painted on their parent, beneath every box and
  // button: a label whose place lies under a text box stays hidden by it.
  for (QWidget* parent : {Client, static_cast<QWidget*>(Panel1)}) {
    for (QLabel* l : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
      if (l != StatusBar1) l->lower();
    }
  }
  Panel1->lower();

  // The window's own spin edits lie above the panel.
  for (QWidget* w : std::initializer_list<QWidget*>{sePauseValue, seClearAfterChars, sePauseMins}) w->raise();

  Timer1 = new gui::Timer(1000, false, this);
  Timer2 = new gui::Timer(100, false, this);
  Timer3 = new gui::Timer(250, true, this);

  CreateMenu();
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  ApplyClientHeight();
  CentreOnScreen();
}

void TForm1::CentreOnScreen() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  adjustSize();
  QRect frame = frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}

void TForm1::CreateMenu() {
  auto item = [](QMenu* menu, const QString& caption, const QString& hint) {
    QAction* a = menu->addAction(caption);
    a->setProperty(kHint, hint);
    return a;
  };
  QMenuBar* bar = menuBar();
  Advanced1 = bar->addMenu("Advanced");
  Advanced1->menuAction()->setProperty(kHint, "Show advanced functions");
  SaveEnv1 = item(Advanced1, "Save Settings", "Save the main operating parameters");
  LoadEnv1 = item(Advanced1, "Load Settings", "Re-load the mian operating parameters");
  FastMode1 = item(Advanced1, "Fast Mode", "Set 6 - 40 WPM");
  SlowMode1 = item(Advanced1, "Slow Mode", "Set 3 - 20 WPM");
  RandChars1 = item(Advanced1, "Random Chars", "Random character handling");
  Dits1 = item(Advanced1, "Dits", "");
  ToggleTone1 = item(Advanced1, "Toggle Tone", "");
  ToggleUppercase1 = item(Advanced1, "Toggle Uppercase", "");
  eachStrings1 = item(Advanced1, "Teaching Strings", "");
  ResetSavedSettings1 = item(Advanced1, "Reset Saved Settings", "");
  Notepad1 = bar->addAction("Notepad");
  Notepad1->setProperty(kHint, "Show Notepad editor");
  H1 = bar->addMenu("Help");
  NewHelp1 = item(H1, "Help File", "");
  About1 = item(H1, "About", "");
  NewHistory1 = item(H1, "Version History", "");
}

int TForm1::ClientHeight() const { return client_height_; }

void TForm1::ChangeClientHeight(int dy) {
  client_height_ += dy;
  ApplyClientHeight();
}

void TForm1::ApplyClientHeight() {
  // Panel2 and the status line are bottom-aligned; nothing else moves.
  Client->setFixedSize(kClientWidth, client_height_);
  StatusBar1->setGeometry(0, client_height_ - 19, kClientWidth, 19);
  Panel2->setGeometry(0, client_height_ - 19 - Panel2->height(), kClientWidth, Panel2->height());
}
