#include "platform/wave_out_pulse.h"

#include "platform/thread_priority.h"

#include <pulse/pulseaudio.h>
#include <pulse/rtclock.h>

#include <algorithm>
#include <atomic>
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
  pa_sample_spec spec{};
  std::size_t frame_bytes = 2;
  Options options;
  std::atomic<bool> priority_raised{false};
  bool priority_asked = false;  // loop thread only

  // Taken after the loop lock, never before it.
  std::mutex mutex;
  std::deque<WaveHdr*> queue;
  std::uint32_t offset = 0;     // bytes of queue.front() already sent
  std::vector<char> replay;     // taken back by Pause; sent before the queue
  std::size_t replay_pos = 0;
  MMRESULT failure = 0;         // the reason the stream was lost
  bool closing = false;
  bool sound_buffered = false;  // real sound sent since the last reset

  // The rest is the loop's: touched with the loop locked.
  std::int64_t written = 0;          // the server's write index, bytes
  std::vector<char> history;         // what was written at [history_index, written)
  std::int64_t history_index = 0;
  // Silence Pause put over queued sound, as stream byte ranges; it is not
  // the caller's sound and is not counted as played.
  std::vector<std::pair<std::int64_t, std::int64_t>> padding;
  std::int64_t dropped_frames = 0;   // dropped by Reset: counted as played
  std::int64_t last_played = 0;
  bool paused = false;               // nothing is written until Restart
  bool pause_pending = false;        // stop at the next silence written
  bool corked = true;                // connected corked; corked when idle
  std::uint64_t generation = 0;      // counts writes, for the idle check
  std::uint64_t idle_generation = 0;
  bool underflowed = false;          // the server ran out since the last write
  Clock::time_point underflow_at{};
  pa_time_event* idle_timer = nullptr;

  // Finished headers collected by the loop thread; delivered after a feed.
  std::vector<WaveHdr*> finished;

  HWAVEOUT handle() { return reinterpret_cast<HWAVEOUT>(this); }

  std::size_t Bytes(std::chrono::milliseconds t) const {
    const std::size_t n = pa_usec_to_bytes(static_cast<pa_usec_t>(t.count()) * 1000, &spec);
    return n - n % frame_bytes;
  }

  void Deliver(const std::vector<WaveHdr*>& done) {
    if (callback == nullptr) return;
    for (WaveHdr* h : done) callback(handle(), WOM_DONE, instance, h);
  }
  void DeliverFinished() {
    std::vector<WaveHdr*> done;
    done.swap(finished);
    Deliver(done);
  }

  static void MarkDone(WaveHdr* h) { h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE; }

  // Hands every queued buffer back as done. Mutex held.
  std::int64_t ReturnQueueLocked() {
    std::int64_t unsent = static_cast<std::int64_t>(replay.size() - replay_pos);
    for (WaveHdr* h : queue) {
      unsent += h->dwBufferLength - (h == queue.front() ? offset : 0);
      MarkDone(h);
      finished.push_back(h);
    }
    queue.clear();
    offset = 0;
    replay.clear();
    replay_pos = 0;
    return unsent;
  }

  // The stream is gone: nothing queued will ever be taken, so hand it all
  // back; writes fail from now on. Loop thread, loop locked.
  void Lose(MMRESULT reason) {
    {
      std::lock_guard lock(mutex);
      if (failure == 0) failure = reason;
      ReturnQueueLocked();
    }
    DeliverFinished();
  }

  // Own frames among the first `index` bytes of the stream.
  std::int64_t OwnFrames(std::int64_t index) const {
    std::int64_t own = index;
    for (const auto& [from, to] : padding) {
      if (from >= index) continue;
      own -= std::min(to, index) - from;
    }
    return own / static_cast<std::int64_t>(frame_bytes);
  }

  // --- What is still to be sent: the replay, then the queued buffers.
  // Mutex held for all of these.

  std::size_t SourceBytes() const {
    std::size_t n = replay.size() - replay_pos;
    for (const WaveHdr* h : queue) n += h->dwBufferLength;
    return n - offset;
  }

  // Calls visit(data, length) for the unsent spans in order until it
  // returns false.
  template <class Visit>
  void VisitSource(Visit visit) const {
    if (replay_pos < replay.size() && !visit(replay.data() + replay_pos, replay.size() - replay_pos)) return;
    bool first = true;
    for (const WaveHdr* h : queue) {
      const std::uint32_t skip = first ? offset : 0;
      first = false;
      if (h->dwBufferLength > skip && !visit(h->lpData + skip, h->dwBufferLength - skip)) return;
    }
  }

  void Fill(char* out, std::size_t n) {
    std::size_t pos = 0;
    if (replay_pos < replay.size()) {
      const std::size_t take = std::min(replay.size() - replay_pos, n);
      std::memcpy(out, replay.data() + replay_pos, take);
      pos += take;
      replay_pos += take;
      if (replay_pos == replay.size()) {
        replay.clear();
        replay_pos = 0;
      }
    }
    while (pos < n && !queue.empty()) {
      WaveHdr* h = queue.front();
      const std::size_t take = std::min<std::size_t>(h->dwBufferLength - offset, n - pos);
      std::memcpy(out + pos, h->lpData + offset, take);
      pos += take;
      offset += static_cast<std::uint32_t>(take);
      if (offset == h->dwBufferLength) {
        queue.pop_front();
        offset = 0;
        MarkDone(h);
        finished.push_back(h);
      }
    }
  }

  // Finds the first silence of at least kPauseSilence in spans visited in
  // order: `found` is its byte offset from the start of the first span, or
  // -1. A tone's own zero crossings are single samples, so only a gap
  // between elements qualifies.
  struct SilenceFinder {
    std::size_t frame_bytes;
    std::size_t needed;          // bytes of silence that make a pause point
    std::int64_t position = 0;   // bytes seen so far
    std::int64_t run_start = -1;
    std::int64_t found = -1;
    std::size_t partial = 0;     // bytes of a frame split across spans
    bool partial_silent = true;

    bool Visit(const char* data, std::size_t n) {
      for (std::size_t i = 0; i < n; ++i) {
        partial_silent = partial_silent && data[i] == 0;
        if (++partial < frame_bytes) continue;
        const std::int64_t frame_start = position + static_cast<std::int64_t>(i + 1 - frame_bytes);
        if (partial_silent) {
          if (run_start < 0) run_start = frame_start;
          if (frame_start + static_cast<std::int64_t>(frame_bytes) - run_start >=
              static_cast<std::int64_t>(needed)) {
            found = run_start;
            return false;
          }
        } else {
          run_start = -1;
        }
        partial = 0;
        partial_silent = true;
      }
      position += static_cast<std::int64_t>(n);
      return true;
    }
  };

  SilenceFinder Finder() const { return SilenceFinder{frame_bytes, Bytes(kPauseSilence)}; }

  static constexpr std::chrono::milliseconds kPauseSilence{5};

  // --- Loop locked from here on.

  void AppendHistory(const char* data, std::size_t n) {
    history.insert(history.end(), data, data + n);
    // Keep what the server may still hold, with room to spare.
    const std::size_t keep = 2 * Bytes(options.buffer_time);
    if (history.size() > 2 * keep) {
      const std::size_t drop = history.size() - keep;
      history.erase(history.begin(), history.begin() + static_cast<std::ptrdiff_t>(drop));
      history_index += static_cast<std::int64_t>(drop);
    }
  }

  pa_buffer_attr Attributes(std::chrono::milliseconds request) const {
    pa_buffer_attr attr;
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(Bytes(options.buffer_time));
    // Early requests: the sink renders only minreq ahead whatever the
    // buffer, so what the server holds can still be taken back at once.
    attr.minreq = static_cast<std::uint32_t>(Bytes(request));
    // Small but never 0: with 0, sound written after the stream ran dry
    // would be placed in the past and dropped.
    attr.prebuf = static_cast<std::uint32_t>(Bytes(std::chrono::milliseconds(10)));
    attr.fragsize = static_cast<std::uint32_t>(-1);
    return attr;
  }

  // A corked stream still holds the sink to its short latency, which keeps
  // the server waking; idle, it asks for a long one.
  void Cork(bool cork) {
    if (corked == cork || pa_stream_get_state(stream) != PA_STREAM_READY) return;
    corked = cork;
    const pa_buffer_attr attr = Attributes(cork ? kIdleRequest : options.request_time);
    if (!cork) {
      if (pa_operation* op = pa_stream_set_buffer_attr(stream, &attr, nullptr, nullptr)) pa_operation_unref(op);
    }
    if (pa_operation* op = pa_stream_cork(stream, cork ? 1 : 0, nullptr, nullptr)) pa_operation_unref(op);
    if (cork) {
      if (pa_operation* op = pa_stream_set_buffer_attr(stream, &attr, nullptr, nullptr)) pa_operation_unref(op);
    }
  }
  static constexpr std::chrono::milliseconds kIdleRequest{1000};

  // The server asks for more, or more was queued: send what there is, up to
  // a pause point. No silence is written: an empty server just waits.
  void Feed() {
    if (stream == nullptr || pa_stream_get_state(stream) != PA_STREAM_READY) return;
    std::size_t writable = pa_stream_writable_size(stream);
    if (writable == static_cast<std::size_t>(-1)) return;
    bool wrote = false;
    {
      std::lock_guard lock(mutex);
      while (!paused && failure == 0 && writable >= frame_bytes) {
        std::size_t n = std::min(writable, SourceBytes());
        n -= n % frame_bytes;
        bool stop_after = false;
        if (pause_pending) {
          SilenceFinder finder = Finder();
          VisitSource([&](const char* d, std::size_t len) { return finder.Visit(d, len); });
          if (finder.found >= 0 && static_cast<std::size_t>(finder.found) <= n) {
            n = static_cast<std::size_t>(finder.found);
            stop_after = true;
          }
        }
        if (n == 0) {
          if (stop_after) {
            pause_pending = false;
            paused = true;
          }
          break;
        }
        void* data = nullptr;
        std::size_t m = n;
        if (pa_stream_begin_write(stream, &data, &m) < 0 || data == nullptr) {
          failure = WithPulseError(kLostError, pa_context_errno(context));
          break;
        }
        m = std::min(m, n);
        m -= m % frame_bytes;
        if (m == 0) {
          pa_stream_cancel_write(stream);
          break;
        }
        Fill(static_cast<char*>(data), m);
        AppendHistory(static_cast<const char*>(data), m);
        if (pa_stream_write(stream, data, m, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
          failure = WithPulseError(kLostError, pa_context_errno(context));
          break;
        }
        written += static_cast<std::int64_t>(m);
        writable -= m;
        wrote = true;
        sound_buffered = true;
        if (stop_after && m == n) {
          pause_pending = false;
          paused = true;
        }
      }
      if (failure != 0) ReturnQueueLocked();
    }
    if (wrote) {
      ++generation;
      underflowed = false;
      Cork(false);
    }
    DeliverFinished();
  }

  // Where the sink reads now, in stream bytes: the playing position plus
  // what the sink has rendered ahead.
  std::int64_t EstimatedReadIndex() {
    pa_usec_t t = 0;
    const pa_timing_info* ti = pa_stream_get_timing_info(stream);
    if (ti == nullptr || pa_stream_get_time(stream, &t) < 0) return written;
    const std::int64_t index = static_cast<std::int64_t>(pa_usec_to_bytes(t + ti->sink_usec, &spec));
    return std::min(written, index - index % static_cast<std::int64_t>(frame_bytes));
  }

  std::int64_t Played() {
    if (stream != nullptr && pa_stream_get_state(stream) == PA_STREAM_READY) {
      pa_usec_t t = 0;
      if (pa_stream_get_time(stream, &t) == 0) {
        std::int64_t pos = static_cast<std::int64_t>(pa_usec_to_bytes(t, &spec));
        pos = std::min(written, pos - pos % static_cast<std::int64_t>(frame_bytes));
        // Once the server has run out and the sink has rendered its last
        // block, all of it has been heard, whatever latency the sink still
        // reports.
        if (underflowed && Clock::now() - underflow_at >= 2 * options.request_time + std::chrono::milliseconds(10))
          pos = written;
        last_played = std::max(last_played, OwnFrames(pos) + dropped_frames);
      }
    }
    return last_played;
  }

  static void OnContextState(pa_context* c, void* userdata) {
    auto* self = static_cast<Stream*>(userdata);
    if (!self->priority_asked) {
      // The first callback runs on the loop thread: the thread that feeds
      // the server.
      self->priority_asked = true;
      self->priority_raised = RaiseThreadPriority();
    }
    const pa_context_state_t state = pa_context_get_state(c);
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
      const int error = pa_context_errno(c);
      self->Lose(WithPulseError(kLostError, error != 0 ? error : PA_ERR_CONNECTIONTERMINATED));
    }
    pa_threaded_mainloop_signal(self->loop, 0);
  }

  static void OnStreamState(pa_stream* s, void* userdata) {
    auto* self = static_cast<Stream*>(userdata);
    const pa_stream_state_t state = pa_stream_get_state(s);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
      // With the connection still up, the server has killed the stream: its
      // output device went away.
      const bool server_up = pa_context_get_state(self->context) == PA_CONTEXT_READY;
      self->Lose(server_up ? WithPulseError(kSinkLost, pa_context_errno(self->context))
                           : WithPulseError(kLostError, PA_ERR_CONNECTIONTERMINATED));
    }
    pa_threaded_mainloop_signal(self->loop, 0);
  }

  static void OnWrite(pa_stream*, std::size_t, void* userdata) { static_cast<Stream*>(userdata)->Feed(); }

  // The server ran out of sound: cork once it has stayed silent a while, so
  // an idle stream stops waking the server.
  static void OnUnderflow(pa_stream*, void* userdata) {
    auto* self = static_cast<Stream*>(userdata);
    self->idle_generation = self->generation;
    self->underflowed = true;
    self->underflow_at = Clock::now();
    const pa_usec_t when = pa_rtclock_now() + static_cast<pa_usec_t>(self->options.idle_time.count()) * 1000;
    if (self->idle_timer == nullptr)
      self->idle_timer = pa_context_rttime_new(self->context, when, &OnIdle, self);
    else
      pa_context_rttime_restart(self->context, self->idle_timer, when);
  }

  static void OnIdle(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
    auto* self = static_cast<Stream*>(userdata);
    if (self->generation != self->idle_generation) return;
    {
      std::lock_guard lock(self->mutex);
      if (self->SourceBytes() != 0 && !self->paused) return;
    }
    self->Cork(true);
  }

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
    if (s->idle_timer != nullptr) {
      pa_threaded_mainloop_get_api(s->loop)->time_free(s->idle_timer);
      s->idle_timer = nullptr;
    }
    if (s->stream != nullptr) {
      pa_stream_set_state_callback(s->stream, nullptr, nullptr);
      pa_stream_set_write_callback(s->stream, nullptr, nullptr);
      pa_stream_set_underflow_callback(s->stream, nullptr, nullptr);
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
  s->spec = spec;
  s->options = options_;
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
    pa_stream_set_underflow_callback(s->stream, &Stream::OnUnderflow, s);
    const pa_buffer_attr attr = s->Attributes(options_.request_time);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_EARLY_REQUESTS |
                                                      PA_STREAM_INTERPOLATE_TIMING |
                                                      PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_playback(s->stream, nullptr, &attr, flags, nullptr, nullptr) < 0)
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
  pa_threaded_mainloop_lock(s->loop);
  {
    std::lock_guard lock(s->mutex);
    MMRESULT refused = s->failure;
    if (refused == 0 && !(header->dwFlags & WHDR_PREPARED)) refused = WAVERR_UNPREPARED;
    if (refused == 0 && (header->dwFlags & WHDR_INQUEUE)) refused = WAVERR_STILLPLAYING;
    if (refused != 0) {
      pa_threaded_mainloop_unlock(s->loop);
      return refused;
    }
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    s->closing = false;
    if (header->dwBufferLength > 0) {
      s->queue.push_back(header);
    } else {
      Stream::MarkDone(header);
      s->finished.push_back(header);
    }
  }
  // The server asked for more while nothing was queued: answer it now.
  s->Feed();
  pa_threaded_mainloop_unlock(s->loop);
  return MMSYSERR_NOERROR;
}

MMRESULT PulseWaveOut::Reset(HWAVEOUT handle) {
  Stream* s = Find(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  pa_threaded_mainloop_lock(s->loop);
  std::int64_t unsent = 0;
  {
    std::lock_guard lock(s->mutex);
    unsent = s->ReturnQueueLocked();
    s->paused = false;
    s->pause_pending = false;
    s->sound_buffered = false;
  }
  std::int64_t read_index = s->written;
  MMRESULT failure;
  {
    std::lock_guard lock(s->mutex);
    failure = s->failure;
  }
  if (failure == 0 && pa_stream_get_state(s->stream) == PA_STREAM_READY && s->written > 0) {
    // Drop what the server holds, then learn where it stopped reading: the
    // sound up to there is heard, the rest dropped.
    const auto deadline = Clock::now() + options_.reset_timeout;
    bool answered = s->WaitOperation(pa_stream_flush(s->stream, &Stream::OnOperation, s), deadline) &&
                    s->WaitOperation(pa_stream_update_timing_info(s->stream, &Stream::OnOperation, s), deadline);
    const pa_timing_info* ti = answered ? pa_stream_get_timing_info(s->stream) : nullptr;
    if (ti != nullptr && !ti->read_index_corrupt) {
      read_index = std::clamp<std::int64_t>(ti->read_index, 0, s->written);
    } else {
      std::lock_guard lock(s->mutex);
      if (s->failure == 0) s->failure = kServerStalled;
    }
  }
  s->dropped_frames += s->OwnFrames(s->written) - s->OwnFrames(read_index) +
                       unsent / static_cast<std::int64_t>(s->frame_bytes);
  std::erase_if(s->padding, [&](const auto& p) { return p.first >= read_index; });
  for (auto& p : s->padding) p.second = std::min(p.second, read_index);
  s->written = read_index;
  s->history.clear();
  s->history_index = read_index;
  pa_threaded_mainloop_unlock(s->loop);
  s->DeliverFinished();
  return MMSYSERR_NOERROR;
}

MMRESULT PulseWaveOut::Pause(HWAVEOUT handle) {
  Stream* s = Find(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  pa_threaded_mainloop_lock(s->loop);
  std::lock_guard lock(s->mutex);
  const MMRESULT failure = s->failure;
  if (failure == 0 && !s->paused && !s->pause_pending) {
    // The earliest the server can still be stopped: past what the sink has
    // rendered, with time for the request to arrive.
    std::int64_t from = s->EstimatedReadIndex() +
                        static_cast<std::int64_t>(s->Bytes(s->options.request_time + std::chrono::milliseconds(30)));
    from = std::max(from, s->history_index);
    // Search what the server holds from there on, then what is still to
    // be sent, which follows it.
    const std::int64_t base = std::min(from, s->written);
    Stream::SilenceFinder finder = s->Finder();
    const auto visit_source = [&] {
      s->VisitSource([&](const char* d, std::size_t len) { return finder.Visit(d, len); });
    };
    if (base == s->written)
      visit_source();
    else if (finder.Visit(s->history.data() + (base - s->history_index), static_cast<std::size_t>(s->written - base)))
      visit_source();
    const std::int64_t at = finder.found < 0 ? -1 : base + finder.found;
    if (at >= 0 && at < s->written) {
      // Silence over the sound the server holds after the gap; that sound
      // goes back in front of the queue for Restart.
      const std::size_t n = static_cast<std::size_t>(s->written - at);
      const std::vector<char> silence(n, 0);
      if (pa_stream_write(s->stream, silence.data(), n, nullptr, at, PA_SEEK_ABSOLUTE) == 0) {
        const auto first = s->history.begin() + (at - s->history_index);
        std::vector<char> taken(first, s->history.end());
        taken.insert(taken.end(), s->replay.begin() + static_cast<std::ptrdiff_t>(s->replay_pos), s->replay.end());
        s->replay = std::move(taken);
        s->replay_pos = 0;
        s->history.erase(first, s->history.end());
        s->padding.emplace_back(at, s->written);
        s->paused = true;
      } else {
        s->pause_pending = true;
      }
    } else if (at == s->written) {
      s->paused = true;
    } else {
      s->pause_pending = true;
    }
  }
  pa_threaded_mainloop_unlock(s->loop);
  return failure;
}

MMRESULT PulseWaveOut::Restart(HWAVEOUT handle) {
  Stream* s = Find(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  pa_threaded_mainloop_lock(s->loop);
  MMRESULT failure;
  {
    std::lock_guard lock(s->mutex);
    failure = s->failure;
    s->paused = false;
    s->pause_pending = false;
  }
  // The silence put in at the pause is not the caller's sound to take back.
  s->history.clear();
  s->history_index = s->written;
  s->Feed();
  pa_threaded_mainloop_unlock(s->loop);
  s->DeliverFinished();
  return failure;
}

MMRESULT PulseWaveOut::StreamStatus(HWAVEOUT handle) {
  Stream* s = Find(handle);
  if (s == nullptr) return MMSYSERR_INVALHANDLE;
  std::lock_guard lock(s->mutex);
  return s->failure;
}

std::int64_t PulseWaveOut::PlayedFrames(HWAVEOUT handle) {
  Stream* s = Find(handle);
  if (s == nullptr) return -1;
  pa_threaded_mainloop_lock(s->loop);
  const std::int64_t played = s->Played();
  pa_threaded_mainloop_unlock(s->loop);
  return played;
}

bool PulseWaveOut::FeederPriorityRaised(HWAVEOUT handle) {
  Stream* s = Find(handle);
  return s != nullptr && s->priority_raised;
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
    s->Cork(false);
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
    return BoundErrorText("The sound server (PulseAudio or PipeWire) does not answer: nothing within " +
                          DurationText(options_.connect_timeout) +
                          ". Restart it, then press Send Text again.");
  if (code == kStreamTimeout)
    return BoundErrorText("The sound server did not open a sound output within " +
                          DurationText(options_.connect_timeout) +
                          ". Restart it, then press Send Text again.");
  if (code == kServerStalled)
    return BoundErrorText(
        "The sound server (PulseAudio or PipeWire) stopped answering. Restart it, then press Send Text "
        "again.");
  const int error = static_cast<int>(code & 0xFF);
  const std::string reason = std::string(" The system said: ") + pa_strerror(error) + ".";
  switch (code & ~MMRESULT{0xFF}) {
    case kConnectError:
      if (error == PA_ERR_CONNECTIONREFUSED || error == PA_ERR_NOENTITY || error == PA_ERR_INVALIDSERVER)
        return BoundErrorText("No sound server is running (PulseAudio or PipeWire). Start it, then press "
                              "Send Text again." + reason);
      return BoundErrorText("Cannot connect to the sound server (PulseAudio or PipeWire). Check that it "
                            "runs, then press Send Text again." + reason);
    case kStreamError:
      return BoundErrorText("The sound server refused to open a sound output. Press Send Text again; "
                            "if this persists, restart the sound server." + reason);
    case kLostError:
      return BoundErrorText("The sound server stopped or restarted. Press Send Text again to reconnect." +
                            reason);
    case kSinkLost:
      return BoundErrorText("The sound output device was removed. Plug it back in or choose another "
                            "output, then press Send Text again." + reason);
    default:
      return "Unknown sound output error " + std::to_string(code) + ".";
  }
}

}  // namespace platform
