// Fitting the scan's null: the statistics against hand-worked values, and the
// search against a made-up world whose loci follow the island model's
// expected Fst exactly, so the m (or T) it must find is known.
#include "scan/calibration.h"

#include <gtest/gtest.h>

#include <cmath>

namespace dw::scan {
namespace {

TEST(CalibrationStatistics, HandWorkedValues) {
  struct Trim {
    std::vector<double> values;
    double share, mean;
  };
  const Trim trims[] = {
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 0.1, 5.5},  // one value off each end
      {{10, 1, 9, 2, 8, 3, 7, 4, 6, 5}, 0.1, 5.5},  // in any order
      // 0.5 of a value off each end: (2 + 3 + 4 + 0.5·(1 + 100)) / 4.
      {{1, 2, 3, 4, 100}, 0.1, 14.875},
      // 0.7 off each end: (2 + 3 + 4 + 5 + 6 + 0.3·(1 + 70)) / 5.6.
      {{70, 1, 2, 3, 4, 5, 6}, 0.1, 7.375},
      {{3, 5}, 0.1, 4.0},
      {{7}, 0.1, 7.0},
      {{}, 0.1, 0.0},
      {{1, 2, 3, 4, 100}, 0.0, 22.0},
  };
  for (const Trim& t : trims)
    EXPECT_DOUBLE_EQ(TrimmedMean(t.values, t.share), t.mean) << t.values.size();

  EXPECT_DOUBLE_EQ(MedianAbsoluteDeviation({1, 2, 3, 4, 100}), 1.4826);
  EXPECT_DOUBLE_EQ(MedianAbsoluteDeviation({4, 1, 3, 2}), 1.4826);  // deviations 1.5 0.5 0.5 1.5
  EXPECT_DOUBLE_EQ(MedianAbsoluteDeviation({5}), 0.0);

  struct Normal {
    double u, z;
  };
  for (const Normal n : {Normal{0.5, 0.0}, {0.975, 1.959963984540054}, {0.001, -3.090232306167813},
                         {1e-10, -6.361340902404056}, {0.3, -0.5244005127080407}})
    EXPECT_NEAR(NormalQuantile(n.u), n.z, 1e-13 * std::max(1.0, std::abs(n.z))) << n.u;

  // Uniform p-values have lambda 1; p = 0.05 everywhere has 3.8415 / 0.4549.
  std::vector<double> uniform;
  for (int k = 1; k <= 99; ++k) uniform.push_back((k - 0.5) / 99);
  EXPECT_NEAR(InflationFactor(uniform), 1.0, 1e-12);
  EXPECT_NEAR(InflationFactor({0.05, 0.05, 0.05}), 3.841458820694124 / 0.454936423119572694,
              1e-9);
  EXPECT_DOUBLE_EQ(InflationFactor({1.0, 1.0, 0.2}), 0.0);

  // Data set j is simulation j of every locus that has one.
  const LocusSimulations wc = {{1, 2, 3}, {3, 6}, {5}};
  EXPECT_DOUBLE_EQ(NullTrimmedMean(wc, 0.0), (3.0 + 4.0 + 3.0) / 3);
  EXPECT_EQ(NullTrimmedMeans(wc, 0.0), (std::vector<double>{3, 4, 3}));
  // Loci drawn with repeats, as the bootstrap draws them: {1,1,3}, {2,2,6}, {3,3}.
  EXPECT_DOUBLE_EQ(NullTrimmedMean(wc, 0.0, {0, 0, 1}), (5.0 / 3 + 10.0 / 3 + 3.0) / 3);

  struct Text {
    double m;
    const char* text;
  };
  for (const Text t : {Text{0.0225312, "0.02253"}, {0.5, "0.5000"}, {1.0, "1.000"},
                       {0.000123456, "0.0001235"}, {0.0999996, "0.1000"}})
    EXPECT_EQ(MigrationText(t.m), t.text) << t.m;

  // Where T is long, the expected Fst is the equilibrium's 1/(1 + 4Nm) nearly.
  EXPECT_NEAR(EquilibriumMigration(0.1, 100, 65535), 9.0 / 400, 9.0 / 400 * 0.05);
  EXPECT_EQ(EquilibriumMigration(0.5, 100, 100), 0.0);  // beyond 1 − (1 − 1/200)^100 = 0.394
  EXPECT_EQ(EquilibriumMigration(-0.01, 100, 100), 1.0);
}

// A world of loci whose simulated WC is the island model's expected Fst plus
// an offset of their own that does not depend on the null, so the curve is
// smooth and the fitted null known. `scale` makes the world more (or less)
// structured than the first guess assumes.
struct World {
  int32_t N = 100;
  double scale = 1.0;
  std::vector<double> offsets = {-0.012, -0.006, -0.003, 0.0, 0.0, 0.003, 0.006, 0.012};
  int passes = 0;

  double Expected(const NullSetting& s) const { return scale * IslandFst(s.m, N, s.T); }
  LocusSimulations operator()(const NullSetting& s) {
    ++passes;
    LocusSimulations wc;
    for (double offset : offsets) {
      std::vector<double> locus;
      for (int j = 0; j < 20; ++j) locus.push_back(Expected(s) + offset + 0.001 * (j % 5 - 2));
      wc.push_back(locus);
    }
    return wc;
  }
  std::vector<double> Observed(const NullSetting& truth) const {
    std::vector<double> observed;
    for (double offset : offsets) observed.push_back(Expected(truth) + offset);
    return observed;
  }
};

TEST(Calibrate, FindsTheNullOfAMadeUpWorld) {
  struct Case {
    const char* what;
    double scale;
    NullSetting truth;
    CalibrationKind kind;
    int passes;  // at least: 2 to bracket, 3 bisections, more where the bracket moves
  };
  const Case cases[] = {
      {"island", 1.0, {0.02, 100}, CalibrationKind::Migration, 5},
      {"five times as structured as the guess", 5.0, {0.2, 100}, CalibrationKind::Migration, 6},
      {"a third as structured", 1.0 / 3, {0.002, 100}, CalibrationKind::Migration, 6},
      {"recent split, no migration", 1.0, {0.0, 300}, CalibrationKind::Generations, 0},
  };
  for (const Case& c : cases) {
    World world;
    world.scale = c.scale;
    CalibrationSetup setup;
    setup.N = world.N;
    setup.T = 100;
    setup.bootstrap = 200;
    auto result = Calibrate(world.Observed(c.truth), setup, std::ref(world));
    ASSERT_TRUE(std::holds_alternative<Calibration>(result)) << c.what;
    const Calibration& fit = std::get<Calibration>(result);
    EXPECT_EQ(fit.kind, c.kind) << c.what;
    EXPECT_EQ(fit.points.size(), static_cast<std::size_t>(world.passes)) << c.what;
    if (c.kind == CalibrationKind::Generations) {
      EXPECT_EQ(fit.fitted.m, 0.0);
      EXPECT_NEAR(fit.fitted.T, c.truth.T, 0.03 * c.truth.T) << c.what;
      EXPECT_LE(fit.low, fit.fitted.T);
      EXPECT_GE(fit.high, fit.fitted.T);
      continue;
    }
    EXPECT_GE(world.passes, c.passes) << c.what;
    if (c.passes == 5) {
      EXPECT_EQ(world.passes, 5) << c.what;
    }
    EXPECT_NEAR(fit.fitted.m, c.truth.m, 0.02 * c.truth.m) << c.what;
    EXPECT_EQ(fit.fitted.T, 100);
    // The loci spread over ±0.012 around a trimmed mean near 0.1: the
    // interval is narrow, and holds the fit.
    EXPECT_LT(fit.low, fit.fitted.m) << c.what;
    EXPECT_GT(fit.high, fit.fitted.m) << c.what;
    EXPECT_LT(fit.high / fit.low, 2.0) << c.what;
  }
}

TEST(Calibrate, SaysWhereNoNullFits) {
  World world;
  world.N = 5000;
  CalibrationSetup setup;
  setup.N = 5000;
  setup.T = 100;
  // Far more structure than drift alone makes in 65535 generations of 5000.
  auto result = Calibrate(std::vector<double>(8, 0.999), setup, std::ref(world));
  ASSERT_TRUE(std::holds_alternative<std::string>(result));
  const std::string& why = std::get<std::string>(result);
  EXPECT_NE(why.find("trimmed mean WC is 0.9990"), std::string::npos) << why;
  EXPECT_NE(why.find("The nearest null is m = 0 with T = 65535"), std::string::npos) << why;
  EXPECT_LE(world.passes, 3);  // refused from what T = 100 reached, not by running to 65535

  // Less structure than every gene copy migrating gives: m = 1, said so.
  World flat;
  auto open = Calibrate(std::vector<double>(8, -0.05), setup, std::ref(flat));
  ASSERT_TRUE(std::holds_alternative<Calibration>(open));
  EXPECT_EQ(std::get<Calibration>(open).kind, CalibrationKind::MigrationAtOne);
  EXPECT_EQ(std::get<Calibration>(open).fitted.m, 1.0);
}

}  // namespace
}  // namespace dw::scan
