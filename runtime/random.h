#pragma once
// The one linear congruential generator of a run and the two real-to-integer
// conversions the engine applies to draws and positions.
#include <cstdint>

namespace dw {

class Random {
 public:
  // The whole state; 0 when the process starts.
  uint32_t RandomSeed = 0;

  // Advances the state once and returns it scaled by 2^-32: exact, in
  // [0, 1 - 2^-32].
  long double NextUniform() {
    RandomSeed = RandomSeed * 134775813u + 1u;
    return static_cast<long double>(RandomSeed) * 0x1p-32L;
  }

  // Advances the state once and returns it: the draw NextUniform would
  // return is this state·2^-32, so integer tests on it are exact.
  uint32_t NextState() {
    RandomSeed = RandomSeed * 134775813u + 1u;
    return RandomSeed;
  }

  // Advances the state once; the high 32 bits of state × n (0 when n = 0).
  uint32_t NextBelow(uint32_t n) {
    RandomSeed = RandomSeed * 134775813u + 1u;
    return static_cast<uint32_t>((static_cast<uint64_t>(RandomSeed) * n) >> 32);
  }

  // Milliseconds since midnight UTC of the system clock; the date plays no part.
  void SeedFromClock();
  // The same rule for a given UTC time of day.
  void SeedFromTimeOfDay(int hour, int minute, int second, int millisecond);
};

// The map of a fixed number of draws, state → multiplier·state + increment
// (mod 2^32): composing affine maps gives an affine map, so any number of
// draws ahead costs one multiply-add once the map is built.
struct StateJump {
  uint32_t multiplier = 1;
  uint32_t increment = 0;
  constexpr uint32_t From(uint32_t state) const { return multiplier * state + increment; }
};

// The map of `steps` draws (2^32 − 1 steps: one draw back, the period being 2^32).
constexpr StateJump JumpOfSteps(uint64_t steps) {
  StateJump total;
  StateJump power{134775813u, 1u};  // the map of 2^i steps
  for (; steps != 0; steps >>= 1) {
    if (steps & 1) total = {total.multiplier * power.multiplier,
                            total.increment * power.multiplier + power.increment};
    power = {power.multiplier * power.multiplier, (power.multiplier + 1) * power.increment};
  }
  return total;
}

// The state `steps` draws after `state` (jump-ahead, Brown 1994: the k-step
// map is again affine, s → A·s + C, built by squaring).
uint32_t AdvanceState(uint32_t state, uint64_t steps);
// How many draws lead from state `from` to state `to` (0 … 2^32 − 1): the
// generator has full period, so there is exactly one such count.
uint32_t DrawsBetween(uint32_t from, uint32_t to);

// Toward zero (2.9 → 2, -2.9 → -2). NaN or a value outside the signed 64-bit
// range raises EInvalidOp.
int64_t TruncToInt(long double x);
// To nearest, ties to even (0.5 → 0, 1.5 → 2, 2.5 → 2). Same failures.
int64_t RoundToInt(long double x);

}  // namespace dw
