// `driftwise observe` end to end: the table for hand-worked loci, the loci
// that are not tested, and the refusals with file and line.
#include <gtest/gtest.h>

#include "tests/cli/program.h"
#include "tests/support/vcffiles.h"
#include "scan/observedtable.h"

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
                       "haploid locus: not tested (the model is diploid)\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\tNA\n"),
            std::string::npos)
      << p.out;
  EXPECT_NE(p.out.find("\nEst2\t5\t3\t29\t0.02065189258\t0.01671312522\t0.003938767358\t"), std::string::npos)
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


TEST(StatisticCell, TenSignificantDigitsWithoutExponent) {
  struct Case {
    long double value;
    const char* text;
  };
  for (Case c : {Case{0.0L, "0"}, {0.75L, "0.7500000000"}, {-0.007127870676123L, "-0.007127870676"},
                 {1.234567890123e-4L, "0.0001234567890"}, {1.0L, "1.000000000"},
                 {0.99999999996L, "1.0000000000"}, {12.5L, "12.50000000"},
                 {-3e-20L, "0.000000000000000000"}})
    EXPECT_EQ(scan::StatisticCell(c.value), c.text) << static_cast<double>(c.value);
}

// One data set as Genepop and as VCF: per locus the calls of a1 a2 a3 b1 b2
// c1 c2 c3 (x, in the VCF only, is left out by the map).
struct SiteCalls {
  const char* id;   // "." : named CHROM:POS
  const char* alt;
  std::vector<std::string> calls;  // a1 a2 a3 x b1 b2 c1 c2 c3
};

const std::vector<SiteCalls>& Sites() {
  static const std::vector<SiteCalls> sites = {
      {"msat1", "C,G", {"0/0", "0/1", "./.", "2/2", "0/1", "1/2", "1|1", "1/2", "./1"}},
      {".", "C", {"0/1", "0/0", "0/0", "0/0", "1/1", "0/1", "0/0", "1/1", "1/1"}},
      {"mono", "C", {"0/0", "0/0", "0/0", "./.", "0/0", "0/0", "0/0", "0/0", "0/0"}},
      {"mt", "C,G", {"0", "1", "2", ".", "1", "1", "0", "2", "."}},
      {"none", "C", {"./.", "./.", "./.", "0/1", "./.", "./.", "./.", "./.", "./."}},
      {"msat2", "C,G,T", {"0/2", "2/2", "0/0", "1/1", "3/0", "2|3", "3/3", "0/3", "2/2"}},
  };
  return sites;
}

std::string SitesAsVcf() {
  std::string text =
      "##fileformat=VCFv4.2\n##contig=<ID=chr1>\n"
      "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
      "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ta1\ta2\ta3\tx\tb1\tb2\tc1\tc2\tc3\n";
  int pos = 0;
  for (const SiteCalls& s : Sites()) {
    text += "chr1\t" + std::to_string(pos += 10) + "\t" + s.id + "\tA\t" + s.alt + "\t.\tPASS\t.\tGT";
    for (const std::string& call : s.calls) text += "\t" + call;
    text += "\n";
  }
  return text;
}

// VCF allele i is Genepop allele i + 1 in 2 digits; "." is 00.
std::string AsGenepop(const std::string& call) {
  std::string g;
  for (char c : call)
    if (c == '.' || (c >= '0' && c <= '9')) g += c == '.' ? "00" : "0" + std::string(1, char(c + 1));
  return g;
}

std::string SitesAsGenepop() {
  std::string text = "same data\nmsat1, chr1:20, mono, mt, none, msat2\n";
  const char* names[] = {"a1", "a2", "a3", "x", "b1", "b2", "c1", "c2", "c3"};
  for (int i = 0; i < 9; ++i) {
    if (i == 3) continue;
    if (i == 0 || i == 4 || i == 6) text += "Pop\n";
    text += std::string(names[i]) + ",";
    for (const SiteCalls& s : Sites()) text += " " + AsGenepop(s.calls[i]);
    text += "\n";
  }
  return text;
}

std::string WithoutPositions(const std::string& table) {
  std::string out;
  for (std::size_t start = 0; start < table.size();) {
    const std::size_t end = table.find('\n', start);
    const std::string line = table.substr(start, end - start);
    const std::size_t first = line.find('\t'), third = line.find('\t', line.find('\t', first + 1) + 1);
    out += line.substr(0, first) + line.substr(third) + "\n";
    start = end + 1;
  }
  return out;
}

TEST(Observe, VcfAndBcfGiveTheGenepopTable) {
  test::Program p;
  p.Write("data.gen", SitesAsGenepop());
  test::WriteCompressed(p.dir.File("data.gen.gz"), SitesAsGenepop());
  p.Write("data.vcf", SitesAsVcf());
  test::WriteThroughHtslib(p.dir.File("data.vcf.gz"), SitesAsVcf(), "wz");
  test::WriteThroughHtslib(p.dir.File("gzip.vcf.gz"), SitesAsVcf(), "wg");
  test::WriteThroughHtslib(p.dir.File("data.bcf"), SitesAsVcf(), "wb");
  p.Write("map.tsv", "a1\tnorth\na2\tnorth\na3\tnorth\nb1\tsouth\nb2\tsouth\n"
                     "c1\teast\nc2\teast\nc3\teast\n");
  ASSERT_EQ(p.Run("observe data.gen"), 0) << p.err;
  const std::string genepop = p.out;
  // x alone carries allele C of msat2.
  EXPECT_NE(genepop.find("\nmsat2\t3\t3\t"), std::string::npos) << genepop;
  EXPECT_NE(genepop.find("\nnone\t0\t0\t0\t0.00\t0\tNA\tNA\tNA\tNA\tNA\tno genotype typed\n"),
            std::string::npos)
      << genepop;
  ASSERT_EQ(p.Run("observe data.gen.gz"), 0) << p.err;
  EXPECT_EQ(p.out, genepop);
  for (const char* file : {"data.vcf", "data.vcf.gz", "gzip.vcf.gz", "data.bcf"}) {
    ASSERT_EQ(p.Run(std::string("observe ") + file + " --popmap map.tsv"), 0) << file << p.err;
    EXPECT_EQ(p.err, std::string(file) + ": 1 sample not in the population map left out\n");
    EXPECT_EQ(p.out.rfind("locus\tchrom\tpos\tsamples\t", 0), 0u) << p.out;
    EXPECT_NE(p.out.find("\nchr1:20\tchr1\t20\t3\t2\t"), std::string::npos) << p.out;
    EXPECT_EQ(WithoutPositions(p.out), genepop) << file;
  }
  // scan reads through the same loader: msat1 and msat2 are tested.
  ASSERT_EQ(p.Run("scan data.bcf --popmap map.tsv -m 0.1 --calibrate none -I 10 --seed 1"), 0)
      << p.err;
  EXPECT_NE(p.out.find("\nmsat1\tchr1\t10\t3\t3\t2\t"), std::string::npos) << p.out;
  EXPECT_NE(p.out.find("\nmsat2\tchr1\t60\t3\t3\t3\t"), std::string::npos) << p.out;
}

TEST(Observe, AVcfRecordRefusedAfterTheRowsBeforeIt) {
  test::Program p;
  std::string vcf = SitesAsVcf();
  vcf.insert(vcf.find("chr1\t30\t"), "chr1\t25\tcut\tA\tC\t.\t.\t.\tGT\t0/1\n");
  p.Write("data.vcf", vcf);
  p.Write("map.tsv", "a1\tnorth\nb1\tsouth\n");
  EXPECT_EQ(p.Run("observe data.vcf --popmap map.tsv"), 1);
  EXPECT_EQ(p.err, "data.vcf: 7 samples not in the population map left out\n"
                   "data.vcf, record 3 (line 7): 10 columns where the header's #CHROM line has 18\n");
  EXPECT_EQ(std::count(p.out.begin(), p.out.end(), '\n'), 3) << p.out;
  EXPECT_EQ(p.Run("observe data.vcf"), 1);
  EXPECT_EQ(p.err, "data.vcf: a VCF file needs a population map: give one with --popmap FILE "
                   "(lines 'sample<TAB>population')\n");
  EXPECT_EQ(p.Run("observe data.vcf --popmap nomap.tsv"), 2);
  EXPECT_EQ(p.err, "nomap.tsv: Fichier introuvable. (No such file or directory)\n");
}

}  // namespace
}  // namespace dw
