#include "platform/test_capture.h"

namespace platform {

class TestCapture::Device : public CaptureDevice {
 public:
  explicit Device(TestCapture& owner) : owner_(owner) {}
  ~Device() override { Close(); }

  std::string Open(bool loopback) override {
    std::lock_guard lock(owner_.mutex_);
    ++owner_.opens_;
    owner_.loopback_ = loopback;
    open_ = owner_.open_error_.empty();
    return owner_.open_error_;
  }
  WaveFormatEx Format() const override {
    std::lock_guard lock(owner_.mutex_);
    return owner_.format_;
  }
  std::chrono::milliseconds BufferDuration() const override { return std::chrono::milliseconds(40); }
  std::chrono::milliseconds Latency() const override { return std::chrono::milliseconds(5); }
  std::string Drain(const Sink& sink) override {
    std::deque<Packet> packets;
    {
      std::lock_guard lock(owner_.mutex_);
      packets.swap(owner_.packets_);
    }
    std::string failure;
    for (Packet& p : packets) {
      if (p.failure) {
        failure = *p.failure;
        break;
      }
      if (p.silence > 0)
        sink(nullptr, p.silence);
      else
        sink(p.bytes.data(), p.bytes.size());
    }
    {
      std::lock_guard lock(owner_.mutex_);
      ++owner_.drains_;
    }
    owner_.cv_.notify_all();
    return failure;
  }
  void Close() override {
    if (!open_) return;
    open_ = false;
    std::function<void()> on_close;
    {
      std::lock_guard lock(owner_.mutex_);
      ++owner_.closes_;
      on_close = owner_.on_close_;
    }
    if (on_close) on_close();
  }

 private:
  TestCapture& owner_;
  bool open_ = false;
};

CaptureFactory TestCapture::Factory() {
  return [this] { return std::make_unique<Device>(*this); };
}

void TestCapture::SetFormat(WaveFormatEx format) {
  std::lock_guard lock(mutex_);
  format_ = format;
}

void TestCapture::FailOpen(std::string reason) {
  std::lock_guard lock(mutex_);
  open_error_ = std::move(reason);
}

void TestCapture::FailDrain(std::string reason) {
  std::lock_guard lock(mutex_);
  packets_.push_back({{}, 0, std::move(reason)});
}

void TestCapture::Push(std::vector<std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  packets_.push_back({std::move(bytes), 0, std::nullopt});
}

void TestCapture::PushSilence(std::size_t bytes) {
  std::lock_guard lock(mutex_);
  packets_.push_back({{}, bytes, std::nullopt});
}

void TestCapture::SetOnClose(std::function<void()> on_close) {
  std::lock_guard lock(mutex_);
  on_close_ = std::move(on_close);
}

int TestCapture::Opens() const {
  std::lock_guard lock(mutex_);
  return opens_;
}

int TestCapture::Closes() const {
  std::lock_guard lock(mutex_);
  return closes_;
}

int TestCapture::Drains() const {
  std::lock_guard lock(mutex_);
  return drains_;
}

std::optional<bool> TestCapture::OpenedLoopback() const {
  std::lock_guard lock(mutex_);
  return loopback_;
}

bool TestCapture::WaitForDrains(int n, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, timeout, [&] { return drains_ >= n; });
}

}  // namespace platform
