#include "platform/wave_out_pulse.h"

#include <pulse/pulseaudio.h>
#include <pulse/rtclock.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

MMRESULT CheckFormat(std::uint32_t device, const WaveFormatEx& f, pa_sample_spec* spec) {
  if (device != WAVE_MAPPER && device != 0) return MMSYSERR_BADDEVICEID;
  if (f.wFormatTag != WAVE_FORMAT_PCM || f.wBitsPerSample != 16 || f.nChannels == 0 ||
      f.nBlockAlign != f.nChannels * 2u ||
      f.nAvgBytesPerSec != f.nSamplesPerSec * std::uint32_t{f.nBlockAlign})
    return WAVERR_BADFORMAT;
  spec->format = PA_SAMPLE_S16LE;
  spec->rate = f.nSamplesPerSec;
  spec->channels = static_cast<std::uint8_t>(std::min<unsigned>(f.nChannels, 255));
  if (f.nChannels > PA_CHANNELS_MAX || !pa_sample_spec_valid(spec)) return WAVERR_BADFORMAT;
  return MMSYSERR_NOERROR;
}

MMRESULT WithPulseError(MMRESULT range, int error) {
  if (error <= 0 || error > 0xFF) error = PA_ERR_UNKNOWN;
  return range + static_cast<MMRESULT>(error);
}

}  // namespace

struct PulseWaveOut::Stream {
  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  pa_stream* stream = nullptr;
  WaveOutProc callback = nullptr;
  std::uintptr_t instance = 0;
  std::size_t frame_bytes = 2;

  // Taken after the loop lock, never before it.
  std::mutex mutex;
  std::deque<WaveHdr*> queue;
  std::uint32_t offset = 0;     // bytes of queue.front() already sent
  MMRESULT failure = 0;         // the reason the connection was lost
  bool closing = false;         // no more silence: let the stream drain
  bool sound_buffered = false;  // real sound sent since the last reset

  // Finished headers collected by the loop thread; only it touches this.
  std::vector<WaveHdr*> finished;

  HWAVEOUT handle() { return reinterpret_cast<HWAVEOUT>(this); }

  void Deliver(const std::vector<WaveHdr*>& done) {
    if (callback == nullptr) return;
    for (WaveHdr* h : done) callback(handle(), WOM_DONE, instance, h);
  }

  static void MarkDone(WaveHdr* h) { h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE; }

  // The connection is gone: nothing queued will ever be taken, so hand it
  // all back; writes fail from now on. Loop thread, loop locked.
  void Lose(int error) {
    {
      std::lock_guard lock(mutex);
      if (failure == 0) failure = WithPulseError(kLostError, error ? error : PA_ERR_CONNECTIONTERMINATED);
      for (WaveHdr* h : queue) {
        MarkDone(h);
        finished.push_back(h);
      }
      queue.clear();
      offset = 0;
    }
    Deliver(finished);
    finished.clear();
  }

  // Copies queued sound into `out`, silence where the queue runs out.
  void Fill(char* out, std::size_t n) {
    std::lock_guard lock(mutex);
    std::size_t pos = 0;
    while (pos < n && !queue.empty()) {
      WaveHdr* h = queue.front();
      const std::size_t take = std::min<std::size_t>(h->dwBufferLength - offset, n - pos);
      std::memcpy(out + pos, h->lpData + offset, take);
      pos += take;
      offset += static_cast<std::uint32_t>(take);
      sound_buffered = true;
      if (offset == h->dwBufferLength) {
        queue.pop_front();
        offset = 0;
        MarkDone(h);
        finished.push_back(h);
      }
    }
    std::memset(out + pos, 0, n - pos);
  }

  bool Idle() {
    std::lock_guard lock(mutex);
    return closing && queue.empty();
  }

  // The server asks for more: give it queued sound, or silence so the
  // stream never runs dry.
  void Feed() {
    std::size_t writable = pa_stream_writable_size(stream);
    if (writable == static_cast<std::size_t>(-1) || Idle()) return;
    while (writable >= frame_bytes) {
      void* data = nullptr;
      std::size_t n = writable;
      if (pa_stream_begin_write(stream, &data, &n) < 0 || data == nullptr) {
        Lose(pa_context_errno(context));
        return;
      }
      n -= n % frame_bytes;
      if (n == 0) {
        pa_stream_cancel_write(stream);
        break;
      }
      Fill(static_cast<char*>(data), n);
      if (pa_stream_write(stream, data, n, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
        Lose(pa_context_errno(context));
        return;
      }
      writable -= n;
    }
    Deliver(finished);
    finished.clear();
  }

  static void OnContextState(pa_context* c, void* userdata) {
    auto* self = static_cast<Stream*>(userdata);
    const pa_context_state_t state = pa_context_get_state(c);
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) self->Lose(pa_context_errno(c));
    pa_threaded_mainloop_signal(self->loop, 0);
  }

  static void OnStreamState(pa_stream* s, void* userdata) {
    auto* self = static_cast<Stream*>(userdata);
    const pa_stream_state_t state = pa_stream_get_state(s);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED)
      self->Lose(pa_context_errno(self->context));
    pa_threaded_mainloop_signal(self->loop, 0);
  }

  static void OnWrite(pa_stream*, std::size_t, void* userdata) { static_cast<Stream*>(userdata)->Feed(); }

  static void OnOperation(pa_stream*, int, void* userdata) {
    pa_threaded_mainloop_signal(static_cast<Stream*>(userdata)->loop, 0);
  }

  struct Timer {
    pa_threaded_mainloop* loop;
    bool fired = false;
  };
  static void OnTimer(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
    auto* timer = static_cast<Timer*>(userdata);
    timer->fired = true;
    pa_threaded_mainloop_signal(timer->loop, 0);
  }

  // pa_threaded_mainloop_wait has no timeout: a timer on the loop itself
  // wakes the waiter at the deadline. Loop locked; false on timeout.
  template <class Done>
  bool WaitLocked(Clock::time_point deadline, Done done) {
    if (done()) return true;
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    Timer timer{loop};
    pa_time_event* event = pa_context_rttime_new(
        context, pa_rtclock_now() + static_cast<pa_usec_t>(left.count()), &OnTimer, &timer);
    if (event == nullptr) return done();
    while (!done() && !timer.fired) pa_threaded_mainloop_wait(loop);
    pa_threaded_mainloop_get_api(loop)->time_free(event);
    return done();
  }

  // Waits for an operation, cancelling it at the deadline. Loop locked.
  bool WaitOperation(pa_operation* op, Clock::time_point deadline) {
    if (op == nullptr) return false;
    const bool finished_in_time =
        WaitLocked(deadline, [&] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; });
    if (!finished_in_time) pa_operation_cancel(op);
    pa_operation_unref(op);
    return finished_in_time;
  }
};

PulseWaveOut::PulseWaveOut() : PulseWaveOut(Options{}) {}

PulseWaveOut::PulseWaveOut(Options options) : options_(std::move(options)) {}

PulseWaveOut::~PulseWaveOut() {
  std::set<Stream*> left;
  {
    std::lock_guard lock(mutex_);
    left.swap(streams_);
  }
  for (Stream* s : left) Destroy(s);
}

PulseWaveOut::Stream* PulseWaveOut::Find(HWAVEOUT handle) {
  std::lock_guard lock(mutex_);
  auto it = streams_.find(reinterpret_cast<Stream*>(handle));
  return it == streams_.end() ? nullptr : *it;
}

void PulseWaveOut::Destroy(Stream* s) {
  if (s->loop != nullptr) {
    // With the loop locked no callback is running; once the stream's
    // callbacks are gone none can start.
    pa_threaded_mainloop_lock(s->loop);
    s->callback = nullptr;
    if (s->stream != nullptr) {
      pa_stream_set_state_callback(s->stream, nullptr, nullptr);
      pa_stream_set_write_callback(s->stream, nullptr, nullptr);
      pa_stream_disconnect(s->stream);
      pa_stream_unref(s->stream);
      s->stream = nullptr;
    }
    if (s->context != nullptr) {
      pa_context_set_state_callback(s->context, nullptr, nullptr);
      pa_context_disconnect(s->context);
      pa_context_unref(s->context);
      s->context = nullptr;
    }
    pa_threaded_mainloop_unlock(s->loop);
    // Joins the loop thread: no callback runs after this.
    pa_threaded_mainloop_stop(s->loop);
    pa_threaded_mainloop_free(s->loop);
  }
  delete s;
}

MMRESULT PulseWaveOut::QueryFormat(std::uint32_t device, const WaveFormatEx& format) {
  pa_sample_spec spec;
  return CheckFormat(device, format, &spec);
}

MMRESULT PulseWaveOut::Open(HWAVEOUT* handle, std::uint32_t device, const WaveFormatEx& format,
                            WaveOutProc callback, std::uintptr_t instance) {
  if (handle == nullptr) return MMSYSERR_INVALPARAM;
  pa_sample_spec spec;
  if (MMRESULT r = CheckFormat(device, format, &spec)) return r;
  const auto deadline = Clock::now() + options_.connect_timeout;

  auto* s = new Stream;
  s->callback = callback;
  s->instance = instance;
  s->frame_bytes = pa_frame_size(&spec);
  s->finished.reserve(16);
  auto fail = [&](MMRESULT r) {
    Destroy(s);
    return r;
  };

  s->loop = pa_threaded_mainloop_new();
  if (s->loop == nullptr) return fail(MMSYSERR_NOMEM);
  s->context = pa_context_new(pa_threaded_mainloop_get_api(s->loop), options_.client_name.c_str());
  if (s->context == nullptr) return fail(MMSYSERR_NOMEM);
  pa_context_set_state_callback(s->context, &Stream::OnContextState, s);
  // Never start a server of our own: no server is an error to report.
  if (pa_context_connect(s->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
    return fail(WithPulseError(kConnectError, pa_context_errno(s->context)));
  if (pa_threaded_mainloop_start(s->loop) < 0) return fail(MMSYSERR_NOMEM);

  pa_threaded_mainloop_lock(s->loop);
  MMRESULT result = MMSYSERR_NOERROR;
  const bool answered = s->WaitLocked(deadline, [&] {
    const pa_context_state_t st = pa_context_get_state(s->context);
    return st == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(st);
  });
  if (!answered)
    result = kConnectTimeout;
  else if (pa_context_get_state(s->context) != PA_CONTEXT_READY)
    result = WithPulseError(kConnectError, pa_context_errno(s->context));

  if (result == MMSYSERR_NOERROR) {
    pa_channel_map map;
    pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_DEFAULT);
    s->stream = pa_stream_new(s->context, options_.stream_name.c_str(), &spec, &map);
    if (s->stream == nullptr) result = WithPulseError(kStreamError, pa_context_errno(s->context));
  }
  if (result == MMSYSERR_NOERROR) {
    pa_stream_set_state_callback(s->stream, &Stream::OnStreamState, s);
    pa_stream_set_write_callback(s->stream, &Stream::OnWrite, s);
    const auto latency = std::chrono::duration_cast<std::chrono::microseconds>(options_.target_latency);
    pa_buffer_attr attr;
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(static_cast<pa_usec_t>(latency.count()), &spec));
    // The server's own start threshold; never 0, or sound written after a
    // pause is dropped.
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    if (pa_stream_connect_playback(s->stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr,
                                   nullptr) < 0)
      result = WithPulseError(kStreamError, pa_context_errno(s->context));
  }
  if (result == MMSYSERR_NOERROR) {
    const bool ready = s->WaitLocked(deadline, [&] {
      const pa_stream_state_t st = pa_stream_get_state(s->stream);
      return st == PA_STREAM_READY || !PA_STREAM_IS_GOOD(st);
    });
    if (!ready)
      result = kStreamTimeout;
    else if (pa_stream_get_state(s->stream) != PA_STREAM_READY)
      result = WithPulseError(kStreamError, pa_context_errno(s->context));
  }
  pa_threaded_mainloop_unlock(s->loop);
  if (result != MMSYSERR_NOERROR) return fail(result);

  {
    std::lock_guard lock(mutex_);
    streams_.insert(s);
  }
  *handle = s->handle();
  if (callback != nullptr) callback(s->handle(), WOM_OPEN, instance, nullptr);
  return MMSYSERR_NOERROR;
}

MMRESULT PulseWaveOut::PrepareHeader(HWAVEOUT handle, WaveHdr* header) {
  Stream* s = Find(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  std::lock_guard lock(s->mutex);
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT PulseWaveOut::UnprepareHeader(HWAVEOUT handle, WaveHdr* header) {
  Stream* s = Find(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  std::lock_guard lock(s->mutex);
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT PulseWaveOut::Write(HWAVEOUT handle, WaveHdr* header) {
  Stream* s = Find(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  {
    std::lock_guard lock(s->mutex);
    if (s->failure != 0) return s->failure;
    if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    if (header->dwBufferLength > 0) {
      s->queue.push_back(header);
      s->closing = false;
      return MMSYSERR_NOERROR;
    }
    Stream::MarkDone(header);
  }
  s->Deliver({header});
  return MMSYSERR_NOERROR;
}

MMRESULT PulseWaveOut::Reset(HWAVEOUT handle) {
  Stream* s = Find(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  std::vector<WaveHdr*> returned;
  pa_threaded_mainloop_lock(s->loop);
  if (pa_stream_get_state(s->stream) == PA_STREAM_READY) {
    // Drops what the server holds; the answer is not worth waiting for.
    if (pa_operation* op = pa_stream_flush(s->stream, nullptr, nullptr)) pa_operation_unref(op);
  }
  {
    std::lock_guard lock(s->mutex);
    for (WaveHdr* h : s->queue) {
      Stream::MarkDone(h);
      returned.push_back(h);
    }
    s->queue.clear();
    s->offset = 0;
    s->sound_buffered = false;
  }
  pa_threaded_mainloop_unlock(s->loop);
  s->Deliver(returned);
  return MMSYSERR_NOERROR;
}

MMRESULT PulseWaveOut::Close(HWAVEOUT handle) {
  Stream* s = Find(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  bool drain;
  {
    std::lock_guard lock(s->mutex);
    if (!s->queue.empty()) return WAVERR_STILLPLAYING;
    s->closing = true;
    drain = s->failure == 0 && s->sound_buffered;
  }
  if (drain) {
    pa_threaded_mainloop_lock(s->loop);
    if (pa_stream_get_state(s->stream) == PA_STREAM_READY)
      s->WaitOperation(pa_stream_drain(s->stream, &Stream::OnOperation, s),
                       Clock::now() + options_.drain_timeout);
    pa_threaded_mainloop_unlock(s->loop);
  }
  {
    std::lock_guard lock(mutex_);
    streams_.erase(s);
  }
  const WaveOutProc callback = s->callback;
  const std::uintptr_t instance = s->instance;
  Destroy(s);
  if (callback != nullptr) callback(handle, WOM_CLOSE, instance, nullptr);
  return MMSYSERR_NOERROR;
}

std::string PulseWaveOut::GetErrorText(MMRESULT code) const {
  if (auto common = CommonErrorText(code); !common.empty()) return std::string(common);
  if (code == kConnectTimeout)
    return BoundErrorText("Cannot connect to the sound server: no answer within " +
                          DurationText(options_.connect_timeout) + ".");
  if (code == kStreamTimeout)
    return BoundErrorText("The sound server did not open the playback stream within " +
                          DurationText(options_.connect_timeout) + ".");
  const int error = static_cast<int>(code & 0xFF);
  switch (code & ~MMRESULT{0xFF}) {
    case kConnectError:
      return BoundErrorText(std::string("Cannot connect to the sound server: ") + pa_strerror(error));
    case kStreamError:
      return BoundErrorText(std::string("The sound server refused the playback stream: ") +
                            pa_strerror(error));
    case kLostError:
      return BoundErrorText(std::string("The connection to the sound server was lost: ") +
                            pa_strerror(error));
    default:
      return "Unknown sound output error " + std::to_string(code) + ".";
  }
}

}  // namespace platform
