#pragma once
// What a finished scan reports: per locus its data, its run and its two
// tests (Delta and WC), and for the whole scan the null it ran under and how
// well that null fits the loci. The table, the JSON document, the report on
// standard error and the plot are all made from this one summary.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scan/calibration.h"
#include "scan/plot.h"
#include "data/observed.h"
#include "scan/statistics.h"

namespace dw {
class JsonWriter;
}

namespace dw::scan {

// Why a locus's run did not finish, numbered as the command line's exit
// statuses: its input refused by the run's checks, or a runtime error.
inline constexpr int kLocusRefused = 1;
inline constexpr int kLocusRuntimeError = 2;

// Why a locus's simulations ended.
enum class StopReason {
  Open,        // still running
  Fixed,       // the fixed count -I asked for
  Resolved,    // every tail its tests use holds the tail hits
  Flagged,     // flagged at the false discovery rate; more would not change it
  CannotFlag,  // no number of simulations up to the ceiling could flag it
  Ceiling,     // the ceiling reached with the decision still open
};
// "fixed", "resolved", "flagged", "cannot_flag", "ceiling" ("open" while running).
const char* StopText(StopReason reason);

// A locus as the scan sees it: the data's counts and estimate, and the run.
struct ScannedLocus {
  std::size_t index = 0;  // 0-based locus of the file
  std::string name;
  std::string chrom;  // empty where the format has no positions
  int64_t pos = 0;
  data::LocusCounts counts;
  data::LocusEstimate estimate;
  int32_t P = 0, A = 0, n = 0;
  uint32_t seed = 0;         // its run's seed: its own, or its shared null's
  std::size_t null = 0;      // 1-based shared null (count engine); 0 for none
  bool deltaTested = false;  // more than two alleles: the Delta test applies
  // Filled by the run.
  bool ran = false;
  std::string failure;
  int failureStatus = 0;  // kLocusRefused or kLocusRuntimeError
  uint64_t simulations = 0;  // defined ones; `undefined` more were left out
  uint64_t undefined = 0;
  StopReason stop = StopReason::Open;
  uint64_t budget = 0;  // simulations (defined or not) it may take this round
  uint64_t lower = 0, higher = 0;      // simulated Delta not above / above the observed
  uint64_t wcLower = 0, wcHigher = 0;  // simulated WC not above / above the observed
  double low = 0, median = 0, high = 0;  // simulated Delta's 2.5, 50, 97.5 %
  // WC of the defined simulations, in order: every one under a fixed count,
  // the first kCheckedDataSets under the sequential p-values (for the checks).
  std::vector<double> simulatedWc;
  // Filled by SummariseScan.
  TailProbabilities p, pWc;
  double q = 0, qWc = 0;
};

// Tested by WC (every polymorphic locus, two alleles included); by Delta too
// when it has more than two informative alleles.
bool Tested(data::LocusStatus status);
bool DeltaTested(data::LocusStatus status);
bool Tested(const ScannedLocus& locus);
bool DeltaTested(const ScannedLocus& locus);

// How the p-values were resolved.
struct PValueSetup {
  std::string engine = "counts";  // "counts" or "individuals"
  bool sequential = true;         // false: a fixed count per locus (-I)
  int32_t tailHits = 10;          // h: the values each tail must hold to stop
  uint64_t ceiling = 0;           // most simulations a locus may take
  bool userCeiling = false;       // the ceiling is the user's --max-simulations
  bool alone = false;             // each locus decided alone (a scan under a given null)
  std::size_t nulls = 0;          // distinct nulls simulated (count engine)
  std::size_t fitLoci = 0;        // loci the fit's passes simulated
};

// The smallest number of simulations at which a lone outlier beyond every
// simulated value can be flagged among `loci` at `fdr`: 2·loci/fdr − 1,
// rounded up (its two-sided p, 2/(I + 1), at most fdr/loci).
uint64_t LoneOutlierSimulations(std::size_t loci, double fdr);

// The warning, on standard error and in the JSON, when `ceiling` simulations
// cannot flag a lone outlier among `loci`; empty when they can.
std::string CeilingWarning(uint64_t ceiling, bool fixed, std::size_t loci, double fdr);

// The null the final runs took and, when it was fitted, the fit.
struct NullModel {
  std::string model;  // "infinite", "finite" or "stepping"
  bool observedStart = false;
  int32_t N = 0, T = 0, I = 0;  // I: the fixed count; 0 under sequential p-values
  std::string engine = "individuals";  // the rerun's --engine (individuals: run's default)
  std::string m;      // as the runs took it
  double mValue = 0;  // its value
  std::optional<Calibration> fit;  // none: -m given or --calibrate none
  int perPass = 0;    // simulations per locus in each pass of the fit
};

struct ScanSummary {
  std::string file;
  bool hasPositions = false;  // chrom and pos columns (VCF input)
  PValueSetup pvalues;
  std::optional<int32_t> n;  // -n, or each locus's own
  double fdr = 0.1;
  uint32_t seed = 0;
  bool seededFromClock = false;
  NullModel null;
  std::vector<ScannedLocus> loci;  // file order
  // The checks, over the tested loci that ran, from the final simulations.
  std::size_t checked = 0;
  double dataWc = 0, dataMedianWc = 0;        // trimmed mean and median of the observed WC
  double nullWc = 0, nullWcLow = 0, nullWcHigh = 0;  // mean, 2.5 and 97.5 % of the data sets'
  double lambda = 0, lambdaWc = 0;             // of the Delta and the WC p-values
  double dataSpread = 0, nullSpread = 0;       // median absolute deviation of WC across loci
  std::size_t testedDelta = 0, testedWc = 0;   // loci that ran each test
  std::size_t flaggedDelta = 0, flaggedWc = 0; // of them, flagged at fdr
};

// "flagged at q <= 0.1: 3 of 40 loci by Delta, 5 of 52 by WC": the two tests counted apart.
std::string FlaggedLine(const ScanSummary& s);

// The p- and q-values of every locus that ran, then the checks.
void SummariseScan(ScanSummary& s);

// Whether the data's trimmed mean WC lies outside the central 95 % of the
// null's data sets.
bool NullDisagrees(const ScanSummary& s);

// The table's columns, in order; the names are ScanColumns()'s.
enum class ScanColumn : std::size_t {
  Locus, P, A, SampleSize, Wc, Rh, DeltaObserved, Simulations, Lower, Higher, PHigher, PLower,
  PTwoSided, QValue, Flag, Seed, Undefined, PWcHigher, PWcLower, QWc, FlagWc, WcLower, WcHigher,
  Stop, Null, Count
};
constexpr std::size_t ColumnIndex(ScanColumn c) { return static_cast<std::size_t>(c); }

// The table's column names, and one row of cells per locus in file order,
// both indexed by ScanColumn. The TSV adds chrom and pos after the locus for
// VCF input.
const std::vector<std::string>& ScanColumns();
std::vector<std::vector<std::string>> ScanRows(const ScanSummary& s);

// The TSV table, header line first, lines ended by LF.
std::string ScanTable(const ScanSummary& s);

// Cells joined by tabs, one line per row after the header, each ended by LF.
std::string TabSeparated(const std::vector<std::string>& header,
                         const std::vector<std::vector<std::string>>& rows);

// The JSON document, ended by a line feed.
std::string ScanJson(const ScanSummary& s);

// The `driftwise run` options every locus of the scan reruns with, before
// its own --seed, -P, -A, -n, -i and -o.
std::string RerunOptions(const NullModel& null);

// "Null fitted to the loci: m = …": the fitted null in one line (LF ended);
// empty without a fit.
std::string FitLine(const ScanSummary& s);

// What standard error shows of the p-values: the ceiling's warning, how they
// were resolved and the loci flagged by each test. Lines end in LF.
std::string PValueReport(const ScanSummary& s);

// The fit's passes as a JSON array: one {migration, generations,
// null_trimmed_mean_wc} per pass, in order.
void WriteFitPasses(const Calibration& c, JsonWriter& json);

// What the scan says of its null, in parts: the window shows the fitted
// null as a line and the cautions in a box; standard error shows Text().
struct NullReportParts {
  std::vector<std::string> notes;  // "note: …": where the fit left the T or m asked for
  std::string fitted;              // FitLine without its LF; empty when not fitted or nothing ran
  std::string disagreement;        // "warning: the null does not fit …" of an m given
  std::string details;             // under `fitted` or `disagreement`: the checks, the passes
                                   // and the rerun's options (LF-ended lines)
  std::vector<std::string> warnings;  // "warning: …" on how to read the flags
  // The notes, the disagreement and the warnings, in the order Text() has them.
  std::vector<std::string> Cautions() const;
  // Every line, each ended by LF.
  std::string Text() const;
};
NullReportParts NullReportOf(const ScanSummary& s);

// What standard error shows of the null: NullReportOf(s).Text().
std::string NullReport(const ScanSummary& s);

ScanPlot PlotOf(const ScanSummary& s);

}  // namespace dw::scan
