// The window on a real PulseAudio daemon of its own that the tests kill,
// restart, stall and rob of its sink: the trainer must come back without a
// restart, keep the learner's text and never freeze.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <memory>

#include "app/main_window.h"
#include "gui/dialogs.h"
#include "pulse/pulse_support.h"
#include "sound/out_sound.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class WindowOnPulseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(daemon_.Started());
    TrainerServices services;
    services.dialogs = &dialogs;
    form = std::make_unique<TForm1>(std::move(services));
    ASSERT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.join("\n").toStdString();
    form->SpeedScrollBar->SetPosition(35);
    form->CspeedScrollbar->SetPosition(35);
  }

  // Sends a text and says whether it went out without an error.
  bool Send(const QString& text) {
    const auto errors = dialogs.errors.size();
    form->Memo1->SetText(text);
    form->Sendbutton->click();
    return dialogs.errors.size() == errors;
  }

  // The client learns of a dead server from its socket within moments.
  void WaitUntilLost() {
    const auto end = Clock::now() + 3s;
    while (form->OutSound1->Usable() && Clock::now() < end) std::this_thread::sleep_for(10ms);
  }

  int Pactl(std::vector<std::string> args) {
    args.insert(args.begin(), "pactl");
    return pulse_test::Run(args);
  }

  pulse_test::PrivateDaemon daemon_;
  pulse_test::ScopedEnv server_{"PULSE_SERVER", daemon_.Server()};
  gui::ScriptedDialogs dialogs;
  std::unique_ptr<TForm1> form;
};

TEST_F(WindowOnPulseTest, ARestartedServerIsReconnectedAtTheNextSendText) {
  ASSERT_TRUE(Send("E"));

  // Restarted while the trainer sat idle: the next run just plays.
  ASSERT_TRUE(daemon_.Kill(SIGKILL));
  ASSERT_TRUE(daemon_.Restart());
  EXPECT_TRUE(Send("EE")) << dialogs.errors.join("\n").toStdString();
  EXPECT_EQ(form->sentstring, u"EE");

  // Gone: Send Text says so in a learner's words and keeps the text.
  ASSERT_TRUE(daemon_.Kill(SIGKILL));
  WaitUntilLost();
  EXPECT_FALSE(Send("TEXT OF MINE"));
  EXPECT_TRUE(dialogs.errors.last().startsWith(
      "No sound server is running (PulseAudio or PipeWire). Start it, then press Send Text again."))
      << dialogs.errors.last().toStdString();
  EXPECT_EQ(form->Memo1->Text(), "TEXT OF MINE");
  EXPECT_TRUE(form->Sendbutton->isEnabled());
  form->AbortButton->click();
  EXPECT_EQ(form->Memo1->Text(), "TEXT OF MINE");

  // Back again: no restart of the trainer needed.
  ASSERT_TRUE(daemon_.Restart());
  EXPECT_TRUE(Send("TEXT OF MINE")) << dialogs.errors.join("\n").toStdString();
  EXPECT_EQ(form->sentstring, u"TEXT OF MINE");
  EXPECT_TRUE(form->OutSound1->Usable());
}

TEST_F(WindowOnPulseTest, ARemovedSinkIsReportedAsSuchAndASinkBackPlaysAgain) {
  QTimer::singleShot(800, form.get(), [&] { Pactl({"unload-module", "module-null-sink"}); });
  EXPECT_FALSE(Send("PARIS PARIS PARIS PARIS"));
  EXPECT_TRUE(dialogs.errors.last().startsWith("The sound output device was removed."))
      << dialogs.errors.last().toStdString();
  EXPECT_EQ(form->Memo1->Text(), "PARIS PARIS PARIS PARIS");

  ASSERT_EQ(Pactl({"load-module", "module-null-sink", "sink_name=marlowick_null", "rate=44100", "norewinds=1"}), 0);
  EXPECT_TRUE(Send("EE")) << dialogs.errors.join("\n").toStdString();
}

TEST_F(WindowOnPulseTest, AStalledServerNeitherFreezesTheWindowNorLosesAClose) {
  bool handled_while_stalled = false;
  Clock::time_point closed_at;
  QTimer::singleShot(800, form.get(), [&] { daemon_.Kill(SIGSTOP); });
  QTimer::singleShot(2500, form.get(), [&] { handled_while_stalled = true; });
  QTimer::singleShot(3000, form.get(), [&] {
    closed_at = Clock::now();
    form->close();
  });
  form->Memo1->SetText("PARIS PARIS PARIS PARIS PARIS PARIS PARIS PARIS PARIS PARIS");
  form->Sendbutton->click();  // must return soon after the close
  const auto returned = Clock::now();
  daemon_.Kill(SIGCONT);
  EXPECT_TRUE(handled_while_stalled) << "events waited while the server was stalled";
  EXPECT_TRUE(form->Closing());
  EXPECT_FALSE(form->SendFlag);
  EXPECT_LT(returned - closed_at, 1500ms);
  form.reset();  // tears the sound down against the stalled-then-woken server
}

}  // namespace
