// The control layer's rules that the trainer's handler chains rely on.
#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "gui/char_hook.h"
#include "gui/controls.h"
#include "gui/error_report.h"
#include "gui/pump.h"

namespace {

TEST(ScrollBar, ClampsAndNotifiesOnlyOnChange) {
  gui::ScrollBar bar(12, 35, 14, nullptr);
  QSignalSpy spy(&bar, &QScrollBar::valueChanged);
  bar.SetPosition(0);
  EXPECT_EQ(bar.Position(), 12);
  EXPECT_EQ(spy.count(), 1);
  bar.SetPosition(12);
  bar.SetPosition(-5);
  EXPECT_EQ(spy.count(), 1);
  bar.SetPosition(99);
  EXPECT_EQ(bar.Position(), 35);
  EXPECT_EQ(spy.count(), 2);
  // A click in the trough moves by one.
  bar.triggerAction(QAbstractSlider::SliderPageStepSub);
  EXPECT_EQ(bar.Position(), 34);
}

TEST(CheckBox, SettingTheStateItHasRunsNothing) {
  QCheckBox box;
  QSignalSpy spy(&box, &QCheckBox::toggled);
  box.setChecked(false);
  EXPECT_EQ(spy.count(), 0);
  box.setChecked(true);
  box.setChecked(true);
  EXPECT_EQ(spy.count(), 1);
}

TEST(Edit, NotifiesOnEveryActualChangeByCode) {
  gui::Edit edit("20", nullptr);
  QSignalSpy spy(&edit, &QLineEdit::textChanged);
  edit.SetText("20");
  EXPECT_EQ(spy.count(), 0);
  edit.SetText("14");
  edit.SetText("12");
  EXPECT_EQ(spy.count(), 2);
}

struct SpinCase {
  const char* text;
  int min, max;
  int value;  // what Value() reads
};

void PrintTo(const SpinCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class SpinEditRead : public ::testing::TestWithParam<SpinCase> {};

TEST_P(SpinEditRead, ReadsTheTextsIntegerOrItsMinimum) {
  const SpinCase c = GetParam();
  gui::SpinEdit spin(c.min, c.max, c.min, nullptr);
  spin.SetText(c.text);
  EXPECT_EQ(spin.Text(), QString(c.text));  // any text is kept as it is
  EXPECT_EQ(spin.Value(), c.value);
}

INSTANTIATE_TEST_SUITE_P(Texts, SpinEditRead,
                         ::testing::Values(SpinCase{"30", 0, 250, 30}, SpinCase{"abc", 0, 250, 0},
                                           SpinCase{"", 1, 50, 1}, SpinCase{"999", 0, 250, 999},
                                           SpinCase{"12abc", 5, 9, 5}, SpinCase{"-3", 0, 0, -3}));

TEST(SpinEdit, ClampsValuesSetAsNumbersUnlessItHasNoRange) {
  gui::SpinEdit limited(0, 250, 0, nullptr);
  QSignalSpy spy(&limited, &gui::SpinEdit::Changed);
  limited.SetValue(300);
  EXPECT_EQ(limited.Text(), "250");
  limited.SetValue(250);
  EXPECT_EQ(spy.count(), 1);
  limited.SetValue(-1);
  EXPECT_EQ(limited.Text(), "0");

  gui::SpinEdit open(0, 0, 100, nullptr);
  open.SetValue(123456);
  EXPECT_EQ(open.Value(), 123456);
  open.SetValue(-7);
  EXPECT_EQ(open.Value(), -7);
}

TEST(Memo, GivesLineBreaksAsCrLfAndCountsTheCaretThatWay) {
  gui::Memo memo(nullptr);
  memo.SetText("AB\r\nCD\nEF\rG");
  EXPECT_EQ(memo.Text(), "AB\r\nCD\r\nEF\r\nG");
  memo.SetCaretPos(4);  // just before C
  EXPECT_EQ(memo.CaretPos(), 4);
  EXPECT_EQ(memo.textCursor().position(), 3);
  memo.SetCaretPos(9);  // before F
  EXPECT_EQ(memo.CaretPos(), 9);
  EXPECT_EQ(memo.Text().at(memo.CaretPos()), QChar('F'));
}

TEST(Memo, AddsLinesTheWayALineListDoes) {
  gui::Memo memo(nullptr);
  memo.AddLine("one");
  memo.AddLine("two");
  EXPECT_EQ(memo.Text(), "one\r\ntwo\r\n");
  memo.SetText("first");
  memo.AddLine("second");
  EXPECT_EQ(memo.Text(), "first\r\nsecond");
  memo.AppendText("x\r\ny");
  EXPECT_EQ(memo.Text(), "first\r\nsecondx\r\ny");
  EXPECT_EQ(memo.LineCount(), 3);
}

TEST(Memo, ALineBreakAppendedACharacterAtATimeIsOneBreak) {
  gui::Memo memo(nullptr);
  for (QChar c : QString("E\r\nE\rX\n")) memo.AppendText(QString(c));
  EXPECT_EQ(memo.Text(), "E\r\nE\r\nX\r\n");
  EXPECT_EQ(memo.LineCount(), 4);
}

TEST(Memo, TextFollowsEditsMadeThroughQt) {
  gui::Memo memo(nullptr);
  memo.SetText("abc");
  EXPECT_EQ(memo.Text(), "abc");
  memo.moveCursor(QTextCursor::End);
  memo.insertPlainText("\n");  // a user's Enter
  EXPECT_EQ(memo.Text(), "abc\r\n");
}

TEST(Timer, ArmingAnArmedTimerDoesNotRestartIt) {
  gui::Timer timer(2000, false, nullptr);
  QSignalSpy spy(&timer, &QTimer::timeout);
  timer.SetEnabled(true);
  const int before = timer.remainingTime();
  QTest::qWait(200);
  timer.SetEnabled(true);
  EXPECT_LT(timer.remainingTime(), before - 150);
  // Armed and disarmed within the interval: no tick.
  timer.SetEnabled(false);
  QTest::qWait(250);
  EXPECT_EQ(spy.count(), 0);
}

TEST(ErrorReport, ShowsAnEscapingErrorAndGoesOn) {
  gui::ScriptedDialogs dialogs;
  gui::SetErrorDialogs(&dialogs);
  bool after = false;
  QPushButton button;
  gui::On(&button, &QPushButton::clicked, &button, [] { throw std::runtime_error("'x' is not a valid integer value"); });
  gui::On(&button, &QPushButton::clicked, &button, [&] { after = true; });
  button.click();
  EXPECT_EQ(dialogs.errors, QStringList{"'x' is not a valid integer value"});
  EXPECT_TRUE(after);
  gui::SetErrorDialogs(nullptr);
}

// Each typed character reaches the hook exactly once, whichever widget has
// the focus, and still reaches that widget.
TEST(CharHook, SeesEachKeyOnceAndNeverSwallowsIt) {
  QWidget window;
  auto* edit = new QLineEdit(&window);
  auto* button = new QPushButton("B", &window);
  button->move(0, 40);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QString seen;
  gui::CharHook hook([&](char16_t c) { seen += QChar(c); });

  window.activateWindow();
  edit->setFocus();
  QTest::keyClick(window.windowHandle(), Qt::Key_A);
  QTest::keyClick(window.windowHandle(), Qt::Key_B);
  EXPECT_EQ(seen, "ab");
  EXPECT_EQ(edit->text(), "ab");

  button->setFocus();  // a button passes letters on to its parents
  QTest::keyClick(window.windowHandle(), Qt::Key_Q);
  QTest::keyClick(window.windowHandle(), Qt::Key_Return);
  EXPECT_EQ(seen, "abq\r");

  // Composed text from an input method counts too.
  edit->setFocus();
  QInputMethodEvent compose;
  compose.setCommitString("e");
  QApplication::sendEvent(edit, &compose);
  EXPECT_EQ(seen, "abq\re");
  EXPECT_EQ(edit->text(), "abe");
}

TEST(CharHook, SeesKeysWhileAHandlerPumps) {
  QWidget window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QString seen;
  gui::CharHook hook([&](char16_t c) { seen += QChar(c); });
  QTimer::singleShot(0, &window, [&] {
    QTest::keyClick(window.windowHandle(), Qt::Key_X);
  });
  gui::SetPumpEverySample(true);
  for (int i = 0; i < 10; ++i) gui::PumpSample();
  gui::SetPumpEverySample(false);
  EXPECT_EQ(seen, "x");
}

}  // namespace

namespace {

// What the keyboard can put into a number box, and what the box shows once
// the user leaves it: the value it is read as, or a refusal.
struct TypedCase {
  const char* keys;
  bool decimal;
  const char* shown;
  const char* error;  // reported after leaving, or nullptr
};

class SpinEditTyped : public ::testing::TestWithParam<TypedCase> {};

TEST_P(SpinEditTyped, ShowsWhatItIsReadAs) {
  const TypedCase& c = GetParam();
  gui::ScriptedDialogs dialogs;
  gui::SetErrorDialogs(&dialogs);
  QWidget window;
  auto* box = new gui::SpinEdit(c.decimal ? 1 : 0, c.decimal ? 50 : 250, 3, &window);
  box->SetDecimal(c.decimal);
  auto* other = new QLineEdit(&window);
  other->move(0, 40);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  box->LineEdit()->setFocus();
  box->LineEdit()->selectAll();
  QTest::keyClicks(box->LineEdit(), c.keys);
  other->setFocus();  // leaving the box
  QCoreApplication::processEvents();
  EXPECT_EQ(box->Text().toStdString(), c.shown);
  EXPECT_EQ(box->Value(), c.decimal ? box->Value() : std::stoi(c.shown));
  if (c.error) {
    EXPECT_EQ(dialogs.errors, QStringList{c.error});
  } else {
    EXPECT_TRUE(dialogs.errors.isEmpty());
  }
  gui::SetErrorDialogs(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, SpinEditTyped,
    ::testing::Values(TypedCase{"12.5", false, "125", nullptr},        // no point in a whole number
                      TypedCase{"+-+", false, "0", "'+' is not a valid integer value"},
                      TypedCase{"9-9", false, "99", nullptr},          // a sign only in front
                      TypedCase{"99999999999", false, "250", nullptr},  // beyond 32 bits: the maximum
                      TypedCase{"-5", false, "0", nullptr}, TypedCase{"+07", false, "7", nullptr},
                      TypedCase{"\b", false, "0", nullptr},            // emptied: reads as the minimum
                      TypedCase{"5.5.5", true, "5.55", nullptr}, TypedCase{"0", true, "1", nullptr}));

TEST(SpinEdit, PastedTextThatIsNoNumberIsRefused) {
  gui::ScriptedDialogs dialogs;
  gui::SetErrorDialogs(&dialogs);
  gui::SpinEdit box(0, 250, 3, nullptr);
  box.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
  QGuiApplication::clipboard()->setText(QStringLiteral("12.5"));
  box.LineEdit()->selectAll();
  box.LineEdit()->paste();
  EXPECT_EQ(box.Text(), "12.5");
  EXPECT_EQ(box.Value(), 0);  // read as the minimum while it stands
  QTest::keyClick(box.LineEdit(), Qt::Key_Return);
  QCoreApplication::processEvents();
  EXPECT_EQ(box.Text(), "0");
  EXPECT_EQ(dialogs.errors, QStringList{"'12.5' is not a valid integer value"});
  QGuiApplication::clipboard()->clear();
  gui::SetErrorDialogs(nullptr);
}

}  // namespace
