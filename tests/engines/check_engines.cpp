// The slow check that the counts engine simulates the individual engine's
// null: over a grid of P, N, A, m, T, n and the three models, 3·10^4
// simulations of each engine through the run driver (on two threads), then a
// two-sample Kolmogorov–Smirnov test of WC, RH and Delta. One line per point
// and statistic; fails when the smallest p-value times the number of tests
// (Bonferroni) is below 0.001. Not part of `make test`: `make check-engines`.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/histogram.h"
#include "engine/rundriver.h"
#include "runtime/floatmode.h"

namespace dw {
namespace {

struct Point {
  const char* model;
  int32_t P, N, A;
  const char* m;
  int32_t T, n;
};

struct GridForm : RunForm {
  Point point;
  int32_t I;
  std::string input, output;
  int32_t Populations() override { return point.P; }
  int32_t PopulationSize() override { return point.N; }
  int32_t Generations() override { return point.T; }
  int32_t Alleles() override { return point.A; }
  int32_t SampleSize() override { return point.n; }
  int32_t Simulations() override { return I; }
  std::string MigrationRateText() override { return point.m; }
  std::string ObservedDeltaText() override { return "0"; }
  bool InfiniteIslandSelected() override { return std::string(point.model) == "infinite"; }
  bool SteppingStoneSelected() override { return std::string(point.model) == "stepping"; }
  std::string InputFileName() override { return input; }
  std::string ResultFileName() override { return output; }
};

struct Quiet : MessageSink {
  std::string last;
  void ShowInfoMessage(const std::string& text) override { last = text; }
};

// P + 1 rows of A frequencies, unequal and different from row to row, each
// summing to 1 (the last value takes the remainder at the file's precision).
std::string FrequencyFile(int32_t P, int32_t A) {
  std::string text;
  char value[32];
  for (int32_t r = 1; r <= P + 1; ++r) {
    std::vector<double> w(A);
    double total = 0.0;
    for (int32_t a = 0; a < A; ++a) total += w[a] = 1.0 + ((r * 7 + a * 3) % 5);
    double written = 0.0;
    for (int32_t a = 0; a < A; ++a) {
      const double f = a + 1 < A ? std::round(w[a] / total * 1e6) / 1e6 : 1.0 - written;
      written += f;
      std::snprintf(value, sizeof value, "%.6f", std::max(f, 0.0));
      text += std::string(a ? " " : "") + value;
    }
    text += "\n";
  }
  return text;
}

struct Series {
  std::vector<double> wc, rh, delta;
  uint32_t undefined = 0;
};

Series RunEngine(const Point& point, EngineKind engine, uint32_t seed, int32_t I,
                 const std::filesystem::path& folder) {
  GridForm form;
  form.point = point;
  form.I = I;
  form.input = (folder / "freq.txt").string();
  form.output = (folder / "fst.txt").string();
  std::ofstream(form.input) << FrequencyFile(point.P, point.A);
  Quiet quiet;
  RecordedHistogram histogram;
  FixedSeed fixed(seed);
  RunServices services{quiet, histogram, fixed, NumberMarks{'.', ','}, nullptr, 2, true, engine};
  static EngineState state;
  Random rng;
  if (RunNeutralityTest(form, services, state, rng) != RunOutcome::Finished) {
    std::fprintf(stderr, "run refused: %s\n", quiet.last.c_str());
    std::exit(2);
  }
  Series s;
  s.undefined = state.UndefinedCount;
  for (std::size_t i = 1; i < state.DeltaSeries.size(); ++i) {
    s.wc.push_back(state.WCSeries[i]);
    s.delta.push_back(state.DeltaSeries[i]);
    s.rh.push_back(state.WCSeries[i] - state.DeltaSeries[i]);
  }
  return s;
}

// The two-sample statistic over the pooled values; tied values are passed
// together, so ties (the estimators take finitely many values) make the
// test conservative, never too eager.
double KolmogorovD(std::vector<double> a, std::vector<double> b) {
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  std::size_t i = 0, j = 0;
  double d = 0.0;
  while (i < a.size() && j < b.size()) {
    const double x = std::min(a[i], b[j]);
    while (i < a.size() && a[i] == x) ++i;
    while (j < b.size() && b[j] == x) ++j;
    d = std::max(d, std::fabs(static_cast<double>(i) / a.size() - static_cast<double>(j) / b.size()));
  }
  return d;
}

// The asymptotic p-value of D (Stephens' small-sample correction).
double KolmogorovP(double d, std::size_t n1, std::size_t n2) {
  const double ne = static_cast<double>(n1) * n2 / (n1 + n2), root = std::sqrt(ne);
  const double lambda = (root + 0.12 + 0.11 / root) * d;
  if (lambda < 0.2) return 1.0;
  double sum = 0.0, sign = 1.0;
  for (int k = 1; k <= 100; ++k) {
    sum += sign * std::exp(-2.0 * k * k * lambda * lambda);
    sign = -sign;
  }
  return std::clamp(2.0 * sum, 0.0, 1.0);
}

int Check() {
  EstablishFloatErrorMode();
  constexpr int32_t kSimulations = 30000;
  const std::vector<Point> shapes = {
      {"", 4, 30, 2, "0.05", 25, 12},  {"", 10, 100, 2, "0.1", 100, 30},
      {"", 6, 50, 5, "0.2", 40, 20},   {"", 5, 40, 10, "0.01", 60, 15},
      {"", 3, 20, 3, "0.5", 10, 15},   {"", 8, 25, 4, "1", 5, 10},
      {"", 2, 60, 3, "0.05", 30, 20},
  };
  std::vector<Point> grid;
  for (const char* model : {"infinite", "finite", "stepping"})
    for (Point p : shapes) {
      p.model = model;
      grid.push_back(p);
    }
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("driftwise-check-engines-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::size_t tests = grid.size() * 3;
  double smallest = 1.0;
  std::printf("%-8s %3s %4s %3s %5s %4s %3s  %-5s %9s %9s  undefined (individuals, counts)\n",
              "model", "P", "N", "A", "m", "T", "n", "stat", "D", "p");
  uint32_t seed = 1;
  for (const Point& p : grid) {
    const Series individuals = RunEngine(p, EngineKind::Individuals, seed++, kSimulations, folder);
    const Series counts = RunEngine(p, EngineKind::Counts, seed++, kSimulations, folder);
    const std::pair<const char*, const std::vector<double> Series::*> stats[] = {
        {"WC", &Series::wc}, {"RH", &Series::rh}, {"Delta", &Series::delta}};
    for (const auto& [name, member] : stats) {
      const auto& a = individuals.*member;
      const auto& b = counts.*member;
      const double d = KolmogorovD(a, b), pValue = KolmogorovP(d, a.size(), b.size());
      smallest = std::min(smallest, pValue);
      std::printf("%-8s %3d %4d %3d %5s %4d %3d  %-5s %9.5f %9.4f  %u %u\n", p.model, p.P, p.N,
                  p.A, p.m, p.T, p.n, name, d, pValue, individuals.undefined, counts.undefined);
      std::fflush(stdout);
    }
  }
  std::filesystem::remove_all(folder);
  const double corrected = std::min(1.0, smallest * static_cast<double>(tests));
  std::printf("%zu tests; smallest p %.4g, Bonferroni-corrected %.4g: %s\n", tests, smallest,
              corrected, corrected < 0.001 ? "FAILED" : "passed");
  return corrected < 0.001 ? 1 : 0;
}

}  // namespace
}  // namespace dw

int main() { return dw::Check(); }
