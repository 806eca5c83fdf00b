#pragma once
// The observed statistics of every locus of a data set as the table
// `driftwise observe` prints and the window's Loci tab shows: the same cells.
#include <string>
#include <vector>

#include "data/genepop.h"

namespace dw::scan {

// locus, samples, alleles, n_min, n_mean, n_max, Ho, He, WC, RH, Delta, note.
const std::vector<std::string>& ObservedColumns();

// One row of cells per locus, in file order; numbers with ".".
std::vector<std::vector<std::string>> ObservedRows(const data::GenepopData& data);

// The table, header line first, cells separated by tabs, lines ended by LF.
std::string ObservedTable(const data::GenepopData& data);

}  // namespace dw::scan
