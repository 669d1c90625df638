#include "record/recording_window.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMetaObject>
#include <algorithm>
#include <cmath>
#include <vector>

#include "gui/pump.h"
#include "platform/endpoint_volume_pulse.h"

TfmMain* fmMain = nullptr;

namespace {

// Long enough for the server to connect and the stream to start.
constexpr auto kCaptureStartLimit = std::chrono::seconds(6);

const QString kWaveFilter = QStringLiteral("Wave (*.wav)");

// The default extension goes on a name whose file part has none; a dot in a
// folder name does not count.
QString WithDefaultExtension(const QString& path) {
  if (QFileInfo(path).fileName().contains(QLatin1Char('.'))) return path;
  return path + QStringLiteral(".wav");
}

}  // namespace

TfmMain::TfmMain(RecordingServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      services_(std::move(services)),
      dialogs_(services_.dialogs != nullptr ? services_.dialogs : &gui::QtDialogs()) {
  setWindowTitle(QStringLiteral("Vista and 7 Sound"));
  setFixedSize(kClientWidth, kClientHeight);

  lbMasterVolume = new QLabel(QStringLiteral("Master volume"), this);
  lbMasterVolume->setGeometry(8, 8, 200, 16);
  tbMaster = new QSlider(Qt::Horizontal, this);
  tbMaster->setRange(0, 100);
  tbMaster->setValue(0);
  tbMaster->setTickPosition(QSlider::NoTicks);
  tbMaster->setGeometry(8, 26, 202, 24);

  auto group = [this](const QString& caption, int y, QPushButton*& start, QPushButton*& stop) {
    auto* box = new QGroupBox(caption, this);
    box->setGeometry(8, y, 202, 52);
    start = new QPushButton(QStringLiteral("Start"), box);
    start->setGeometry(10, 20, 85, 25);
    stop = new QPushButton(QStringLiteral("Stop"), box);
    stop->setGeometry(107, 20, 85, 25);
    stop->setEnabled(false);
    return box;
  };
  gbRecordInput = group(QStringLiteral(" Record input "), 54, btnStartInput, btnStopInput);
  gbRecordLoopback = group(QStringLiteral(" Record loopback "), 110, btnStartLoopback, btnStopLoopback);

  connect(tbMaster, &QSlider::valueChanged, this, [this] { tbMasterChange(); });
  connect(btnStartInput, &QPushButton::clicked, this, [this] { btnStartInputClick(); });
  connect(btnStopInput, &QPushButton::clicked, this, [this] { btnStopInputClick(); });
  connect(btnStartLoopback, &QPushButton::clicked, this, [this] { btnStartLoopbackClick(); });
  connect(btnStopLoopback, &QPushButton::clicked, this, [this] { btnStopLoopbackClick(); });

  FormCreate();
}

TfmMain::~TfmMain() {
  // The volume's thread may still be posting to this window: stop it first.
  if (FEndpoint) FEndpoint->Close();
  FEndpoint.reset();
  // Recordings still running end on their own, with no window to hand to.
  for (auto& t : recordings_) {
    if (!t) continue;
    t->OnTerminate = nullptr;
    t->HoldEnd = nullptr;
    t->Terminate();
  }
  if (fmMain == this) fmMain = nullptr;
}

void TfmMain::FormCreate() {
  const bool supported = !services_.endpoint_audio || services_.endpoint_audio();
  if (!supported) {
    dialogs_->ShowMessage(QStringLiteral("For Vista and above only."));
    // A quit before the event loop runs is ignored; queued, it ends the loop
    // as soon as it starts.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    return;
  }
  InitEndpointVolume();
}

void TfmMain::InitEndpointVolume() {
  std::unique_ptr<platform::EndpointVolume> endpoint =
      services_.volume ? services_.volume() : std::make_unique<platform::PulseEndpointVolume>();
  if (!endpoint) return;
  // Called on the sound server's thread: only post, never block.
  const std::string error = endpoint->Open([this](double level) {
    QMetaObject::invokeMethod(this, [this, level] { OnVolumeNotify(level); }, Qt::QueuedConnection);
  });
  // Without a server the trackbar stays at 0 and follows nothing; sound
  // output and recording report the server's absence themselves.
  if (!error.empty()) return;
  FEndpoint = std::move(endpoint);
  ReadMasterVolume();
}

int TfmMain::VolumePosition(double level) {
  // nearbyint rounds halves to even in the default rounding mode.
  const double position = std::nearbyint(level * 100.0);
  return static_cast<int>(std::clamp(position, 0.0, 100.0));
}

void TfmMain::ReadMasterVolume() {
  if (!FEndpoint) return;
  if (const auto level = FEndpoint->GetMasterVolumeLevelScalar()) tbMaster->setValue(VolumePosition(*level));
}

void TfmMain::tbMasterChange() {
  if (FVolumeUpdating || !FEndpoint) return;
  FEndpoint->SetMasterVolumeLevelScalar(tbMaster->value() / 100.0);
}

void TfmMain::OnVolumeNotify(double level) {
  FVolumeUpdating = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{FVolumeUpdating};
  tbMaster->setValue(VolumePosition(level));
}

TInputRecordThread* TfmMain::StartRecording(bool loopback) {
  QPointer<TInputRecordThread>& slot = loopback ? FLoopbackRecordThread : FInputRecordThread;
  // The older recording keeps what it has and is offered when it ends.
  StopRecording(slot);
  auto* thread = new TInputRecordThread(true, services_.capture);
  if (loopback) thread->SetLoopback(true);
  thread->OnTerminate = [this](TInputRecordThread* t) { InputRecordTerminateHandler(t); };
  thread->HoldEnd = [this] { return HoldOffers && HoldOffers(); };
  slot = thread;
  std::erase_if(recordings_, [](const QPointer<TInputRecordThread>& t) { return t.isNull(); });
  recordings_.emplace_back(thread);
  thread->Start();
  QPointer<TInputRecordThread> guard(thread);
  thread->WaitUntilCapturing(kCaptureStartLimit, [] { gui::ProcessMessages(); });
  return guard;  // null when it ended and was handled meanwhile
}

void TfmMain::StopRecording(TInputRecordThread* thread) {
  if (thread != nullptr) thread->Terminate();
}

void TfmMain::btnStartInputClick() {
  btnStartInput->setEnabled(false);
  btnStopInput->setEnabled(true);
  StartRecording(false);
}

void TfmMain::btnStartLoopbackClick() {
  btnStartLoopback->setEnabled(false);
  btnStopLoopback->setEnabled(true);
  StartRecording(true);
}

void TfmMain::btnStopInputClick() { StopRecording(FInputRecordThread); }

void TfmMain::btnStopLoopbackClick() { StopRecording(FLoopbackRecordThread); }

void TfmMain::InputRecordTerminateHandler(TInputRecordThread* Sender) {
  const bool loopback = Sender->Loopback();
  QPointer<TInputRecordThread>& slot = loopback ? FLoopbackRecordThread : FInputRecordThread;
  // A newer recording may have taken the place meanwhile: it is still running.
  if (slot == Sender) {
    slot = nullptr;
    (loopback ? btnStartLoopback : btnStartInput)->setEnabled(true);
    (loopback ? btnStopLoopback : btnStopInput)->setEnabled(false);
  }
  const QString reason = Sender->ErrorText();
  if (Sender->SoundBytes() == 0) {
    dialogs_->ShowMessage(reason.isEmpty() ? QStringLiteral("Nothing was recorded.")
                                           : QStringLiteral("Nothing was recorded. %1.").arg(reason));
    return;
  }
  if (!reason.isEmpty())
    dialogs_->ShowMessage(
        QStringLiteral("The recording was cut short. %1. What was recorded until then can be saved.").arg(reason));
  OfferSave(Sender);
}

void TfmMain::OfferSave(TInputRecordThread* thread) {
  for (;;) {
    const QString answer = dialogs_->SaveFileNameUnchecked(QString(), kWaveFilter);
    if (answer.isEmpty()) return;
    const QString path = QFileInfo(WithDefaultExtension(answer)).absoluteFilePath();
    if (QFileInfo::exists(path) &&
        !dialogs_->Confirm(QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(path)))
      continue;
    try {
      record::MemoryStream& data = thread->Data();
      data.Seek(0);
      data.SaveToFile(path.toStdString());
      return;
    } catch (const std::exception& e) {
      // The recording is still here: report and let the user pick again.
      dialogs_->ShowError(QString::fromStdString(e.what()));
    }
  }
}

void TfmMain::FinishRecordings() {
  const std::vector<QPointer<TInputRecordThread>> running = recordings_;
  for (auto& t : running)
    if (t) t->Terminate();
  for (auto& t : running) {
    if (!t) continue;
    t->FinishNow();
    delete t.data();
  }
}
