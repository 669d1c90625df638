// The recording window: the master volume coupling, loopback recordings
// started by Send Text, Start Sending and the window's own buttons, and the
// end handler's save.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <cstring>
#include <thread>

#include "platform/test_capture.h"
#include "platform/test_endpoint_volume.h"
#include "record/recording_window.h"
#include "window_fixture.h"

namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

std::uint32_t U32(const QByteArray& b, int at) {
  std::uint32_t v;
  std::memcpy(&v, b.constData() + at, 4);
  return v;
}

std::uint16_t U16(const QByteArray& b, int at) {
  std::uint16_t v;
  std::memcpy(&v, b.constData() + at, 2);
  return v;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

class RecordingTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_TRUE(dir.isValid());
    volume.SetLevel(0.5);
    OpenRecording();
  }
  void TearDown() override {
    if (recording) recording->FinishRecordings();
    recording.reset();
  }

  void OpenRecording(std::function<bool()> endpoint_audio = {}) {
    recording.reset();
    RecordingServices services;
    services.dialogs = &dialogs;
    services.volume = volume.Factory();
    services.capture = capture.Factory();
    services.endpoint_audio = std::move(endpoint_audio);
    recording = std::make_unique<TfmMain>(std::move(services));
    fmMain = recording.get();
  }

  // Pumps until the end handler has offered a save or said why not.
  bool WaitForEnds(int n) {
    return QTest::qWaitFor([&] { return dialogs.save_offers + dialogs.messages.size() >= n; }, 5000);
  }

  QString Path(const QString& name) const { return dir.filePath(name); }

  platform::TestCapture capture;
  platform::TestEndpointVolume volume;
  std::unique_ptr<TfmMain> recording;
  QTemporaryDir dir;
};

TEST_F(RecordingTest, TheWindowIsHiddenAndItsButtonsStartIdle) {
  TfmMain& w = *recording;
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(w.windowTitle(), "Vista and 7 Sound");
  EXPECT_EQ(w.gbRecordInput->title(), " Record input ");
  EXPECT_EQ(w.gbRecordLoopback->title(), " Record loopback ");
  EXPECT_TRUE(w.btnStartInput->isEnabled());
  EXPECT_FALSE(w.btnStopInput->isEnabled());
  EXPECT_TRUE(w.btnStartLoopback->isEnabled());
  EXPECT_FALSE(w.btnStopLoopback->isEnabled());
  EXPECT_EQ(w.tbMaster->minimum(), 0);
  EXPECT_EQ(w.tbMaster->maximum(), 100);
}

TEST_F(RecordingTest, StartUpShowsTheVolumeAndWritesItBackAtWholePercents) {
  struct Case {
    double level;
    int position;
  };
  for (const Case c : {Case{0.734, 73}, Case{0.736, 74}, Case{0.725, 72}, Case{0.735, 74}, Case{0.0, 0}}) {
    volume.SetLevel(c.level);
    const std::size_t sets_before = volume.Sets().size();
    OpenRecording();
    EXPECT_EQ(recording->tbMaster->value(), c.position) << c.level;
    if (c.position != 0) {
      ASSERT_EQ(volume.Sets().size(), sets_before + 1) << c.level;
      EXPECT_DOUBLE_EQ(volume.Sets().back(), c.position / 100.0);
    }
  }
}

TEST_F(RecordingTest, TheTrackbarFollowsTheVolumeWithoutWritingItBack) {
  const std::size_t sets = volume.Sets().size();
  volume.ChangeElsewhere(0.25);
  ASSERT_TRUE(QTest::qWaitFor([&] { return recording->tbMaster->value() == 25; }, 2000));
  EXPECT_EQ(volume.Sets().size(), sets);
  EXPECT_FALSE(recording->VolumeUpdating());

  recording->tbMaster->setValue(40);
  ASSERT_EQ(volume.Sets().size(), sets + 1);
  EXPECT_DOUBLE_EQ(volume.Sets().back(), 0.40);
  // The server reports the program's own change; it is not written again.
  QTest::qWait(50);
  EXPECT_EQ(recording->tbMaster->value(), 40);
  EXPECT_EQ(volume.Sets().size(), sets + 1);
}

TEST_F(RecordingTest, WithoutAVolumeTheTrackbarStaysAtZeroAndWritesNothing) {
  volume.FailOpen("Connection refused");
  volume.SetLevel(0.8);
  OpenRecording();
  const std::size_t sets = volume.Sets().size();
  EXPECT_EQ(recording->tbMaster->value(), 0);
  recording->tbMaster->setValue(30);
  EXPECT_EQ(volume.Sets().size(), sets);
}

TEST_F(RecordingTest, AnUnsupportedPlatformSaysSoAndEndsTheProgramOnceTheLoopRuns) {
  OpenRecording([] { return false; });
  EXPECT_EQ(dialogs.messages, QStringList{"For Vista and above only."});
  EXPECT_FALSE(volume.Open());
  // The quit waits in the queue for the loop; a guard ends a loop it missed.
  bool guard_fired = false;
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [&] {
    guard_fired = true;
    QCoreApplication::exit(1);
  });
  guard.start(5000);
  EXPECT_EQ(QCoreApplication::exec(), 0);
  EXPECT_FALSE(guard_fired);
}

TEST_F(RecordingTest, SendTextWithRecordOutputSavesWhatWasCaptured) {
  capture.SetFormat(platform::Pcm16Format(48000, 2));
  capture.Push(Bytes({1, 2, 3, 4}));
  capture.PushSilence(8);
  capture.Push(Bytes({5, 6, 7, 8}));
  dialogs.save_answer = Path("run");  // no extension: ".wav" is added

  form->Memo1->SetText("E");
  form->cbRecordOutput->setChecked(true);
  form->Sendbutton->click();
  ASSERT_TRUE(WaitForEnds(1));
  EXPECT_EQ(capture.OpenedLoopback(), true);
  EXPECT_EQ(capture.Closes(), 1);
  EXPECT_EQ(dialogs.save_offers, 1);
  EXPECT_EQ(dialogs.save_filters, QStringList{"Wave (*.wav)"});
  EXPECT_TRUE(dialogs.messages.isEmpty());

  const QByteArray wav = ReadAll(Path("run.wav"));
  ASSERT_EQ(wav.size(), 46 + 16);
  EXPECT_EQ(wav.left(4), "RIFF");
  EXPECT_EQ(U32(wav, 4), 46u + 16 - 8);
  EXPECT_EQ(U16(wav, 20), 1);
  EXPECT_EQ(U16(wav, 22), 2);
  EXPECT_EQ(U32(wav, 24), 48000u);
  EXPECT_EQ(U16(wav, 34), 16);
  EXPECT_EQ(U32(wav, 42), 16u);
  EXPECT_EQ(wav.mid(46), QByteArray::fromHex("01020304000000000000000005060708"));
  QTest::qWait(20);
  EXPECT_TRUE(fmMain->FLoopbackRecordThread.isNull());
}

TEST_F(RecordingTest, TheQueuedSoundPlaysOutBeforeTheRecordingStops) {
  // The device hears one buffer every 30 ms, so the end of a run leaves
  // buffers still to be heard.
  Device().SetCompletion(platform::TestWaveOut::Completion::OnCommand);
  std::atomic<bool> stop{false};
  std::thread speaker([&] {
    while (!stop) {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      Device().CompleteOne();
    }
  });
  std::atomic<int> unheard_at_stop{-1};
  capture.SetOnClose([&] { unheard_at_stop = Device().Pending(); });
  capture.Push(Bytes({1, 2}));
  form->Memo1->SetText("EE");
  form->cbRecordOutput->setChecked(true);
  form->Sendbutton->click();
  const bool ended = WaitForEnds(1);
  stop = true;
  speaker.join();
  ASSERT_TRUE(ended);
  EXPECT_GE(Device().Written(), 2);
  EXPECT_EQ(unheard_at_stop, 0);
}

TEST_F(RecordingTest, TheDefaultExtensionGoesOnTheFileNameOnly) {
  struct Case {
    QString answer, saved;
  };
  QDir(dir.path()).mkdir("a.b");
  const QList<Case> cases{{Path("a.b/take"), Path("a.b/take.wav")},
                          {Path("take.wav"), Path("take.wav")},
                          {Path("take.raw"), Path("take.raw")}};
  for (const Case& c : cases) {
    capture.Push(Bytes({9, 9}));
    dialogs.save_answer = c.answer;
    const int offers = dialogs.save_offers;
    recording->btnStartLoopback->click();
    recording->btnStopLoopback->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.save_offers > offers; }, 5000));
    EXPECT_TRUE(QFile::exists(c.saved)) << c.saved.toStdString();
  }
}

TEST_F(RecordingTest, TheWindowsButtonsSwitchPairsAndTheEndSwitchesBack) {
  TfmMain& w = *recording;
  capture.Push(Bytes({1, 1}));
  w.btnStartInput->click();
  EXPECT_FALSE(w.btnStartInput->isEnabled());
  EXPECT_TRUE(w.btnStopInput->isEnabled());
  EXPECT_TRUE(w.btnStartLoopback->isEnabled());
  ASSERT_TRUE(capture.WaitForDrains(1));
  w.btnStopInput->click();
  ASSERT_TRUE(WaitForEnds(1));
  EXPECT_EQ(capture.OpenedLoopback(), false);
  EXPECT_TRUE(w.btnStartInput->isEnabled());
  EXPECT_FALSE(w.btnStopInput->isEnabled());
}

TEST_F(RecordingTest, CancellingTheSaveWritesNothing) {
  capture.Push(Bytes({1, 2}));
  form->cbRecordOutput->setChecked(true);
  form->Memo1->SetText("E");
  form->Sendbutton->click();
  ASSERT_TRUE(WaitForEnds(1));
  EXPECT_EQ(dialogs.save_offers, 1);
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(RecordingTest, NothingCapturedSaysWhyAndOffersNoSave) {
  capture.FailOpen("Cannot connect to the sound server: Connection refused");
  form->cbRecordOutput->setChecked(true);
  form->Memo1->SetText("E");
  form->Sendbutton->click();
  ASSERT_TRUE(WaitForEnds(1));
  EXPECT_EQ(dialogs.save_offers, 0);
  EXPECT_EQ(dialogs.messages,
            QStringList{"Nothing was recorded. Cannot connect to the sound server: Connection refused."});
}

TEST_F(RecordingTest, ABrokenCaptureSaysSoAndOffersWhatItHasWithCorrectSizes) {
  capture.Push(Bytes({1, 2, 3, 4}));
  capture.FailDrain("The connection to the sound server was lost: Connection terminated");
  dialogs.save_answer = Path("cut.wav");
  recording->btnStartLoopback->click();
  ASSERT_TRUE(WaitForEnds(2));
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_TRUE(dialogs.messages[0].startsWith(
      "The recording was cut short. The connection to the sound server was lost: Connection terminated."));
  EXPECT_EQ(dialogs.save_offers, 1);
  const QByteArray wav = ReadAll(Path("cut.wav"));
  ASSERT_EQ(wav.size(), 50);
  EXPECT_EQ(U32(wav, 4), 42u);
  EXPECT_EQ(U32(wav, 42), 4u);
  EXPECT_TRUE(recording->btnStartLoopback->isEnabled());
}

TEST_F(RecordingTest, AFailedSaveShowsThePathAndReasonAndAsksAgain) {
  capture.Push(Bytes({1, 2}));
  dialogs.save_answers = {Path("missing/take.wav"), Path("take.wav")};
  recording->btnStartLoopback->click();
  recording->btnStopLoopback->click();
  ASSERT_TRUE(WaitForEnds(1));
  EXPECT_EQ(dialogs.save_offers, 2);
  ASSERT_EQ(dialogs.errors.size(), 1);
  EXPECT_EQ(dialogs.errors[0],
            QString("Cannot create file \"%1\". No such file or directory").arg(Path("missing/take.wav")));
  EXPECT_EQ(ReadAll(Path("take.wav")).size(), 48);
}

TEST_F(RecordingTest, AnExistingFileIsReplacedOnlyWhenTheUserSaysSo) {
  QFile old(Path("take.wav"));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("old");
  old.close();
  capture.Push(Bytes({1, 2}));
  dialogs.save_answers = {Path("take.wav"), Path("take.wav")};
  dialogs.confirm_answer = false;  // the second answer is also refused...
  recording->btnStartLoopback->click();
  recording->btnStopLoopback->click();
  ASSERT_TRUE(WaitForEnds(1));
  QTest::qWait(50);
  EXPECT_EQ(dialogs.save_offers, 3);  // ...and the third, empty, cancels
  EXPECT_EQ(dialogs.questions.size(), 2);
  EXPECT_TRUE(dialogs.questions[0].contains("already exists"));
  EXPECT_EQ(ReadAll(Path("take.wav")), "old");

  capture.Push(Bytes({1, 2}));
  dialogs.save_answers = {Path("take.wav")};
  dialogs.confirm_answer = true;
  recording->btnStartLoopback->click();
  recording->btnStopLoopback->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.save_offers == 4; }, 5000));
  EXPECT_EQ(ReadAll(Path("take.wav")).size(), 48);
}

TEST_F(RecordingTest, ASecondLoopbackStartStopsTheFirstAndKeepsBothRecordings) {
  dialogs.save_answers = {Path("first.wav"), Path("second.wav")};
  capture.Push(Bytes({1, 1}));
  recording->StartRecording(true);
  ASSERT_TRUE(capture.WaitForDrains(1));
  TInputRecordThread* second = recording->StartRecording(true);
  EXPECT_EQ(recording->FLoopbackRecordThread.data(), second);
  ASSERT_TRUE(WaitForEnds(1));
  capture.Push(Bytes({2, 2, 2, 2}));
  // The first one's end leaves the second in place and its buttons alone.
  EXPECT_EQ(recording->FLoopbackRecordThread.data(), second);
  recording->btnStopLoopbackClick();
  ASSERT_TRUE(WaitForEnds(2));
  EXPECT_EQ(dialogs.save_offers, 2);
  EXPECT_EQ(ReadAll(Path("first.wav")).size() + ReadAll(Path("second.wav")).size(), 46 + 2 + 46 + 4);
  EXPECT_TRUE(recording->FLoopbackRecordThread.isNull());
}

TEST_F(RecordingTest, StopRecordingWithNothingRunningDoesNothing) {
  form->cbRecordOutput->setChecked(true);
  form->btnStopRecording->click();
  QTest::qWait(100);
  EXPECT_EQ(capture.Opens(), 0);
  EXPECT_EQ(dialogs.save_offers, 0);
  EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(RecordingTest, StopRecordingEndsARecordingWhoseRunHadRecordOutputUnticked) {
  capture.Push(Bytes({1, 2}));
  recording->StartRecording(true);
  form->cbRecordOutput->setChecked(false);
  form->btnStopRecording->click();
  ASSERT_TRUE(WaitForEnds(1));
  EXPECT_EQ(dialogs.save_offers, 1);
}

TEST_F(RecordingTest, TheEndOfARunStopsItsRecordingEvenWhenUntickedMeanwhile) {
  capture.Push(Bytes({1, 2}));
  form->Memo1->SetText("EE");
  form->cbRecordOutput->setChecked(true);
  QTimer::singleShot(0, form.get(), [this] { form->cbRecordOutput->setChecked(false); });
  form->Sendbutton->click();
  ASSERT_TRUE(WaitForEnds(1));
  EXPECT_EQ(dialogs.save_offers, 1);
  EXPECT_TRUE(recording->FLoopbackRecordThread.isNull());
}

TEST_F(RecordingTest, ARecordingStoppedMidRunIsOfferedOnlyOnceTheRunHasEnded) {
  recording->HoldOffers = [this] { return form->Sounding(); };
  capture.Push(Bytes({1, 2}));
  form->Memo1->SetText("EEEE");
  form->cbRecordOutput->setChecked(true);
  int offers_during_run = -1;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, form.get(), [&] {
    if (form->sentstring.empty()) return;  // the first character is out
    poll.stop();
    form->btnStopRecording->click();
    QTest::qWait(300);  // the recording ends meanwhile, inside the run
    offers_during_run = dialogs.save_offers;
  });
  poll.start(0);
  form->Sendbutton->click();
  EXPECT_EQ(offers_during_run, 0);
  ASSERT_TRUE(WaitForEnds(1));
  EXPECT_EQ(dialogs.save_offers, 1);
}

TEST_F(RecordingTest, StopTeachEndsTheTeachingRecordingWithOneSaveOffer) {
  capture.Push(Bytes({1, 2}));
  form->cbRecordOutput->setChecked(true);
  form->Teachbutton->click();
  form->TeachSendButton->click();
  ASSERT_FALSE(recording->FLoopbackRecordThread.isNull());
  form->TeachStopButton->click();
  ASSERT_TRUE(WaitForEnds(1));
  QTest::qWait(50);
  EXPECT_EQ(dialogs.save_offers, 1);
}

TEST_F(RecordingTest, TheEndOfTheProgramStopsARunningRecordingAndOffersIt) {
  capture.Push(Bytes({1, 2}));
  dialogs.save_answer = Path("last.wav");
  recording->StartRecording(true);
  recording->FinishRecordings();
  EXPECT_EQ(dialogs.save_offers, 1);
  EXPECT_EQ(ReadAll(Path("last.wav")).size(), 48);
  EXPECT_EQ(capture.Closes(), 1);
}

}  // namespace
