// VCF and BCF through the one loader: what a site's calls count for, the
// notes of sites that cannot be tested, the population map, and the
// refusals with their record, line and reason.
#include "data/vcf.h"

#include <gtest/gtest.h>

#include "data/datafile.h"
#include "tests/support/files.h"
#include "tests/support/vcffiles.h"

namespace dw::data {
namespace {

const char* const kHeader =
    "##fileformat=VCFv4.2\n"
    "##contig=<ID=chr2>\n"
    "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
    "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ta1\ta2\tb1\tb2\tx\n";
const char* const kMap = "a1\tnorth\nb1\tsouth\na2\tnorth\r\nb2\tsouth\n";

std::string Site(const std::string& id, const std::string& alt, const std::string& calls) {
  return "chr2\t1500\t" + id + "\tA\t" + alt + "\t.\t.\t.\tGT\t" + calls + "\n";
}

struct Loaded {
  std::optional<LoadProblem> problem;
  LociData data;
};

Loaded Load(const std::string& vcf, const std::string& map = kMap) {
  test::ScratchDir dir;
  test::WriteBytes(dir.File("d.vcf"), vcf);
  test::WriteBytes(dir.File("d.pop"), map);
  Loaded loaded;
  loaded.problem = LoadLoci(dir.File("d.vcf"), dir.File("d.pop"), loaded.data);
  // Messages name the files; the tests compare them without the folder.
  if (loaded.problem) {
    std::string& m = loaded.problem->message;
    for (std::size_t at; (at = m.find(dir.Path().string() + "/")) != std::string::npos;)
      m.erase(at, dir.Path().string().size() + 1);
  }
  return loaded;
}

TEST(VcfSite, CountsAndNotes) {
  struct Case {
    const char* alt;
    const char* calls;  // a1 a2 b1 b2 x
    LocusStatus status;
    std::vector<uint16_t> alleles;
    std::vector<uint32_t> typed;  // per population with any
  };
  const Case cases[] = {
      // Only the alleles carried count: ALT C never seen.
      {"C,G", "0/2\t2|2\t0/0\t2/0\t1/1", LocusStatus::Biallelic, {1, 3}, {2, 2}},
      // Missing and half calls are not typed; x is left out of the map.
      {"C,G", "0/1\t./1\t1/2\t./.\t0/0", LocusStatus::TooFewIndividuals, {1, 2, 3}, {1, 1}},
      {"C", "0\t1\t1\t.\t0", LocusStatus::Haploid, {1, 2}, {2, 1}},
      {"C", "./.\t.\t./1\t./.\t0/1", LocusStatus::NoGenotype, {}, {}},
      {"C", "0/1\t1\t0/0\t1/1\t0/0", LocusStatus::MixedPloidy, {}, {}},
      {"C", "0/1\t0/1/1\t0/0\t1/1\t0/0", LocusStatus::Polyploid, {}, {}},
      {"C", "0/0\t0/0\t0/0\t0/0\t1/1", LocusStatus::Monomorphic, {1}, {2, 2}},
  };
  for (const Case& c : cases) {
    const Loaded l = Load(std::string(kHeader) + Site(".", c.alt, c.calls));
    ASSERT_FALSE(l.problem) << l.problem->message;
    ASSERT_EQ(l.data.loci.size(), 1u);
    const LocusData& locus = l.data.loci[0];
    EXPECT_EQ(EstimateLocus(locus.counts).status, c.status) << c.calls;
    EXPECT_EQ(locus.counts.alleles, c.alleles) << c.calls;
    EXPECT_EQ(locus.counts.typed, c.typed) << c.calls;
    EXPECT_EQ(locus.name, "chr2:1500");
    EXPECT_EQ(locus.chrom, "chr2");
    EXPECT_EQ(locus.pos, 1500);
  }
}

TEST(VcfSite, PhasedCallsCountAsUnphasedAndHeterozygotesPerAllele) {
  const Loaded phased = Load(std::string(kHeader) + Site("s1", "C,G", "0|1\t1|2\t2|2\t0|2\t."));
  const Loaded unphased = Load(std::string(kHeader) + Site("s1", "C,G", "1/0\t2/1\t2/2\t2/0\t."));
  ASSERT_FALSE(phased.problem);
  ASSERT_FALSE(unphased.problem);
  const LocusCounts& c = phased.data.loci[0].counts;
  EXPECT_EQ(phased.data.loci[0].name, "s1");
  EXPECT_EQ(c.sampleNumbers, (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(c.copies, (std::vector<std::vector<uint32_t>>{{1, 2, 1}, {1, 0, 3}}));
  EXPECT_EQ(c.hets, (std::vector<std::vector<uint32_t>>{{1, 2, 1}, {1, 0, 1}}));
  EXPECT_EQ(unphased.data.loci[0].counts.copies, c.copies);
  EXPECT_EQ(unphased.data.loci[0].counts.hets, c.hets);
}

TEST(VcfFile, PopulationsInMapOrderAndSamplesLeftOut) {
  const Loaded l = Load(std::string(kHeader) + Site("s", "C", "0/1\t0/0\t1/1\t0/1\t0/0") + "\n");
  ASSERT_FALSE(l.problem) << l.problem->message;
  EXPECT_EQ(l.data.populations, (std::vector<std::string>{"north", "south"}));
  EXPECT_EQ(l.data.samplesLeftOut, 1u);
  EXPECT_EQ(l.data.individuals, 4u);
  EXPECT_TRUE(l.data.hasPositions);
  EXPECT_EQ(l.data.loci.size(), 1u);  // the blank last line is no record
}

TEST(VcfFile, RefusalsNameTheRecordLineAndReason) {
  const std::string good = Site("s", "C", "0/1\t0/0\t1/1\t0/1\t0/0");
  struct Case {
    std::string vcf, map;
    const char* message;
  };
  const Case cases[] = {
      {kHeader + good + "chr2\t1600\ts2\tA\tC\t.\t.\t.\tGT\t0/1\t0/0\n", kMap,
       "d.vcf, record 2 (line 6): 11 columns where the header's #CHROM line has 14"},
      {kHeader + good + good + Site("s3", "C", "0/1\t0/2\t1/1\t0/1\t0/0"), kMap,
       "d.vcf, record 3 (line 7): the call of sample 'a2' names allele 2 where the site has 2 "
       "alleles (0 to 1)"},
      {kHeader + good + "chr2\tq\ts\tA\tC\t.\t.\t.\tGT\t0/1\t0/0\t1/1\t0/1\t0/0\n", kMap,
       "d.vcf, record 2 (line 6): POS is not a position (a whole number of 1 or more)"},
      {kHeader + good, "a1\tnorth\nzz\tsouth\nyy\tsouth\n",
       "d.pop: sample 'zz' is not in d.vcf (nor are 1 other samples of the map)"},
      {kHeader + good, "a1\tnorth\nb1 south\n", "d.pop, line 2: no tab: expected 'sample<TAB>population'"},
      {kHeader + good, "a1\tnorth\n\tsouth\n", "d.pop, line 2: empty sample name"},
      {kHeader + good, "a1\t\n", "d.pop, line 1: empty population name"},
      {kHeader + good, "a1\tnorth\n\nb1\tsouth\na1\tsouth\n",
       "d.pop, line 4: sample 'a1' is named twice"},
  };
  for (const Case& c : cases) {
    const Loaded l = Load(c.vcf, c.map);
    ASSERT_TRUE(l.problem) << c.message;
    EXPECT_EQ(l.problem->kind, LoadProblem::Kind::Refused);
    EXPECT_EQ(l.problem->message, c.message);
  }
}

TEST(VcfFile, TheLociBeforeABadRecordAreVisited) {
  test::ScratchDir dir;
  const std::string good = Site("s", "C", "0/1\t0/0\t1/1\t0/1\t0/0");
  test::WriteBytes(dir.File("d.vcf"), kHeader + good + good + "chr2\t1\ts\tA\n" + good);
  test::WriteBytes(dir.File("d.pop"), kMap);
  std::size_t visited = 0;
  LociVisitor visitor;
  visitor.locus = [&](LocusData&&) { ++visited; };
  const auto problem = VisitLoci(dir.File("d.vcf"), dir.File("d.pop"), visitor);
  ASSERT_TRUE(problem);
  EXPECT_NE(problem->message.find("record 3 (line 7): 4 columns"), std::string::npos)
      << problem->message;
  EXPECT_EQ(visited, 2u);
}

TEST(DataFile, FormatToldByContentAndAVcfNeedsAMap) {
  test::ScratchDir dir;
  const std::string vcf = kHeader + Site("s", "C", "0/1\t0/0\t1/1\t0/1\t0/0");
  test::WriteBytes(dir.File("plain.gen"), vcf);
  test::WriteThroughHtslib(dir.File("bgzf.txt"), vcf, "wz");
  test::WriteThroughHtslib(dir.File("gzip.vcf"), vcf, "wg");
  test::WriteThroughHtslib(dir.File("data.gen"), vcf, "wb");
  test::WriteCompressed(dir.File("genepop.vcf.gz"), "t\nL\nPop\na, 0101\n");
  struct Case {
    const char* name;
    DataFormat format;
  };
  for (Case c : {Case{"plain.gen", DataFormat::Vcf}, {"bgzf.txt", DataFormat::Vcf},
                 {"gzip.vcf", DataFormat::Vcf}, {"data.gen", DataFormat::Bcf},
                 {"genepop.vcf.gz", DataFormat::GzipGenepop}, {"none", DataFormat::Genepop}})
    EXPECT_EQ(DetectDataFormat(dir.File(c.name)), c.format) << c.name;
  LociData data;
  const auto problem = LoadLoci(dir.File("data.gen"), "", data);
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->message, dir.File("data.gen") +
                                  ": a BCF file needs a population map: give one with --popmap "
                                  "FILE (lines 'sample<TAB>population')");
}

}  // namespace
}  // namespace dw::data
