#pragma once
// Reading a data file's text one line at a time, written once for every
// format read that way: a line too long, a read that fails and a line its
// format refuses each become the load problem the commands report.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "data/loci.h"

namespace dw::data {

// Why a line was refused: its 1-based number (the reader's own, which may
// name an earlier line) and what was expected there.
struct LineRefusal {
  uint64_t line = 0;
  std::string message;
};

// Hands each line of `name` (any line end, without it) and its number to
// `take`, lines of at most `longest` bytes; `tooLong` is the refusal of a
// longer one. Stops at the first problem: the file unreadable (its name and
// the system's text), a line refused ("NAME, line N: …"), or `stop` asked
// after a line. None when every line was taken.
std::optional<LoadProblem> ReadLinesOf(
    const std::string& name, std::size_t longest, const std::string& tooLong,
    const std::function<std::optional<LineRefusal>(std::string_view, uint64_t)>& take,
    const std::function<bool()>& stop = {});

}  // namespace dw::data
