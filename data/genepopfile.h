#pragma once
// A Genepop file read from disk: line by line with a bounded line length,
// so a file that is not one (a binary file, /dev/zero) is refused at its
// first wrong line without being read whole. The window and the command
// line load data through this one reader and show the same messages.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "data/genepop.h"
#include "data/loci.h"

namespace dw::data {

// The longest line a Genepop file may have (a line of 16 MiB holds the
// genotypes of some three million loci).
inline constexpr std::size_t kMaxGenepopLine = std::size_t{1} << 24;

using GenepopLoadProblem = LoadProblem;

// Reads and parses the file into `data` (incomplete after a problem);
// `stop`, when given, is asked after each line.
std::optional<GenepopLoadProblem> LoadGenepopFile(const std::string& name, GenepopData& data,
                                                  const std::function<bool()>& stop = {});

// The same for a gzip-compressed file (plain gzip or BGZF), decompressed
// as it is read.
std::optional<GenepopLoadProblem> LoadGzipGenepopFile(const std::string& name, GenepopData& data,
                                                      const std::function<bool()>& stop = {});

}  // namespace dw::data
