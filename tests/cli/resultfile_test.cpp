#include "cli/resultfile.h"

#include <gtest/gtest.h>

#include <cmath>

#include "runtime/textfile.h"

namespace dw::cli {
namespace {

const std::string kHeader =
    "Output file : values of Fst : Weir&Cockerham, Robertson&Hill, and Delta=WC-RH\r\n"
    "Stepping-stone\r\n"
    "10 islands of effective size 100, 50 individuals sampled per island.\r\n"
    "Migration rate 0.1000, number of generations : 100\r\n"
    "Number of alleles 5\r\n";

const std::string kLine1 = "WC=  0.0456789 RH=  0.0412345 Delta=WC-RH=  0.0044444";
const std::string kLine2 = "WC=  0.0381234 RH=  0.0399876 Delta=WC-RH= -0.0018642";

TEST(ParseValueLine, ReadsTheRunsFixedFieldsOnly) {
  struct Case {
    std::string line;
    bool ok;
    double delta;
  };
  const Case cases[] = {
      {kLine1, true, 0.0044444},
      {kLine2, true, -0.0018642},
      {"WC=  1.0000000 RH=  1.0000000 Delta=WC-RH= -0.0000000", true, -0.0},
      {"WC=-12.5000000 RH=  0.0000000 Delta=WC-RH=-12.5000000", true, -12.5},
      // a text longer than the width is kept whole, without padding
      {"WC=-123.5000000 RH=  0.0000000 Delta=WC-RH=-123.5000000", true, -123.5},
      {"WC=  0.0456789 RH=  0.0412345 Delta=WC-RH=  0.004444", false, 0},    // six decimals
      {"WC=  0.0456789 RH=  0.0412345 Delta=WC-RH=  0.00444441", false, 0},  // eight
      {"WC=  0.0456789 RH=  0.0412345 Delta=WC-RH= 0.0044444", false, 0},    // width 10
      {"WC=  0.0456789 RH=  0.0412345 Delta=WC-RH=   0.0044444", false, 0},  // width 12
      {"WC=  0.0456789 RH=  0.0412345 Delta=WC-RH=  0,0044444", false, 0},   // comma
      {"WC=  0.0456789 RH=  0.0412345 Delta=WC-RH=  0.0044444 ", false, 0},  // trailing blank
      {"WC=  0.0456789 RH=  0.0412345", false, 0},                           // cut short
      {"WC=  0.0456789 RH=  0.0412345 Delta=WC-RH=", false, 0},
      {"WC=  0.0456789  RH=  0.0412345 Delta=WC-RH=  0.0044444", false, 0},
      {"", false, 0},
  };
  for (const Case& c : cases) {
    double wc = 7, rh = 7, delta = 7;
    EXPECT_EQ(ParseValueLine(c.line, wc, rh, delta), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ(delta, c.delta) << c.line;
      EXPECT_EQ(std::signbit(delta), std::signbit(c.delta)) << c.line;
    }
  }
}

TEST(ParseValueLine, ReadsBackWhatTheRunWrites) {
  for (double v : {0.0044444449, -0.00000004, 0.12345675, -0.99999996, 3.0, -0.0}) {
    const std::string field = RealText(v, 11, 7);
    const std::string line = "WC=" + field + " RH=" + field + " Delta=WC-RH=" + field;
    double wc, rh, delta;
    ASSERT_TRUE(ParseValueLine(line, wc, rh, delta)) << line;
    EXPECT_NEAR(delta, v, 0.5e-7 + 1e-16) << line;
    EXPECT_EQ(RealText(delta, 11, 7), field) << line;
  }
}

TEST(ParseResultText, HeaderFieldsAndValuesInOrder) {
  for (const std::string& end : {std::string("\r\n"), std::string("\n")}) {
    std::string text = kHeader + "\r\n" + kLine1 + end + kLine2;
    if (end == "\n")
      for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    ResultHeader header;
    std::vector<double> deltas{9.0};  // appended to, not replaced
    ASSERT_EQ(ParseResultText(text, header, deltas), std::nullopt);
    EXPECT_EQ(header.model, "Stepping-stone");
    EXPECT_EQ(header.P, 10u);
    EXPECT_EQ(header.N, 100u);
    EXPECT_EQ(header.n, 50u);
    EXPECT_EQ(header.T, 100u);
    EXPECT_EQ(header.A, 5u);
    EXPECT_EQ(header.migrationText, "0.1000");
    EXPECT_EQ(header.m, 0.1);
    EXPECT_EQ(deltas, (std::vector<double>{9.0, 0.0044444, -0.0018642}));
  }
}

TEST(ParseResultText, ProblemsNameTheirLine) {
  struct Case {
    std::string text;
    std::size_t line;
    std::string start;  // of the problem's text
    std::size_t values;  // read before it
  };
  const std::string h = kHeader;
  std::string badModel = kHeader;
  badModel.replace(badModel.find("Stepping-stone"), 14, "Stepping stone");
  std::string bigA = kHeader;
  bigA.replace(bigA.find("alleles 5"), 9, "alleles 256");
  std::string badRate = kHeader;
  badRate.replace(badRate.find("0.1000"), 6, "0.100");
  const Case cases[] = {
      {"", 1, "not a result file", 0},
      {"Output file\r\n", 1, "not a result file", 0},
      {badModel, 2, "the model line", 0},
      {bigA, 5, "the line should read \"Number of alleles A\"", 0},
      {badRate, 4, "the line should read \"Migration rate m", 0},
      {h.substr(0, h.size() - 2), 5, "the file ends within the five header lines", 0},
      {h, 6, "no simulation values", 0},    // a refused run leaves the header alone
      // A run that did not finish ends with a line end: in its first simulation, or later.
      {h + "\r\n", 7, "the file ends with a line end after its last whole line", 0},
      {h + "x\r\n" + kLine1, 6, "an empty line should follow the header", 0},
      {h + "\r\n" + kLine1 + "\r\nWC=  0.0381234 RH=", 8, "not a value line", 1},
      {h + "\r\n" + kLine1 + "\r\n" + kLine2 + "\r\n", 9,
       "the file ends with a line end after its last whole line", 2},
      {h + "\r\n" + kLine1 + "\r\n\r\n" + kLine2, 8, "not a value line", 1},
  };
  for (const Case& c : cases) {
    ResultHeader header;
    std::vector<double> deltas;
    const auto problem = ParseResultText(c.text, header, deltas);
    ASSERT_TRUE(problem.has_value()) << c.text;
    EXPECT_EQ(problem->line, c.line) << c.text;
    EXPECT_EQ(problem->what.rfind(c.start, 0), 0u) << problem->what;
    EXPECT_EQ(deltas.size(), c.values) << c.text;
  }
  // Only a last line without its line end is what a killed run leaves; the
  // message says so.
  ResultHeader header;
  std::vector<double> deltas;
  EXPECT_EQ(ParseResultText(h + "\r\nWC=  0.01", header, deltas)->what,
            "not a value line (WC=, RH= and Delta=WC-RH= with seven decimals each): "
            "\"WC=  0.01\"; a run that was killed leaves such a last line");
}

TEST(HeaderDifference, NamesTheFirstFieldThatDiffers) {
  ResultHeader a{"Infinite island model", 10, 100, 50, 100, 5, "0.1000", 0.1};
  struct Case {
    void (*change)(ResultHeader&);
    std::string text;
  };
  const Case cases[] = {
      {[](ResultHeader& h) { h.model = "Stepping-stone"; },
       "model = \"Stepping-stone\" in b.txt, model = \"Infinite island model\" in a.txt"},
      {[](ResultHeader& h) { h.P = 3; }, "P = 3 in b.txt, P = 10 in a.txt"},
      {[](ResultHeader& h) { h.N = 99; }, "N = 99 in b.txt, N = 100 in a.txt"},
      {[](ResultHeader& h) { h.n = 49; }, "n = 49 in b.txt, n = 50 in a.txt"},
      {[](ResultHeader& h) { h.migrationText = "0.1001"; },
       "m = 0.1001 in b.txt, m = 0.1000 in a.txt"},
      {[](ResultHeader& h) { h.T = 1; }, "T = 1 in b.txt, T = 100 in a.txt"},
      {[](ResultHeader& h) { h.A = 4; }, "A = 4 in b.txt, A = 5 in a.txt"},
      {[](ResultHeader& h) { h.A = 4, h.P = 2; }, "P = 2 in b.txt, P = 10 in a.txt"},
  };
  EXPECT_EQ(HeaderDifference(a, "a.txt", a, "b.txt"), std::nullopt);
  for (const Case& c : cases) {
    ResultHeader b = a;
    c.change(b);
    EXPECT_EQ(HeaderDifference(a, "a.txt", b, "b.txt"), c.text);
  }
}

}  // namespace
}  // namespace dw::cli
