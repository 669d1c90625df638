#include "platform/test_endpoint_volume.h"

#include <thread>

namespace platform {

class TestEndpointVolume::Device : public EndpointVolume {
 public:
  explicit Device(TestEndpointVolume& owner) : owner_(owner) {}
  ~Device() override { Close(); }

  std::string Open(Notify notify) override {
    std::lock_guard lock(owner_.mutex_);
    if (!owner_.open_error_.empty()) return owner_.open_error_;
    owner_.notify_ = std::move(notify);
    owner_.open_ = true;
    return {};
  }
  std::optional<double> GetMasterVolumeLevelScalar() override {
    std::lock_guard lock(owner_.mutex_);
    if (!owner_.open_) return std::nullopt;
    return owner_.level_;
  }
  bool SetMasterVolumeLevelScalar(double level) override {
    EndpointVolume::Notify notify;
    {
      std::lock_guard lock(owner_.mutex_);
      if (!owner_.open_) return false;
      owner_.level_ = level;
      owner_.sets_.push_back(level);
      notify = owner_.notify_;
    }
    // The server reports the program's own changes too.
    if (notify) std::thread([notify, level] { notify(level); }).join();
    return true;
  }
  void Close() override {
    std::lock_guard lock(owner_.mutex_);
    owner_.notify_ = nullptr;
    owner_.open_ = false;
  }

 private:
  TestEndpointVolume& owner_;
};

EndpointVolumeFactory TestEndpointVolume::Factory() {
  return [this] { return std::make_unique<Device>(*this); };
}

void TestEndpointVolume::FailOpen(std::string reason) {
  std::lock_guard lock(mutex_);
  open_error_ = std::move(reason);
}

void TestEndpointVolume::ChangeElsewhere(double level) {
  EndpointVolume::Notify notify;
  {
    std::lock_guard lock(mutex_);
    level_ = level;
    notify = notify_;
  }
  if (notify) std::thread([notify, level] { notify(level); }).join();
}

void TestEndpointVolume::SetLevel(double level) {
  std::lock_guard lock(mutex_);
  level_ = level;
}

double TestEndpointVolume::Level() const {
  std::lock_guard lock(mutex_);
  return level_;
}

std::vector<double> TestEndpointVolume::Sets() const {
  std::lock_guard lock(mutex_);
  return sets_;
}

bool TestEndpointVolume::Open() const {
  std::lock_guard lock(mutex_);
  return open_;
}

}  // namespace platform
