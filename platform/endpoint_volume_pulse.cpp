#include "platform/endpoint_volume_pulse.h"

#include <cmath>

namespace platform {

struct PulseEndpointVolume::Query {
  PulseConnection* connection = nullptr;
  bool found = false;
  std::uint32_t index = PA_INVALID_INDEX;
  pa_cvolume volume{};

  static void OnInfo(pa_context*, const pa_sink_info* info, int, void* userdata) {
    auto* q = static_cast<Query*>(userdata);
    if (info != nullptr && !q->found) {
      q->found = true;
      q->index = info->index;
      q->volume = info->volume;
    }
    q->connection->Signal();
  }
};

namespace {

double Level(const pa_cvolume& v) { return static_cast<double>(pa_cvolume_max(&v)) / PA_VOLUME_NORM; }

void OnSuccess(pa_context*, int, void* userdata) { static_cast<PulseConnection*>(userdata)->Signal(); }

}  // namespace

std::uint32_t PulseEndpointVolume::RawVolume(double level) {
  if (!(level > 0)) return PA_VOLUME_MUTED;
  const double raw = std::llround(level * PA_VOLUME_NORM);
  return raw >= PA_VOLUME_MAX ? PA_VOLUME_MAX : static_cast<std::uint32_t>(raw);
}

std::string PulseEndpointVolume::Open(Notify notify) {
  if (std::string error = connection_.Connect("Marlowick volume", timeout_); !error.empty()) return error;
  {
    std::lock_guard lock(mutex_);
    notify_ = std::move(notify);
  }
  PulseConnection::Lock lock(connection_);
  pa_context* c = connection_.context();
  pa_context_set_subscribe_callback(c, &OnSubscribe, this);
  const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER);
  if (!connection_.WaitOperation(pa_context_subscribe(c, mask, &OnSuccess, &connection_),
                                 PulseConnection::Clock::now() + timeout_))
    return "Cannot follow the master volume: " + connection_.LastError();
  Follow();
  return {};
}

void PulseEndpointVolume::Follow() {
  if (pa_operation* op = pa_context_get_sink_info_by_name(connection_.context(), "@DEFAULT_SINK@",
                                                          &OnFollowInfo, this))
    pa_operation_unref(op);
}

void PulseEndpointVolume::OnSubscribe(pa_context*, pa_subscription_event_type_t type, std::uint32_t index,
                                      void* userdata) {
  auto* self = static_cast<PulseEndpointVolume*>(userdata);
  const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
  bool follow = facility == PA_SUBSCRIPTION_EVENT_SERVER;  // the default sink may have changed
  if (facility == PA_SUBSCRIPTION_EVENT_SINK) {
    std::lock_guard lock(self->mutex_);
    follow = index == self->default_index_ || self->default_index_ == PA_INVALID_INDEX;
  }
  if (follow) self->Follow();
}

void PulseEndpointVolume::OnFollowInfo(pa_context*, const pa_sink_info* info, int, void* userdata) {
  auto* self = static_cast<PulseEndpointVolume*>(userdata);
  if (info == nullptr) return;
  Notify notify;
  {
    std::lock_guard lock(self->mutex_);
    self->default_index_ = info->index;
    notify = self->notify_;
  }
  if (notify) notify(Level(info->volume));
}

std::optional<double> PulseEndpointVolume::GetMasterVolumeLevelScalar() {
  if (connection_.loop() == nullptr) return std::nullopt;
  PulseConnection::Lock lock(connection_);
  Query q;
  q.connection = &connection_;
  if (!connection_.WaitOperation(
          pa_context_get_sink_info_by_name(connection_.context(), "@DEFAULT_SINK@", &Query::OnInfo, &q),
          PulseConnection::Clock::now() + timeout_) ||
      !q.found)
    return std::nullopt;
  return Level(q.volume);
}

bool PulseEndpointVolume::SetMasterVolumeLevelScalar(double level) {
  if (connection_.loop() == nullptr) return false;
  const auto deadline = PulseConnection::Clock::now() + timeout_;
  PulseConnection::Lock lock(connection_);
  Query q;
  q.connection = &connection_;
  if (!connection_.WaitOperation(
          pa_context_get_sink_info_by_name(connection_.context(), "@DEFAULT_SINK@", &Query::OnInfo, &q), deadline) ||
      !q.found)
    return false;
  pa_cvolume volume = q.volume;
  if (pa_cvolume_max(&volume) == PA_VOLUME_MUTED) {
    pa_cvolume_set(&volume, volume.channels, RawVolume(level));
  } else {
    pa_cvolume_scale(&volume, RawVolume(level));
  }
  return connection_.WaitOperation(
      pa_context_set_sink_volume_by_index(connection_.context(), q.index, &volume, &OnSuccess, &connection_),
      deadline);
}

void PulseEndpointVolume::Close() {
  {
    std::lock_guard lock(mutex_);
    notify_ = nullptr;
  }
  connection_.Disconnect();
}

}  // namespace platform
