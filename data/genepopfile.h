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

namespace dw::data {

// The longest line a Genepop file may have (a line of 16 MiB holds the
// genotypes of some three million loci).
inline constexpr std::size_t kMaxGenepopLine = std::size_t{1} << 24;

struct GenepopLoadProblem {
  enum class Kind {
    Refused,     // not in the format: "NAME, line L: what was expected"
    Unreadable,  // a file error, as the command line prints it (file, code, system's text)
    Stopped,     // `stop` said so
  };
  Kind kind = Kind::Refused;
  std::string message;  // empty when stopped
};

// Reads and parses the file into `data` (incomplete after a problem);
// `stop`, when given, is asked after each line.
std::optional<GenepopLoadProblem> LoadGenepopFile(const std::string& name, GenepopData& data,
                                                  const std::function<bool()>& stop = {});

}  // namespace dw::data
