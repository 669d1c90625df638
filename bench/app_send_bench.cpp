// The Send Text path as the window runs it: tone generator, sound component
// and message pump, with a device that takes every buffer at once, so the
// figures show what sending costs beside the real-time pace.
#include <sys/resource.h>

#include <QApplication>
#include <benchmark/benchmark.h>

#include "app/main_window.h"
#include "gui/pump.h"
#include "platform/test_wave_out.h"
#include "sound/out_sound.h"

namespace {

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::unique_ptr<TForm1> MakeWindow(gui::ScriptedDialogs& dialogs) {
  TrainerServices services;
  services.dialogs = &dialogs;
  services.journal = [](progress::Reporter report) { return progress::OpenJournal(":memory:", std::move(report)); };
  services.wave_out = [] {
    auto device = std::make_unique<platform::TestWaveOut>(platform::TestWaveOut::Completion::AtOnce);
    device->SetKeepSamples(false);
    return std::unique_ptr<platform::WaveOutDevice>(std::move(device));
  };
  auto form = std::make_unique<TForm1>(std::move(services));
  form->SpeedScrollBar->SetPosition(20);
  form->CspeedScrollbar->SetPosition(20);
  return form;
}

// Samples of audio one run of the text produces at the window's timing.
double AudioSeconds(const TForm1& f, const QString& text) {
  double dits = 3;  // lead-in
  double seconds = 0;
  for (QChar c : text) {
    if (c == u' ') {
      seconds += f.Wdspace + f.Charspace;
      continue;
    }
    for (char d : f.CharToCode(std::u16string(1, c.toUpper().unicode()))) dits += (d - '0') + 1;
    seconds += f.Charspace;
  }
  return seconds + dits * f.FDitLength;
}

void SendTextPath(benchmark::State& state, bool pumpEverySample) {
  gui::ScriptedDialogs dialogs;
  auto form = MakeWindow(dialogs);
  const QString text = QStringLiteral("PARIS PARIS PARIS PARIS PARIS ");
  const double audio = AudioSeconds(*form, text);
  gui::SetPumpEverySample(pumpEverySample);
  double total_audio = 0;
  for (auto _ : state) {
    form->Memo1->SetText(text);
    form->SendbuttonClick();
    total_audio += audio;
  }
  gui::SetPumpEverySample(false);
  state.counters["samples/s"] = benchmark::Counter(total_audio * 44100, benchmark::Counter::kIsRate);
  state.counters["x_real_time"] = benchmark::Counter(total_audio, benchmark::Counter::kIsRate);
  if (!dialogs.errors.isEmpty()) state.SkipWithError(dialogs.errors.first().toStdString().c_str());
}

void BM_SendText(benchmark::State& state) { SendTextPath(state, false); }
BENCHMARK(BM_SendText)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with a full pump at every sample, as a naive sender would do.
void BM_SendTextPumpEverySample(benchmark::State& state) { SendTextPath(state, true); }
BENCHMARK(BM_SendTextPumpEverySample)->Unit(benchmark::kMillisecond)->UseRealTime();

// Real time on the sound server: CPU seconds the whole process uses per
// second of audio while a text plays (all threads: producer, transfer thread
// and the PulseAudio client's own).
void BM_SendTextOnPulseAudio(benchmark::State& state) {
  gui::ScriptedDialogs dialogs;
  TrainerServices services;
  services.dialogs = &dialogs;
  services.journal = [](progress::Reporter report) { return progress::OpenJournal(":memory:", std::move(report)); };
  TForm1 form(std::move(services));
  if (!dialogs.errors.isEmpty()) {
    state.SkipWithError(("no sound server: " + dialogs.errors.first().toStdString()).c_str());
    return;
  }
  form.SpeedScrollBar->SetPosition(20);
  form.CspeedScrollbar->SetPosition(20);
  const QString text = QStringLiteral("PARIS PARIS ");
  const double audio = AudioSeconds(form, text);
  double cpu = 0;
  for (auto _ : state) {
    form.Memo1->SetText(text);
    const auto before = ProcessCpuSeconds();
    form.SendbuttonClick();
    cpu += ProcessCpuSeconds() - before;
  }
  state.counters["cpu_s_per_audio_s"] = cpu / (audio * static_cast<double>(state.iterations()));
  state.counters["audio_s"] = audio;
}
BENCHMARK(BM_SendTextOnPulseAudio)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_IdleProcessEvents(benchmark::State& state) {
  for (auto _ : state) gui::ProcessMessages();
}
BENCHMARK(BM_IdleProcessEvents);

void BM_PumpSample(benchmark::State& state) {
  for (auto _ : state) gui::PumpSample();
}
BENCHMARK(BM_PumpSample);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
