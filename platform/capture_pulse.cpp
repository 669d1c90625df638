#include "platform/capture_pulse.h"

#include <cstring>

namespace platform {

namespace {

struct SourceQuery {
  PulseConnection* connection = nullptr;
  bool done = false;
  bool found = false;
  std::string name;
  pa_sample_spec spec{};
  pa_channel_map map{};
};

void OnSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
  auto* q = static_cast<SourceQuery*>(userdata);
  if (info != nullptr && !q->found) {
    q->found = true;
    q->name = info->monitor_source_name != nullptr ? info->monitor_source_name : "";
    q->spec = info->sample_spec;
    q->map = info->channel_map;
  }
  if (eol != 0) q->done = true;
  q->connection->Signal();
}

void OnSourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata) {
  auto* q = static_cast<SourceQuery*>(userdata);
  if (info != nullptr && !q->found) {
    q->found = true;
    q->name = info->name != nullptr ? info->name : "";
    q->spec = info->sample_spec;
    q->map = info->channel_map;
  }
  if (eol != 0) q->done = true;
  q->connection->Signal();
}

}  // namespace

void PulseCapture::OnStreamState(pa_stream*, void* userdata) {
  static_cast<PulseCapture*>(userdata)->connection_.Signal();
}

std::string PulseCapture::Open(bool loopback) {
  const auto deadline = PulseConnection::Clock::now() + options_.connect_timeout;
  if (std::string error = connection_.Connect(options_.client_name, options_.connect_timeout); !error.empty())
    return error;
  PulseConnection::Lock lock(connection_);
  pa_context* c = connection_.context();

  const char* what = loopback ? "the default output" : "the default input";
  SourceQuery query;
  query.connection = &connection_;
  pa_operation* op = loopback ? pa_context_get_sink_info_by_name(c, "@DEFAULT_SINK@", &OnSinkInfo, &query)
                              : pa_context_get_source_info_by_name(c, "@DEFAULT_SOURCE@", &OnSourceInfo, &query);
  if (!connection_.WaitOperation(op, deadline) || !query.found || query.name.empty())
    return std::string("Cannot record ") + what + ": " +
           (connection_.Good() ? "the sound server has none" : connection_.LastError());

  pa_sample_spec spec = query.spec;
  spec.format = PA_SAMPLE_S16LE;
  format_ = Pcm16Format(spec.rate, spec.channels);
  stream_ = pa_stream_new(c, options_.stream_name.c_str(), &spec, &query.map);
  if (stream_ == nullptr) return std::string("Cannot record ") + what + ": " + connection_.LastError();
  pa_stream_set_state_callback(stream_, &OnStreamState, this);
  pa_buffer_attr attr;
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(
      static_cast<pa_usec_t>(std::chrono::duration_cast<std::chrono::microseconds>(options_.fragment).count()),
      &spec));
  if (pa_stream_connect_record(stream_, query.name.c_str(), &attr,
                               static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE)) < 0)
    return std::string("Cannot record ") + what + ": " + connection_.LastError();
  const bool ready = connection_.WaitLocked(deadline, [&] {
    const pa_stream_state_t st = pa_stream_get_state(stream_);
    return st == PA_STREAM_READY || !PA_STREAM_IS_GOOD(st);
  });
  if (!ready) return std::string("Cannot record ") + what + ": the sound server did not answer in time";
  if (pa_stream_get_state(stream_) != PA_STREAM_READY)
    return std::string("Cannot record ") + what + ": " + connection_.LastError();
  return {};
}

std::string PulseCapture::Drain(const Sink& sink) {
  if (stream_ == nullptr) return "The recording is not open";
  PulseConnection::Lock lock(connection_);
  auto lost = [&] { return "The connection to the sound server was lost: " + connection_.LastError(); };
  if (pa_stream_get_state(stream_) != PA_STREAM_READY) return lost();
  for (;;) {
    const std::size_t readable = pa_stream_readable_size(stream_);
    if (readable == static_cast<std::size_t>(-1)) return lost();
    if (readable == 0) return {};
    const void* data = nullptr;
    std::size_t bytes = 0;
    if (pa_stream_peek(stream_, &data, &bytes) < 0) return lost();
    if (bytes == 0) return {};
    // A hole (no data, a size) is sound the server never had: silence.
    sink(data, bytes);
    if (pa_stream_drop(stream_) < 0) return lost();
  }
}

void PulseCapture::Close() {
  if (connection_.loop() != nullptr && stream_ != nullptr) {
    PulseConnection::Lock lock(connection_);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
  }
  connection_.Disconnect();
}

}  // namespace platform
