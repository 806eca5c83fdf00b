// `driftwise --version` and `driftwise --help`: what a user or a package
// manager asks the program before anything else, with no display at hand.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/files.h"

namespace dw {
namespace {

struct Output {
  int status = -1;
  std::string out, err;
};

// The program as a desktop-less machine (a build server, a package's
// post-install check) starts it.
Output RunWithoutDisplay(const std::string& arguments) {
  test::ScratchDir dir;
  const std::string command = "cd '" + dir.Path().string() +
                              "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" +
                              DW_PROGRAM + "' " + arguments +
                              " >stdout.txt 2>stderr.txt </dev/null";
  const int raw = std::system(command.c_str());
  Output result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = test::ReadBytes(dir.File("stdout.txt"));
  result.err = test::ReadBytes(dir.File("stderr.txt"));
  return result;
}

// The version the build declares, read from the project's own CMakeLists.txt
// rather than from the compile definition the program was given.
std::string DeclaredVersion() {
  const std::string lists = test::ReadBytes(std::string(DW_SOURCE_DIR) + "/CMakeLists.txt");
  std::smatch match;
  if (!std::regex_search(lists, match, std::regex(R"(project\(\s*Driftwise\s+VERSION\s+([0-9.]+))")))
    return "";
  return match[1];
}

// The sub-commands as `--help` lists them, with their one-line descriptions.
std::vector<std::pair<std::string, std::string>> ListedSubcommands(const std::string& help) {
  std::vector<std::pair<std::string, std::string>> listed;
  std::istringstream lines(help);
  std::string line;
  bool inList = false;
  while (std::getline(lines, line)) {
    if (line == "Subcommands:") {
      inList = true;
      continue;
    }
    std::smatch match;
    if (inList && std::regex_match(line, match, std::regex(R"(\s+(\S+)\s+(.*\S)\s*)")))
      listed.emplace_back(match[1], match[2]);
  }
  return listed;
}

TEST(ProgramInformation, VersionIsTheDeclaredOneWithoutADisplay) {
  const std::string version = DeclaredVersion();
  ASSERT_TRUE(std::regex_match(version, std::regex(R"(\d+\.\d+\.\d+)"))) << version;
  // Before a sub-command is required, and whatever follows it.
  for (const char* arguments : {"--version", "--version run -P 1"}) {
    const Output r = RunWithoutDisplay(arguments);
    EXPECT_EQ(r.status, 0) << arguments;
    EXPECT_EQ(r.out, "driftwise " + version + "\n") << arguments;
    EXPECT_EQ(r.err, "") << arguments;
  }
}

TEST(ProgramInformation, HelpStatesThePurposeAndEverySubcommand) {
  const Output r = RunWithoutDisplay("--help");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::string flowing = r.out;  // the paragraph's words, whatever its line breaks
  std::replace(flowing.begin(), flowing.end(), '\n', ' ');
  for (const char* phrase :
       {"single-locus, multi-allelic test of neutrality", "drift and migration",
        "Weir and Cockerham", "Robertson and Hill", "opens its window", "--version"})
    EXPECT_NE(flowing.find(phrase), std::string::npos) << phrase;

  // The paragraph before the usage line reads on an 80-column terminal.
  const std::string purpose = r.out.substr(0, r.out.find("Usage:"));
  std::istringstream lines(purpose);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;

  // Every listed sub-command answers its own --help with the description
  // the list gives it.
  const auto listed = ListedSubcommands(r.out);
  std::vector<std::string> names;
  for (const auto& [name, description] : listed) {
    names.push_back(name);
    const Output sub = RunWithoutDisplay(name + " --help");
    EXPECT_EQ(sub.status, 0) << name;
    EXPECT_EQ(sub.out.substr(0, sub.out.find('\n')), description) << name;
  }
  for (const char* expected : {"run", "merge"})
    EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;
}

}  // namespace
}  // namespace dw
