// A scan in parts: the null fitted once, the loci tested in shares under it,
// the parts merged into the table, JSON and report of the one-machine
// `scan --null`, byte for byte; and the parts and nulls that are refused.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/program.h"

namespace dw {
namespace {

void CopyExample(const test::Program& p) {
  p.Write("example.gen", test::ReadBytes(std::string(DW_SOURCE_DIR) + "/examples/five-samples.gen"));
}

TEST(ScanParts, MergedPartsAreTheOneMachineScanUnderTheNull) {
  test::Program p;
  CopyExample(p);
  ASSERT_EQ(p.Run("scan example.gen -T 50 --seed 7 --fit-only --json null.json"), 0) << p.err;
  EXPECT_EQ(p.err.rfind("Null fitted to the loci: m = ", 0), 0u) << p.err;
  EXPECT_EQ(p.out, "");
  for (const char* k : {"0", "1", "2"})
    ASSERT_EQ(p.Run(std::string("scan example.gen --seed 7 --null null.json --job ") + k +
                    " --jobs 3 --json part" + k + ".json"),
              0)
        << p.err;
  ASSERT_EQ(p.Run("merge part2.json part0.json part1.json --tsv merged.tsv --json merged.json "
                  "--plot merged.svg"),
            0)
      << p.err;
  const std::string merged = p.err;
  ASSERT_EQ(p.Run("scan example.gen --null null.json --tsv one.tsv --json one.json --plot one.svg"),
            0)
      << p.err;
  EXPECT_EQ(p.err, merged);
  EXPECT_EQ(p.File("merged.tsv"), p.File("one.tsv"));
  EXPECT_EQ(p.File("merged.json"), p.File("one.json"));
  EXPECT_EQ(p.File("merged.svg"), p.File("one.svg"));
  EXPECT_NE(p.File("one.tsv").find("\nLap\t"), std::string::npos);
  EXPECT_NE(merged.find("each locus alone until its p-value is at most 0.10/8"), std::string::npos)
      << merged;
}

TEST(ScanParts, RefusesPartsAndNullsThatDoNotBelong) {
  test::Program p;
  CopyExample(p);
  ASSERT_EQ(p.Run("scan example.gen --seed 7 -m 0.05 --fit-only --json null.json"), 0) << p.err;
  for (const char* k : {"0", "1", "2"})
    ASSERT_EQ(p.Run(std::string("scan example.gen --null null.json --job ") + k +
                    " --jobs 3 --json part" + k + ".json"),
              0)
        << p.err;
  p.Write("other.gen", p.File("example.gen") + "\n");
  struct Case {
    std::string command;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {"merge part0.json part2.json", 1, "part 1 of 3 is missing\n"},
      {"merge part0.json part1.json part1.json part2.json", 1,
       "part 1 of 3 is given twice: part1.json and part1.json\n"},
      {"scan other.gen --null null.json --job 0 --jobs 3 --json x.json", 1,
       "null.json was fitted to another data file: example.gen of "},
      {"scan example.gen --null null.json --seed 8 --job 0 --jobs 3 --json x.json", 64,
       "--seed 8: the null of null.json was fitted with --seed 7, which its loci run from\n"},
      {"scan example.gen --null null.json -m 0.1", 64, "--migration excludes --null\n"},
      {"scan example.gen --null null.json --job 3 --jobs 3 --json x.json", 64,
       "--job: '3' is not a whole number from 0 to 2\n"},
      {"scan example.gen --null null.json --job 0 --jobs 3", 64,
       "--job writes its document to --json FILE: give one\n"},
      {"scan example.gen --null part0.json", 1,
       "part0.json: not a null written by scan --fit-only: not a \"driftwise-null\" document\n"},
      {"merge part0.json part1.json part2.json -d 0.1", 64, "Scan parts are merged into"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(p.Run(c.command), c.status) << c.command << "\n" << p.err;
    EXPECT_EQ(p.err.rfind(c.message, 0), 0u) << c.command << "\n" << p.err;
  }
  // The data file changed after the parts ran: merge reads it again and refuses.
  p.Write("example.gen", p.File("other.gen"));
  EXPECT_EQ(p.Run("merge part0.json part1.json part2.json"), 1);
  EXPECT_EQ(p.err, "example.gen has changed since the null was fitted to it: its SHA-256 is not "
                   "the one the parts pin\n");
}

}  // namespace
}  // namespace dw
