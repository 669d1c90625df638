#include "morse/teaching.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace morse {

namespace {

struct TeachOrderEntry {
  std::u16string_view caption;
  std::u16string_view order;
};

constexpr TeachOrderEntry kTeachOrders[kTeachOrderCount] = {
    {u"Tamsel", u"q7zg098o1jpwlram6bxdyckn23fu45vhsite.,?/"},
    {u"Koch", u"kmrsuaptlowi.njef0y,vg5/q9zh38b?427c1d6x"},
    {u"Alpha/Num", u"abcdefghijklmnopqrstuvwxyz1234567890.,?/"},
};

// A valid pick ends within 200 rejections (each takes at least 0.2 off a t
// below 40); this only bounds picks over weights that were never set.
constexpr int kMaxRejections = 100000;

// Nearest integer, halves to even (the default floating-point rounding mode).
double RoundEven(double x) { return std::nearbyint(x); }

bool ValidPosition(std::int32_t i) { return i >= 1 && i <= kTeachPositions; }

std::int32_t PositionsInUse(const TrainerState& s) {
  return std::clamp<std::int32_t>(s.Numusing, 1, kTeachPositions);
}

}  // namespace

std::u16string_view TeachOrder(int itemIndex) {
  if (itemIndex < 0 || itemIndex >= kTeachOrderCount) itemIndex = 0;
  return kTeachOrders[itemIndex].order;
}

std::u16string_view TeachOrderCaption(int itemIndex) {
  if (itemIndex < 0 || itemIndex >= kTeachOrderCount) return {};
  return kTeachOrders[itemIndex].caption;
}

void ResetTeachStats(TrainerState& s) {
  s.Delerror = 0.2;
  s.Numtotal = kTeachPositions;
  s.Eavtrig = 0.5;
  s.Emaxtrig = 0.6;
  s.Newflag = 2;
  s.ichar = 1;
  s.Emax = 1.0;
  s.Emin = 0.39;
  for (int i = 1; i <= s.Numtotal; ++i) s.Errors[i] = 1.0;
}

void RaiseCharError(TrainerState& s, std::int32_t i) {
  if (!ValidPosition(i)) return;
  const double x = s.Errors[i] + s.Delerror;
  if (x < s.Emax) s.Errors[i] = x;
}

void LowerCharError(TrainerState& s, std::int32_t i) {
  if (!ValidPosition(i)) return;
  if (s.Errors[i] > s.Emin) s.Errors[i] = s.Errors[i] - s.Delerror;
}

void ComputeErrorStats(TrainerState& s) {
  s.AverageError = 0;
  s.MaxCharError = 0;
  if (s.Numusing < 1) return;
  const std::int32_t n = PositionsInUse(s);
  for (std::int32_t i = 1; i <= n; ++i) {
    s.AverageError += s.Errors[i];
    if (s.Errors[i] > s.MaxCharError) s.MaxCharError = s.Errors[i];
  }
  s.AverageError = s.AverageError / n;
}

void PickTeachChar(TrainerState& s, RandomSource& random) {
  if (s.Newflag > 0) {
    s.Newflag = s.Newflag - 1;
    return;
  }
  const std::int32_t n = PositionsInUse(s);
  // The clamps only matter for a source that breaks its [0, 1) contract.
  const auto first = static_cast<std::int32_t>(std::floor(random.Real() * n)) + 1;
  s.ichar = std::clamp<std::int32_t>(first, 1, n);
  double t = random.Real() * n;
  for (int rejections = 0; s.Errors[s.ichar] <= t && rejections < kMaxRejections;
       ++rejections) {
    t = t - s.Errors[s.ichar];
    const double k = std::clamp(RoundEven(random.Real() * 1000), 0.0, 1000.0);
    s.ichar = static_cast<std::int32_t>(k) % n + 1;
  }
}

bool IntroduceNextChar(TrainerState& s) {
  if (s.Numusing < 1 || s.Numusing >= kTeachPositions) return false;
  if (s.AverageError < s.Eavtrig && s.MaxCharError < s.Emaxtrig && s.Numusing < s.Numtotal) {
    s.Numusing = s.Numusing + 1;
    s.ichar = s.Numusing;
    s.Newflag = 2;
    return true;
  }
  return false;
}

std::int32_t MasteryRating(const TrainerState& s) {
  const std::int32_t n = std::clamp<std::int32_t>(s.Numusing, 0, kTeachPositions);
  const double rating = RoundEven(((0.2 - s.AverageError) * 125 + 100) * n / 40);
  // Weights outside their levels could push the figure beyond 32 bits.
  if (std::isnan(rating)) return 0;
  constexpr double lo = std::numeric_limits<std::int32_t>::min();
  constexpr double hi = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::clamp(rating, lo, hi));
}

std::u16string ChartLabel(const TrainerState& s, int i) {
  if (s.TeachFlag || i < 1 || static_cast<std::size_t>(i) > s.Teachstring.size()) return {};
  char16_t c = s.Teachstring[i - 1];
  if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return std::u16string(1, c);
}

}  // namespace morse
