// Send Text through the window: the run's end, Abort, Pause, the resume
// position, the limit boxes and closing during a run.
#include <QTimer>

#include "window_fixture.h"

namespace {

class SendingTest : public WindowTest {
 protected:
  void SetSpeeds(int character, int text) {
    form->SpeedScrollBar->SetPosition(character);
    form->CspeedScrollbar->SetPosition(text);
  }

  // Runs fn once from inside the next Send Text run, as soon as the first
  // character has been sent.
  void DuringRun(std::function<void()> fn) {
    auto* timer = new QTimer(form.get());
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, form.get(), [this, timer, fn = std::move(fn)] {
      if (form->sentstring.empty()) return;
      timer->stop();
      fn();
    });
    timer->start();
  }
};

std::size_t FirstNonZero(const std::vector<std::int16_t>& s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != 0) return i;
  }
  return s.size();
}

TEST_F(SendingTest, SendsTheTextAndShowsWhatWasSent) {
  SetSpeeds(20, 20);
  form->Memo1->SetText("E E");
  form->CheckBox1->setChecked(false);
  form->Sendbutton->click();

  // The transfer thread hands the buffers over on its own time.
  ASSERT_TRUE(Device().WaitForWritten(3));
  const auto samples = Device().Samples();
  // Lead-in of three dits, then E's rise starts at amplitude 0.
  EXPECT_EQ(FirstNonZero(samples), 7938u + 1u);
  // Everything up to the last buffer, padded by Flush, reached the device.
  EXPECT_EQ(samples.size() % 20000, 0u);
  const std::size_t expected = 7938 + 2 * (2646 + 221 + 2646 + 5292) + 10584 + 5292;
  EXPECT_GE(samples.size(), expected);
  EXPECT_LT(samples.size(), expected + 20000);

  TForm1& f = *form;
  EXPECT_FALSE(f.SendFlag);
  EXPECT_EQ(f.sentstring, u"E E");
  EXPECT_EQ(f.Memo1->Text(), "E E");
  EXPECT_EQ(f.edit2->Text(), "E E");
  EXPECT_TRUE(f.CheckBox1->isChecked());
  EXPECT_TRUE(gui::Shown(f.Memo1));
  EXPECT_TRUE(f.Sendbutton->isEnabled());
  EXPECT_TRUE(f.LoadFile->isEnabled());
  EXPECT_TRUE(f.Teachbutton->isEnabled());
  EXPECT_EQ(f.StatusBar1->SimpleText(), "The main box shows the text actually sent.");
  EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(SendingTest, ProgressShowsALineBreakOnceAndTheRiseTimeMayHaveAFraction) {
  SetSpeeds(35, 35);
  form->SpinEdit2->SetText("2.5");
  form->Memo1->SetText("E\r\nE");
  form->Sendbutton->click();
  EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("\n").toStdString();
  EXPECT_EQ(form->edit2->Text(), "E\r\nE");
  EXPECT_EQ(form->sentstring, u"E\r\nE");
  EXPECT_DOUBLE_EQ(form->Risetime, 0.0025);

  form->SpinEdit2->SetText("x");
  form->Sendbutton->click();
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_EQ(dialogs.errors[0], "'x' is not a valid floating point value");
}

TEST_F(SendingTest, DuringARunStartTeachWaitsAndAbortEndsIt) {
  SetSpeeds(35, 20);
  gui::SetPumpEverySample(true);
  form->Memo1->SetText("PARIS PARIS PARIS");
  bool teachDuringRun = true;
  QString statusDuringRun;
  DuringRun([&] {
    teachDuringRun = form->Teachbutton->isEnabled();
    statusDuringRun = form->StatusBar1->SimpleText();
    form->AbortButton->click();
  });
  form->Sendbutton->click();
  gui::SetPumpEverySample(false);

  EXPECT_FALSE(teachDuringRun);
  EXPECT_EQ(statusDuringRun, "You can stop sending with the <Abort/Show text> button");
  // Abort came right after the first character: only it was sent.
  EXPECT_EQ(form->sentstring, u"P");
  EXPECT_EQ(form->Memo1->Text(), "P");
  EXPECT_EQ(form->StatusBar1->SimpleText(), "The main box shows the text actually sent.");
  EXPECT_TRUE(form->Teachbutton->isEnabled());
}

TEST_F(SendingTest, AbortBetweenRunsKeepsTheUsersText) {
  form->Memo1->SetText("typed by the user");
  form->CheckBox1->setChecked(false);
  form->cbShowProgress->setChecked(false);
  form->AbortButton->click();
  EXPECT_EQ(form->Memo1->Text(), "typed by the user");
  EXPECT_TRUE(gui::Shown(form->Memo1));
  EXPECT_TRUE(gui::Shown(form->edit2));
  EXPECT_TRUE(form->Sendbutton->isEnabled());
}

TEST_F(SendingTest, AnErrorInANoteEndsTheRunAndKeepsTheUsersText) {
  form->SpinEdit2->SetText("0");
  form->Memo1->SetText("EE");
  form->Sendbutton->click();
  ASSERT_EQ(dialogs.errors.size(), 1);
  // The lead-in gap is the first note: 0 / 0.
  EXPECT_EQ(dialogs.errors[0], "Invalid floating point operation");
  // The run has ended by itself; Abort afterwards changes no text.
  EXPECT_FALSE(form->SendFlag);
  EXPECT_TRUE(form->Sendbutton->isEnabled());
  EXPECT_EQ(form->StatusBar1->SimpleText(),
            "Sending stopped: the sound failed. Your text is unchanged; the progress box shows what was sent.");
  form->AbortButton->click();
  EXPECT_EQ(form->Memo1->Text(), "EE");
}

TEST_F(SendingTest, ALostSoundOutputIsOpenedAgainAtTheNextSendText) {
  SetSpeeds(35, 35);
  Device().FailWrite("The sound server stopped or restarted.");
  form->Memo1->SetText("PARIS PARIS");
  form->Sendbutton->click();
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_EQ(dialogs.errors[0], "The sound server stopped or restarted.");
  EXPECT_EQ(form->Memo1->Text(), "PARIS PARIS");
  EXPECT_TRUE(form->Sendbutton->isEnabled());

  // A new output, without the fault, plays the whole text.
  form->Sendbutton->click();
  EXPECT_EQ(dialogs.errors.size(), 1) << dialogs.errors.join("\n").toStdString();
  EXPECT_GT(Device().Written(), 0);
  EXPECT_EQ(form->sentstring, u"PARIS PARIS");
}

TEST_F(SendingTest, PauseTogglesAtMostOnceInHalfASecond) {
  TForm1& f = *form;
  f.btnPause->click();
  EXPECT_TRUE(f.PauseFlag);
  EXPECT_EQ(f.btnPause->text(), "&Unpause");
  clock.Advance(499);
  f.btnPause->click();
  EXPECT_TRUE(f.PauseFlag);
  clock.Advance(1);
  f.btnPause->click();
  EXPECT_FALSE(f.PauseFlag);
  EXPECT_EQ(f.btnPause->text(), "Pause");
}

TEST_F(SendingTest, APauseWaitsForEventsAndResumes) {
  TForm1& f = *form;
  f.Memo1->SetText("EE");
  f.btnPause->click();  // pending: the run waits before its first element
  int ticks = 0;
  QTimer resume;
  resume.setInterval(10);
  // Unpaused once the run says it waits (not silently held), and at the
  // latest after a few seconds, so a failure cannot hang the test.
  bool said_paused = false;
  QObject::connect(&resume, &QTimer::timeout, [&] {
    said_paused = f.StatusBar1->SimpleText() == "Paused: press Unpause";
    if ((++ticks >= 3 && said_paused) || ticks == 500) {
      resume.stop();
      clock.Advance(1000);
      f.btnPause->click();
    }
  });
  resume.start();
  f.Sendbutton->click();
  EXPECT_TRUE(said_paused);
  EXPECT_GE(ticks, 3);
  EXPECT_FALSE(f.PauseFlag);
  EXPECT_EQ(f.sentstring, u"EE");
}

std::vector<std::int16_t> WithoutTrailingSilence(std::vector<std::int16_t> s) {
  while (!s.empty() && s.back() == 0) s.pop_back();
  return s;
}

TEST_F(SendingTest, APauseClickKeepsTheRunsSampleStreamWhole) {
  TForm1& f = *form;
  SetSpeeds(35, 35);
  f.Memo1->SetText("PARIS PARIS");
  f.Sendbutton->click();
  const auto whole = WithoutTrailingSilence(Device().Samples());
  const std::size_t first_run = Device().Samples().size();

  // The same run, paused by a click after its first character and resumed.
  DuringRun([&] {
    f.btnPause->click();
    QTimer::singleShot(30, &f, [&] {
      clock.Advance(1000);
      f.btnPause->click();
    });
  });
  f.Sendbutton->click();
  EXPECT_EQ(Device().Pauses(), 1);
  EXPECT_EQ(Device().Restarts(), 1);
  const auto all = Device().Samples();
  const auto paused = WithoutTrailingSilence({all.begin() + static_cast<std::ptrdiff_t>(first_run), all.end()});
  // The device got the run's own samples: no padding where it paused.
  EXPECT_TRUE(paused == whole) << paused.size() << " samples against " << whole.size();
}

TEST_F(SendingTest, APauseALimitLeftPendingEndsWithTheRun) {
  TForm1& f = *form;
  f.Memo1->SetText("EEE");
  f.sePauseValue->SetValue(3);
  f.Sendbutton->click();
  EXPECT_FALSE(f.PauseFlag);
  EXPECT_EQ(f.btnPause->text(), "Pause");
  EXPECT_EQ(f.StatusBar1->SimpleText(), "The main box shows the text actually sent.");
}

TEST_F(SendingTest, ClosingWhilePausedEndsTheRun) {
  TForm1& f = *form;
  Show();
  f.Memo1->SetText("EEEE");
  f.btnPause->click();
  // Closed once the run waits in its pause, however slow the lead-in is.
  int ticks = 0;
  QTimer closer;
  closer.setInterval(10);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (f.StatusBar1->SimpleText() == "Paused: press Unpause" || ++ticks == 500) {
      closer.stop();
      f.close();
    }
  });
  closer.start();
  f.Sendbutton->click();  // must return
  EXPECT_TRUE(f.Closing());
  EXPECT_FALSE(f.SendFlag);
  EXPECT_EQ(f.sentstring, u"E");
}

TEST_F(SendingTest, AClickInTheTextPicksTheResumePosition) {
  TForm1& f = *form;
  Show();
  f.Memo1->SetText("AB\r\nCD");
  QTextCursor c(f.Memo1->document());
  c.setPosition(3);  // before C
  const QPoint at = f.Memo1->cursorRect(c).center() + QPoint(1, 0);
  QTest::mouseClick(f.Memo1->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  EXPECT_FALSE(f.FirstResume);  // the box is unchecked
  f.cbResumeFromCursor->setChecked(true);
  QTest::mouseClick(f.Memo1->viewport(), Qt::RightButton, Qt::NoModifier, at);
  EXPECT_FALSE(f.FirstResume);
  QTest::mouseClick(f.Memo1->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  EXPECT_TRUE(f.FirstResume);
  EXPECT_EQ(f.NewMessagePos, 5);  // the line break counts as two
}

// The box the user types into keeps its value and clears only the other
// kind of limit. (Changed on purpose: the change handlers used to cascade,
// so typing a minute limit over a character limit left all three at 0.)
TEST_F(SendingTest, LimitBoxesKeepWhatIsTypedAndClearTheOtherKind) {
  Show();
  TForm1& f = *form;
  auto type = [&](gui::SpinEdit* box, const char* text) {
    box->LineEdit()->setFocus();
    box->LineEdit()->selectAll();
    for (const char* c = text; *c; ++c) QTest::keyClick(f.windowHandle(), *c);
  };
  auto boxes = [&] {
    return std::vector<QString>{f.sePauseValue->Text(), f.seClearAfterChars->Text(), f.sePauseMins->Text()};
  };
  using V = std::vector<QString>;
  type(f.sePauseValue, "3");
  EXPECT_EQ(boxes(), (V{"3", "0", "0"}));
  type(f.sePauseMins, "1");
  EXPECT_EQ(boxes(), (V{"0", "0", "1"}));
  type(f.sePauseMins, "12");
  EXPECT_EQ(boxes(), (V{"0", "0", "12"}));
  type(f.seClearAfterChars, "7");
  EXPECT_EQ(boxes(), (V{"0", "7", "0"}));
  type(f.sePauseValue, "5");
  EXPECT_EQ(boxes(), (V{"5", "7", "0"}));
  // Set from code, as loading the settings does, the same rule holds.
  f.sePauseMins->SetValue(2);
  f.sePauseValue->SetValue(4);
  EXPECT_EQ(boxes(), (V{"4", "0", "0"}));
}

TEST_F(SendingTest, TheClockShowsTheTimeOfDay) {
  form->lbClock->setText("Clock");
  form->Timer3Timer();
  EXPECT_TRUE(QRegularExpression("^([01]\\d|2[0-3]):[0-5]\\d:[0-5]\\d$").match(form->lbClock->text()).hasMatch());
}

}  // namespace
