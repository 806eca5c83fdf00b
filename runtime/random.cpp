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
constexpr uint32_t kMultiplier = 134775813u;
constexpr uint32_t kIncrement = 1u;
}  // namespace

uint32_t AdvanceState(uint32_t state, uint64_t steps) {
  uint32_t multiplier = 1, increment = 0;                        // the map of the steps so far
  uint32_t stepMultiplier = kMultiplier, stepIncrement = kIncrement;  // the map of 2^i steps
  for (; steps != 0; steps >>= 1) {
    if (steps & 1) {
      multiplier *= stepMultiplier;
      increment = increment * stepMultiplier + stepIncrement;
    }
    stepIncrement = (stepMultiplier + 1) * stepIncrement;
    stepMultiplier *= stepMultiplier;
  }
  return multiplier * state + increment;
}

uint32_t DrawsBetween(uint32_t from, uint32_t to) {
  // Bit i of the distance is fixed by bit i of the states once the lower
  // bits agree: advancing by 2^i steps flips bit i and leaves lower bits.
  uint32_t distance = 0, bit = 1;
  uint32_t stepMultiplier = kMultiplier, stepIncrement = kIncrement;
  while (from != to) {
    if ((from ^ to) & bit) {
      from = from * stepMultiplier + stepIncrement;
      distance |= bit;
    }
    stepIncrement = (stepMultiplier + 1) * stepIncrement;
    stepMultiplier *= stepMultiplier;
    bit <<= 1;
  }
  return distance;
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
