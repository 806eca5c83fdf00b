#include "scan/observedtable.h"

#include "data/observed.h"
#include "runtime/numtext.h"
#include "scan/report.h"

namespace dw::scan {

namespace {

std::string Fixed(long double value, int decimals) {
  return FormatFixed(value, 18, decimals, NumberMarks{'.', ','});
}

}  // namespace

const std::vector<std::string>& ObservedColumns() {
  static const std::vector<std::string> columns = {
      "locus", "samples", "alleles", "n_min", "n_mean", "n_max",
      "Ho",    "He",      "WC",      "RH",    "Delta",  "note"};
  return columns;
}

std::vector<std::vector<std::string>> ObservedRows(const data::GenepopData& data) {
  std::vector<std::vector<std::string>> rows;
  for (std::size_t locus = 0; locus < data.loci.size(); ++locus) {
    const data::LocusCounts counts = data::CountLocus(data, locus);
    const data::LocusSummary s = data::SummariseLocus(counts);
    const data::LocusEstimate e = data::EstimateLocus(counts);
    // A haploid individual has no heterozygosity to observe; He is its gene diversity.
    const bool haploid = e.status == data::LocusStatus::Haploid;
    std::vector<std::string> row{data.loci[locus],
                                 std::to_string(s.samples),
                                 std::to_string(s.alleles),
                                 std::to_string(s.minTyped),
                                 Fixed(s.meanTyped, 2),
                                 std::to_string(s.maxTyped),
                                 haploid ? std::string("NA") : Fixed(s.observedHeterozygosity, 4),
                                 Fixed(s.expectedHeterozygosity, 4)};
    if (e.status == data::LocusStatus::Polymorphic || e.status == data::LocusStatus::Biallelic)
      row.insert(row.end(), {Fixed(e.wc, 7), Fixed(e.rh, 7), Fixed(e.delta, 7)});
    else
      row.insert(row.end(), {"NA", "NA", "NA"});
    row.push_back(data::StatusText(e.status));
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string ObservedTable(const data::GenepopData& data) {
  return TabSeparated(ObservedColumns(), ObservedRows(data));
}

}  // namespace dw::scan
