#include "record/input_record_thread.h"

#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <vector>

#include "platform/capture_pulse.h"
#include "record/wave_image.h"

namespace {
// How long a thread may take to end once asked; the capture's own waits
// are bounded well within it.
constexpr auto kJoinLimit = std::chrono::seconds(8);
}  // namespace

struct TInputRecordThread::Shared {
  std::mutex mutex;
  std::condition_variable cv;
  bool loopback = false;
  bool terminated = false;
  bool capturing = false;  // the stream is open, or has failed to open
  bool finished = false;
  std::string error;
  platform::CaptureFactory factory;
  record::MemoryStream data;  // the capture thread's alone until finished
  // Where the end is reported; cleared (under mutex) when the object goes.
  TInputRecordThread* owner = nullptr;
};

TInputRecordThread::TInputRecordThread(bool CreateSuspended, platform::CaptureFactory capture)
    : shared_(std::make_shared<Shared>()) {
  shared_->factory = std::move(capture);
  shared_->owner = this;
  if (!CreateSuspended) Start();
}

TInputRecordThread::~TInputRecordThread() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->owner = nullptr;
    shared_->terminated = true;
  }
  shared_->cv.notify_all();
  if (!thread_.joinable()) return;
  if (WaitFor(kJoinLimit))
    thread_.join();
  else
    thread_.detach();  // it holds its own reference to what it uses
}

bool TInputRecordThread::Loopback() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->loopback;
}

void TInputRecordThread::SetLoopback(bool value) {
  std::lock_guard lock(shared_->mutex);
  shared_->loopback = value;
}

void TInputRecordThread::Start() {
  if (thread_.joinable() || finished_once_) return;
  thread_ = std::thread(&TInputRecordThread::Execute, shared_);
}

void TInputRecordThread::Terminate() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->terminated = true;
  }
  shared_->cv.notify_all();
}

bool TInputRecordThread::Finished() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->finished;
}

bool TInputRecordThread::WaitUntilCapturing(std::chrono::milliseconds limit, const std::function<void()>& pump) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::unique_lock lock(shared_->mutex);
  while (!shared_->capturing && !shared_->finished) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    shared_->cv.wait_for(lock, std::chrono::milliseconds(10));
    if (pump) {
      lock.unlock();
      pump();
      lock.lock();
    }
  }
  return true;
}

bool TInputRecordThread::WaitFor(std::chrono::milliseconds limit) {
  std::unique_lock lock(shared_->mutex);
  return shared_->cv.wait_for(lock, limit, [&] { return shared_->finished; });
}

record::MemoryStream& TInputRecordThread::Data() { return shared_->data; }

std::int64_t TInputRecordThread::SoundBytes() const {
  const std::int64_t size = shared_->data.Size();
  return size > record::kWaveHeaderBytes ? size - record::kWaveHeaderBytes : 0;
}

QString TInputRecordThread::ErrorText() const {
  std::lock_guard lock(shared_->mutex);
  return QString::fromStdString(shared_->error);
}

void TInputRecordThread::Execute(std::shared_ptr<Shared> s) {
  bool loopback;
  platform::CaptureFactory factory;
  {
    std::lock_guard lock(s->mutex);
    loopback = s->loopback;
    factory = s->factory;
  }
  std::string error;
  std::unique_ptr<record::TWaveImage> image;
  try {
    std::unique_ptr<platform::CaptureDevice> device =
        factory ? factory() : std::make_unique<platform::PulseCapture>();
    error = device->Open(loopback);
    if (error.empty()) {
      image = std::make_unique<record::TWaveImage>(s->data);
      image->InitHeader(device->Format());
    }
    {
      std::lock_guard lock(s->mutex);
      s->capturing = true;
    }
    s->cv.notify_all();

    if (error.empty()) {
      auto append = [&](const void* data, std::size_t bytes) {
        if (data != nullptr) {
          s->data.Write(data, bytes);
        } else {
          s->data.SetSize(s->data.Size() + static_cast<std::int64_t>(bytes));  // zero-filled
          s->data.Seek(s->data.Size());
        }
      };
      const auto half = device->BufferDuration() / 2;
      for (;;) {
        bool stop;
        {
          std::unique_lock lock(s->mutex);
          stop = s->cv.wait_for(lock, half, [&] { return s->terminated; });
        }
        if (stop) {
          // What the speaker has played by now is still on its way here.
          std::this_thread::sleep_for(device->Latency());
          error = device->Drain(append);
          break;
        }
        error = device->Drain(append);
        if (!error.empty()) break;
      }
    }
    device->Close();
  } catch (const std::exception& e) {
    error = e.what();
  } catch (...) {
    error = "Unknown error while recording";
  }
  // The sizes are right on every way out, so even a broken-off recording
  // is a file WAV readers accept.
  if (image) {
    try {
      image->CorretHeader();
      s->data.Seek(0);
    } catch (...) {
    }
  }
  std::lock_guard lock(s->mutex);
  s->error = error;
  s->finished = true;
  s->cv.notify_all();
  if (s->owner != nullptr) {
    // Queued to the GUI thread; dropped if the object goes first.
    QMetaObject::invokeMethod(s->owner, [owner = s->owner] { owner->Ended(); }, Qt::QueuedConnection);
  }
}

void TInputRecordThread::Ended() {
  if (handled_) return;
  if (thread_.joinable()) thread_.join();  // it has finished; joining is immediate
  finished_once_ = true;
  if (!finishing_now_ && HoldEnd && HoldEnd()) {
    QTimer::singleShot(100, this, [this] { Ended(); });
    return;
  }
  handled_ = true;
  if (OnTerminate) OnTerminate(this);
  deleteLater();
}

void TInputRecordThread::FinishNow() {
  finishing_now_ = true;
  Terminate();
  if (thread_.joinable()) {
    if (WaitFor(kJoinLimit))
      thread_.join();
    else
      return;  // still stuck: its image is not safe to read
  }
  Ended();
}
