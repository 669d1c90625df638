#include "morse/text_sender.h"

#include <limits>
#include <optional>
#include <string>

#include "morse/code_table.h"
#include "morse/text.h"
#include "morse/tone.h"

namespace morse {

namespace {

// The character at a 1-based position of the host's text as it is now;
// nothing when the position lies outside it.
std::optional<char16_t> CharAt(SendHost& host, std::int32_t pos) {
  const std::u16string_view text = host.CurrentText();
  if (pos < 1 || static_cast<std::size_t>(pos) > text.size()) return std::nullopt;
  return text[static_cast<std::size_t>(pos) - 1];
}

bool WithinText(SendHost& host, std::int32_t pos) {
  return static_cast<std::int64_t>(pos) <= static_cast<std::int64_t>(host.CurrentText().size());
}

std::u16string_view Tail(std::u16string_view s, std::int32_t n) {
  if (n <= 0) return {};
  if (static_cast<std::size_t>(n) >= s.size()) return s;
  return s.substr(s.size() - static_cast<std::size_t>(n));
}

// Waits out a pause taken before an element, then applies what the boxes
// ask for on resume.
void PauseAndResume(SendHost& host, std::int64_t& count) {
  TrainerState& st = host.State();
  host.ShowPaused(true);
  host.WaitWhilePaused();
  host.ShowPaused(false);
  count = 0;
  if (host.ClearAfterPause()) {
    const std::int32_t clearAt = host.ClearAfterChars();
    if (clearAt == 0) {
      host.SetProgressText(u"");
    } else if (host.ProgressLength() >= clearAt) {
      host.SetProgressText(Tail(st.sentstring, host.PauseAfterChars()));
    }
  }
  st.StartTime = host.Now();
  if (host.ResumeFromCursor() && st.FirstResume) {
    st.FmessagePos = st.NewMessagePos;
    st.FirstResume = false;
  }
}

}  // namespace

bool TogglePause(TrainerState& st, TimePoint now) {
  if (now - st.PauseStartTime < kPauseDebounceMs) return false;
  st.PauseFlag = !st.PauseFlag;
  st.PauseStartTime = now;
  return true;
}

// Timing fields and the frequency are read from the state at every note, so
// a control moved during the run takes effect from the next element on.
void RunSendText(SendHost& host) {
  TrainerState& st = host.State();
  st.StartTime = host.Now();
  std::int64_t count = 0;  // characters since the start or the last pause
  // The stamp of a pause that a limit requested and that is still pending.
  std::optional<TimePoint> limitPause;
  auto limitRequest = [&] {
    const bool was = st.PauseFlag;
    host.PauseRequest();
    if (!was && st.PauseFlag) limitPause = st.PauseStartTime;
  };
  host.BeginRun();
  st.FmessagePos = 1;
  host.PlayNote(st.FFrequency, 3 * st.FDitLength, 0);

  while (WithinText(host, st.FmessagePos) && st.SendFlag) {
    host.ProcessMessages();
    const std::optional<char16_t> c = CharAt(host, st.FmessagePos);
    if (c == u'\r' || c == u' ') {
      host.PlayNote(st.FFrequency, st.Wdspace, 0);
      if (const auto now = CharAt(host, st.FmessagePos)) host.AppendProgress(*now);
      const std::int32_t mins = host.PauseAfterMins();
      if (mins >= 1 && host.Now() - st.StartTime >= std::int64_t{mins} * 60000) {
        limitRequest();
      }
    } else if (c == u'|') {
      host.PauseRequest();
    } else {
      // Line feed and tab too: they have no elements, only their gaps.
      std::string code;
      if (c) {
        const char16_t upper = AsciiUpper(*c);
        code = CharToCode(st, std::u16string_view(&upper, 1));
      }
      for (const char element : code) {
        if (st.PauseFlag) {
          PauseAndResume(host, count);
          limitPause.reset();
        }
        host.PlayNote(st.FFrequency, (element - '0') * st.FDitLength, kMarkAmplitude);
        host.PlayNote(st.FFrequency, st.FDitLength, 0);
      }
      if (const auto now = CharAt(host, st.FmessagePos)) host.AppendProgress(*now);
    }

    // The position may have moved (resume from cursor) and the text may
    // have changed (an edit, or Abort) while the character played.
    const std::optional<char16_t> sent = CharAt(host, st.FmessagePos);
    if (sent) st.sentstring += *sent;
    if (sent != u'@') host.PlayNote(st.FFrequency, st.Charspace, 0);  // "@" runs into the next
    if (st.FmessagePos == std::numeric_limits<std::int32_t>::max()) break;  // beyond any text
    ++st.FmessagePos;
    ++count;

    const std::int32_t limit = host.PauseAfterChars();
    if (limit >= 1 && count >= limit) {
      limitRequest();
      count = 0;
    }
  }
  // Untouched since the limit asked for it (any toggle restamps the time).
  if (limitPause && st.PauseFlag && st.PauseStartTime == *limitPause) host.CancelPause();
}

}  // namespace morse
