// A main window wired to test services: scripted dialogs, a hand-driven
// clock, fixed random draws and a sound device that keeps what it is given.
#pragma once

#include <QTest>
#include <deque>
#include <gtest/gtest.h>
#include <memory>

#include "app/main_window.h"
#include "gui/dialogs.h"
#include "gui/error_report.h"
#include "gui/pump.h"
#include "morse/clock.h"
#include "morse/random_source.h"
#include "platform/test_wave_out.h"
#include "progress/journal.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

// Draws come from a script; once it runs out, a fixed sequence follows.
class ScriptedRandom : public morse::RandomSource {
 public:
  double Real() override {
    if (!reals.empty()) {
      const double r = reals.front();
      reals.pop_front();
      return r;
    }
    return 0.5;
  }
  std::int32_t Int(std::int32_t n) override {
    if (!ints.empty()) {
      const std::int32_t r = ints.front();
      ints.pop_front();
      return r % n;
    }
    return (counter++) % n;
  }
  void Randomize() override { ++reseeds; }

  std::deque<double> reals;
  std::deque<std::int32_t> ints;
  std::int32_t counter = 0;
  int reseeds = 0;
};

// A device that cannot say how much it has played, so every frame handed to
// it counts as heard at once: times measured on the test clock stay exact.
class ClocklessWaveOut : public platform::TestWaveOut {
 public:
  using TestWaveOut::TestWaveOut;
  std::int64_t PlayedFrames(platform::HWAVEOUT) override { return -1; }
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { Open(); }

  void Open(bool failing_device = false) {
    form.reset();
    auto device = device_has_clock
                      ? std::make_unique<platform::TestWaveOut>(platform::TestWaveOut::Completion::AtOnce)
                      : std::make_unique<ClocklessWaveOut>(platform::TestWaveOut::Completion::AtOnce);
    if (failing_device) device->FailOpen("Connection refused");
    device_ = device.get();
    auto holder = std::make_shared<std::unique_ptr<platform::TestWaveOut>>(std::move(device));
    TrainerServices services;
    services.dialogs = &dialogs;
    services.clock = &clock;
    services.random = &random;
    services.wave_out = [this, holder, failing_device]() -> std::unique_ptr<platform::WaveOutDevice> {
      if (*holder) return std::move(*holder);
      // The window reopens a lost output: it gets a device like the first.
      auto again = std::make_unique<platform::TestWaveOut>(platform::TestWaveOut::Completion::AtOnce);
      if (failing_device) again->FailOpen("Connection refused");
      device_ = again.get();
      return again;
    };
    // The learner's journal stays in memory unless a test names a file.
    services.journal = [this](progress::Reporter report) {
      return progress::OpenJournal(journal_path, std::move(report));
    };
    clock.Set(1'000'000);
    form = std::make_unique<TForm1>(std::move(services));
  }

  void Show() {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->activateWindow();
  }

  platform::TestWaveOut& Device() { return *device_; }

  gui::ScriptedDialogs dialogs;
  morse::ManualClock clock;
  ScriptedRandom random;
  std::unique_ptr<TForm1> form;
  QString journal_path = QStringLiteral(":memory:");
  bool device_has_clock = true;

 private:
  platform::TestWaveOut* device_ = nullptr;
};
