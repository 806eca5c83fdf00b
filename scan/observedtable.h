#pragma once
// The observed statistics of every locus of a data set as the table
// `driftwise observe` prints and the window's Loci tab shows: the same cells.
#include <string>
#include <vector>

#include "data/loci.h"

namespace dw::scan {

// locus, [chrom, pos,] samples, alleles, n_min, n_mean, n_max, Ho, He, WC,
// RH, Delta, note; chrom and pos for data sets with positions (VCF, BCF).
const std::vector<std::string>& ObservedColumns(bool positions = false);

// A statistic (WC, RH, Delta) to 10 significant digits in fixed notation,
// never an exponent: at Fst near 1e-4 the digits that tell two loci apart
// are still there. Exactly 0 is "0"; at most 18 decimals.
std::string StatisticCell(long double value);

// One locus's cells, in the order of ObservedColumns(positions); numbers with ".".
std::vector<std::string> ObservedRow(const data::LocusData& locus, bool positions);

// One row of cells per locus, in file order.
std::vector<std::vector<std::string>> ObservedRows(const data::LociData& data);

// The table, header line first, cells separated by tabs, lines ended by LF.
std::string ObservedTable(const data::LociData& data);

}  // namespace dw::scan
