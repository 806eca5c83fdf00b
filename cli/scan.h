#pragma once
// `driftwise scan FILE`: the neutrality test of every polymorphic locus of a
// Genepop file (scan/scan.h), from the command line: the table on standard
// output or --tsv, the null's report and a progress bar on standard error,
// the JSON document and the plot, and Ctrl-C to stop it.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "scan/qt/plotfile.h"
#include "scan/scan.h"

namespace CLI {
class App;
}

namespace dw::cli {

struct ScanOptions {
  std::string file;
  std::string popmap;  // for VCF and BCF
  std::string N = "100", T = "100";
  std::optional<std::string> I;  // a fixed count; default: sequential (counts), 1000 (individuals)
  std::string engine = "counts";  // or "individuals"
  std::string tailHits = "10";
  std::optional<std::string> maxSimulations;
  std::optional<std::string> m;          // given: the null at this m, not fitted
  std::optional<std::string> calibrate;  // "none" or "m"; default: "m" without -m
  std::optional<std::string> n;  // default: the locus's mean n_i, rounded
  std::string model = "infinite";
  std::string start = "pooled";  // or "observed"
  std::optional<std::string> seed, threads, tsv, resultsDir, plot, json;
  std::optional<std::string> plotWcHe;  // WC against He with the null's envelope
  std::optional<std::string> plotQ;     // -log10 q along the chromosomes (VCF, BCF)
  std::optional<std::string> plotSize, plotDpi;  // every plot's size: "WxH", pixels per inch
  bool fitOnly = false;             // fit the null, write it (--json) and stop
  std::optional<std::string> null;  // a null written by --fit-only
  std::optional<std::string> job, jobs;  // the part of the loci to test under --null
  std::string fdr = "0.1";
};

void AddScanOptions(CLI::App& scan, ScanOptions& options);

// Returns the exit status: 0 when every locus was tested or skipped as
// untestable; 1 for a refused file or parameters, 2 for a runtime error (a
// locus whose run failed is reported in its line and on `err`); 64 usage.
int ScanCommand(const ScanOptions& options, std::ostream& out, std::ostream& err);

// What a finished scan reports, as `scan` and `merge` of scan parts write it:
// failed loci and the null's report on `err`, the table (standard output or
// `tsv`), the JSON document and the plot. Returns the exit status.
int WriteScanResults(const scan::ScanSummary& summary, const std::optional<std::string>& tsv,
                     const std::optional<std::string>& json, const std::optional<std::string>& plot,
                     std::ostream& out, std::ostream& err,
                     const std::optional<std::string>& plotWcHe = std::nullopt,
                     const std::optional<std::string>& plotQ = std::nullopt,
                     const scan::FileSize& plotSize = {});

// `merge` of the documents `scan --null … --job K --jobs J --json` wrote:
// checks that they are every part of one array under one null and one data
// file, reads the data file again and reports as one `scan --null` would.
int MergeScanParts(const std::vector<std::string>& parts, const std::optional<std::string>& tsv,
                   const std::optional<std::string>& json, const std::optional<std::string>& plot,
                   std::ostream& out, std::ostream& err);


}  // namespace dw::cli
