#pragma once
// Text held in memory split into lines, as LineReader::Ends::Any splits a
// file: CR, LF and CR LF each end a line, and a final line end opens no line
// (old Mac, Unix and Windows files read alike).
#include <cstddef>
#include <string_view>

namespace dw {

// Calls give(line) for each line of `text`, without its end, until one call
// returns a set result (an error), which it returns; else the empty result.
template <typename Give>
auto ForEachLine(std::string_view text, Give give) -> decltype(give(text)) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    if (auto stop = give(text.substr(start, i - start))) return stop;
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) return give(text.substr(start));
  return {};
}

}  // namespace dw
