// Record Output: a loopback recording of what a Send Text run or a teaching
// session plays, held by the recording window fmMain.
#include <QCoreApplication>
#include <chrono>
#include <thread>

#include "app/main_window.h"
#include "gui/error_report.h"
#include "gui/pump.h"
#include "record/recording_window.h"
#include "sound/out_sound.h"

namespace {
// The ring and the server together hold under two seconds of sound.
constexpr auto kPlayOutLimit = std::chrono::seconds(4);
}  // namespace

void TForm1::ConnectRecordingHandlers() {
  connect(btnStopRecording, &QPushButton::clicked, this, [this] { gui::Guarded([this] { btnStopRecordingClick(); }); });
}

void TForm1::StartOutputRecording() {
  if (fmMain == nullptr) return;
  // Returns once the capture runs, so the first mark is in the recording.
  run_recording_ = fmMain->StartRecording(true);
}

void TForm1::StopOutputRecording() {
  if (!run_recording_) return;
  // The end of a run leaves up to the whole ring and the server's buffer
  // still to be heard; the recording must hear it too.
  if (OutSound1 && OutSound1->stage() >= sound::OpenStages::DeviceOpen && !closing_) {
    const auto pump = [] { gui::ProcessMessages(); };
    if (OutSound1->WaveOut().PlayedFrames(OutSound1->WaveOutHandle()) >= 0) {
      OutSound1->WaitUntilPlayed(kPlayOutLimit, pump);
    } else {
      // The device cannot tell how far it has played: allow for all it may hold.
      const auto held = std::chrono::milliseconds(
          1000LL * OutSound1->Buffers() * OutSound1->BufferLength() /
              (std::max(1, OutSound1->Channels()) * std::max(1, OutSound1->SampRate())) +
          300);
      const auto deadline = std::chrono::steady_clock::now() + held;
      while (std::chrono::steady_clock::now() < deadline && !closing_) {
        pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
  }
  TfmMain::StopRecording(run_recording_);
  run_recording_ = nullptr;
}

void TForm1::btnStopRecordingClick() {
  // Stops whatever loopback recording runs, even one whose run has had
  // Record Output unticked since: a recording must never be left growing.
  if (fmMain != nullptr) TfmMain::StopRecording(fmMain->FLoopbackRecordThread);
}
