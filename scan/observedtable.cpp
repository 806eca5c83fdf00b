#include "scan/observedtable.h"

#include <algorithm>
#include <cmath>

#include "data/observed.h"
#include "runtime/numtext.h"
#include "scan/report.h"

namespace dw::scan {

namespace {

bool Estimated(data::LocusStatus status) {
  return status == data::LocusStatus::Polymorphic || status == data::LocusStatus::Biallelic;
}

// Ho and He mean nothing where nothing was counted; a haploid individual
// has no heterozygosity to observe (He is then its gene diversity).
bool HeterozygositiesShown(data::LocusStatus status) {
  return status != data::LocusStatus::NoGenotype && status != data::LocusStatus::MixedPloidy &&
         status != data::LocusStatus::Polyploid;
}

}  // namespace

const std::vector<std::string>& ObservedColumns(bool positions) {
  static const std::vector<std::string> plain = {
      "locus", "samples", "alleles", "n_min", "n_mean", "n_max",
      "Ho",    "He",      "WC",      "RH",    "Delta",  "note"};
  static const std::vector<std::string> placed = {
      "locus", "chrom", "pos", "samples", "alleles", "n_min", "n_mean",
      "n_max", "Ho",    "He",  "WC",      "RH",      "Delta", "note"};
  return positions ? placed : plain;
}

std::string StatisticCell(long double value) {
  if (value == 0.0L) return "0";
  // Ten significant digits: nine decimals below the leading digit's place.
  const int leading = static_cast<int>(std::floor(std::log10(std::fabs(value))));
  return FixedPoint(value, std::clamp(9 - leading, 0, 18));
}

std::vector<std::string> ObservedRow(const data::LocusData& locus, bool positions) {
  const data::LocusSummary s = data::SummariseLocus(locus.counts);
  const data::LocusEstimate e = data::EstimateLocus(locus.counts);
  const bool shown = HeterozygositiesShown(e.status);
  const bool haploid = e.status == data::LocusStatus::Haploid;
  std::vector<std::string> row{locus.name};
  if (positions) row.insert(row.end(), {locus.chrom, std::to_string(locus.pos)});
  row.insert(row.end(), {std::to_string(s.samples), std::to_string(s.alleles),
                         std::to_string(s.minTyped), FixedPoint(s.meanTyped, 2),
                         std::to_string(s.maxTyped),
                         shown && !haploid ? FixedPoint(s.observedHeterozygosity, 4) : "NA",
                         shown ? FixedPoint(s.expectedHeterozygosity, 4) : "NA"});
  if (Estimated(e.status))
    row.insert(row.end(), {StatisticCell(e.wc), StatisticCell(e.rh), StatisticCell(e.delta)});
  else
    row.insert(row.end(), {"NA", "NA", "NA"});
  row.push_back(data::StatusText(e.status));
  return row;
}

std::vector<std::vector<std::string>> ObservedRows(const data::LociData& data) {
  std::vector<std::vector<std::string>> rows;
  rows.reserve(data.loci.size());
  for (const data::LocusData& locus : data.loci)
    rows.push_back(ObservedRow(locus, data.hasPositions));
  return rows;
}

std::string ObservedTable(const data::LociData& data) {
  return TabSeparated(ObservedColumns(data.hasPositions), ObservedRows(data));
}

}  // namespace dw::scan
