// The Genepop reader: one file that uses every feature of the format, under
// each kind of line end, and every refusal with the line it names.
#include "data/genepop.h"

#include <gtest/gtest.h>

namespace dw::data {
namespace {

// Lines 1-12; the last two are blank and ignored. Locus names on one line
// and on their own, "Pop" in three cases, an individual continued on the next
// line, 2- and 3-digit codings, missing alleles.
const char* const kEveryFeature[] = {
    "Made-up data, three samples",  // 1
    "Loc1, Loc2",                   // 2
    " Loc3 ",                       // 3
    "POP",                          // 4
    "ind1 , 0101 0102 001002",      // 5
    "ind2,0202 0000",               // 6
    "   002002",                    // 7
    "pop",                          // 8
    "x 1 ,0100\t0202 000000",       // 9
    " Pop ",                        // 10
    "y , 0102 0202 003001",         // 11
    "",                             // 12
    "  ",                           // 13
};

std::string Joined(const char* const* lines, std::size_t count, const std::string& end) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += lines[i] + end;
  return text;
}

TEST(ParseGenepop, ReadsEveryFeatureWithAnyLineEnd) {
  for (const std::string end : {"\n", "\r\n", "\r"}) {
    GenepopData data;
    const auto error = ParseGenepop(Joined(kEveryFeature, 13, end), data);
    ASSERT_FALSE(error) << error->line << ": " << error->message;
    EXPECT_EQ(data.title, "Made-up data, three samples");
    EXPECT_EQ(data.loci, (std::vector<std::string>{"Loc1", "Loc2", "Loc3"}));
    EXPECT_EQ(data.digits, (std::vector<uint8_t>{2, 2, 3}));
    ASSERT_EQ(data.samples.size(), 3u);
    EXPECT_EQ(data.samples[0].line, 4u);
    EXPECT_EQ(data.samples[2].line, 10u);
    ASSERT_EQ(data.samples[0].individuals.size(), 2u);
    const Individual& ind2 = data.samples[0].individuals[1];
    EXPECT_EQ(ind2.identifier, "ind2");
    EXPECT_EQ(ind2.line, 6u);
    EXPECT_EQ(ind2.genotypes[0].first, 2);
    EXPECT_FALSE(ind2.genotypes[1].Typed());
    EXPECT_EQ(ind2.genotypes[2].first, 2);  // from the continuation line
    const Individual& x = data.samples[1].individuals[0];
    EXPECT_EQ(x.identifier, "x 1");
    EXPECT_FALSE(x.genotypes[0].Typed());  // 01 with a missing partner
    EXPECT_EQ(x.genotypes[0].first, 0);
    EXPECT_FALSE(x.genotypes[2].Typed());
    const Genotype y = data.samples[2].individuals[0].genotypes[2];
    EXPECT_EQ(y.first, 3);
    EXPECT_EQ(y.second, 1);
  }
}

TEST(ParseGenepop, NeverSkipsAnEmptyTitle) {
  GenepopData data;
  ASSERT_FALSE(ParseGenepop("\nL1\nPop\na, 0102\n", data));
  EXPECT_EQ(data.title, "");
  EXPECT_EQ(data.loci, std::vector<std::string>{"L1"});
  // Without the title line, "L1" is the title and "Pop" comes before any locus.
  const auto error = ParseGenepop("L1\nPop\na, 0102\n", data);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->line, 2u);
}

TEST(ParseGenepop, RefusesWithTheLineAndWhatWasExpected) {
  struct Case {
    const char* text;
    uint32_t line;
    const char* message;
  };
  const Case cases[] = {
      {"t\nL1,L2\nPop\na, 0101\nb, 0101 0202\n", 4,
       "wrong number of genotypes for 'a': expected 2, found 1"},
      {"t\nL1,L2\nPop\na, 0101 0202 0303\n", 4,
       "wrong number of genotypes for 'a': expected 2, found 3"},
      {"t\nL1,L2\nPop\na, 0101\nPop\nb, 0101 0202\n", 4,
       "wrong number of genotypes for 'a': expected 2, found 1"},
      {"t\nL1\nPop\na, 0101\nb 0101\n", 5,
       "no comma: expected 'identifier , genotypes' or a Pop line"},
      {"t\nL1\nPop\na, 0101\nb, 01011\n", 5,
       "genotype of odd length: '01011' has 5 digits, expected 4 or 6"},
      {"t\nL1\nPop\na, 01\nb, 0101\n", 5,
       "mixed ploidy at locus L1: '0101' is diploid where the locus's first genotype is haploid"},
      {"t\nL1\nPop\na, 001002\nb, 001\n", 5,
       "mixed ploidy at locus L1: '001' is haploid where the locus's first genotype is diploid"},
      {"t\nL1\nPop\na, 01\nb, 001\n", 5,
       "mixed coding at locus L1: '001' has 3 digits where the locus's first genotype has 2"},
      {"t\nL1\nPop\na, 01010101\n", 4, "'01010101' has 8 digits, expected 4 or 6"},
      {"t\nL1\nPop\na, 01x1\n", 4,
       "'01x1' is not a genotype: expected 4 or 6 digits (two alleles of 2 or 3 digits), or 2 "
       "or 3 at a haploid locus"},
      // A missing genotype fixes no coding: the 6-digit one after it is the first.
      {"t\nL1\nPop\na, 0000\nb, 001002\nc, 0102\n", 6,
       "mixed coding at locus L1: '0102' has 4 digits where the locus's first genotype has 6"},
      // Meant as Pop lines: named at their own line, not read as a locus or an individual.
      {"t\nL1\nL2\nPop sample1\na, 0101 0101\n", 4,
       "'Pop sample1': a Pop line holds the word Pop alone (a sample's name belongs in its "
       "individuals' identifiers)"},
      {"t\nL1\nPop\na, 0101\nPOP\tsecond\nb, 0101\n", 5,
       "'POP\tsecond': a Pop line holds the word Pop alone (a sample's name belongs in its "
       "individuals' identifiers)"},
      {"t\nL1\nPop\na, 0101\x01\n", 4,
       "a control character (byte 0x01): not a text file; save it as UTF-8 or plain text"},
      {"\x7F\x45\x4C\x46\x02\x01\n", 1,
       "a control character (byte 0x02): not a text file; save it as UTF-8 or plain text"},
      {"\xFF\xFEt", 1,
       "the file is in UTF-16 (or holds zero bytes): save it as UTF-8 or plain text"},
      {"t\nL1,L2\nPop\na, 0101 0202\npop\nb, 0101\n 002002\n", 7,
       "mixed coding at locus L2: '002002' has 6 digits where the locus's first genotype has 4"},
      {"t\nL1\nL2\n\n", 3, "no Pop line: the locus names must be followed by a line 'Pop'"},
      {"", 1, "no Pop line: the locus names must be followed by a line 'Pop'"},
      {"t\nPop\na, 0101\n", 2, "Pop line before any locus name"},
      {"t\nL1\nPop\nPop\na, 0101\n", 3,
       "empty sample: expected at least one individual after the Pop line"},
      {"t\nL1\nPop\na, 0101\nPop\n\n", 5,
       "empty sample: expected at least one individual after the Pop line"},
      {"t\nL1,,L2\nPop\na, 0101 0101\n", 2, "empty locus name: expected names separated by commas"},
      {"t\nL1\n\nPop\na, 0101\n", 3, "empty line: expected a locus name or the first Pop line"},
      {"t\nL1\nPop\na, 0101\n\nb, 0101\n", 5, "empty line: expected an individual or a Pop line"},
  };
  for (const Case& c : cases) {
    GenepopData data;
    const auto error = ParseGenepop(c.text, data);
    ASSERT_TRUE(error) << c.text;
    EXPECT_EQ(error->line, c.line) << c.text;
    EXPECT_EQ(error->message, c.message) << c.text;
  }
}

TEST(ParseGenepop, ReadsAHaploidLocusBesideDiploidOnes) {
  // A mitochondrial locus (one 3-digit allele) between two diploid loci.
  GenepopData data;
  const auto error = ParseGenepop(
      "t\nL1, mt, L3\nPop\na, 0101 000 0102\nb, 0102 001 0202\nPop\nc, 0202 002 0101\n", data);
  ASSERT_FALSE(error) << error->line << ": " << error->message;
  EXPECT_EQ(data.ploidy, (std::vector<uint8_t>{2, 1, 2}));
  EXPECT_EQ(data.digits, (std::vector<uint8_t>{2, 3, 2}));
  const Genotype b = data.samples[0].individuals[1].genotypes[1];
  EXPECT_EQ(b.first, 1);
  EXPECT_EQ(b.second, 1);
  EXPECT_FALSE(data.samples[0].individuals[0].genotypes[1].Typed());  // 000 is missing
}

TEST(ParseGenepop, AUtf16FileIsNamedAsSuch) {
  // "Title\nL1\nPop\n…" saved as UTF-16 little-endian, with and without its mark.
  std::string utf16;
  for (char c : std::string("Title\nL1\nPop\na, 0101\n")) utf16 += std::string{c, '\0'};
  for (const std::string& text : {"\xFF\xFE" + utf16, utf16}) {
    GenepopData data;
    const auto error = ParseGenepop(text, data);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->line, 1u);
    EXPECT_NE(error->message.find("save it as UTF-8 or plain text"), std::string::npos);
  }
  // A UTF-8 byte-order mark is not part of the title.
  GenepopData data;
  ASSERT_FALSE(ParseGenepop("\xEF\xBB\xBFTitle\nL1\nPop\na, 0101\n", data));
  EXPECT_EQ(data.title, "Title");
}

TEST(GenepopReader, StopsAtTheFirstWrongLine) {
  // Fed one line at a time, it refuses at line 2 what the rest would not mend.
  GenepopData data;
  GenepopReader reader(data);
  EXPECT_FALSE(reader.Line("title"));
  EXPECT_FALSE(reader.Line("L1"));
  EXPECT_FALSE(reader.Line("Pop"));
  const auto error = reader.Line("junk without a comma");
  ASSERT_TRUE(error);
  EXPECT_EQ(error->line, 4u);
  EXPECT_EQ(reader.Line("a, 0101")->line, 4u);  // the first error stays
  EXPECT_EQ(reader.Finish()->line, 4u);
}

TEST(ParseGenepop, ALocusLineMayEndInAComma) {
  GenepopData data;
  ASSERT_FALSE(ParseGenepop("t\nL1, L2,\nL3,\nPop\na, 0101 0202 0303\n", data));
  EXPECT_EQ(data.loci, (std::vector<std::string>{"L1", "L2", "L3"}));
  // A name left out between or before commas is still refused.
  for (const char* names : {",L1", "L1,,", "L1, ,L2"}) {
    const auto error = ParseGenepop(std::string("t\n") + names + "\nPop\na, 0101 0101\n", data);
    ASSERT_TRUE(error) << names;
    EXPECT_EQ(error->line, 2u) << names;
  }
}

}  // namespace
}  // namespace dw::data
