// `driftwise observe` end to end: the table for hand-worked loci, the loci
// that are not tested, and the refusals with file and line.
#include <gtest/gtest.h>

#include "tests/cli/program.h"

namespace dw {
namespace {

TEST(Observe, TabulatesEveryLocus) {
  test::Program p;
  // L1: AA AA | AB AB | BB BB. L2: the uneven case (sizes 3, 2, 4) with
  // WC = 144/1379 and RH = 14396464/129056815. L3: one allele.
  p.Write("data.gen",
          "title\r\nL1, L2\r\nL3\r\npop\r\n"
          "a1, 0101 0101 0101\r\na2, 0101 0102 0101\r\na3, 0000 0103 0101\r\n"
          "Pop\r\nb1, 0102 0202 0101\r\nb2, 0102 0203 0101\r\n"
          "POP\r\nc1, 0202 0102 0101\r\nc2, 0202 0303 0101\r\nc3, 0100 0303 0101\r\n"
          "c4,0000 0202 0101\r\n\r\n");
  ASSERT_EQ(p.Run("observe data.gen"), 0) << p.err;
  EXPECT_EQ(p.out,
            "locus\tsamples\talleles\tn_min\tn_mean\tn_max\tHo\tHe\tWC\tRH\tDelta\tnote\n"
            "L1\t3\t2\t2\t2.00\t2\t0.3333\t0.5000\t0.7500000\t0.7500000\t0.0000000\t"
            "two alleles: Delta is 0 by construction\n"
            "L2\t3\t3\t2\t3.00\t4\t0.4444\t0.6605\t0.1044235\t0.1115514\t-0.0071279\t\n"
            "L3\t3\t1\t2\t3.00\t4\t0.0000\t0.0000\tNA\tNA\tNA\tmonomorphic\n");
  EXPECT_EQ(p.err, "");
}

TEST(Observe, RefusesWithFileAndLine) {
  struct Case {
    const char* text;
    int status;
    const char* err;
  };
  const Case cases[] = {
      {"t\nL1\nPop\na, 0101\nb 0101\n", 1,
       "bad.gen, line 5: no comma: expected 'identifier , genotypes' or a Pop line\n"},
      {"t\nL1\nPop\na, 01\nb, 0101\n", 1,
       "bad.gen, line 5: mixed ploidy at locus L1: '0101' is diploid where the locus's first "
       "genotype is haploid\n"},
  };
  for (const Case& c : cases) {
    test::Program p;
    p.Write("bad.gen", c.text);
    EXPECT_EQ(p.Run("observe bad.gen"), c.status);
    EXPECT_EQ(p.err, c.err);
    EXPECT_EQ(p.out, "");
  }
  test::Program p;
  EXPECT_EQ(p.Run("observe missing.gen"), 2);
  EXPECT_EQ(p.err, "missing.gen: Fichier introuvable. (No such file or directory)\n");
}

}  // namespace
}  // namespace dw
