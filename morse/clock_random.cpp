#include <chrono>
#include <random>

#include "morse/clock.h"
#include "morse/random_source.h"

namespace morse {

namespace {

class SteadyClock : public Clock {
 public:
  TimePoint NowMs() override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
};

class MersenneRandom : public RandomSource {
 public:
  MersenneRandom() { Randomize(); }
  double Real() override { return std::uniform_real_distribution<double>(0.0, 1.0)(engine_); }
  std::int32_t Int(std::int32_t n) override {
    return std::uniform_int_distribution<std::int32_t>(0, n - 1)(engine_);
  }
  void Randomize() override {
    engine_.seed(static_cast<std::mt19937_64::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count()));
  }

 private:
  std::mt19937_64 engine_;
};

}  // namespace

Clock& SystemClock() {
  static SteadyClock clock;
  return clock;
}

RandomSource& SystemRandom() {
  static MersenneRandom random;
  return random;
}

}  // namespace morse
