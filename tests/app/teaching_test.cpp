// Teach mode through the window: the states and timers, answers typed
// through the window, the answer time, the chart, and random groups.
#include <QTimer>

#include "gui/bar_chart.h"
#include "morse/teaching.h"
#include "window_fixture.h"

namespace {

class TeachingTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Show();
  }

  void StartTeaching(const QString& count) {
    form->TeachbuttonClick();
    form->StartNumEdit->SetText(count);
    form->TeachSendButtonClick();
  }

  // Types a character through the window, as the keyboard delivers it.
  void Key(char c) { QTest::keyClick(form->windowHandle(), c); }

  char16_t Current() const { return form->Teachstring[form->ichar - 1]; }
};

TEST_F(TeachingTest, StartTeachPreparesTheWindowAndTheChart) {
  TForm1& f = *form;
  f.Teachbutton->click();
  EXPECT_TRUE(f.TeachFlag);
  EXPECT_FALSE(f.TeachGoFlag);
  EXPECT_EQ(f.ClientHeight(), TForm1::kClientHeight);
  EXPECT_TRUE(gui::Shown(f.Panel2));
  EXPECT_EQ(f.Panel2->geometry(), QRect(0, 389, 1030, 100));
  EXPECT_EQ(f.Teachstring, u"q7zg098o1jpwlram6bxdyckn23fu45vhsite.,?/");
  EXPECT_EQ(f.StartDelayTime, 8.0);
  EXPECT_EQ(f.Chart1->BarCount(), 40);
  EXPECT_EQ(f.Chart1->Value(39), 1.0);
  EXPECT_EQ(f.Chart1->Label(0), "");
  EXPECT_TRUE(f.Timer2->Enabled());
  EXPECT_FALSE(f.Teachbutton->isEnabled());
  EXPECT_FALSE(f.Sendbutton->isEnabled());
  EXPECT_TRUE(f.TeachSendButton->isEnabled());
  EXPECT_TRUE(f.TeachStopButton->isEnabled());
  EXPECT_TRUE(gui::Shown(f.StartNumEdit));
  EXPECT_FALSE(gui::Shown(f.Button1));
  EXPECT_FALSE(gui::Shown(f.CheckBox1));
  EXPECT_TRUE(gui::Shown(f.Memo1));
  EXPECT_EQ(f.StatusBar1->SimpleText(),
            "Enter number of characters to start, then press <Start Sending> button.");
  // The idle tick of Ready only disarms the timer.
  f.Timer2Timer();
  EXPECT_FALSE(f.Timer2->Enabled());
  EXPECT_EQ(Device().Written(), 0);
  // A second Start Teach does not grow the window again.
  f.TeachStopButtonClick();
  f.TeachbuttonClick();
  EXPECT_EQ(f.ClientHeight(), TForm1::kClientHeight);
  // Collapsing the panel shrinks the window once.
  f.TeachStopButtonClick();
  f.CollapseChartPanel();
  f.CollapseChartPanel();
  EXPECT_EQ(f.ClientHeight(), TForm1::kClientHeight - 100);
  EXPECT_FALSE(gui::Shown(f.Panel2));
  EXPECT_EQ(f.StatusBar1->geometry(), QRect(0, 389, 1030, 19));
}

TEST_F(TeachingTest, AStartingSetOfThreeBringsTheFourthInAfterARightAnswer) {
  TForm1& f = *form;
  StartTeaching("3");
  EXPECT_EQ(f.Numusing, 3);
  EXPECT_EQ(f.UsingEdit->Text(), "3");
  EXPECT_TRUE(gui::Shown(f.UsingEdit));
  EXPECT_DOUBLE_EQ(f.Errors[1], 0.2);
  EXPECT_DOUBLE_EQ(f.Errors[4], 1.0);
  EXPECT_FALSE(f.TeachSendButton->isEnabled());
  EXPECT_EQ(f.StatusBar1->SimpleText(),
            "Type each character you hear, or wait:  Press <Stop Teach> button to stop.");

  f.Timer2Timer();
  EXPECT_EQ(Current(), u'z');  // the last of the starting set comes first
  EXPECT_TRUE(f.ResponseFlag);
  EXPECT_TRUE(f.Timer1->Enabled());
  EXPECT_GT(Device().Written(), 0);

  Key('z');
  EXPECT_FALSE(f.ResponseFlag);
  EXPECT_TRUE(f.CorrectChar);
  EXPECT_EQ(f.Memo1->Text(), "z");
  f.Timer1Timer();
  EXPECT_EQ(f.Numusing, 4);
  EXPECT_EQ(f.UsingEdit->Text(), "4");
  EXPECT_EQ(f.Memo1->Text(), "");
  EXPECT_TRUE(f.Timer2->Enabled());
  for (int i = 0; i < 2; ++i) {  // g at the next two picks
    f.Timer2Timer();
    EXPECT_EQ(Current(), u'g');
    Key('g');
    f.Timer1Timer();
  }
}

TEST_F(TeachingTest, ACountAboveFortyIsFortyAndACountBelowOneIsRefused) {
  TForm1& f = *form;
  StartTeaching("55");
  EXPECT_EQ(f.Numusing, 40);
  EXPECT_EQ(f.StartNumEdit->Text(), "40");
  EXPECT_EQ(f.UsingEdit->Text(), "40");
  EXPECT_FALSE(f.IntroduceNextChar());
  f.TeachStopButtonClick();

  // Start Teach reports it, but gets ready with the box shown for correcting
  // it: refusing would keep the box hidden, leaving no way to mend it.
  f.StartNumEdit->SetText("0");
  gui::Guarded([&] { f.TeachbuttonClick(); });
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_TRUE(f.TeachFlag);
  EXPECT_TRUE(gui::Shown(f.StartNumEdit));
  EXPECT_EQ(f.Numusing, 1);
  EXPECT_TRUE(f.TeachStopButton->isEnabled());
  dialogs.errors.clear();

  // Start Sending refuses it and leaves teach mode Ready.
  gui::Guarded([&] { f.TeachSendButtonClick(); });
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_TRUE(dialogs.errors[0].startsWith("'0' is too few characters to start"));
  EXPECT_TRUE(f.TeachFlag);
  EXPECT_FALSE(f.TeachGoFlag);  // still Ready: the armed tick only disarms
  f.Timer2Timer();
  EXPECT_FALSE(f.ResponseFlag);
  EXPECT_TRUE(f.TeachSendButton->isEnabled());
}

TEST_F(TeachingTest, UpperCaseAnswersCountAndAreWrittenAsTyped) {
  TForm1& f = *form;
  StartTeaching("1");
  f.Timer2Timer();
  ASSERT_EQ(Current(), u'q');
  Key('Q');
  EXPECT_TRUE(f.CorrectChar);
  EXPECT_EQ(f.Memo1->Text(), "Q");
  f.Timer1Timer();
  f.Upperflag = true;
  f.Timer2Timer();
  Key('q');
  EXPECT_EQ(f.Memo1->Text(), "QQ");
}

TEST_F(TeachingTest, TheAnswerTimeShortensOnQuickAnswersAndEasesBackOnTimeouts) {
  TForm1& f = *form;
  StartTeaching("3");
  f.Timer2Timer();
  f.Timer1Timer();
  f.Timer1Timer();  // two whole ticks: 6 s left
  Key(static_cast<char>(Current()));
  EXPECT_DOUBLE_EQ(f.StartDelayTime, 7.5);
  f.Timer1Timer();

  f.Timer2Timer();
  const int position = f.ichar;
  f.Errors[position] = 0.4;
  for (int tick = 1; tick < 8; ++tick) {
    f.Timer1Timer();
    ASSERT_TRUE(f.ResponseFlag) << tick;
  }
  f.Timer1Timer();  // ceil(7.5) ticks: the timeout
  EXPECT_FALSE(f.ResponseFlag);
  EXPECT_DOUBLE_EQ(f.StartDelayTime, 7.75);
  EXPECT_EQ(f.Newflag, 2);
  EXPECT_NEAR(f.Errors[position], 0.6, 1e-12);
  EXPECT_EQ(f.Memo1->Text().right(1), QString(QChar(f.Teachstring[position - 1])));
  // A key after the timeout, before the next character, resets the time.
  Key('x');
  EXPECT_EQ(f.StartDelayTime, 8.0);
}

TEST_F(TeachingTest, AWrongKeyThenTheRightOneRaisesThenLowers) {
  TForm1& f = *form;
  StartTeaching("1");
  f.Timer2Timer();
  ASSERT_EQ(Current(), u'q');
  f.Errors[1] = 0.6000000000000001;
  Key('w');
  EXPECT_DOUBLE_EQ(f.Errors[1], 0.8);
  EXPECT_TRUE(f.ResponseFlag);
  Key('q');
  EXPECT_NEAR(f.Errors[1], 0.6, 1e-12);
  EXPECT_FALSE(f.ResponseFlag);
}

TEST_F(TeachingTest, PauseFreezesTheCountdownButKeysAreStillScored) {
  TForm1& f = *form;
  StartTeaching("1");
  f.Timer2Timer();
  f.PauseFlag = true;
  for (int i = 0; i < 20; ++i) f.Timer1Timer();
  EXPECT_TRUE(f.ResponseFlag);
  EXPECT_EQ(f.Delaytime, 8.0);
  Key('q');
  EXPECT_FALSE(f.ResponseFlag);
}

TEST_F(TeachingTest, ARightAnswerWhileTheCharacterSoundsAnswersIt) {
  TForm1& f = *form;
  StartTeaching("1");
  f.StartDelayTime = 6;
  f.Delaytime = 5;  // a leftover from an earlier character
  gui::SetPumpEverySample(true);
  QTimer::singleShot(0, &f, [&] { Key('q'); });
  f.Timer2Timer();
  gui::SetPumpEverySample(false);
  EXPECT_TRUE(f.CorrectChar);
  EXPECT_FALSE(f.ResponseFlag);      // no wait, no timeout for it
  EXPECT_EQ(f.StartDelayTime, 6.0);  // the leftover adapted nothing
  EXPECT_TRUE(f.Timer1->Enabled());  // the next tick moves on
  f.Timer1Timer();
  EXPECT_TRUE(f.Timer2->Enabled());

  // After a timeout, a key while the next character sounds resets the time.
  f.Delaytime = 0;
  gui::SetPumpEverySample(true);
  QTimer::singleShot(0, &f, [&] { Key('x'); });
  f.Timer2Timer();
  gui::SetPumpEverySample(false);
  EXPECT_EQ(f.StartDelayTime, 8.0);
  EXPECT_TRUE(f.ResponseFlag);  // a wrong key answers nothing
}

TEST_F(TeachingTest, StopTeachWhileSoundingEndsWithoutAWait) {
  TForm1& f = *form;
  StartTeaching("1");
  gui::SetPumpEverySample(true);
  QTimer::singleShot(0, &f, [&] { f.TeachStopButton->click(); });
  f.Timer2Timer();
  gui::SetPumpEverySample(false);
  EXPECT_FALSE(f.TeachFlag);
  EXPECT_FALSE(f.ResponseFlag);
  EXPECT_FALSE(f.Timer1->Enabled());
  EXPECT_FALSE(f.Timer2->Enabled());
  EXPECT_TRUE(f.Memo1->Text().startsWith("Your current mastery rating is "));
  EXPECT_EQ(f.Chart1->Label(0), "Q");
  EXPECT_EQ(f.Chart1->Label(39), "/");
}

TEST_F(TeachingTest, StopTeachInReadyRatesFromTheLastStatistics) {
  TForm1& f = *form;
  f.TeachbuttonClick();
  f.TeachStopButton->click();
  EXPECT_FALSE(f.TeachSendButton->isEnabled());
  EXPECT_FALSE(f.TeachStopButton->isEnabled());
  EXPECT_TRUE(f.Teachbutton->isEnabled());
  EXPECT_TRUE(gui::Shown(f.CheckBox1));
  EXPECT_TRUE(gui::Shown(f.Panel2));  // the chart stays
  // A fresh program: AverageError 0, one character in use.
  EXPECT_EQ(f.Memo1->Text(),
            "Your current mastery rating is 3\r\n"
            "When this is 100, you will have mastered all of the characters.\r\n");
  EXPECT_EQ(f.StatusBar1->SimpleText(), "Here's how you did.  I'm Ready to go again.");
}

TEST_F(TeachingTest, AnswersTypedAfterStartSendingChangeNoOtherControl) {
  TForm1& f = *form;
  f.Teachbutton->click();
  f.StartNumEdit->setFocus();
  f.StartNumEdit->SetText("2");
  f.TeachSendButton->setFocus();
  f.TeachSendButton->click();
  f.Timer2Timer();
  const char answer = static_cast<char>(Current());
  QTest::keyClick(f.windowHandle(), Qt::Key_Space);  // must not press a button
  Key(answer);
  EXPECT_EQ(f.StartNumEdit->Text(), "2");
  EXPECT_TRUE(f.TeachFlag);
  EXPECT_EQ(f.Memo1->Text(), QString(QChar(answer)));  // appended once, typed nowhere
}

TEST_F(TeachingTest, ATeachingSessionThroughRealEvents) {
  TForm1& f = *form;
  QTest::mouseClick(f.Teachbutton, Qt::LeftButton);
  QTest::mouseClick(f.TeachSendButton, Qt::LeftButton);
  // Timer2 sends the first character after 100 ms.
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.ResponseFlag; }, 3000));
  EXPECT_EQ(Current(), u'q');
  Key('q');
  EXPECT_FALSE(f.ResponseFlag);
  // The next tick brings the second character into use? Not yet: the weight
  // is 0.8. A tick later the next pick is sent again.
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.ResponseFlag; }, 3000));
  Key('q');
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.ResponseFlag; }, 3000));
  Key('q');
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.Numusing == 2; }, 3000));
  QTest::mouseClick(f.TeachStopButton, Qt::LeftButton);
  EXPECT_FALSE(f.TeachFlag);
  EXPECT_EQ(f.Chart1->Label(1), "7");
  EXPECT_NEAR(f.Errors[1], 0.4, 1e-12);
}

TEST_F(TeachingTest, RandomGroupsInBothLayouts) {
  TForm1& f = *form;
  f.RandChars1Click();
  EXPECT_TRUE(gui::Shown(f.Button3));
  EXPECT_TRUE(gui::Shown(f.seGroups2Gen));
  EXPECT_EQ(f.Memo1->Text(),
            "Enter characters, no spaces, in the `Enter Characters' box.\r\n"
            "Then click the button labelled `Generate'\r\n"
            "A random string of them will appear in this box.\r\n"
            "After they appear, click the `send text' button to send them\r\n");
  f.Edit3->SetText("ab");
  f.seGroups2Gen->SetValue(3);
  random.ints = {0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0};
  f.cbTeachingGroups->setChecked(true);
  f.Button3->click();
  EXPECT_EQ(f.Memo1->Text(), "ababa.babab babab.ababa ababa.");
  EXPECT_FALSE(gui::Shown(f.Button3));
  EXPECT_GE(random.reseeds, 1);

  f.RandChars1Click();
  f.Edit3->SetText("ab");
  f.seGroups2Gen->SetValue(1);
  f.cbTeachingGroups->setChecked(false);
  random.ints = {0, 0, 0, 1, 1, 1, 0};  // the third a and third b are drawn again
  f.Button3->click();
  EXPECT_EQ(f.Memo1->Text(), "aabba ");
}

TEST_F(TeachingTest, GroupSetsThatCannotFillAreRefusedLeavingTheBox) {
  TForm1& f = *form;
  f.RandChars1Click();
  f.Memo1->SetText("keep me");
  for (const char* set : {"a", "aa"}) {
    f.Edit3->SetText(set);
    f.Button3->click();
    EXPECT_EQ(f.Memo1->Text(), "keep me");
    EXPECT_TRUE(gui::Shown(f.Button3));
  }
  ASSERT_EQ(dialogs.messages.size(), 2);
  EXPECT_EQ(dialogs.messages[0], "Please enter at least 2 characters.");
  EXPECT_EQ(dialogs.messages[1], "Please enter at least 2 different characters.");
  f.Dits1Click();
  EXPECT_EQ(f.Memo1->Text(), "@@@@@@@@@@");
}

}  // namespace

// Every typed character is an answer while teaching: it is scored once and
// appended once, and no control takes it, wherever the focus is.
TEST_F(TeachingTest, AnswersReachNoControlWhateverHasTheFocus) {
  TForm1& f = *form;
  f.Teachbutton->click();
  // Ready: keys are scored against the first character already, and only
  // the count box takes them too.
  f.Memo1->setFocus();
  Key('q');
  EXPECT_EQ(f.Memo1->Text(), "q");
  f.StartNumEdit->setFocus();
  f.StartNumEdit->selectAll();
  Key('2');
  EXPECT_EQ(f.StartNumEdit->Text(), "2");
  f.TeachSendButton->click();
  f.sePauseValue->SetText("4");
  const std::vector<QWidget*> focus = {f.StartNumEdit, f.Memo1, f.sePauseValue->LineEdit(), f.cbRecordOutput,
                                       f.TeachStopButton};
  for (QWidget* w : focus) {
    SCOPED_TRACE(w->objectName().toStdString());
    f.Timer2Timer();
    w->setFocus();
    ASSERT_TRUE(w->hasFocus());
    const char answer = static_cast<char>(Current());
    const QString before = f.Memo1->Text();
    QTest::keyClick(f.windowHandle(), Qt::Key_Space);  // a wrong key, and no button press
    Key(answer);
    EXPECT_EQ(f.Memo1->Text(), before + QChar(answer));
    EXPECT_EQ(f.StartNumEdit->Text(), "2");
    EXPECT_EQ(f.sePauseValue->Text(), "4");
    EXPECT_FALSE(f.cbRecordOutput->isChecked());
    EXPECT_TRUE(f.TeachFlag);
    f.Timer1Timer();
  }
  // Stop Teach gives the boxes back to the keyboard.
  f.TeachStopButtonClick();
  f.Edit1->setFocus();
  Key('7');
  EXPECT_EQ(f.Edit1->Text(), "17");
  EXPECT_FALSE(f.Memo1->isReadOnly());
  EXPECT_TRUE(f.UsingEdit->isReadOnly());
}

// A count typed wrong in the Ready state can be seen and corrected by
// keyboard, also when it is only found at the next Start Teach.
TEST_F(TeachingTest, ABadCountIsShownForCorrection) {
  TForm1& f = *form;
  f.Teachbutton->click();
  f.StartNumEdit->setFocus();
  f.StartNumEdit->selectAll();
  for (const char c : {'2', '?', 'z', 'z'}) Key(c);
  ASSERT_EQ(f.StartNumEdit->Text(), "2?zz");
  gui::Guarded([&] { f.TeachSendButtonClick(); });
  ASSERT_EQ(dialogs.errors, QStringList{"'2?zz' is not a valid integer value"});
  EXPECT_FALSE(f.TeachGoFlag);
  EXPECT_TRUE(gui::Shown(f.StartNumEdit));
  EXPECT_TRUE(f.StartNumEdit->hasFocus());
  EXPECT_EQ(f.StartNumEdit->selectedText(), "2?zz");

  // Left bad into the next Start Teach.
  f.TeachStopButtonClick();
  EXPECT_FALSE(gui::Shown(f.StartNumEdit));
  gui::Guarded([&] { f.TeachbuttonClick(); });
  ASSERT_EQ(dialogs.errors.size(), 2);
  EXPECT_EQ(dialogs.errors[1], "'2?zz' is not a valid integer value");
  EXPECT_TRUE(gui::Shown(f.StartNumEdit));
  EXPECT_TRUE(f.StartNumEdit->hasFocus());
  Key('3');  // replaces the selected text
  EXPECT_EQ(f.StartNumEdit->Text(), "3");
  f.TeachSendButton->click();
  EXPECT_TRUE(f.TeachGoFlag);
  EXPECT_EQ(f.Numusing, 3);
  EXPECT_EQ(dialogs.errors.size(), 2);
}
