#pragma once
// The machine-readable summary of a test (a run or pooled runs), written as
// JSON by `--json`. Its field names are stable; the README lists them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/digest.h"
#include "cli/jobs.h"
#include "engine/histogram.h"
#include "engine/state.h"

namespace dw::cli {

struct ClassSummary {
  double low = 0.0, high = 0.0;  // the bounds the label shows, before rounding to 4 decimals
  std::string label;
  uint64_t count = 0;
};

// Where a run's draws came from and how many it took.
struct GeneratorSummary {
  bool seededFromClock = false;
  uint32_t seed = 0;             // --seed (0 with --job alone), or the clock's state
  std::optional<JobSlot> job;
  uint32_t startState = 0, endState = 0;
  DrawBounds bounds;
  std::optional<uint64_t> draws;  // empty when the bounds leave it open
};

struct SourceFile {
  std::string name;
  uint64_t simulations = 0;
};

struct TestSummary {
  std::string command;  // "run" or "merge"
  std::string model;    // "infinite", "finite" or "stepping"
  std::string engine;   // "individuals" or "counts"; empty: not known (merged result files)
  uint32_t P = 0, N = 0, n = 0, T = 0, A = 0;
  double m = 0.0;
  double observedDelta = 0.0;
  std::string input, output;       // run: the two files
  // run: what the result file held when it was closed; none for a device or pipe
  std::optional<FileDigest> outputDigest;
  std::vector<SourceFile> files;   // merge: the result files, in order
  std::optional<GeneratorSummary> generator;  // run only
  std::optional<uint32_t> threads;            // run only: the threads it was given
  uint64_t simulations = 0;  // the simulated Delta values
  uint64_t undefined = 0;    // run --skip-undefined: simulations left out
  uint64_t higher = 0;  // strictly above the observed Delta; the others are lower
  double deltaMin = 0.0, deltaMax = 0.0;
  std::vector<ClassSummary> classes;
  int observedClass = 0;  // 1…10
};

// What the command line knows of a finished run besides the engine state.
struct RunRecord {
  std::string model, input, output;
  std::optional<FileDigest> outputDigest;
  bool seededFromClock = false;
  uint32_t seed = 0;
  std::optional<JobSlot> job;
  uint32_t startState = 0, endState = 0;  // the generator's, before and after the run
  std::string engine = "individuals";
  uint32_t threads = 1;  // --threads, or the CPUs the process may use
};

// The summary of a finished run, from the engine state and its histogram.
TestSummary RunTestSummary(const EngineState& state, const RecordedHistogram& histogram,
                           const RunRecord& record);

// The ten classes and the observed (red) one from a filled histogram.
void SummariseHistogram(const RecordedHistogram& histogram, double deltaMin, double deltaMax,
                        TestSummary& summary);

// The model's command-line word for a result file's model line.
std::string ModelWord(const std::string& modelLine);

// The JSON document, ended by a line feed.
std::string SummaryJson(const TestSummary& summary);

}  // namespace dw::cli
