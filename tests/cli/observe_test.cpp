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
            "L1\t3\t2\t2\t2.00\t2\t0.3333\t0.5000\t0.7500000000\t0.7500000000\t0\t"
            "two alleles: Delta is 0 by construction\n"
            "L2\t3\t3\t2\t3.00\t4\t0.4444\t0.6605\t0.1044234953\t0.1115513660\t"
            "-0.007127870676\t\n"
            "L3\t3\t1\t2\t3.00\t4\t0.0000\t0.0000\tNA\tNA\tNA\tmonomorphic\n");
  EXPECT_EQ(p.err, "");
}

// The example with a haploid (mitochondrial, 3-digit) locus put in as the
// second: every diploid locus's line is what it was; the haploid one has its note.
TEST(Observe, AHaploidLocusIsReportedAndTheOthersAnalysed) {
  const std::string original =
      test::ReadBytes(std::string(DW_SOURCE_DIR) + "/examples/five-samples.gen");
  std::string withHaploid;
  int individual = 0;
  for (std::size_t start = 0; start < original.size();) {
    const std::size_t end = original.find('\n', start);
    std::string line = original.substr(start, end - start);
    start = end == std::string::npos ? original.size() : end + 1;
    if (line.rfind("Est2,", 0) == 0) line.replace(0, 5, "Est2, mtDNA,");
    const std::size_t comma = line.find(" , ");
    if (comma != std::string::npos) {
      const std::size_t second = line.find(' ', comma + 3);
      line.insert(second, individual % 7 == 3 ? " 000" : " 00" + std::to_string(1 + individual % 3));
      ++individual;
    }
    withHaploid += line + "\n";
  }
  test::Program p;
  p.Write("plain.gen", original);
  p.Write("haploid.gen", withHaploid);
  ASSERT_EQ(p.Run("observe plain.gen"), 0) << p.err;
  const std::string plain = p.out;
  ASSERT_EQ(p.Run("observe haploid.gen"), 0) << p.err;
  const std::size_t at = p.out.find("mtDNA\t");
  ASSERT_NE(at, std::string::npos) << p.out;
  const std::size_t end = p.out.find('\n', at) + 1;
  const std::string haploid = p.out.substr(at, end - at);
  EXPECT_EQ(p.out.substr(0, at) + p.out.substr(end), plain);
  EXPECT_EQ(haploid.rfind("mtDNA\t5\t3\t", 0), 0u) << haploid;
  const std::string note = "\tNA\tNA\tNA\thaploid locus: not tested (the model is diploid)\n";
  EXPECT_EQ(haploid.substr(haploid.size() - note.size()), note) << haploid;
  // No Ho for haploid individuals; He is the gene diversity of the three haplotypes.
  EXPECT_NE(haploid.find("\t26\tNA\t0.6667\t"), std::string::npos) << haploid;

  // The scan skips it with its note, and tests the loci beside it.
  ASSERT_EQ(p.Run("scan haploid.gen --seed 1 -I 50"), 0) << p.err;
  EXPECT_NE(p.out.find("mtDNA\t5\t3\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\t"
                       "haploid locus: not tested (the model is diploid)\tNA\tNA\tNA\tNA\tNA\tNA\n"),
            std::string::npos)
      << p.out;
  EXPECT_NE(p.out.find("\nEst2\t5\t3\t29\t0.0206519\t0.0167131\t0.0039388\t50\t"), std::string::npos)
      << p.out;
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
