#include "engine/neutral.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "engine/drawplan.h"
#include "engine/founding.h"

namespace dw {

bool IsNeutral(const std::vector<float>& fitnessTable, uint8_t A) {
  for (uint32_t k = 1; k <= A; ++k)
    if (fitnessTable[k] != 1.0f) return false;
  return true;
}

namespace {

constexpr uint64_t kStates = uint64_t{1} << 32;

uint8_t AlleleOfState(uint64_t state, const float* pool, uint8_t A) {
  return DrawAllele(static_cast<long double>(state) * 0x1p-32L, pool, A);
}

// The first state in 0..2^32 whose allele is above k (2^32: none), by bisection.
uint64_t FirstStateAbove(uint32_t k, const float* pool, uint8_t A) {
  uint64_t low = 0, high = kStates;
  while (low < high) {
    const uint64_t middle = low + (high - low) / 2;
    if (AlleleOfState(middle, pool, A) > k)
      high = middle;
    else
      low = middle + 1;
  }
  return low;
}

}  // namespace

void AlleleLookup::Describe(const float* frequencies, uint8_t A) {
  // Compared bit for bit: frequencies equal as numbers subtract the same anyway.
  if (A == A_ && std::memcmp(frequencies + 1, frequencies_.data() + 1, A * sizeof(float)) == 0)
    return;
  A_ = A;
  std::copy(frequencies + 1, frequencies + 1 + A, frequencies_.begin() + 1);
  for (uint32_t k = 1; k < A; ++k) threshold_[k] = FirstStateAbove(k, frequencies, A);
  // The allele at a bucket's first and last state, walking the thresholds up.
  uint32_t below = 1;  // 1 + the thresholds at or below the current state
  for (uint32_t b = 0; b < bucket_.size(); ++b) {
    const uint64_t first = uint64_t{b} << kShift, last = first + (1u << kShift) - 1;
    while (below < A && threshold_[below] <= first) ++below;
    uint32_t atLast = below;
    while (atLast < A && threshold_[atLast] <= last) ++atLast;
    bucket_[b] = below == atLast ? static_cast<uint8_t>(below) : 0;  // monotone in between
  }
}

uint8_t AlleleLookup::AlleleFromThresholds(uint32_t state) const {
  // The allele is above k exactly when state ≥ threshold_[k]; the thresholds
  // rise with k, so the allele is 1 + the number of them at or below state.
  if (A_ <= 1) return 1;
  const uint64_t* begin = threshold_.data() + 1;
  const uint64_t* end = begin + (A_ - 1);
  return static_cast<uint8_t>(1 + (std::upper_bound(begin, end, uint64_t{state}) - begin));
}

namespace {

constexpr uint32_t kHalf = 0x80000000u;  // the state of the draw 1/2

// A record is stored as one word: population in the low half, then the
// first and the second allele.
static_assert(std::endian::native == std::endian::little && sizeof(GenotypeRecord) == 4 &&
              offsetof(GenotypeRecord, first) == 2 && offsetof(GenotypeRecord, second) == 3);

// a when `condition`, b otherwise, by arithmetic, which the compiler keeps
// free of branches: the draws decide at random, and a branch would be
// mispredicted as often as the choice goes against the odds.
template <typename T>
inline T Pick(bool condition, T a, T b) {
  const T mask = static_cast<T>(T{0} - static_cast<T>(condition));
  return static_cast<T>(b ^ ((a ^ b) & mask));
}

// The general allele choice takes the second allele when RoundToInt(v) = 1,
// that is v > 1/2: state > 2^31, exactly when state + 2^31 − 1 carries into
// bit 32. The allele is read as the byte at the record's first allele plus
// that carry, since the second allele follows the first.
inline uint8_t PassedAllele(const GenotypeRecord& parent, uint32_t choiceState) {
  const std::size_t second = (uint64_t{choiceState} + (kHalf - 1)) >> 32;
  return reinterpret_cast<const uint8_t*>(&parent)[offsetof(GenotypeRecord, first) + second];
}

// ⌈X·2^-32⌉ − 1, and 0 for X = 0: ⌊(X − 1)/2^32⌋ for X ≥ 1.
//
// It is the offset in its population of the parent ChooseParent finds for a
// position x = X·2^-32 when the cumulative fitness reads 1..N. The drawers
// form x = u·N = state·N·2^-32 with X < 2^48, exact in f64. The guess
// lo − 1 + TruncToInt(N·x/N + 1) is then exact (N·x < 2^64 fits the 64-bit
// significand, the quotient is x, x + 1 needs under 50 bits), so it is
// lo + ⌊x⌋; for whole x ≥ 1 one step down gives lo + x − 1, otherwise the
// guess stands. Either way lo + ⌈x⌉ − 1, and lo for x = 0.
inline uint32_t ParentOffset(uint64_t X) { return static_cast<uint32_t>((X - (X != 0)) >> 32); }
// The same offset kept at 64 bits, to index with as it is.
inline std::size_t ParentOffsetIndex(uint64_t X) { return (X - (X != 0)) >> 32; }

// What every gene copy of one population reads.
struct NeutralPopulation {
  const GenotypeRecord* parents;
  const GenotypeRecord* own;  // parents + lo(p)
  uint32_t p, P, N;
  uint64_t stayThreshold;
  uint64_t othersTotal;  // (P − 1)·N, the other populations' total fitness
  uint32_t beforeOwn;    // (p − 1)·N individuals precede population p

  // DrawOwnGene's parent for the position state.
  const GenotypeRecord& OwnParent(uint32_t positionState) const {
    return own[ParentOffsetIndex(uint64_t{N} * positionState)];
  }

  uint32_t IndexAt(uint32_t k, uint32_t positionState) const {
    return FirstOf(k, N) + ParentOffset(uint64_t{N} * positionState);
  }

  // DrawFiniteIslandGene's parent for the point y = (P−1)·N·u on the other
  // populations laid end to end, exact in extended precision ((P−1)·N·state
  // < 2^64). The walk stops at the first other population c (0-based) with
  // y ≤ (c+1)·N and places x = y − c·N in it, whose parent has the offset
  // ⌈x⌉ − 1 = ⌈y⌉ − 1 − c·N (0 for y = 0): ⌈y⌉ − 1 counts the individuals
  // before the parent along the line, skipping population p.
  uint32_t OtherIslandIndex(uint32_t pointState) const {
    const uint32_t along = ParentOffset(othersTotal * pointState);
    return 1 + along + Pick(along >= beforeOwn, N, 0u);
  }
};

// The draws of one gene copy are computed from the state of its first draw
// by jump-ahead, so the only chain from copy to copy is the next copy's
// first state: one multiply-add, picked by a branch that goes the usual way
// (staying) as often as 1 − m and is cheaper than the conditional move.
// The draws within a copy are laid out as the draw plan says: the migration
// draw, then kStayingDraws − 1 more to stay, or the model's migrating draws.
static_assert(kStayingDraws == 3 && kMigrantPoolDraws == 2 && kSteppingStoneDraws == 4 &&
                  kFiniteIslandDraws == 3,
              "the kernels below read each draw of a copy by its place in the plan");
constexpr StateJump kAhead1 = JumpOfSteps(1);
constexpr StateJump kAhead2 = JumpOfSteps(2);
constexpr StateJump kAhead3 = JumpOfSteps(3);
constexpr StateJump kStayed = JumpOfSteps(kStayingDraws);
constexpr StateJump kBothStayed = JumpOfSteps(2 * kStayingDraws);
constexpr StateJump kPoolMigrated = JumpOfSteps(kMigrantPoolDraws);
constexpr StateJump kSteppingMigrated = JumpOfSteps(kSteppingStoneDraws);
constexpr StateJump kFiniteMoved = JumpOfSteps(kFiniteIslandDraws);
constexpr StateJump kFiniteBothMoved = JumpOfSteps(2 * kFiniteIslandDraws);
constexpr StateJump kBack1 = JumpOfSteps((uint64_t{1} << 32) - 1);

// Infinite island: the migration draw, then a position and an allele choice
// (staying), or an allele from the pool (migrating), whose next draw starts
// the next copy. `draw` is the state of the copy's first draw, then of the
// next copy's. One branch decides both the gene and the next copy's start:
// it goes the usual way (staying) as often as 1 − m, and the code is laid
// out for that way, the rates in use being small.
inline uint8_t InfiniteIslandGene(const NeutralPopulation& pop, const AlleleLookup& pool,
                                  uint32_t& draw) {
  const uint32_t second = kAhead1.From(draw);
  if (__builtin_expect(draw >= pop.stayThreshold, 1)) {
    const uint32_t third = kAhead2.From(draw);
    draw = kStayed.From(draw);
    return PassedAllele(pop.OwnParent(second), third);
  }
  draw = kPoolMigrated.From(draw);
  return pool.AlleleOf(second);
}

// Stepping-stone: staying takes a position and a choice; migrating takes a
// direction (w ≥ 1/2: state ≥ 2^31, up the ring), a position and a choice.
inline uint8_t SteppingStoneGene(const NeutralPopulation& pop, uint32_t up, uint32_t down,
                                 uint32_t& draw) {
  const uint32_t second = kAhead1.From(draw), third = kAhead2.From(draw),
                 fourth = kAhead3.From(draw);
  if (__builtin_expect(draw >= pop.stayThreshold, 1)) {
    draw = fourth;
    return PassedAllele(pop.OwnParent(second), third);
  }
  draw = kSteppingMigrated.From(draw);
  const uint32_t neighbour = Pick(second >= kHalf, up, down);
  return PassedAllele(pop.parents[pop.IndexAt(neighbour, third)], fourth);
}

// Finite island: three draws either way; the second places the parent in
// the own population or on the other populations laid end to end.
inline uint8_t FiniteIslandGene(const NeutralPopulation& pop, uint32_t& draw) {
  const uint32_t second = kAhead1.From(draw), third = kAhead2.From(draw);
  const bool stays = draw >= pop.stayThreshold;
  draw = kFiniteMoved.From(draw);
  const uint32_t index = stays ? pop.IndexAt(pop.p, second) : pop.OtherIslandIndex(second);
  return PassedAllele(pop.parents[index], third);
}

// A copy that stays in its own population, from its first state: a
// position and an allele choice (under the infinite island and the
// stepping-stone models alike).
inline uint8_t StayingGene(const NeutralPopulation& pop, uint32_t start) {
  return PassedAllele(pop.OwnParent(kAhead1.From(start)), kAhead2.From(start));
}

// Offspring lo(p)..hi(p) an individual at a time where a copy that stays
// takes three draws: when both copies stay (the usual case) the next
// individual starts six draws on, formed from this one's first state
// directly, so the chain from individual to individual is one multiply-add
// instead of two. Otherwise `gene` goes on copy by copy from the first copy
// that leaves; the draws are those of `gene` called copy after copy.
template <typename Gene>
void FillByIndividual(const NeutralPopulation& pop, Gene gene, Random& rng,
                      GenotypeRecord* offspring, float* individualFitness) {
  const uint32_t p = pop.p, N = pop.N;
  uint32_t draw = kAhead1.From(rng.RandomSeed);
  const uint32_t population = static_cast<uint16_t>(p);
  for (uint32_t j = FirstOf(p, N); j <= LastOf(p, N); ++j) {
    const uint32_t start = draw;
    const uint32_t secondStart = kStayed.From(start);  // when the first copy stays
    const uint32_t bothStay = kBothStayed.From(start);
    uint32_t first, second;
    if (__builtin_expect(start >= pop.stayThreshold, 1)) {
      first = StayingGene(pop, start);
      if (__builtin_expect(secondStart >= pop.stayThreshold, 1)) {
        second = StayingGene(pop, secondStart);
        draw = bothStay;
      } else {
        draw = secondStart;
        second = gene(draw);
      }
    } else {
      first = gene(draw);
      second = gene(draw);
    }
    offspring[j] = std::bit_cast<GenotypeRecord>(population | first << 16 | second << 24);
  }
  std::fill_n(individualFitness + FirstOf(p, N), N, 1.0f);
  rng.RandomSeed = kBack1.From(draw);
}

// Finite island: every copy takes three draws, so each individual starts six
// draws after the one before.
void FillFiniteIsland(const NeutralPopulation& pop, Random& rng, GenotypeRecord* offspring,
                      float* individualFitness) {
  const uint32_t p = pop.p, N = pop.N;
  uint32_t draw = kAhead1.From(rng.RandomSeed);
  const uint32_t population = static_cast<uint16_t>(p);
  for (uint32_t j = FirstOf(p, N); j <= LastOf(p, N); ++j) {
    uint32_t firstDraw = draw, secondDraw = kFiniteMoved.From(draw);
    const uint32_t first = FiniteIslandGene(pop, firstDraw);
    const uint32_t second = FiniteIslandGene(pop, secondDraw);
    draw = kFiniteBothMoved.From(draw);
    offspring[j] = std::bit_cast<GenotypeRecord>(population | first << 16 | second << 24);
  }
  std::fill_n(individualFitness + FirstOf(p, N), N, 1.0f);
  rng.RandomSeed = kBack1.From(draw);
}

}  // namespace

void FoundNeutralPopulations(const SimulationParameters& params, const AlleleFrequencyTable& working,
                             const AlleleLookup* rows, Random& rng,
                             std::vector<GenotypeRecord>& parents, std::vector<float>& cumulative,
                             std::vector<float>& migrantPool) {
  const uint32_t P = params.P, N = params.N;
  for (uint32_t c = 1; c <= P; ++c) {
    const AlleleLookup& row = rows[c];
    for (uint32_t i = 1; i <= N; ++i) {
      const uint32_t j = FirstOf(c, N) + i - 1;
      const uint8_t first = row.AlleleOf(rng.NextState());
      const uint8_t second = row.AlleleOf(rng.NextState());
      parents[j] = GenotypeRecord{static_cast<uint16_t>(c), first, second};
      cumulative[j] = static_cast<float>(i);  // sums of ones, exact at f32
    }
  }
  const float* source = working.Row(P + 1);
  for (uint32_t k = 1; k <= params.A; ++k) migrantPool[k] = source[k];
}

void ReproduceNeutralPopulation(const SimulationParameters& params, uint32_t p,
                                bool steppingStone, const std::vector<GenotypeRecord>& parents,
                                const AlleleLookup& pool, Random& rng,
                                std::vector<GenotypeRecord>& offspring,
                                std::vector<float>& individualFitness) {
  const uint32_t P = params.P, N = params.N;
  const NeutralPopulation pop{parents.data(), parents.data() + FirstOf(p, N), p, P, N,
                              StayThreshold(params.m),
                              uint64_t{P - 1} * N, (p - 1) * N};
  GenotypeRecord* out = offspring.data();
  float* fitness = individualFitness.data();
  if (params.InfiniteIslandFlag) {
    FillByIndividual(
        pop, [&pop, &pool](uint32_t& s) { return InfiniteIslandGene(pop, pool, s); }, rng, out,
        fitness);
  } else if (steppingStone) {
    const uint32_t up = p == P ? 1 : p + 1, down = p == 1 ? P : p - 1;
    FillByIndividual(
        pop, [&pop, up, down](uint32_t& s) { return SteppingStoneGene(pop, up, down, s); }, rng,
        out, fitness);
  } else {
    FillFiniteIsland(pop, rng, out, fitness);
  }
}

void PromoteNeutralOffspring(const std::vector<GenotypeRecord>& offspring, uint32_t N, uint32_t P,
                             std::vector<GenotypeRecord>& parents,
                             std::vector<float>& cumulative) {
  const std::size_t individuals = static_cast<std::size_t>(P) * N;
  std::copy(offspring.begin() + 1, offspring.begin() + 1 + individuals, parents.begin() + 1);
  // Every population's sums read the same: form the first, copy it on.
  float* first = cumulative.data() + FirstOf(1, N);
  for (uint32_t i = 0; i < N; ++i) first[i] = static_cast<float>(i + 1);
  for (uint32_t p = 2; p <= P; ++p) std::copy(first, first + N, cumulative.data() + FirstOf(p, N));
}

}  // namespace dw
