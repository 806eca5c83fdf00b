#pragma once
// The form and the message sink the run driver's tests run with: every field
// a plain member, the window's defaults, each test setting what it needs.
#include <string>
#include <vector>

#include "engine/rundriver.h"

namespace dw::test {

struct TestForm : RunForm {
  int32_t P = 10, N = 100, T = 100, A = 5, n = 50, I = 1000;
  std::string m = "0.1", delta = "0.005";
  std::string model = "infinite";  // "infinite", "finite" or "stepping"
  std::string input = "in", result = "out";
  int steppingReads = 0;  // how often the run asked for the stepping-stone choice

  int32_t Populations() override { return P; }
  int32_t PopulationSize() override { return N; }
  int32_t Generations() override { return T; }
  int32_t Alleles() override { return A; }
  int32_t SampleSize() override { return n; }
  int32_t Simulations() override { return I; }
  std::string MigrationRateText() override { return m; }
  std::string ObservedDeltaText() override { return delta; }
  bool InfiniteIslandSelected() override { return model == "infinite"; }
  bool SteppingStoneSelected() override {
    ++steppingReads;
    return model == "stepping";
  }
  std::string InputFileName() override { return input; }
  std::string ResultFileName() override { return result; }
};

struct RecordedMessages : MessageSink {
  std::vector<std::string> shown;
  void ShowInfoMessage(const std::string& text) override { shown.push_back(text); }
};

}  // namespace dw::test
