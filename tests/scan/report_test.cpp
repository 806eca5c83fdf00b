// The scan's report in parts: the null's lines keep the order standard error
// shows them in, and the window's cautions are those lines; the command
// line the window shows for its settings.
#include "scan/report.h"

#include <gtest/gtest.h>

#include "scan/scan.h"

namespace dw::scan {
namespace {

// A scan whose given m does not fit: the data's trimmed mean WC beyond the
// null's 95 %, and WC twice as spread across loci as under the null.
ScanSummary GivenNullThatDisagrees() {
  ScanSummary s;
  s.null.model = "infinite";
  s.null.N = 100;
  s.null.T = 100;
  s.null.m = "0.1";
  s.null.mValue = 0.1;
  s.checked = 12;
  s.dataWc = 0.05;
  s.nullWc = 0.01;
  s.nullWcLow = 0.005;
  s.nullWcHigh = 0.02;
  s.lambda = 1.5;
  s.lambdaWc = 2.25;
  s.dataSpread = 0.02;
  s.nullSpread = 0.01;
  return s;
}

TEST(NullReport, PartsKeepTheLinesOfStandardError) {
  const ScanSummary s = GivenNullThatDisagrees();
  const NullReportParts parts = NullReportOf(s);
  EXPECT_EQ(parts.Text(),
            "warning: the null does not fit the loci: m = 0.1 given\n"
            "  10 % trimmed mean WC over the 12 tested loci: data 0.0500, null 0.0100 (95 % of "
            "its simulated data sets 0.0050 to 0.0200)\n"
            "  genomic inflation lambda of the p-values: 1.50 (Delta), 2.25 (WC)\n"
            "  spread of WC across loci (median absolute deviation), data / null: 0.0200 / "
            "0.0100 = 2.00\n"
            "  without -m the scan fits m to the loci (--calibrate m)\n");
  EXPECT_EQ(NullReport(s), parts.Text());
  EXPECT_TRUE(parts.fitted.empty());
  // The spread's warning is left out when the null itself does not fit.
  ASSERT_EQ(parts.Cautions().size(), 1u);
  EXPECT_EQ(parts.Cautions()[0], "warning: the null does not fit the loci: m = 0.1 given");

  // Fitted at m = 1 to three loci, observed start: a note before the fit,
  // warnings after its lines.
  ScanSummary fitted = s;
  Calibration c;
  c.kind = CalibrationKind::MigrationAtOne;
  c.target = 0.0012;
  c.points.resize(2);
  fitted.null.fit = c;
  fitted.null.m = "1";
  fitted.null.mValue = 1;
  fitted.null.perPass = 100;
  fitted.null.T = 2;
  fitted.null.observedStart = true;
  fitted.checked = 3;
  fitted.pvalues.fitLoci = 3;
  const NullReportParts f = NullReportOf(fitted);
  const std::string text = f.Text();
  EXPECT_EQ(text.rfind("note: the loci are less differentiated than even m = 1 makes the null "
                       "(trimmed mean WC 0.0012); the null runs at m = 1\n"
                       "Null fitted to the loci: m = 1, N·m = 100.0, N = 100, T = 2, infinite island\n",
                       0),
            0u)
      << text;
  EXPECT_EQ(f.fitted, "Null fitted to the loci: m = 1, N·m = 100.0, N = 100, T = 2, infinite island");
  EXPECT_NE(text.find("  fitted in 2 passes of 100 simulations per locus; a locus reruns with\n    "
                      "driftwise run "),
            std::string::npos)
      << text;
  const std::vector<std::string> cautions = f.Cautions();
  ASSERT_EQ(cautions.size(), 3u);
  EXPECT_EQ(cautions[0].rfind("note: the loci are less", 0), 0u);
  EXPECT_EQ(cautions[1].rfind("warning: WC varies 2.0 times", 0), 0u);
  EXPECT_EQ(cautions[2].rfind("warning: the null is fitted to only 3 loci", 0), 0u);
  // Each caution is a line of the text, after the fit's lines.
  for (const std::string& line : cautions) EXPECT_NE(text.find(line + "\n"), std::string::npos);
  EXPECT_GT(text.find(cautions[1]), text.find("  fitted in 2 passes"));
}

TEST(ScanCommandLine, TheOptionsThatDifferFromTheDefaults) {
  struct Case {
    void (*set)(ScanSettings&);
    const char* tail;  // after "-N 100 -T 100 --model infinite --start pooled --seed 7"
  };
  const Case cases[] = {
      {[](ScanSettings&) {}, ""},
      {[](ScanSettings& s) { s.engine = ScanEngine::Individuals, s.sequential = false; },
       " --engine individuals -I 1000"},
      {[](ScanSettings& s) { s.sequential = false, s.I = 200; }, " -I 200"},
      {[](ScanSettings& s) { s.tailHits = 20, s.ceiling = 5000, s.userCeiling = true; },
       " --tail-hits 20 --max-simulations 5000"},
      {[](ScanSettings& s) { s.calibrate = false, s.m = "0.05", s.n = 12; }, " -n 12 -m 0.05"},
      {[](ScanSettings& s) { s.fdr = 0.05; }, " --fdr 0.05"},
  };
  for (const Case& c : cases) {
    ScanSettings s;
    s.seed = 7;
    c.set(s);
    EXPECT_EQ(ScanCommandLine(s, "/data/five.gen", ""),
              std::string("driftwise scan '/data/five.gen' -N 100 -T 100 --model infinite "
                          "--start pooled --seed 7") +
                  c.tail);
  }
  // A name with a quote, a population map, the other model and start.
  ScanSettings s;
  s.N = 50, s.T = 20, s.model = "stepping", s.observedStart = true, s.seed = 4294967295u;
  EXPECT_EQ(ScanCommandLine(s, "/data/it's.vcf", "/data/map.tsv"),
            "driftwise scan '/data/it'\\''s.vcf' --popmap '/data/map.tsv' -N 50 -T 20 --model "
            "stepping --start observed --seed 4294967295");
}

}  // namespace
}  // namespace dw::scan
