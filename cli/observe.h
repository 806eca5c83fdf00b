#pragma once
// `driftwise observe FILE`: the observed statistics of every locus of a
// Genepop file, one TSV line per locus.
#include <iosfwd>
#include <string>

#include "data/genepop.h"

namespace CLI {
class App;
}

namespace dw::cli {

struct ObserveOptions {
  std::string file;
};

void AddObserveOptions(CLI::App& observe, ObserveOptions& options);

// Returns the exit status: 1 with the file, line and reason for a file that
// is not in the format, 2 for one that cannot be read.
int ObserveCommand(const ObserveOptions& options, std::ostream& out, std::ostream& err);

// Reads and parses a Genepop file (data/genepopfile.h); 0, or the exit
// status after the message. A signal stops it.
int LoadGenepop(const std::string& name, data::GenepopData& data, std::ostream& err);

}  // namespace dw::cli
