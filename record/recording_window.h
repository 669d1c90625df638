// The volume and recording window fmMain. It is created hidden and never
// shown, yet it couples its trackbar both ways to the master volume of the
// default output, holds the running recordings (whoever started them) and
// offers each finished one for saving.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "gui/dialogs.h"
#include "platform/capture.h"
#include "platform/endpoint_volume.h"
#include "record/input_record_thread.h"

// What the window talks to; production leaves every member empty.
struct RecordingServices {
  gui::Dialogs* dialogs = nullptr;
  // Whether the platform has the audio services the window needs. On Linux
  // it always has: whether a sound server runs is found out when it is used.
  std::function<bool()> endpoint_audio;
  platform::EndpointVolumeFactory volume;  // PulseAudio when empty
  platform::CaptureFactory capture;        // PulseAudio when empty
};

class TfmMain : public QWidget {
  Q_OBJECT

 public:
  explicit TfmMain(RecordingServices services = {}, QWidget* parent = nullptr);
  // Stops following the volume before the window goes.
  ~TfmMain() override;

  static constexpr int kClientWidth = 218;
  static constexpr int kClientHeight = 168;

  void FormCreate();
  void InitEndpointVolume();
  void ReadMasterVolume();
  void tbMasterChange();
  void btnStartInputClick();
  void btnStartLoopbackClick();
  void btnStopInputClick();
  void btnStopLoopbackClick();
  void InputRecordTerminateHandler(TInputRecordThread* Sender);

  // Starts a recording by the start contract and waits (bounded, pumping
  // events) until it captures or has failed, so that nothing played after
  // this returns is missed. A loopback recording still running is asked to
  // stop first; it keeps its recording and is offered for saving.
  TInputRecordThread* StartRecording(bool loopback);
  // Asks a running recording to stop; nothing for one that has ended.
  static void StopRecording(TInputRecordThread* thread);
  // At the end of the program: stops the running recordings, waits for
  // them within a bound and offers each for saving.
  void FinishRecordings();

  // While this says so, finished recordings wait to be offered.
  std::function<bool()> HoldOffers;

  bool VolumeUpdating() const { return FVolumeUpdating; }
  void SetVolumeUpdating(bool value) { FVolumeUpdating = value; }

  // The trackbar position for a level: to the nearest percent, halves to even.
  static int VolumePosition(double level);

  QPointer<TInputRecordThread> FInputRecordThread;
  QPointer<TInputRecordThread> FLoopbackRecordThread;
  std::unique_ptr<platform::EndpointVolume> FEndpoint;

  QLabel* lbMasterVolume = nullptr;
  QSlider* tbMaster = nullptr;
  QGroupBox* gbRecordInput = nullptr;
  QPushButton* btnStartInput = nullptr;
  QPushButton* btnStopInput = nullptr;
  QGroupBox* gbRecordLoopback = nullptr;
  QPushButton* btnStartLoopback = nullptr;
  QPushButton* btnStopLoopback = nullptr;

 private:
  // The save dialog until a file is written or the user cancels.
  void OfferSave(TInputRecordThread* thread);
  void OnVolumeNotify(double level);

  RecordingServices services_;
  gui::Dialogs* dialogs_;
  // Every recording this window started that has not ended yet, older ones
  // replaced by a second start included.
  std::vector<QPointer<TInputRecordThread>> recordings_;
  bool FVolumeUpdating = false;
};

extern TfmMain* fmMain;
