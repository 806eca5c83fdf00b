// The starts found by coalescing walks against those found one simulation
// after another (StateAfterSimulation, itself checked against real runs in
// threads_test.cpp): with every way of stepping the walks this processor
// has, at rates where walks meet at once, late or never within a simulation,
// and from guesses far beyond what the finder's checkpoints reach.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/simulationstarts.h"

namespace dw {
namespace {

SimulationParameters Parameters(uint16_t P, uint16_t N, uint16_t T, uint16_t n, double m,
                                bool infiniteIsland) {
  SimulationParameters params;
  params.P = P;
  params.N = N;
  params.T = T;
  params.n = n;
  params.m = m;
  params.InfiniteIslandFlag = infiniteIsland;
  return params;
}

// starts[s]: the state after simulation s, one after another.
std::vector<uint32_t> Replayed(uint32_t start, const SimulationParameters& params,
                               bool steppingStone, uint32_t count) {
  std::vector<uint32_t> starts{start};
  for (uint32_t s = 1; s <= count; ++s)
    starts.push_back(StateAfterSimulation(starts.back(), params, steppingStone));
  return starts;
}

TEST(FindSimulationStarts, GivesTheStartsOfOneSimulationAfterAnother) {
  struct Size {
    uint16_t P, N, T, n;
  };
  // 20 copies a simulation (no walks meet within one), a complement sample
  // (n > N/2), and enough copies for guesses to be far off.
  const Size sizes[] = {{2, 5, 1, 2}, {3, 25, 40, 13}, {4, 30, 15, 20}};
  // A rate at which almost no copy migrates (the walks never meet), the
  // rates of the threaded tests, and one at which almost every copy does.
  const double rates[] = {1e-9, 0.01, 0.1, 0.5, 0.999};
  const uint32_t count = 70;  // two groups of walks and part of a third
  for (LaneStepping way : {LaneStepping::Widest, LaneStepping::Vectors16, LaneStepping::Vectors8,
                           LaneStepping::Plain}) {
    if (!CanStepLanes(way)) continue;
    for (const Size& size : sizes) {
      for (double m : rates) {
        for (bool stepping : {false, true}) {
          const SimulationParameters params = Parameters(size.P, size.N, size.T, size.n, m, !stepping);
          const uint32_t seed = 20240607u + size.N;
          std::vector<uint32_t> found;
          FindSimulationStarts(seed, params, stepping, count, found, way);
          EXPECT_EQ(found, Replayed(seed, params, stepping, count))
              << "way " << static_cast<int>(way) << (stepping ? " stepping" : " infinite")
              << " m=" << m << " P=" << size.P << " N=" << size.N << " T=" << size.T;
        }
      }
    }
  }
}

// Guesses hundreds and thousands of simulations past their reference, for a
// finder sized for 32: the true start lies beyond the head's checkpoints or
// behind the guess, and the simulation's end beyond the tail's or before it.
TEST(StartFinder, PlacesSimulationsWhoseGuessesAreFarOff) {
  const uint32_t seed = 77, farthest = 3000;
  for (bool stepping : {false, true}) {
    const SimulationParameters params = Parameters(4, 30, 15, 20, 0.1, !stepping);
    const std::vector<uint32_t> starts =
        Replayed(seed, params, stepping, farthest + StartFinder::kLanes);
    StartFinder finder(params, stepping, 2, StartFinder::kLanes);
    for (uint32_t first : {700u, 1900u, 3000u}) {
      finder.Walk(1, first, StartFinder::kLanes, 1, seed);
      for (uint32_t s = first; s < first + StartFinder::kLanes; ++s)
        EXPECT_EQ(finder.StateAfter(1, s, starts[s - 1]), starts[s])
            << (stepping ? "stepping" : "infinite") << " simulation " << s;
    }
  }
}

}  // namespace
}  // namespace dw
