#pragma once
// `driftwise observe FILE [--popmap MAP]`: the observed statistics of every
// locus of a data file (Genepop, VCF or BCF), one TSV line per locus.
#include <iosfwd>
#include <string>

#include "data/loci.h"

namespace CLI {
class App;
}

namespace dw::cli {

struct ObserveOptions {
  std::string file;
  std::string popmap;  // empty: none (a VCF or BCF file is then refused)
};

void AddObserveOptions(CLI::App& observe, ObserveOptions& options);

// Returns the exit status: 1 with the file, line and reason for a file that
// is not in its format, 2 for one that cannot be read. The loci before a
// refused VCF record have been printed.
int ObserveCommand(const ObserveOptions& options, std::ostream& out, std::ostream& err);

// Reads a data file whole (data/datafile.h) and says on `err` how many of
// its samples the map left out; 0, or the exit status after the message. A
// signal stops it.
int LoadData(const std::string& name, const std::string& popmap, data::LociData& data,
             std::ostream& err);

}  // namespace dw::cli
