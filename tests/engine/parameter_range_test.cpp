// Runs at the extremes of every count the command line and the window let
// through: each either finishes or ends in the float error its estimators
// must raise, with whole lines on disk. Kept small in T and I so the whole
// table also runs under the sanitizers.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/rundriver.h"
#include "runtime/errors.h"
#include "runtime/osfiles.h"
#include "tests/engine/faultyfiles.h"

namespace dw {
namespace {

struct Counts {
  int32_t P, N, A, T, n, I;
  const char* m;
  const char* model;  // "infinite", "finite" or "stepping"
};

struct Form : RunForm {
  Counts c;
  explicit Form(const Counts& counts) : c(counts) {}
  int32_t Populations() override { return c.P; }
  int32_t PopulationSize() override { return c.N; }
  int32_t Generations() override { return c.T; }
  int32_t Alleles() override { return c.A; }
  int32_t SampleSize() override { return c.n; }
  int32_t Simulations() override { return c.I; }
  std::string MigrationRateText() override { return c.m; }
  std::string ObservedDeltaText() override { return "0"; }
  bool InfiniteIslandSelected() override { return std::string(c.model) == "infinite"; }
  bool SteppingStoneSelected() override { return std::string(c.model) == "stepping"; }
  std::string InputFileName() override { return "in"; }
  std::string ResultFileName() override { return "out"; }
};

struct Messages : MessageSink {
  std::vector<std::string> shown;
  void ShowInfoMessage(const std::string& text) override { shown.push_back(text); }
};

// rows lines of A frequencies, multiples of 2^-12 so that every row sums to
// exactly 1 and every allele is present.
std::string FrequencyFile(uint32_t rows, uint32_t A) {
  constexpr int kUnits = 4096;
  const int each = kUnits / static_cast<int>(A);
  std::string row;
  char text[32];
  for (uint32_t a = 1; a <= A; ++a) {
    const int units = a < A ? each : kUnits - each * static_cast<int>(A - 1);
    std::snprintf(text, sizeof text, "%s%.12f", a > 1 ? " " : "", units / double(kUnits));
    row += text;
  }
  row += "\r\n";
  std::string file;
  file.reserve(row.size() * rows);
  for (uint32_t r = 0; r < rows; ++r) file += row;
  return file;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) return lines;
    start = end + 2;
  }
}

TEST(ParameterRange, ExtremesFinishOrEndInTheirFloatError) {
  const std::vector<Counts> cases = {
      // The window's largest populations, most alleles, one generation and simulation.
      {100, 5000, 50, 1, 5000, 1, "0.1", "infinite"},
      {100, 5000, 50, 1, 5000, 1, "0.1", "finite"},
      {100, 5000, 50, 1, 5000, 1, "0.1", "stepping"},
      {100, 5000, 50, 1, 5, 1, "1", "finite"},
      // The window's smallest: P = 2, N = n = 5, with m at both bounds.
      {2, 5, 5, 3, 5, 4, "0", "infinite"},
      {2, 5, 5, 3, 5, 4, "1", "infinite"},
      {2, 5, 5, 3, 5, 4, "0", "finite"},
      {2, 5, 5, 3, 5, 4, "1", "finite"},
      {2, 5, 5, 3, 5, 4, "0", "stepping"},
      {2, 5, 5, 3, 5, 4, "1", "stepping"},
      // Many simulations and many generations of tiny populations.
      {2, 5, 10, 1, 5, 10000, "1", "infinite"},
      {2, 5, 10, 65535, 5, 1, "1", "infinite"},
      // Beyond the window, as the command line admits: every count at the
      // top of its field, one at a time.
      {2, 20, 255, 2, 20, 3, "0.2", "finite"},
      {65535, 2, 2, 1, 2, 1, "0.5", "infinite"},
      {65535, 2, 2, 1, 2, 1, "0.5", "stepping"},
      {2, 65535, 4, 1, 65535, 1, "0.1", "finite"},
      {3, 40, 4, 2, 2, 65535, "1", "infinite"},
  };
  for (const Counts& c : cases) {
    const std::string name = std::to_string(c.P) + "x" + std::to_string(c.N) + " A=" +
                             std::to_string(c.A) + " T=" + std::to_string(c.T) + " n=" +
                             std::to_string(c.n) + " I=" + std::to_string(c.I) + " m=" + c.m +
                             " " + c.model;
    SCOPED_TRACE(name);
    test::FaultyFiles files;
    files.disk["in"] = FrequencyFile(static_cast<uint32_t>(c.P) + 1, static_cast<uint32_t>(c.A));
    SetOsFiles(&files);
    Form form(c);
    Messages messages;
    RecordedHistogram histogram;
    FixedSeed seed{12345};
    RunServices services{messages, histogram, seed, NumberMarks{}, nullptr};
    static EngineState state;  // one for the process, as the program has
    Random rng;
    bool finished = false;
    try {
      finished = RunNeutralityTest(form, services, state, rng) == RunOutcome::Finished;
      EXPECT_TRUE(finished) << (messages.shown.empty() ? "" : messages.shown[0]);
    } catch (const EMathError&) {
      // A sample with one allele left: the estimators are undefined.
    }
    SetOsFiles(nullptr);
    EXPECT_EQ(files.OpenHandles(), 0);
    std::vector<std::string> lines = Lines(files.disk["out"]);
    if (!finished) {
      // An unfinished run's file ends with a line end after its whole lines.
      ASSERT_EQ(lines.back(), "");
      lines.pop_back();
    }
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[2], std::to_string(c.P) + " islands of effective size " +
                            std::to_string(c.N) + ", " + std::to_string(c.n) +
                            " individuals sampled per island.");
    const std::size_t simulations = lines.size() > 6 ? lines.size() - 6 : 0;
    if (finished) {
      EXPECT_EQ(simulations, static_cast<std::size_t>(c.I));
      EXPECT_EQ(state.DeltaSeries.size(), static_cast<std::size_t>(c.I) + 1);
      EXPECT_EQ(histogram.points.size(), 10u);
    } else {
      EXPECT_LT(simulations, static_cast<std::size_t>(c.I));
    }
    for (std::size_t i = 6; i < lines.size(); ++i)
      ASSERT_EQ(lines[i].rfind("WC=", 0), 0u) << lines[i];
  }
}

}  // namespace
}  // namespace dw
