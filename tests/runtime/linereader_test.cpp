// Lines as the readers of result files and Genepop files get them: each kind
// of line end, a CR LF split between two blocks, a last line without its
// end, and the bound that stops junk.
#include "runtime/linereader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/osfiles.h"
#include "tests/engine/faultyfiles.h"

namespace dw {
namespace {

// "text|ended" per line, then "TooLong" or "Failed" when reading stopped so.
std::vector<std::string> LinesOf(const std::string& bytes, LineReader::Ends ends,
                                 std::size_t maxLine, test::FaultyFiles files = {}) {
  files.disk["in"] = bytes;
  SetOsFiles(&files);
  std::vector<std::string> lines;
  {
    LineReader reader(ends, maxLine);
    EXPECT_EQ(reader.Open("in"), 0);
    std::string line;
    bool ended = false;
    for (;;) {
      const LineReader::Result r = reader.Next(line, ended);
      if (r == LineReader::Result::End) break;
      if (r == LineReader::Result::TooLong || r == LineReader::Result::Failed) {
        lines.push_back((r == LineReader::Result::TooLong ? "TooLong " : "Failed ") +
                        std::to_string(reader.LineNumber()));
        break;
      }
      lines.push_back(line + (ended ? "|" : ""));
    }
  }
  SetOsFiles(nullptr);
  EXPECT_EQ(files.OpenHandles(), 0);
  return lines;
}

using V = std::vector<std::string>;

TEST(LineReader, SplitsAtEachKindOfLineEnd) {
  const auto any = LineReader::Ends::Any, lf = LineReader::Ends::LineFeed;
  // A CR LF across the 64 KiB block boundary is one line end.
  const std::string wide(65535, 'w');
  struct Case {
    std::string bytes;
    LineReader::Ends ends;
    V lines;
  };
  const Case cases[] = {
      {"", any, {}},
      {"a\nb", any, {"a|", "b"}},
      {"a\r\nb\rc\n\n", any, {"a|", "b|", "c|", "|"}},
      {"a\r\nb\rc\n", lf, {"a|", "b\rc|"}},
      {"a\r\r\n", lf, {"a\r|"}},
      {wide + "\r\nnext", any, {wide + "|", "next"}},
      {wide + "\r\nnext", lf, {wide + "|", "next"}},
  };
  for (const Case& c : cases) EXPECT_EQ(LinesOf(c.bytes, c.ends, 1 << 20), c.lines) << c.bytes.size();
}

TEST(LineReader, StopsAtALineLongerThanItsBound) {
  EXPECT_EQ(LinesOf("1234\n12345\nnever read", LineReader::Ends::Any, 4), (V{"1234|", "TooLong 2"}));
  // The CR of a CR LF is not counted against the bound.
  EXPECT_EQ(LinesOf("1234\r\n", LineReader::Ends::LineFeed, 4), (V{"1234|"}));
  // Junk without any line end: refused after the bound, not read whole.
  test::FaultyFiles files;
  EXPECT_EQ(LinesOf(std::string(1 << 18, '\0'), LineReader::Ends::Any, 1000), (V{"TooLong 1"}));
  // A failed read names its line.
  files.faults.push_back({test::FaultyFiles::kRead, 2, 1117});
  EXPECT_EQ(LinesOf("a\n" + std::string(70000, 'b'), LineReader::Ends::Any, 1 << 20, files),
            (V{"a|", "Failed 2"}));
}

}  // namespace
}  // namespace dw
