#pragma once
// The command line's side of a scan in parts (scan/nullfile.h): the null
// document read and checked against the data, the settings it fixes, and
// the documents `--fit-only` and `--job K --jobs J` write.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "scan/nullfile.h"
#include "scan/scan.h"

namespace dw::cli {

// The data file and population map as the null pins them.
struct DataIdentity {
  scan::FileIdentity data;
  std::optional<scan::FileIdentity> popmap;
};

// Reads the size and SHA-256 of the files; 0, or the exit status after the
// message on `err`.
int IdentifyData(const std::string& file, const std::string& popmap, DataIdentity& identity,
                 std::ostream& err);

// A null document with the SHA-256 of its bytes.
struct GivenNull {
  scan::NullFile null;
  std::string sha256;
};

// Reads `name` and checks that it was fitted to the data `identity` names;
// 0, or the exit status after the message.
int ReadGivenNull(const std::string& name, const DataIdentity& identity, GivenNull& given,
                  std::ostream& err);

// The settings the null fixes: the engine, model, start, N, T, n, m, seed
// and fit, each locus deciding alone when to stop.
void ApplyNull(const scan::NullFile& null, scan::ScanSettings& settings);

// The document of --fit-only, written to `json`, and the fitted null on `err`.
int WriteNullDocument(const std::string& json, const DataIdentity& identity,
                      const scan::ScanSummary& summary, std::ostream& out, std::ostream& err);

// The document of part `job` of `jobs`, written to `json`.
int WritePartDocument(const std::string& json, const GivenNull& given, uint64_t job,
                      uint64_t jobs, const scan::ScanSummary& summary, std::ostream& out,
                      std::ostream& err);

}  // namespace dw::cli
