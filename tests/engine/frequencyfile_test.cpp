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
      {Lines("\r\n") + "\r\n", 3, 3, pops},                 // empty line after the last row
      {Lines("\n") + "\n", 3, 3, pops},
      {Lines("\r\n") + " ", 3, 3, pops},                   // any character after it
      {kRows[0] + "\r\n" + kRows[1] + "\r\n", 3, 3, pops}, // only two rows for P = 2
      {"0,2 0.3 0.5\r\n" + kRows[1] + "\r\n" + kRows[2], 3, 3, reals},
      {"0.2 0.3 0,5\r\n" + kRows[1] + "\r\n" + kRows[2], 3, 3, reals},  // bad last value
      {"0.2;0.3;0.5\r\n" + kRows[1] + "\r\n" + kRows[2], 3, 3, reals},
      {"0.2 0.3 1e39\r\n", 3, 3, reals},                   // too large for 32 bits
      {"0.2 0.3 0.49\r\n" + kRows[1] + "\r\n" + kRows[2], 3, 3, sum},
      {"0.2 0.3\r\n" + kRows[1] + "\r\n" + kRows[2], 3, 3, sum},  // borrows from the next line
      {"0.2 0.3 0.5\r\n0.6 0.2", 3, 3, sum},              // ends inside a row
      {"1\r\n1\r\n0.5\r\n", 3, 1, sum},
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
      {"-0.5 1.5\r\n0.5 0.5\r\n0.5 0.5\r\n", 3, 2},  // negative values pass when the row sums to 1
      {"  0.2\t0.3  0.5  \r\n0.6 0.2 0.2\r\n0.4 0.4 0.2", 3, 3},
  };
  Reader r;
  for (const Case& c : accepted) EXPECT_EQ(r.Read(c.bytes, c.rows, c.columns), "") << c.bytes;
  EXPECT_EQ(r.Read("0.2 0.3 0.50002\r\n0.6 0.2 0.2\r\n0.4 0.4 0.2\r\n", 3, 3), kBadSumMessage);
}

TEST(ReadInitialFrequencies, LeavesNoErrorPending) {
  Reader r;
  EXPECT_EQ(r.Read("0,2 0.3 0.5\r\n", 3, 3), kNotRealsMessage);
  EXPECT_EQ(PendingIOResult(), 0);
  EXPECT_NO_THROW(CheckIO());
}

}  // namespace
}  // namespace dw
