#include "cli/scanparts.h"

#include <algorithm>
#include <iostream>
#include <map>

#include "cli/digest.h"
#include "cli/command_line.h"
#include "cli/outputs.h"
#include "cli/observe.h"
#include "cli/scan.h"
#include "runtime/errors.h"
#include "runtime/messages.h"
#include "runtime/osfiles.h"
#include "scan/countscan.h"

namespace dw::cli {

namespace {

// Null documents and parts are small next to the data: a bound keeps a
// device given by mistake from being read on and on.
constexpr uint64_t kMostDocumentBytes = uint64_t{1} << 31;

int FileFailure(const std::string& name, int code, std::ostream& err) {
  err << CommandLineErrorText(EInOutError(code, LastSystemError(), name)) << "\n";
  return kExitRuntimeError;
}

int Identify(const std::string& name, scan::FileIdentity& id, std::ostream& err) {
  FileDigest digest;
  if (const int code = DigestFile(name, digest)) return FileFailure(name, code, err);
  id = {name, digest.size, digest.sha256};
  return 0;
}

// Reads a whole document; 0, or the exit status after the message.
int ReadDocument(const std::string& name, std::string& text, std::ostream& err) {
  if (const int code = ReadFileBounded(name, kMostDocumentBytes, text))
    return FileFailure(name, code, err);
  if (text.size() > kMostDocumentBytes) {
    err << name << ": larger than " << kMostDocumentBytes << " bytes: not a document of a scan\n";
    return kExitRefused;
  }
  return 0;
}

bool SameFile(const scan::FileIdentity& a, const scan::FileIdentity& b) {
  return a.size == b.size && a.sha256 == b.sha256;
}

}  // namespace

int IdentifyData(const std::string& file, const std::string& popmap, DataIdentity& identity,
                 std::ostream& err) {
  if (const int status = Identify(file, identity.data, err)) return status;
  if (popmap.empty()) return 0;
  identity.popmap.emplace();
  return Identify(popmap, *identity.popmap, err);
}

int ReadGivenNull(const std::string& name, const DataIdentity& identity, GivenNull& given,
                  std::ostream& err) {
  std::string text, problem;
  if (const int status = ReadDocument(name, text, err)) return status;
  std::optional<scan::NullFile> null = scan::ReadNullFile(text, problem);
  if (!null) {
    err << name << ": not a null written by scan --fit-only: " << problem << "\n";
    return kExitRefused;
  }
  if (!SameFile(null->data, identity.data)) {
    err << name << " was fitted to another data file: " << null->data.name << " of "
        << null->data.size << " bytes, SHA-256 " << null->data.sha256 << "; "
        << identity.data.name << " has " << identity.data.size << " bytes, SHA-256 "
        << identity.data.sha256 << "\n";
    return kExitRefused;
  }
  if (null->popmap.has_value() != identity.popmap.has_value() ||
      (null->popmap && !SameFile(*null->popmap, *identity.popmap))) {
    err << name << " was fitted with another population map"
        << (null->popmap ? ": " + null->popmap->name : std::string(": none")) << "\n";
    return kExitRefused;
  }
  given.null = std::move(*null);
  given.sha256 = DigestOf(text).sha256;
  return 0;
}

void ApplyNull(const scan::NullFile& null, scan::ScanSettings& s) {
  s.engine = null.engine == "individuals" ? scan::ScanEngine::Individuals : scan::ScanEngine::Counts;
  s.sequential = s.engine == scan::ScanEngine::Counts;
  s.model = null.model;
  s.observedStart = null.observedStart;
  s.N = null.N;
  s.T = null.T;
  s.n = null.n;
  s.m = null.m;
  s.seed = null.seed;
  s.seededFromClock = false;
  s.calibrate = false;
  s.givenFit = null.fit;
  s.givenFitLoci = null.fitLoci;
  s.alone = true;
}

int WriteNullDocument(const std::string& json, const DataIdentity& identity,
                      const scan::ScanSummary& summary, std::ostream& out, std::ostream& err) {
  scan::NullFile null;
  null.data = identity.data;
  null.popmap = identity.popmap;
  null.seed = summary.seed;
  null.engine = summary.null.engine;
  null.model = summary.null.model;
  null.observedStart = summary.null.observedStart;
  null.N = summary.null.N;
  null.T = summary.null.T;
  null.n = summary.n;
  null.m = summary.null.m;
  null.fit = summary.null.fit;
  null.fitLoci = summary.pvalues.fitLoci;
  err << (null.fit ? scan::FitLine(summary) : "Null given: m = " + null.m + "\n");
  try {
    WriteReportFile(json, scan::NullFileJson(null), out);
  } catch (const RuntimeError& e) {
    err << CommandLineErrorText(e) << "\n";
    return kExitRuntimeError;
  }
  return kExitDone;
}

int WritePartDocument(const std::string& json, const GivenNull& given, uint64_t job,
                      uint64_t jobs, const scan::ScanSummary& summary, std::ostream& out,
                      std::ostream& err) {
  const scan::Share share = scan::ShareOf(summary.loci.size(), job, jobs);
  int status = kExitDone;
  for (std::size_t i = share.first; i < share.end; ++i) {
    const scan::ScannedLocus& l = summary.loci[i];
    if (scan::Tested(l) && !l.ran) {
      err << "locus " << l.name << ": " << l.failure << "\n";
      status = std::max(status, l.failureStatus);
    }
  }
  try {
    WriteReportFile(json, scan::ScanPartJson(given.null, given.sha256, job, jobs, summary.fdr,
                                             summary.loci, share),
                    out);
  } catch (const RuntimeError& e) {
    err << CommandLineErrorText(e) << "\n";
    return kExitRuntimeError;
  }
  return status;
}

int MergeScanParts(const std::vector<std::string>& names, const std::optional<std::string>& tsv,
                   const std::optional<std::string>& json, const std::optional<std::string>& plot,
                   std::ostream& out, std::ostream& err) {
  std::vector<scan::ScanPart> parts;
  std::map<uint64_t, std::string> byJob;
  for (const std::string& name : names) {
    std::string text, problem;
    if (const int status = ReadDocument(name, text, err)) return status;
    std::optional<scan::ScanPart> part = scan::ReadScanPart(text, problem);
    if (!part) {
      err << name << ": not a part of a scan: " << problem << "\n";
      return kExitRefused;
    }
    const scan::ScanPart& first = parts.empty() ? *part : parts.front();
    if (part->nullSha256 != first.nullSha256 || part->jobs != first.jobs || part->fdr != first.fdr) {
      err << "Cannot merge parts of different scans: " << name << " and " << names.front()
          << " differ in their null, their number of parts or their --fdr\n";
      return kExitRefused;
    }
    if (part->jobs == 0 || part->job >= part->jobs) {
      err << name << ": part " << part->job << " of " << part->jobs << " is not a part\n";
      return kExitRefused;
    }
    const auto [at, added] = byJob.emplace(part->job, name);
    if (!added) {
      err << "part " << part->job << " of " << part->jobs << " is given twice: " << at->second
          << " and " << name << "\n";
      return kExitRefused;
    }
    parts.push_back(std::move(*part));
  }
  const uint64_t jobs = parts.front().jobs;
  for (uint64_t k = 0; k < jobs; ++k)
    if (!byJob.count(k)) {
      err << "part " << k << " of " << jobs << " is missing\n";
      return kExitRefused;
    }
  // The data again, as the parts read it.
  const scan::NullFile& null = parts.front().null;
  DataIdentity identity;
  const std::string popmap = null.popmap ? null.popmap->name : "";
  if (const int status = IdentifyData(null.data.name, popmap, identity, err)) return status;
  if (!SameFile(identity.data, null.data) || (null.popmap && !SameFile(*identity.popmap, *null.popmap))) {
    err << null.data.name << (popmap.empty() ? "" : " or " + popmap)
        << " has changed since the null was fitted to it: its SHA-256 is not the one the parts pin\n";
    return kExitRefused;
  }
  data::LociData data;
  if (const int status = LoadData(null.data.name, popmap, data, err)) return status;
  scan::ScanSettings settings;
  ApplyNull(null, settings);
  settings.fdr = parts.front().fdr;
  std::vector<scan::ScannedLocus> loci;
  if (const auto problem = scan::PlanLoci(std::move(data), settings, loci)) {
    err << *problem << "\n";
    return kExitRefused;
  }
  const std::size_t nulls = scan::AssignNulls(settings, loci);
  std::map<uint32_t, const std::vector<double>*> nullWc;
  for (const scan::ScanPart& part : parts)
    for (const auto& [seed, wc] : part.nullWc) nullWc.emplace(seed, &wc);
  std::vector<bool> seen(loci.size(), false);
  for (const scan::ScanPart& part : parts) {
    const scan::Share share = scan::ShareOf(loci.size(), part.job, jobs);
    for (const scan::ScanPart::Tally& t : part.loci) {
      if (t.index < share.first || t.index >= share.end || !scan::Tested(loci[t.index]) ||
          loci[t.index].seed != t.seed || seen[t.index]) {
        err << byJob[part.job] << ": its locus " << t.index + 1
            << " is not one of its share of the data\n";
        return kExitRefused;
      }
      seen[t.index] = true;
      scan::ScannedLocus& l = loci[t.index];
      l.ran = t.ran;
      l.failure = t.failure;
      l.failureStatus = t.failureStatus;
      l.simulations = t.simulations;
      l.undefined = t.undefined;
      l.lower = t.lower;
      l.higher = t.higher;
      l.wcLower = t.wcLower;
      l.wcHigher = t.wcHigher;
      l.stop = t.stop;
      l.low = t.low;
      l.median = t.median;
      l.high = t.high;
      if (const auto found = nullWc.find(t.seed); found != nullWc.end() && t.ran)
        l.simulatedWc = *found->second;
    }
  }
  for (std::size_t i = 0; i < loci.size(); ++i)
    if (scan::Tested(loci[i]) && !seen[i]) {
      err << "locus " << loci[i].name << " is in no part\n";
      return kExitRefused;
    }
  return WriteScanResults(scan::SummaryOfParts(settings, std::move(loci), null.data.name, nulls),
                          tsv, json, plot, out, err);
}

}  // namespace dw::cli
