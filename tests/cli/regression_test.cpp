// Fixed-seed runs of the three models, by each engine, compared byte for
// byte with results committed under fixtures/: any change to the order of
// draws, a sampler, a stored width or a format shows here.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/files.h"

namespace dw {
namespace {

const std::string kFixtures = std::string(DW_SOURCE_DIR) + "/tests/cli/fixtures";

struct Case {
  std::string name;
  std::string arguments;
};

std::vector<Case> ReadCases() {
  std::vector<Case> cases;
  std::ifstream in(kFixtures + "/cases.txt");
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const auto bar = line.find('|');
    auto trim = [](std::string s) {
      s.erase(0, s.find_first_not_of(' '));
      s.erase(s.find_last_not_of(' ') + 1);
      return s;
    };
    cases.push_back({trim(line.substr(0, bar)), trim(line.substr(bar + 1))});
  }
  return cases;
}

TEST(Regression, FixedSeedRunsOfTheThreeModelsMatchTheirFixtures) {
  const std::vector<Case> cases = ReadCases();
  ASSERT_EQ(cases.size(), 7u);
  for (const Case& c : cases) {
    test::ScratchDir dir;
    for (const auto& entry : std::filesystem::directory_iterator(kFixtures))
      if (entry.path().filename().string().rfind("freq-", 0) == 0)
        std::filesystem::copy_file(entry.path(), dir.Path() / entry.path().filename());
    const std::string command = "cd '" + dir.Path().string() + "' && '" + DW_PROGRAM + "' run " +
                                c.arguments +
                                " -o fst.txt --histogram-table histogram.txt > summary.txt";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << c.name;
    for (const char* file : {"fst.txt", "summary.txt", "histogram.txt"}) {
      const std::string expected = test::ReadBytes(kFixtures + "/" + c.name + "/" + file);
      ASSERT_FALSE(expected.empty()) << c.name << "/" << file;
      EXPECT_EQ(test::ReadBytes(dir.File(file)), expected) << c.name << "/" << file;
    }
  }
}

}  // namespace
}  // namespace dw
