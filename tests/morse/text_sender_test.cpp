#include "morse/text_sender.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "fake_send_host.h"
#include "morse/convert.h"

namespace morse {
namespace {

using testing::FakeSendHost;
using ::testing::ElementsAre;

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(SendText, ESpaceEAtTwentyWpm) {
  FakeSendHost host(u"E E");
  RunSendText(host);
  std::vector<std::pair<double, std::size_t>> notes;
  for (const auto& n : host.notes) notes.emplace_back(n.amplitude, n.samples);
  EXPECT_THAT(notes, ElementsAre(std::pair{0.0, 7938u},                           // lead-in
                                 std::pair{20000.0, 2646u + 220u}, std::pair{0.0, 2646u},
                                 std::pair{0.0, 5292u},                           // Charspace
                                 std::pair{0.0, 10584u}, std::pair{0.0, 5292u},   // the space
                                 std::pair{20000.0, 2646u + 220u}, std::pair{0.0, 2646u},
                                 std::pair{0.0, 5292u}));
  EXPECT_EQ(host.samples.size(), 7938u + 2 * (2866u + 2646u + 5292u) + 10584u + 5292u);
  EXPECT_EQ(host.st.sentstring, u"E E");
  EXPECT_EQ(host.progress, u"E E");
  EXPECT_EQ(host.st.FmessagePos, 4);
  EXPECT_EQ(host.pumps, 3);
}

// Lead-in "L", marks "1"/"3", element gap ".", Charspace "C", Wdspace "W",
// at the Farnsworth start-up timing where all of them differ.
TEST(SendText, EveryCharacterCostsItsElementsAndGaps) {
  struct Case {
    std::u16string text;
    std::string tokens;
  };
  const Case cases[] = {
      {u"", "L"},
      {u"AB", "L1.3.C3.1.1.1.C"},
      {u"ab", "L1.3.C3.1.1.1.C"},
      {u"E E", "L1.CWC1.C"},
      {u"E\r\nE", "L1.CWCC1.C"},            // CR is a word gap, LF only a character gap
      {u"\t!\u00E9<", "LCCCC"},             // no elements: only the character gap
      {u"@@", "L" + Repeat("1.", 40)},      // no gap after "@"
      {u"@E", "L" + Repeat("1.", 21) + "C"},
      {std::u16string(10, u'@'), "L" + Repeat("1.", 200)},  // the Dits drill
  };
  for (const Case& c : cases) {
    FakeSendHost host(c.text, 12, 5);
    RunSendText(host);
    EXPECT_EQ(host.Tokens(), c.tokens) << morse::ToUtf8(c.text);
    EXPECT_EQ(host.st.sentstring, c.text);
    EXPECT_EQ(host.progress, c.text);
  }
}

TEST(SendText, PauseMarkTakesEffectBeforeTheNextElement) {
  FakeSendHost host(u"|AB");
  RunSendText(host);
  EXPECT_THAT(host.requests, ElementsAre(1));
  EXPECT_THAT(host.waits, ElementsAre(2u));  // after the lead-in and the "|"'s Charspace
  EXPECT_EQ(host.Tokens(), "LC1.3.C3.1.1.1.C");
  EXPECT_EQ(host.st.sentstring, u"|AB");
  EXPECT_EQ(host.progress, u"AB");
}

TEST(SendText, PauseLeftPendingAtTheEndHoldsTheNextRun) {
  FakeSendHost host(u"AB|");
  RunSendText(host);
  EXPECT_TRUE(host.waits.empty());
  EXPECT_TRUE(host.st.PauseFlag);

  host.text = u"E";
  host.st.sentstring.clear();
  RunSendText(host);
  EXPECT_THAT(host.waits, ElementsAre(host.notes.size() - 3));  // before E's mark
  EXPECT_FALSE(host.st.PauseFlag);
}

TEST(SendText, CharacterLimitPausesAndRestartsTheCount) {
  FakeSendHost host(u"ABCDEF");
  host.pauseAfterChars = 3;
  host.atNote[25] = [&] { host.now += 600; };  // D plays past the half second after resuming
  RunSendText(host);
  EXPECT_THAT(host.requests, ElementsAre(4, 7));  // after C and after F
  // Taken before D's first element: lead-in, A (5 notes), B (9), C (9).
  EXPECT_THAT(host.waits, ElementsAre(1u + 5u + 9u + 9u));
  // The request after F came too late to be taken and ends with the run
  // (changed on purpose: it used to hold the next run, silently).
  EXPECT_FALSE(host.st.PauseFlag);
  EXPECT_EQ(host.st.sentstring, u"ABCDEF");
  EXPECT_THAT(host.paused, ElementsAre(true, false));
}

// Only a pending pause a limit asked for ends with the run; one the user
// asked for afterwards, or by a "|", is kept for the next run.
TEST(SendText, APendingPauseEndsWithTheRunOnlyWhenALimitAskedForIt) {
  struct Case {
    const char16_t* text;
    std::int32_t chars;
    bool userTogglesTwice;  // the user unpauses and pauses again after the limit
    bool pending;
  };
  for (const Case& c : {Case{u"EEE ", 3, false, false},
                        Case{u"EEE ", 3, true, true}, Case{u"EE|", 0, false, true}}) {
    FakeSendHost host(c.text);
    host.pauseAfterChars = c.chars;
    if (c.userTogglesTwice) {
      // The space's Wdspace (lead-in, three E of three notes each): the
      // limit's request after the third E is pending then.
      host.atNote[10] = [&] {
        host.now += 600;
        TogglePause(host.st, host.now);
        host.now += 600;
        TogglePause(host.st, host.now);
      };
    }
    RunSendText(host);
    EXPECT_EQ(host.st.PauseFlag, c.pending) << ToUtf8(c.text);
    EXPECT_TRUE(host.paused.empty()) << ToUtf8(c.text);
  }
}

TEST(SendText, IgnoredLimitRequestStillRestartsTheCount) {
  FakeSendHost host(u"EEEEEE");
  host.pauseAfterChars = 2;
  host.acceptPauses = false;
  RunSendText(host);
  EXPECT_THAT(host.requests, ElementsAre(3, 5, 7));
  EXPECT_TRUE(host.waits.empty());
}

TEST(SendText, MinuteLimitCountsFromTheLastResume) {
  FakeSendHost host(u"E E E E");
  host.pauseAfterMins = 1;
  // Notes: lead-in 0; E 1..3; space: Wdspace 4, Charspace 5; E 6..8; space 9, 10; ...
  host.atNote[4] = [&] { host.now += 59999; };  // checked after this note: not yet
  host.atNote[9] = [&] { host.now += 1; };      // a full minute now
  RunSendText(host);
  EXPECT_THAT(host.requests, ElementsAre(4));
  EXPECT_THAT(host.waits, ElementsAre(11u));  // before the third E's mark
  // The resume restarts the minute, so the third space asks for nothing.
  EXPECT_EQ(host.st.StartTime, 61000);
  EXPECT_FALSE(host.st.PauseFlag);
}

TEST(SendText, ClearAfterPauseRules) {
  struct Case {
    std::u16string text;
    std::int32_t pauseAfterChars;
    bool clearAfterPause;
    std::int32_t clearAfterChars;
    std::u16string progress;
  };
  // "AB|CDE" with a limit of 2: the limit asks after B, the "|" comes too
  // soon to toggle back, and the pause is taken before C's first element
  // with "AB" in the progress box and "AB|" sent.
  const Case cases[] = {
      {u"AB|CDE", 2, false, 0, u"ABCDE"},
      {u"AB|CDE", 2, true, 0, u"CDE"},     // cleared
      {u"AB|CDE", 2, true, 2, u"B|CDE"},   // full enough: the last 2 sent
      {u"AB|CDE", 2, true, 3, u"ABCDE"},   // not yet full
      {u"AB|CD", 0, true, 1, u"CD"},       // no character limit: nothing kept
      {u"AB|CD", 10, true, 2, u"AB|CD"},   // limit above what was sent: all of it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.pauseAfterChars << " " << c.clearAfterPause << " "
                                      << c.clearAfterChars);
    FakeSendHost host(c.text);
    host.pauseAfterChars = c.pauseAfterChars;
    host.clearAfterPause = c.clearAfterPause;
    host.clearAfterChars = c.clearAfterChars;
    RunSendText(host);
    ASSERT_EQ(host.waits.size(), 1u);
    EXPECT_EQ(ToUtf8(host.progress), ToUtf8(c.progress));
  }
}

TEST(SendText, ResumeFromCursorFinishesTheCharacterAndRecordsTheNewOne) {
  FakeSendHost host(u"ABCXYZ", 12, 5);
  host.resumeFromCursor = true;
  host.atNote[6] = [&] { host.PauseRequest(); };  // during B's first mark
  host.onWait = [&] {
    host.st.NewMessagePos = 4;  // a click just before X
    host.st.FirstResume = true;
  };
  RunSendText(host);
  EXPECT_THAT(host.waits, ElementsAre(8u));  // before B's second element
  // The rest of B, X's Charspace without its elements, then Y and Z.
  EXPECT_EQ(host.Tokens(), "L1.3.C3.1.1.1.C3.1.3.3.C3.3.1.1.C");
  EXPECT_EQ(host.st.sentstring, u"AXYZ");
  EXPECT_EQ(host.progress, u"AXYZ");
  EXPECT_FALSE(host.st.FirstResume);
}

TEST(SendText, ReadsTheTextAsItIsNow) {
  FakeSendHost host(u"ABC", 12, 5);
  host.atNote[2] = [&] { host.text = u"AXE"; };  // edited during A
  RunSendText(host);
  EXPECT_EQ(host.Tokens(), "L1.3.C3.1.1.3.C1.C");
  EXPECT_EQ(host.st.sentstring, u"AXE");
}

TEST(SendText, AbortDuringACharacterFinishesItWithoutRecordingIt) {
  FakeSendHost host(u"ABC", 12, 5);
  host.atNote[6] = [&] {  // during B's first mark, Abort:
    host.st.SendFlag = false;
    host.text = host.st.sentstring;  // the box shows what was sent
  };
  RunSendText(host);
  // B's remaining elements and its Charspace still play; nothing is added.
  EXPECT_EQ(host.Tokens(), "L1.3.C3.1.1.1.C");
  EXPECT_EQ(host.st.sentstring, u"A");
  EXPECT_EQ(host.progress, u"A");
  EXPECT_EQ(host.st.FmessagePos, 3);
}

TEST(SendText, PositionMovedBeyondTheTextEndsTheRunAfterItsGap) {
  FakeSendHost host(u"ABC", 12, 5);
  host.atNote[2] = [&] { host.st.FmessagePos = 1000; };
  RunSendText(host);
  EXPECT_EQ(host.Tokens(), "L1.3.C");
  EXPECT_EQ(host.st.sentstring, u"");
  EXPECT_EQ(host.progress, u"");
}

TEST(SendText, TimingIsReadAtEveryNote) {
  FakeSendHost host(u"EE", 12, 5);
  host.atNote[2] = [&] {  // during E's element gap: faster dits from here on
    host.st.FDitLength = 0.05;
    host.st.FFrequency = 600;
  };
  RunSendText(host);
  ASSERT_EQ(host.notes.size(), 7u);
  EXPECT_DOUBLE_EQ(host.notes[1].duration, 0.1);
  EXPECT_EQ(host.notes[4].duration, 0.05);
  EXPECT_EQ(host.notes[5].duration, 0.05);
  EXPECT_EQ(host.notes[4].frequency, 600);
}

TEST(SendText, ErrorInANoteEndsTheRunAtOnce) {
  FakeSendHost host(u"EE");
  host.atNote[1] = [&] { host.st.Risetime = 0; };
  EXPECT_THROW(RunSendText(host), EMathError);
  EXPECT_EQ(host.notes.size(), 2u);
  EXPECT_TRUE(host.st.SendFlag);
  EXPECT_EQ(host.st.sentstring, u"");
}

TEST(TogglePause, IgnoresRequestsWithinHalfASecond) {
  TrainerState st;
  EXPECT_TRUE(TogglePause(st, 0));  // the last toggle is long past
  EXPECT_TRUE(st.PauseFlag);
  EXPECT_FALSE(TogglePause(st, 499));
  EXPECT_TRUE(st.PauseFlag);
  EXPECT_EQ(st.PauseStartTime, 0);
  EXPECT_TRUE(TogglePause(st, 500));
  EXPECT_FALSE(st.PauseFlag);
  EXPECT_EQ(st.PauseStartTime, 500);
}

}  // namespace
}  // namespace morse
