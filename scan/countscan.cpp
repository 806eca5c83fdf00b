#include "scan/countscan.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <unordered_map>

#include "engine/rundriver.h"
#include "runtime/errors.h"
#include "runtime/floatmode.h"
#include "runtime/messages.h"
#include "runtime/numtext.h"
#include "runtime/threadstart.h"
#include "engine/model.h"
#include "scan/scan.h"
#include "scan/sequential.h"

namespace dw::scan {

namespace {

const NumberMarks kMarks{'.', ','};

// Simulations of one null made by one piece of work.
constexpr uint64_t kBlock = 256;

// A null's simulated values, in simulation order; `defined` false where the
// sample came out fixed for one allele (its values are then 0).
struct NullStream {
  CountNull params;
  uint32_t seed = 0;
  std::vector<double> wc, delta;
  std::vector<uint8_t> defined;
  std::string failure;  // the error that ended its simulations
};

// The number of workers ParallelFor uses for `count` pieces of work.
std::size_t Workers(std::size_t count, unsigned threads) {
  return std::max<std::size_t>(1, std::min<std::size_t>(threads, count));
}

// Runs work(i, w) for i in [0, count) on Workers(count, threads) threads, w
// the worker (0-based), each thread with the process's float mode; the order
// of the work plays no part in the results.
void ParallelFor(std::size_t count, unsigned threads, const CancelRequest& cancel,
                 const std::function<void(std::size_t, std::size_t)>& work) {
  std::atomic<std::size_t> next{0};
  const auto worker = [&](std::size_t w) {
    for (std::size_t i = next++; i < count && !cancel.Requested(); i = next++) work(i, w);
  };
  const std::size_t used = Workers(count, threads);
  if (used == 1) {
    worker(0);
    EstablishFloatErrorMode();  // after any float fault the work met
    return;
  }
  std::vector<std::thread> pool;
  for (std::size_t t = 0; t < used; ++t) pool.push_back(StartThread([&worker, t] { worker(t); }));
  for (std::thread& t : pool) t.join();
}

std::string FailureText(const std::exception& e) {
  if (const auto* runtime = dynamic_cast<const RuntimeError*>(&e))
    return CommandLineErrorText(*runtime);
  return e.what();
}

struct Block {
  std::size_t null;
  uint64_t from, to;  // 0-based simulations [from, to)
};

// Extends every null to `targets[k]` simulations.
void Simulate(std::vector<NullStream>& nulls, const std::vector<uint64_t>& targets,
              unsigned threads, ScanObserver& observer, const CancelRequest& cancel) {
  std::vector<Block> blocks;
  for (std::size_t k = 0; k < nulls.size(); ++k) {
    NullStream& null = nulls[k];
    const uint64_t from = null.defined.size();
    if (targets[k] <= from || !null.failure.empty()) continue;
    null.wc.resize(targets[k]);
    null.delta.resize(targets[k]);
    null.defined.resize(targets[k]);
    for (uint64_t b = from; b < targets[k]; b += kBlock)
      blocks.push_back({k, b, std::min(targets[k], b + kBlock)});
  }
  std::mutex failures;
  // Each worker keeps the simulator of the null it last worked on: its tables
  // are built as they are used, and blocks of one null come one after another.
  struct Kept {
    std::size_t null = 0;
    std::unique_ptr<CountSimulator> simulator;
  };
  std::vector<Kept> kept(Workers(blocks.size(), threads));
  ParallelFor(blocks.size(), threads, cancel, [&](std::size_t i, std::size_t w) {
    const Block& b = blocks[i];
    NullStream& null = nulls[b.null];
    try {
      if (!kept[w].simulator || kept[w].null != b.null)
        kept[w] = {b.null, std::make_unique<CountSimulator>(null.params)};
      CountSimulator& simulator = *kept[w].simulator;
      for (uint64_t j = b.from; j < b.to; ++j) {
        const SimulatedFst r = simulator.Simulate(null.seed, j + 1, true);
        null.defined[j] = r.defined;
        null.wc[j] = r.wc;
        null.delta[j] = r.delta;
        observer.SimulationDone();
      }
    } catch (const std::exception& e) {
      std::lock_guard<std::mutex> lock(failures);
      if (null.failure.empty()) null.failure = FailureText(e);
    }
  });
}

// Takes the null's simulations from where the locus stands up to its budget
// into its tallies; with `hits`, stops at the first at which every tail of
// its tests holds that many values.
void Consume(const NullStream& null, int32_t hits, ScannedLocus& l) {
  const double observed = static_cast<double>(l.estimate.delta);
  const double observedWc = static_cast<double>(l.estimate.wc);
  const uint64_t end = std::min<uint64_t>(l.budget, null.defined.size());
  for (uint64_t j = l.simulations + l.undefined; j < end; ++j) {
    if (!null.defined[j]) {
      ++l.undefined;
      continue;
    }
    ++l.simulations;
    (null.delta[j] > observed ? l.higher : l.lower) += 1;
    (null.wc[j] > observedWc ? l.wcHigher : l.wcLower) += 1;
    if (hits > 0 && Resolved(l, hits)) {
      l.stop = StopReason::Resolved;
      return;
    }
  }
}

uint64_t Taken(const ScannedLocus& l) { return l.simulations + l.undefined; }

// Brings every open locus to its budget, or under the sequential p-values to
// the simulation at which its tails fill when that comes first. The nulls
// grow by a quarter at a time, so that a null is not simulated far beyond
// where its loci stop.
void TakeBudgets(const ScanSettings& s, const std::vector<ScannedLocus*>& open,
                 std::vector<NullStream>& nulls, ScanObserver& observer,
                 const CancelRequest& cancel) {
  const int32_t hits = s.sequential ? s.tailHits : 0;
  std::vector<ScannedLocus*> active = open;
  while (!active.empty() && !cancel.Requested()) {
    std::vector<uint64_t> targets(nulls.size(), 0);
    for (const ScannedLocus* l : active)
      targets[l->null - 1] = std::max(targets[l->null - 1], l->budget);
    for (std::size_t k = 0; k < nulls.size() && s.sequential; ++k) {
      const uint64_t size = nulls[k].defined.size();
      targets[k] = std::min(targets[k], std::max(size + kBlock, size + size / 4));
    }
    Simulate(nulls, targets, s.threads, observer, cancel);
    if (cancel.Requested()) return;
    ParallelFor(active.size(), s.threads, cancel,
                [&](std::size_t i, std::size_t) { Consume(nulls[active[i]->null - 1], hits, *active[i]); });
    std::vector<ScannedLocus*> still;
    for (ScannedLocus* l : active) {
      const NullStream& null = nulls[l->null - 1];
      if (l->stop == StopReason::Open && Taken(*l) < l->budget && null.failure.empty())
        still.push_back(l);
    }
    active.swap(still);
  }
}

// The simulations the nulls still need for the open loci's budgets: what
// the coming round runs at most.
uint64_t Outstanding(const std::vector<ScannedLocus*>& open, const std::vector<NullStream>& nulls) {
  std::vector<uint64_t> targets(nulls.size(), 0);
  for (const ScannedLocus* l : open)
    targets[l->null - 1] = std::max(targets[l->null - 1], l->budget);
  uint64_t outstanding = 0;
  for (std::size_t k = 0; k < nulls.size(); ++k)
    if (nulls[k].failure.empty()) outstanding += targets[k] - std::min<uint64_t>(targets[k], nulls[k].defined.size());
  return outstanding;
}

// The simulated Delta's 2.5, 50 and 97.5 % over the simulations the locus took.
void DeltaQuantiles(const NullStream& null, ScannedLocus& l) {
  std::vector<double> values;
  values.reserve(l.simulations);
  for (uint64_t j = 0, end = l.simulations + l.undefined; j < end; ++j)
    if (null.defined[j]) values.push_back(null.delta[j]);
  std::sort(values.begin(), values.end());
  l.low = Quantile(values, 0.025);
  l.median = Quantile(values, 0.5);
  l.high = Quantile(values, 0.975);
}


// splitmix64: the fit sample's own stream.
uint64_t SplitMix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

std::vector<float> StartFrequencies(const std::string& text) {
  std::vector<float> values;
  std::istringstream words(text);
  for (std::string word; words >> word;) values.push_back(StoreF32(ParseReal(word, kMarks)));
  return values;
}

std::string NullKey(const ScannedLocus& l, const std::string& frequencyText) {
  return std::to_string(l.P) + " " + std::to_string(l.A) + " " + std::to_string(l.n) + "\n" +
         frequencyText;
}

uint32_t NullSeed(uint32_t base, const std::string& key) {
  uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a
  for (unsigned char c : key) hash = (hash ^ c) * 0x100000001B3ull;
  return LocusSeed(base, static_cast<uint32_t>(hash ^ (hash >> 32)));
}

std::vector<std::size_t> FitSample(std::size_t tested, uint32_t seed) {
  std::vector<std::size_t> all(tested);
  for (std::size_t i = 0; i < tested; ++i) all[i] = i;
  if (tested <= kFitLoci) return all;
  uint64_t state = (uint64_t{seed} << 32) ^ 0xF17ull;
  for (std::size_t i = 0; i < kFitLoci; ++i)  // a partial Fisher–Yates shuffle
    std::swap(all[i], all[i + SplitMix(state) % (tested - i)]);
  all.resize(kFitLoci);
  std::sort(all.begin(), all.end());
  return all;
}

CountNull CountNullOf(const ScanSettings& s, const ScannedLocus& l, const std::string& m,
                      int32_t T) {
  CountNull null;
  null.model = ModelOfWord(s.model).value_or(MigrationModel::InfiniteIsland);
  null.P = static_cast<uint32_t>(l.P);
  null.N = static_cast<uint32_t>(s.N);
  null.T = static_cast<uint32_t>(T);
  null.A = static_cast<uint32_t>(l.A);
  null.n = static_cast<uint32_t>(l.n);
  null.m = StoreF64(ParseReal(m, kMarks));
  null.start = StartFrequencies(FrequencyFileText(l.counts, s.observedStart));
  return null;
}

LocusSimulations CountCalibrationPass(const ScanSettings& s,
                                      const std::vector<ScannedLocus*>& sample,
                                      const NullSetting& setting, int32_t perLocus,
                                      ScanObserver& observer, const CancelRequest& cancel) {
  const std::string m = FixedPoint(setting.m, 12);
  LocusSimulations wc(sample.size());
  ParallelFor(sample.size(), s.threads, cancel, [&](std::size_t k, std::size_t) {
    const ScannedLocus& l = *sample[k];
    try {
      CountSimulator simulator(CountNullOf(s, l, m, setting.T));
      const uint32_t seed = LocusSeed(LocusSeed(s.seed, 0), static_cast<uint32_t>(l.index + 1));
      for (int32_t j = 1; j <= perLocus; ++j) {
        const SimulatedFst r = simulator.Simulate(seed, static_cast<uint64_t>(j), true);
        if (r.defined) wc[k].push_back(r.wc);
        observer.SimulationDone();
      }
    } catch (const std::exception&) {
      wc[k].clear();  // the test's own run reports the locus's failure
    }
    observer.LocusDone();
  });
  return wc;
}

std::size_t AssignNulls(const ScanSettings& s, std::vector<ScannedLocus>& loci) {
  std::unordered_map<std::string, std::size_t> byKey;
  for (ScannedLocus& l : loci) {
    if (!Tested(l)) continue;
    const std::string key = NullKey(l, FrequencyFileText(l.counts, s.observedStart));
    const auto [at, added] = byKey.try_emplace(key, byKey.size() + 1);
    l.null = at->second;
    l.seed = NullSeed(s.seed, key);
    l.deltaTested = DeltaTested(l);
  }
  return byKey.size();
}

std::size_t RunCountTests(const ScanSettings& s, std::vector<ScannedLocus>& loci,
                          ScanObserver& observer, const CancelRequest& cancel) {
  const std::size_t distinct = AssignNulls(s, loci);
  std::vector<NullStream> nulls;
  std::vector<ScannedLocus*> tested;
  std::size_t testedAll = 0;
  for (ScannedLocus& l : loci) {
    if (!Tested(l)) continue;
    ++testedAll;
    if (l.null > nulls.size()) {  // numbered in order of first appearance
      NullStream null;
      null.params = CountNullOf(s, l, s.m, s.T);
      null.seed = l.seed;
      nulls.push_back(std::move(null));
    }
    if (s.share && (l.index < s.share->first || l.index >= s.share->second)) continue;
    l.budget = s.sequential ? std::min<uint64_t>(kFirstRound, s.ceiling)
                            : static_cast<uint64_t>(s.I);
    l.stop = StopReason::Open;
    tested.push_back(&l);
  }
  std::vector<ScannedLocus*> open = tested;
  while (!open.empty() && !cancel.Requested()) {
    observer.TestRoundStarted(Outstanding(open, nulls));
    TakeBudgets(s, open, nulls, observer, cancel);
    if (cancel.Requested()) break;
    if (!s.sequential)
      for (ScannedLocus* l : open) l->stop = StopReason::Fixed;
    else if (s.alone)
      NextRoundAlone(open, testedAll, s.fdr, s.tailHits, s.ceiling);
    else
      NextRound(tested, s.fdr, s.tailHits, s.ceiling);
    std::vector<ScannedLocus*> still;
    for (ScannedLocus* l : open) {
      if (l->stop == StopReason::Open && nulls[l->null - 1].failure.empty())
        still.push_back(l);
      else
        observer.LocusDone();
    }
    open.swap(still);
  }
  for (ScannedLocus* l : tested) {
    const NullStream& null = nulls[l->null - 1];
    if (!null.failure.empty()) {
      l->failure = null.failure;
      l->failureStatus = kLocusRuntimeError;
      continue;
    }
    if (l->simulations == 0) {
      l->failure = kAllUndefinedMessage;
      l->failureStatus = kLocusRefused;
      continue;
    }
    if (l->deltaTested) DeltaQuantiles(null, *l);
    for (uint64_t j = 0; j < null.defined.size() && l->simulatedWc.size() < kCheckedDataSets; ++j)
      if (null.defined[j]) l->simulatedWc.push_back(null.wc[j]);
    l->ran = true;
  }
  return distinct;
}

}  // namespace dw::scan
