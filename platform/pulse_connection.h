// A connection to the PulseAudio server on a threaded mainloop of its own,
// with the bounded waits libpulse lacks: pa_threaded_mainloop_wait has no
// timeout, so a timer on the loop itself wakes the waiter at the deadline.
#pragma once

#include <pulse/pulseaudio.h>

#include <chrono>
#include <functional>
#include <string>

namespace platform {

class PulseConnection {
 public:
  using Clock = std::chrono::steady_clock;

  PulseConnection() = default;
  // Disconnects and joins the loop thread: no callback runs afterwards.
  ~PulseConnection();
  PulseConnection(const PulseConnection&) = delete;
  PulseConnection& operator=(const PulseConnection&) = delete;

  // Connects without ever spawning a server. Empty on success, otherwise
  // the reason, e.g. "Cannot connect to the sound server: Connection refused".
  std::string Connect(const std::string& client_name, std::chrono::milliseconds timeout);

  pa_threaded_mainloop* loop() const { return loop_; }
  pa_context* context() const { return context_; }
  // Called on the loop thread, loop locked, after every change of the
  // context's state (the waiters have been woken already).
  std::function<void()> on_state_change;

  // The server's text for the context's last error.
  std::string LastError() const;
  bool Good() const;

  // Loop locked. Waits until done() or the deadline; returns done().
  bool WaitLocked(Clock::time_point deadline, const std::function<bool()>& done);
  // Loop locked. Waits for an operation (nullptr counts as failed) and
  // cancels it at the deadline; true when it completed in time.
  bool WaitOperation(pa_operation* op, Clock::time_point deadline);
  // Wakes every WaitLocked; callbacks that change what a waiter tests call it.
  void Signal() const;

  // Locks the loop for a scope; never from a loop callback.
  class Lock {
   public:
    explicit Lock(const PulseConnection& c) : loop_(c.loop_) { pa_threaded_mainloop_lock(loop_); }
    ~Lock() { pa_threaded_mainloop_unlock(loop_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    pa_threaded_mainloop* loop_;
  };

  // Stops the loop thread and frees everything; idempotent.
  void Disconnect();

 private:
  static void OnContextState(pa_context* c, void* userdata);

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
};

}  // namespace platform
