#pragma once
// `driftwise observe FILE`: the observed statistics of every locus of a
// Genepop file, one TSV line per locus.
#include <cstddef>
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

// The longest line a Genepop file may have (a line of 16 MiB holds the
// genotypes of some three million loci).
inline constexpr std::size_t kMaxGenepopLine = std::size_t{1} << 24;

// Reads and parses a Genepop file line by line; 0, or the exit status after
// the message.
int LoadGenepop(const std::string& name, data::GenepopData& data, std::ostream& err);

// The table `observe` prints, header line first, lines ended by LF.
std::string ObservedTable(const data::GenepopData& data);

}  // namespace dw::cli
