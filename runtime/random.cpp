#include "runtime/random.h"

#include <chrono>
#include <cmath>

#include "runtime/errors.h"

namespace dw {

void Random::SeedFromClock() {
  using namespace std::chrono;
  const auto now = system_clock::now().time_since_epoch();
  const auto sinceMidnight = duration_cast<milliseconds>(now) % days(1);
  RandomSeed = static_cast<uint32_t>(sinceMidnight.count());
}

void Random::SeedFromTimeOfDay(int hour, int minute, int second, int millisecond) {
  RandomSeed = static_cast<uint32_t>(((hour * 60 + minute) * 60 + second) * 1000 + millisecond);
}

namespace {
// Both conversions are defined only inside the signed 64-bit range.
void CheckConvertible(long double x) {
  constexpr long double kLimit = 0x1p63L;
  if (std::isnan(x) || x >= kLimit || x < -kLimit) throw EInvalidOp();
}
}  // namespace

int64_t TruncToInt(long double x) {
  CheckConvertible(x);
  return static_cast<int64_t>(x);  // C++ conversion discards the fraction
}

int64_t RoundToInt(long double x) {
  CheckConvertible(x);
  return static_cast<int64_t>(std::nearbyintl(x));  // under the mode's round-to-nearest-even
}

}  // namespace dw
