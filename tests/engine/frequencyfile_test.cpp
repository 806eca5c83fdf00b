#include "engine/frequencyfile.h"

#include <gtest/gtest.h>

#include "runtime/errors.h"
#include "tests/support/files.h"

namespace dw {
namespace {

struct Messages : MessageSink {
  std::vector<std::string> shown;
  void ShowInfoMessage(const std::string& text) override { shown.push_back(text); }
};

struct Reader {
  test::ScratchDir dir;
  AlleleFrequencyTable table;
  Messages messages;
  // Reads `bytes` as the file for `rows` rows of `columns` values; the message
  // shown, or "" when accepted.
  std::string Read(const std::string& bytes, uint32_t rows, uint32_t columns) {
    test::WriteBytes(dir.File("freq.txt"), bytes);
    TextFile file;
    Assign(file, dir.File("freq.txt"));
    OpenRead(file);
    CheckIO();
    messages.shown.clear();
    const bool accepted = ReadInitialFrequencies(file, rows, columns, table, messages);
    CloseFile(file);
    CheckIO();
    EXPECT_EQ(accepted, messages.shown.empty());
    EXPECT_LE(messages.shown.size(), 1u);
    return accepted ? "" : messages.shown.front();
  }
};

const std::string kRows[] = {"0.2 0.3 0.5", "0.6 0.2 0.2", "0.4 0.4 0.2"};
std::string Lines(const std::string& end, bool lastEnd = true) {
  return kRows[0] + end + kRows[1] + end + kRows[2] + (lastEnd ? end : "");
}

TEST(ReadInitialFrequencies, AcceptsTheExampleWithAnyLineEnd) {
  Reader r;
  for (const std::string& end : {std::string("\r\n"), std::string("\n"), std::string("\r")}) {
    EXPECT_EQ(r.Read(Lines(end), 3, 3), "");
    EXPECT_EQ(r.Read(Lines(end, false), 3, 3), "") << "no line end after the last row";
    EXPECT_EQ(r.Read(Lines(end) + end + " \t" + end, 3, 3), "") << "trailing blank lines";
  }
  EXPECT_EQ(r.table.At(1, 1), 0.2f);
  EXPECT_EQ(r.table.At(2, 1), 0.6f);
  EXPECT_EQ(r.table.At(3, 3), 0.2f);
}

TEST(ReadInitialFrequencies, EachRefusalShowsItsMessage) {
  const std::string pops = kPopulationCountMessage, reals = kNotRealsMessage, sum = kBadSumMessage;
  struct Case {
    std::string bytes;
    uint32_t rows, columns;
    std::string message;
  };
  const Case cases[] = {
      {Lines("\r\n") + "\r\n0", 3, 3, pops},              // any value after the last row
      {Lines("\n") + "\n \n x", 3, 3, pops},                // after blank lines too
      {kRows[0] + "\r\n" + kRows[1] + "\r\n", 3, 3, pops}, // only two rows for P = 2
      {"0,2 0.3 0.5\r\n" + kRows[1] + "\r\n" + kRows[2], 3, 3, reals},
      {"0.2 0.3 0,5\r\n" + kRows[1] + "\r\n" + kRows[2], 3, 3, reals},  // bad last value
      {"0.2;0.3;0.5\r\n" + kRows[1] + "\r\n" + kRows[2], 3, 3, reals},
      {"0.2 0.3 1e39\r\n", 3, 3, reals},                   // too large for 32 bits
      {"0.2 0.3 0.49\r\n" + kRows[1] + "\r\n" + kRows[2], 3, 3, sum},
      {"0.2 0.3\r\n" + kRows[1] + "\r\n" + kRows[2], 3, 3, sum},  // borrows from the next line
      {"1\r\n1\r\n0.5\r\n", 3, 1, sum},
      {"\xEF\xBB" "0.2 0.3 0.5\r\n" + kRows[1] + "\r\n" + kRows[2], 3, 3, reals},  // a mark cut short
  };
  Reader r;
  for (const Case& c : cases) EXPECT_EQ(r.Read(c.bytes, c.rows, c.columns), c.message) << c.bytes;
}

TEST(ReadInitialFrequencies, RowsAreReadByValueCountAndTolerance) {
  struct Case {
    std::string bytes;
    uint32_t rows, columns;
  };
  const Case accepted[] = {
      {"0.2 0.3 0.5 0.0\r\n0.6 0.2 0.2\r\n0.4 0.4 0.2", 3, 3},  // extra value skipped
      {"0.2 0.3 0.500009\r\n0.6 0.2 0.2\r\n0.4 0.4 0.2\r\n", 3, 3},
      {"0.25 0.25 0.499995\r\n0.6 0.2 0.2\r\n0.4 0.4 0.2\r\n", 3, 3},
      {"1\r\n1\r\n1\r\n", 3, 1},
      {"  0.2\t0.3  0.5  \r\n0.6 0.2 0.2\r\n0.4 0.4 0.2", 3, 3},
      {"0 1\r\n1 0\r\n-0 1\r\n", 3, 2},  // the bounds themselves
  };
  Reader r;
  for (const Case& c : accepted) EXPECT_EQ(r.Read(c.bytes, c.rows, c.columns), "") << c.bytes;
  EXPECT_EQ(r.Read("0.2 0.3 0.50002\r\n0.6 0.2 0.2\r\n0.4 0.4 0.2\r\n", 3, 3), kBadSumMessage);
}

TEST(ReadInitialFrequencies, ReadsAFileWithAByteOrderMarkAsWithout) {
  Reader r;
  for (const std::string& end : {std::string("\r\n"), std::string("\n")}) {
    ASSERT_EQ(r.Read("\xEF\xBB\xBF" + Lines(end), 3, 3), "");
    const AlleleFrequencyTable marked = r.table;
    ASSERT_EQ(r.Read(Lines(end), 3, 3), "");
    for (uint32_t row = 1; row <= 3; ++row)
      for (uint32_t c = 1; c <= 3; ++c) EXPECT_EQ(marked.At(row, c), r.table.At(row, c));
  }
}

TEST(ReadInitialFrequencies, RefusesACutRowAndValuesOutsideZeroToOneNamingTheRow) {
  struct Case {
    std::string bytes;
    std::string message;
  };
  const Case cases[] = {
      {kRows[0] + "\r\n" + kRows[1] + "\r\n0.4 0.4",
       "Input file, row 3: the file ends after 2 of the row's 3 values"},
      {kRows[0] + "\r\n0.6 0.2", "Input file, row 2: the file ends after 2 of the row's 3 values"},
      {kRows[0] + "\r\n" + kRows[1] + "\r\n\r\n",
       "Input file, row 3: the file ends after 0 of the row's 3 values"},
      {kRows[0] + "\r\n1.50 -0.70 0.20\r\n" + kRows[2],
       "Input file, row 2, value 1: 1.5 is not a frequency (it must be between 0 and 1)"},
      {kRows[0] + "\r\n0.6 0.5 -0.1\r\n" + kRows[2],
       "Input file, row 2, value 3: -0.1 is not a frequency (it must be between 0 and 1)"},
      {"0.2 0.3 0.5\r\n" + kRows[1] + "\r\n1.0000001 0 0", 
       "Input file, row 3, value 1: 1.0000001 is not a frequency (it must be between 0 and 1)"},
  };
  Reader r;
  for (const Case& c : cases) EXPECT_EQ(r.Read(c.bytes, 3, 3), c.message) << c.bytes;
}

TEST(ReadInitialFrequencies, LeavesNoErrorPending) {
  Reader r;
  EXPECT_EQ(r.Read("0,2 0.3 0.5\r\n", 3, 3), kNotRealsMessage);
  EXPECT_EQ(PendingIOResult(), 0);
  EXPECT_NO_THROW(CheckIO());
}

}  // namespace
}  // namespace dw
