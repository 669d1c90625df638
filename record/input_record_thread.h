// One recording: a thread that captures the default output (loopback) or
// input into an in-memory WAV image. It is created suspended, told its mode
// and end handler, started, asked to stop (a flag only), and when it has
// ended its end handler runs on the GUI thread; after the handler the object
// deletes itself with its recording.
#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "platform/capture.h"
#include "record/memory_stream.h"

class TInputRecordThread : public QObject {
  Q_OBJECT

 public:
  // An empty factory captures on PulseAudio.
  explicit TInputRecordThread(bool CreateSuspended = true, platform::CaptureFactory capture = {});
  // Asks the thread to stop and joins it; a thread that does not end within
  // a bound is left to finish on its own data.
  ~TInputRecordThread() override;

  bool Loopback() const;
  void SetLoopback(bool value);  // before Start only

  // Runs on the GUI thread once the recording has ended, with this thread.
  std::function<void(TInputRecordThread*)> OnTerminate;
  // While this says so, the end handler waits (asking again every 100 ms):
  // a save dialog opened in the middle of a run would stop its sound.
  std::function<bool()> HoldEnd;

  void Start();
  // Asks the recording to stop: the thread takes what is still waiting,
  // finishes the image and ends. Nothing happens once it has ended.
  void Terminate();
  bool Started() const { return thread_.joinable() || finished_once_; }
  bool Finished() const;
  // Until the capture runs or has failed, calling pump meanwhile; false when
  // the bound passed first.
  bool WaitUntilCapturing(std::chrono::milliseconds limit, const std::function<void()>& pump);
  // Until the thread has ended, at most limit; true when it has.
  bool WaitFor(std::chrono::milliseconds limit);

  // Read these only once the thread has ended (in the end handler).
  record::MemoryStream& Data();
  // Sound bytes after the header; 0 when nothing was recorded.
  std::int64_t SoundBytes() const;
  // Why the capture failed or broke off; empty when it ran until asked to stop.
  QString ErrorText() const;

  // Ends the thread at once (joining it) and runs the end handler now
  // rather than from the event queue; for the end of the program.
  void FinishNow();

 private:
  struct Shared;
  static void Execute(std::shared_ptr<Shared> shared);
  void Ended();

  std::shared_ptr<Shared> shared_;
  std::thread thread_;
  bool finished_once_ = false;
  bool handled_ = false;
  bool finishing_now_ = false;
};
