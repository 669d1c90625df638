#include "platform/pulse_connection.h"

#include <pulse/rtclock.h>

namespace platform {

namespace {

struct DeadlineTimer {
  pa_threaded_mainloop* loop;
  bool fired = false;
};

void OnTimer(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
  auto* timer = static_cast<DeadlineTimer*>(userdata);
  timer->fired = true;
  pa_threaded_mainloop_signal(timer->loop, 0);
}

}  // namespace

PulseConnection::~PulseConnection() { Disconnect(); }

void PulseConnection::Disconnect() {
  if (loop_ == nullptr) return;
  pa_threaded_mainloop_lock(loop_);
  if (context_ != nullptr) {
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_set_subscribe_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
  }
  pa_threaded_mainloop_unlock(loop_);
  pa_threaded_mainloop_stop(loop_);
  pa_threaded_mainloop_free(loop_);
  loop_ = nullptr;
}

void PulseConnection::OnContextState(pa_context*, void* userdata) {
  auto* self = static_cast<PulseConnection*>(userdata);
  self->Signal();
  if (self->on_state_change) self->on_state_change();
}

std::string PulseConnection::Connect(const std::string& client_name, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  const std::string prefix = "Cannot connect to the sound server: ";
  loop_ = pa_threaded_mainloop_new();
  if (loop_ == nullptr) return prefix + "out of memory";
  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), client_name.c_str());
  if (context_ == nullptr) return prefix + "out of memory";
  pa_context_set_state_callback(context_, &OnContextState, this);
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return prefix + LastError();
  if (pa_threaded_mainloop_start(loop_) < 0) return prefix + "the client thread could not be started";
  Lock lock(*this);
  const bool answered = WaitLocked(deadline, [&] {
    const pa_context_state_t st = pa_context_get_state(context_);
    return st == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(st);
  });
  if (!answered) return prefix + "no answer within " + std::to_string(timeout.count()) + " ms";
  if (pa_context_get_state(context_) != PA_CONTEXT_READY) return prefix + LastError();
  return {};
}

std::string PulseConnection::LastError() const {
  return pa_strerror(context_ != nullptr ? pa_context_errno(context_) : PA_ERR_UNKNOWN);
}

bool PulseConnection::Good() const {
  return context_ != nullptr && pa_context_get_state(context_) == PA_CONTEXT_READY;
}

void PulseConnection::Signal() const {
  if (loop_ != nullptr) pa_threaded_mainloop_signal(loop_, 0);
}

bool PulseConnection::WaitLocked(Clock::time_point deadline, const std::function<bool()>& done) {
  if (done()) return true;
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
  if (left.count() <= 0 || context_ == nullptr) return false;
  DeadlineTimer timer{loop_};
  pa_time_event* event = pa_context_rttime_new(
      context_, pa_rtclock_now() + static_cast<pa_usec_t>(left.count()), &OnTimer, &timer);
  if (event == nullptr) return done();
  while (!done() && !timer.fired) pa_threaded_mainloop_wait(loop_);
  pa_threaded_mainloop_get_api(loop_)->time_free(event);
  return done();
}

bool PulseConnection::WaitOperation(pa_operation* op, Clock::time_point deadline) {
  if (op == nullptr) return false;
  const bool in_time = WaitLocked(deadline, [&] {
    return pa_operation_get_state(op) != PA_OPERATION_RUNNING || !Good();
  }) && pa_operation_get_state(op) == PA_OPERATION_DONE;
  if (pa_operation_get_state(op) == PA_OPERATION_RUNNING) pa_operation_cancel(op);
  pa_operation_unref(op);
  return in_time;
}

}  // namespace platform
