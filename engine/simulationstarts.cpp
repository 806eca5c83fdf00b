#include "engine/simulationstarts.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

#include "engine/drawplan.h"
#include "runtime/random.h"

namespace dw {

namespace {

// a when state ≥ threshold, b otherwise, by a conditional move on the
// comparison's flags: the comparison is a coin weighted by m, which a branch
// would mispredict, and this keeps the chain from state to result short.
inline uint32_t SelectAtLeast(uint32_t state, uint64_t threshold, uint32_t a, uint32_t b) {
#if defined(__x86_64__)
  __asm__("cmp %2, %1\n\tcmovae %3, %0"
          : "+r"(b)
          : "r"(uint64_t{state}), "r"(threshold), "r"(a)
          : "cc");
  return b;
#else
  return state >= threshold ? a : b;
#endif
}

// `draw`, the state of a copy's first draw, `copies` copies on, one walk
// alone: the copies are taken two at a time, the second copy's first draw and
// the next pair's formed at once from the first's, so the chain from pair to
// pair is one multiply-add and three conditional moves.
uint32_t WalkCopies(uint32_t draw, uint64_t copies, uint32_t stay, uint32_t migrantDraws) {
  const StateJump stays = JumpOfSteps(kStayingDraws), migrates = JumpOfSteps(migrantDraws);
  const StateJump bothStay = JumpOfSteps(2 * kStayingDraws),
                  oneStays = JumpOfSteps(kStayingDraws + migrantDraws),
                  noneStays = JumpOfSteps(2 * migrantDraws);
  for (uint64_t pairs = copies / 2; pairs != 0; --pairs) {
    const uint32_t second = SelectAtLeast(draw, stay, stays.From(draw), migrates.From(draw));
    const uint32_t ifOne = oneStays.From(draw);
    const uint32_t ifFirstStays = SelectAtLeast(second, stay, bothStay.From(draw), ifOne);
    const uint32_t ifFirstMigrates = SelectAtLeast(second, stay, ifOne, noneStays.From(draw));
    draw = SelectAtLeast(draw, stay, ifFirstStays, ifFirstMigrates);
  }
  if (copies % 2 != 0) draw = SelectAtLeast(draw, stay, stays.From(draw), migrates.From(draw));
  return draw;
}

// Many walks stepped together, `steps` copies each: lane l's state is
// states[l], and draws[l] (when counted) grows by the draws its copies take.
// The walks are independent, so their chains of multiply-adds overlap; both
// successors are formed and one kept, as the copy's coin is not predictable.
using LaneRule = StartFinder::Rule;
constexpr uint32_t kLanes = StartFinder::kLanes;
using StepLanes = void (*)(const LaneRule&, uint32_t*, uint32_t*, uint64_t);

template <bool kCountDraws>
void StepLanesPortable(const LaneRule& rule, uint32_t* states, uint32_t* draws, uint64_t steps) {
  constexpr uint32_t kAtOnce = 8;
  for (uint32_t base = 0; base < kLanes; base += kAtOnce) {
    uint32_t x[kAtOnce], d[kAtOnce];
    std::copy_n(states + base, kAtOnce, x);
    std::copy_n(draws + base, kAtOnce, d);
    for (uint64_t step = 0; step < steps; ++step) {
      for (uint32_t k = 0; k < kAtOnce; ++k) {
        const bool stays = x[k] >= rule.stay;
        const StateJump& jump = stays ? rule.stays : rule.migrates;
        x[k] = jump.From(x[k]);
        if constexpr (kCountDraws) d[k] += stays ? kStayingDraws : rule.migrantDraws;
      }
    }
    std::copy_n(x, kAtOnce, states + base);
    std::copy_n(d, kAtOnce, draws + base);
  }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define DW_VECTOR_LANES 1
// The same with the lanes in vector registers, for the vector units the
// processor has (told when the program starts).
template <typename V, bool kCountDraws>
[[gnu::always_inline]] inline void StepLanesVectors(const LaneRule& rule, uint32_t* states,
                                                    uint32_t* draws, uint64_t steps) {
  constexpr uint32_t kVectors = kLanes * sizeof(uint32_t) / sizeof(V);
  V x[kVectors], d[kVectors];
  std::memcpy(x, states, sizeof x);
  std::memcpy(d, draws, sizeof d);
  const V stay = V{} + rule.stay;
  const V stayMultiplier = V{} + rule.stays.multiplier, stayIncrement = V{} + rule.stays.increment;
  const V moveMultiplier = V{} + rule.migrates.multiplier,
          moveIncrement = V{} + rule.migrates.increment;
  const V migrantDraws = V{} + rule.migrantDraws;
  const V stayExtra = V{} + (kStayingDraws - rule.migrantDraws);  // 1 or −1 (mod 2^32)
  for (uint64_t step = 0; step < steps; ++step) {
    for (uint32_t k = 0; k < kVectors; ++k) {
      const V stays = (V)(x[k] >= stay);  // all ones where the copy stays
      const V ifStays = x[k] * stayMultiplier + stayIncrement;
      const V ifMoves = x[k] * moveMultiplier + moveIncrement;
      x[k] = (ifStays & stays) | (ifMoves & ~stays);
      if constexpr (kCountDraws) d[k] += migrantDraws + (stayExtra & stays);
    }
  }
  std::memcpy(states, x, sizeof x);
  std::memcpy(draws, d, sizeof d);
}

typedef uint32_t Vector16 __attribute__((vector_size(64)));
typedef uint32_t Vector8 __attribute__((vector_size(32)));

template <bool kCountDraws>
__attribute__((target("avx512f"))) void StepLanesAvx512(const LaneRule& rule, uint32_t* states,
                                                        uint32_t* draws, uint64_t steps) {
  StepLanesVectors<Vector16, kCountDraws>(rule, states, draws, steps);
}

template <bool kCountDraws>
__attribute__((target("avx2"))) void StepLanesAvx2(const LaneRule& rule, uint32_t* states,
                                                   uint32_t* draws, uint64_t steps) {
  StepLanesVectors<Vector8, kCountDraws>(rule, states, draws, steps);
}
#endif

struct LaneKernels {
  StepLanes plain = nullptr, counting = nullptr;  // empty: not on this processor
};

LaneKernels KernelsFor(LaneStepping way) {
#if defined(DW_VECTOR_LANES)
  __builtin_cpu_init();
  const bool wide = __builtin_cpu_supports("avx512f"), narrow = __builtin_cpu_supports("avx2");
  if (way == LaneStepping::Widest)
    way = wide ? LaneStepping::Vectors16 : narrow ? LaneStepping::Vectors8 : LaneStepping::Plain;
  if (way == LaneStepping::Vectors16)
    return wide ? LaneKernels{StepLanesAvx512<false>, StepLanesAvx512<true>} : LaneKernels{};
  if (way == LaneStepping::Vectors8)
    return narrow ? LaneKernels{StepLanesAvx2<false>, StepLanesAvx2<true>} : LaneKernels{};
#else
  if (way == LaneStepping::Vectors16 || way == LaneStepping::Vectors8) return {};
#endif
  return {StepLanesPortable<false>, StepLanesPortable<true>};
}

// Steps of a walk between two looks at `stop`.
constexpr uint64_t kStepsBetweenLooks = uint64_t{1} << 16;

}  // namespace

bool CanStepLanes(LaneStepping way) { return KernelsFor(way).plain != nullptr; }

std::optional<uint64_t> FixedDrawsPerSimulation(const SimulationParameters& params,
                                                bool steppingStone) {
  return DrawPlanOf(params, steppingStone).FixedDrawsPerSimulation();
}

uint32_t StateAfterSimulation(uint32_t start, const SimulationParameters& params,
                              bool steppingStone) {
  const DrawPlan plan = DrawPlanOf(params, steppingStone);
  if (const auto draws = plan.FixedDrawsPerSimulation()) return AdvanceState(start, *draws);
  const uint32_t first = JumpOfSteps(plan.foundingDraws + 1).From(start);  // past founding
  const uint32_t after =
      WalkCopies(first, plan.copiesPerGeneration * plan.generations,
                 static_cast<uint32_t>(plan.stayThreshold), plan.migratingDraws);
  // One draw back (the copies end one draw before `after`), then the sample.
  return JumpOfSteps(plan.sampleDraws + (uint64_t{1} << 32) - 1).From(after);
}

StartFinder::StartFinder(const SimulationParameters& params, bool steppingStone, uint32_t slots,
                         uint32_t farthest, LaneStepping way) {
  const LaneKernels kernels = KernelsFor(CanStepLanes(way) ? way : LaneStepping::Plain);
  stepPlain_ = kernels.plain;
  stepCounting_ = kernels.counting;
  // Used only where the draws vary, so the threshold lies strictly inside 32 bits.
  const DrawPlan plan = DrawPlanOf(params, steppingStone);
  rule_.stay = static_cast<uint32_t>(plan.stayThreshold);
  rule_.migrantDraws = plan.migratingDraws;
  rule_.stays = JumpOfSteps(plan.stayingDraws);
  rule_.migrates = JumpOfSteps(rule_.migrantDraws);
  copies_ = plan.copiesPerGeneration * plan.generations;
  foundingDraws_ = plan.foundingDraws;
  sampleDraws_ = plan.sampleDraws;
  founding_ = JumpOfSteps(foundingDraws_ + 1);
  sample_ = JumpOfSteps(sampleDraws_ + (uint64_t{1} << 32) - 1);
  // A copy migrates with probability p = stay / 2^32 and then takes one draw
  // more (stepping-stone) or fewer (infinite island) than the three of a stay.
  const long double p = static_cast<long double>(rule_.stay) * 0x1p-32L;
  const long double perCopy =
      kStayingDraws + (static_cast<long double>(rule_.migrantDraws) - kStayingDraws) * p;
  expectedDraws_ = static_cast<long double>(foundingDraws_ + sampleDraws_) +
                   static_cast<long double>(copies_) * perCopy;
  spread_ = std::sqrt(static_cast<long double>(copies_) * p * (1.0L - p));
  reachRoom_ = Reach(farthest);
  const uint64_t reach = reachRoom_;
  slots_.resize(slots);
  for (Slot& slot : slots_) {
    slot.start.resize(kLanes);
    slot.headState.resize((reach / kSpacing + 2) * kLanes);
    slot.headDraws.resize(slot.headState.size());
    slot.tailState.resize((2 * reach / kSpacing + 3) * kLanes);
  }
}

uint64_t StartFinder::Reach(uint32_t distance) const {
  // The guess for a simulation d simulations past a known start is off by
  // about spread·√d draws either way; four times that (and a little) bounds
  // the draws from guess to truth but for about one in 30000, which is then
  // found by walking on, exactly, only slower.
  const long double margin = 4.0L * spread_ * std::sqrt(static_cast<long double>(distance)) + 64;
  const uint32_t fewest = std::min(kStayingDraws, rule_.migrantDraws);
  return static_cast<uint64_t>(margin / fewest) + kSpacing;
}

uint32_t StartFinder::AfterCopies(uint32_t state, uint64_t copies) const {
  return WalkCopies(state, copies, rule_.stay, rule_.migrantDraws);
}

void StartFinder::Walk(uint32_t slotIndex, uint32_t first, uint32_t count,
                       uint32_t referenceSimulation, uint32_t reference,
                       const std::atomic<bool>* stop) {
  // The guesses are made forward from a known start, a group at most.
  assert(slotIndex < slots_.size() && count >= 1 && count <= kLanes &&
         referenceSimulation <= first);
  Slot& slot = slots_[slotIndex];
  slot.first = first;
  // The checkpoints as far as the slot holds them; past them a walk goes on.
  const uint64_t reach = std::min(Reach(first + count - 1 - referenceSimulation), reachRoom_);
  slot.heads = static_cast<uint32_t>(reach / kSpacing + 2);
  slot.tailFrom = copies_ > reach ? copies_ - reach : 0;
  slot.tails = static_cast<uint32_t>((copies_ + reach - slot.tailFrom) / kSpacing + 2);

  uint32_t states[kLanes], draws[kLanes] = {};
  for (uint32_t lane = 0; lane < kLanes; ++lane) {
    // Lanes past the group walk a copy of its first guess, unused.
    const uint32_t distance = (lane < count ? first + lane : first) - referenceSimulation;
    const auto expected = static_cast<uint64_t>(std::llround(distance * expectedDraws_));
    states[lane] = AdvanceState(reference, expected + foundingDraws_ + 1);
    slot.start[lane] = states[lane];
  }

  uint64_t at = 0;  // copies walked
  uint32_t head = 0, tail = 0;
  while (head < slot.heads || tail < slot.tails) {
    const uint64_t nextHead = head < slot.heads ? uint64_t{head} * kSpacing : UINT64_MAX;
    const uint64_t nextTail = tail < slot.tails ? slot.tailFrom + uint64_t{tail} * kSpacing
                                                : UINT64_MAX;
    const uint64_t to = std::min(nextHead, nextTail);
    // The draws are counted as far as the last head checkpoint.
    const StepLanes step = head < slot.heads ? stepCounting_ : stepPlain_;
    while (at < to) {
      if (stop != nullptr && stop->load(std::memory_order_relaxed)) return;
      const uint64_t steps = std::min(to - at, kStepsBetweenLooks);
      step(rule_, states, draws, steps);
      at += steps;
    }
    if (to == nextHead) {
      std::copy_n(states, kLanes, slot.headState.begin() + head * kLanes);
      std::copy_n(draws, kLanes, slot.headDraws.begin() + head * kLanes);
      ++head;
    }
    if (to == nextTail) {
      std::copy_n(states, kLanes, slot.tailState.begin() + tail * kLanes);
      ++tail;
    }
  }
}

uint32_t StartFinder::StateAfter(uint32_t slotIndex, uint32_t s, uint32_t start) const {
  assert(slotIndex < slots_.size());
  const Slot& slot = slots_[slotIndex];
  assert(s >= slot.first && s - slot.first < kLanes);  // a simulation of the group walked
  const uint32_t lane = s - slot.first;
  const auto state = [&](const std::vector<uint32_t>& table, uint32_t k) {
    return table[k * kLanes + lane];
  };
  const auto next = [this](uint32_t x) {
    return x >= rule_.stay ? rule_.stays.From(x) : rule_.migrates.From(x);
  };
  const auto drawsOf = [this](uint32_t x) {
    return x >= rule_.stay ? kStayingDraws : rule_.migrantDraws;
  };

  // The true walk (w, its j-th copy) and the guessed one (u, its i-th), and
  // how many draws the true walk is ahead: whichever is behind steps, until
  // they stand on one state (the two walks are one from there) or the true
  // walk has taken all the simulation's copies.
  uint32_t w = founding_.From(start);
  uint64_t j = 0;
  uint32_t u = slot.start[lane];
  uint64_t i = 0;
  auto ahead = static_cast<int64_t>(static_cast<int32_t>(DrawsBetween(u, w)));
  if (ahead > 0) {
    // From the last head checkpoint not past the true start.
    uint32_t low = 0, high = slot.heads;  // the checkpoint lies in [low, high)
    while (high - low > 1) {
      const uint32_t middle = low + (high - low) / 2;
      if (state(slot.headDraws, middle) <= ahead)
        low = middle;
      else
        high = middle;
    }
    u = state(slot.headState, low);
    i = uint64_t{low} * kSpacing;
    ahead -= state(slot.headDraws, low);
  }
  while (u != w && j < copies_) {
    if (ahead > 0) {
      ahead -= drawsOf(u);
      u = next(u);
      ++i;
    } else {
      ahead += drawsOf(w);
      w = next(w);
      ++j;
    }
  }
  uint32_t end = w;  // the true walk's state after the simulation's copies
  if (u == w) {
    // The true walk's copy C is the guessed walk's copy C + i − j: walk to it
    // from the latest state known of the guessed walk.
    const uint64_t target = copies_ - j + i;
    uint64_t from = i;
    end = u;
    const uint32_t head = static_cast<uint32_t>(std::min<uint64_t>(target / kSpacing, slot.heads - 1));
    if (uint64_t{head} * kSpacing > from) {
      from = uint64_t{head} * kSpacing;
      end = state(slot.headState, head);
    }
    if (target >= slot.tailFrom) {
      const uint32_t tail = static_cast<uint32_t>(
          std::min<uint64_t>((target - slot.tailFrom) / kSpacing, slot.tails - 1));
      if (slot.tailFrom + uint64_t{tail} * kSpacing > from) {
        from = slot.tailFrom + uint64_t{tail} * kSpacing;
        end = state(slot.tailState, tail);
      }
    }
    end = AfterCopies(end, target - from);
  }
  return sample_.From(end);
}

void FindSimulationStarts(uint32_t start, const SimulationParameters& params,
                          bool steppingStone, uint32_t count, std::vector<uint32_t>& starts,
                          LaneStepping way) {
  starts.assign(count + 1u, start);
  if (const auto draws = FixedDrawsPerSimulation(params, steppingStone)) {
    const StateJump perSimulation = JumpOfSteps(*draws);
    for (uint32_t s = 1; s <= count; ++s) starts[s] = perSimulation.From(starts[s - 1]);
    return;
  }
  StartFinder finder(params, steppingStone, 1, StartFinder::kLanes, way);
  for (uint32_t first = 1; first <= count; first += StartFinder::kLanes) {
    const uint32_t group = std::min(StartFinder::kLanes, count - first + 1);
    finder.Walk(0, first, group, first, starts[first - 1]);
    for (uint32_t s = first; s < first + group; ++s)
      starts[s] = finder.StateAfter(0, s, starts[s - 1]);
  }
}

}  // namespace dw
