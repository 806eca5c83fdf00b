#pragma once
// A scan in parts under one null: `scan --fit-only` fits the null once and
// writes it as a JSON document; `scan --null FILE` tests the loci under it,
// all of them or, with `--job K --jobs J`, the K-th share; the parts' raw
// tallies are pooled by `merge`. Under a given null every locus decides on
// its own when to stop (scan/sequential.h, the local rule), so a locus's
// values do not depend on which part ran it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scan/calibration.h"
#include "scan/report.h"

namespace dw::scan {

// What identifies a file: its name as given, its size and SHA-256.
struct FileIdentity {
  std::string name;
  uint64_t size = 0;
  std::string sha256;
};

struct NullFile {
  FileIdentity data;
  std::optional<FileIdentity> popmap;
  uint32_t seed = 0;
  std::string engine = "counts";
  std::string model = "infinite";
  bool observedStart = false;
  int32_t N = 100, T = 100;
  std::optional<int32_t> n;
  std::string m;  // as the runs take it
  std::optional<Calibration> fit;  // none: -m given
  std::size_t fitLoci = 0;
};

// The document `--fit-only` writes, ended by a line feed.
std::string NullFileJson(const NullFile& null);

// Reads a null document; the reason when it is not one.
std::optional<NullFile> ReadNullFile(const std::string& text, std::string& problem);

// The loci of part `job` of `jobs`: a contiguous share of the file's loci,
// [first, end) as 0-based locus numbers.
struct Share {
  std::size_t first = 0, end = 0;
};
Share ShareOf(std::size_t loci, uint64_t job, uint64_t jobs);

// The document of one part: the null it ran under, its share, and per tested
// locus of the share its raw tallies (no q-value), with the first simulated
// WC values of each null for the checks.
std::string ScanPartJson(const NullFile& null, const std::string& nullSha256, uint64_t job,
                         uint64_t jobs, double fdr, const std::vector<ScannedLocus>& loci,
                         Share share);

struct ScanPart {
  NullFile null;
  std::string nullSha256;
  uint64_t job = 0, jobs = 0;
  double fdr = 0.1;
  struct Tally {
    std::size_t index = 0;
    uint32_t seed = 0;
    bool ran = false;
    std::string failure;
    int failureStatus = 0;
    uint64_t simulations = 0, undefined = 0, lower = 0, higher = 0, wcLower = 0, wcHigher = 0;
    StopReason stop = StopReason::Open;
    double low = 0, median = 0, high = 0;
  };
  Share share;
  std::vector<Tally> loci;
  // The first simulated WC values of each null its loci ran under, by seed.
  std::vector<std::pair<uint32_t, std::vector<double>>> nullWc;
};

// Reads a part's document; the reason when it is not one.
std::optional<ScanPart> ReadScanPart(const std::string& text, std::string& problem);

// Whether a JSON document is a scan part (its "format").
bool IsScanPart(const std::string& text);

}  // namespace dw::scan
