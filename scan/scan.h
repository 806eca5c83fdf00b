#pragma once
// The neutrality test of every polymorphic locus of a data set, written
// once for the window's "Scan all loci" and `driftwise scan`. Each locus is
// tested against a null with P, A and n taken from its data and initial
// frequencies from its sample frequencies. Under the count engine (the
// default) loci that share a null share its simulations and p-values are
// resolved sequentially (scan/countscan.h, scan/sequential.h); under the
// individual engine each locus runs the run driver, as a single test does,
// from its own seed, a fixed number of times. Results are reported in file
// order and do not depend on the number of threads. Unless the null's m is
// given, it is first fitted to the loci (scan/calibration.h). A simulation
// whose sample is fixed for one allele is left out and counted.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "data/loci.h"
#include "runtime/cancel.h"
#include "scan/calibration.h"
#include "scan/report.h"

namespace dw::scan {

// Simulations per locus in each pass of the calibration: enough for the
// trimmed mean over loci to move smoothly with m, few next to the test's I.
inline constexpr int32_t kCalibrationSimulations = 100;

// What every locus shares.
enum class ScanEngine { Counts, Individuals };

struct ScanSettings {
  ScanEngine engine = ScanEngine::Counts;
  int32_t N = 100, T = 100;
  int32_t I = 1000;         // simulations per locus when not sequential
  bool sequential = true;   // resolve p-values sequentially (count engine only)
  int32_t tailHits = 10;    // h of the sequential p-values
  uint64_t ceiling = 0;     // most simulations a locus may take; 0: as the FDR needs
  bool userCeiling = false;
  std::optional<int32_t> n;  // none: each locus's mean n_i, rounded
  std::string m = "0.1";     // as the runs take it; the fit replaces it
  bool calibrate = true;     // fit m to the loci
  std::string model = "infinite";  // "infinite", "finite" or "stepping"
  bool observedStart = false;      // each population at its own sample frequencies
  uint32_t seed = 0;
  bool seededFromClock = false;
  unsigned threads = 1;  // loci run at the same time
  double fdr = 0.1;
  // A scan in parts (scan/nullfile.h): stop once the null is fitted; run
  // under a null fitted before (its fit as reported); each locus deciding
  // alone when to stop; only the loci of a share.
  bool fitOnly = false;
  std::optional<Calibration> givenFit;
  std::size_t givenFitLoci = 0;
  bool alone = false;
  std::optional<std::pair<std::size_t, std::size_t>> share;  // [first, end) locus numbers
  // Where the loci's frequency and result files go: the individual engine's
  // runs need them; under the count engine only --results-dir keeps the
  // frequency files (empty: none written).
  std::filesystem::path dir;
};

// The message refusing N, T, I (and n when given) before any locus runs;
// P, A and a locus's own n are checked as it runs. None when they can run.
std::optional<std::string> SharedCountProblem(const ScanSettings& s);

// The loci in file order with their data and their run's parameters. The
// message when a tested locus's n exceeds N.
std::optional<std::string> PlanLoci(data::LociData data, const ScanSettings& s,
                                    std::vector<ScannedLocus>& loci);

// How many loci PlanLoci marked as tested.
std::size_t TestedCount(const std::vector<ScannedLocus>& loci);

// The locus's initial frequencies: P + 1 rows of its A alleles, each
// population at the pooled sample frequencies (or at its own with
// `observedStart`), the migrant source at the pooled ones; CR LF after
// every row.
std::string FrequencyFileText(const data::LocusCounts& counts, bool observedStart);

// "locus005-Lap": the number and the first 40 characters of the name, made
// safe for a file name. The scan keeps NAME-freq.txt and NAME-fst.txt.
std::string FileStem(const ScannedLocus& locus);

// A folder of the system's temporary directory for the loci's files,
// removed with everything in it when this goes (unless released).
class TemporaryFolder {
 public:
  TemporaryFolder() = default;
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  // False when it cannot be made.
  bool Make();
  void Remove();
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// What a scan will run, known before it starts: the fit's usual passes (it
// may take more), the loci each pass simulates and their simulations each;
// the loci the test runs and its first estimate of their simulations (the
// first round's, or the fixed count's).
struct ScanPlan {
  int fitPasses = 0;  // 0: no fit
  std::size_t fitLoci = 0;
  int32_t fitSimulations = 0;
  std::size_t testLoci = 0;
  uint64_t testSimulations = 0;
  bool sequential = true;
};

// Told how the scan goes. ScanPlanned, FitPassStarted and TestRoundStarted
// come from the thread that called RunScan, while no locus runs;
// SimulationDone and LocusDone from the threads that run the loci.
class ScanObserver {
 public:
  virtual ~ScanObserver() = default;
  virtual void ScanPlanned(const ScanPlan& /*plan*/) {}
  // Pass 1, 2, … of the fit starts.
  virtual void FitPassStarted(int /*pass*/) {}
  // A round of the test starts, `outstanding` simulations ahead of it at
  // most (under the sequential p-values a locus may stop sooner).
  virtual void TestRoundStarted(uint64_t /*outstanding*/) {}
  virtual void SimulationDone() {}
  // A locus of a fit's pass finished, or a locus of the test resolved.
  virtual void LocusDone() {}
};

enum class ScanOutcome {
  Finished,   // every tested locus ran or failed with its reason (its `failure`)
  NoFit,      // no null fits the loci: `problem` says why and names the nearest
  Cancelled,  // stopped on request after the loci in progress
  Failed,     // the fit's runs could not run at all (files that cannot be written):
              // `problem` names the file and the system's reason
};

struct ScanResult {
  ScanOutcome outcome = ScanOutcome::Finished;
  std::string problem;
  ScanSummary summary;  // complete when finished: the table, JSON and plot come from it
};

// Fits the null (when `settings.calibrate` and a locus is tested), runs every
// tested locus and summarises. `file` is the data file's name as reported.
// The loci's files go to `settings.dir`; the fit's result files are removed
// as they are read.
ScanResult RunScan(ScanSettings settings, std::vector<ScannedLocus> loci, const std::string& file,
                   ScanObserver& observer, const CancelRequest& cancel);

// The summary of a scan whose loci ran in parts under the settings' given
// null (their tallies filled in), as RunScan would have made it.
ScanSummary SummaryOfParts(ScanSettings settings, std::vector<ScannedLocus> loci,
                           const std::string& file, std::size_t nulls);

// The `driftwise scan` command that runs `s` on `file` (with the population
// map `popmap`; empty for Genepop): N, T, model, start and seed always, the
// other options where they differ from the command's defaults; the file
// names quoted for a POSIX shell.
std::string ScanCommandLine(const ScanSettings& s, const std::string& file,
                            const std::string& popmap);

// Writes each tested locus's frequency file into `dir` (FileStem-freq.txt);
// false, with the file's name in `failed`, when one cannot be written.
bool WriteFrequencyFiles(const std::vector<ScannedLocus>& loci, bool observedStart,
                         const std::filesystem::path& dir, std::string& failed);

}  // namespace dw::scan
