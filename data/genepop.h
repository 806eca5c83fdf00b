#pragma once
// Genotype files in the Genepop text format: a title line, the locus names,
// then one or more samples, each opened by a "Pop" line and holding one
// individual per entry ("identifier , genotype genotype …"). A diploid
// genotype is two alleles of 2 digits (4 in all) or of 3 digits (6 in all);
// a haploid one is a single allele of 2 or 3 digits. The coding and the
// ploidy are fixed per locus by its first typed genotype; an allele 00 or
// 000 is missing, and a genotype of zeros alone is missing whatever its
// length.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dw::data {

// An allele code of 0 is a missing allele. A haploid genotype carries its
// one allele in both fields.
struct Genotype {
  uint16_t first = 0;
  uint16_t second = 0;
  // Both alleles known; a genotype with a missing allele is not typed.
  bool Typed() const { return first != 0 && second != 0; }
};

struct Individual {
  std::string identifier;
  std::vector<Genotype> genotypes;  // one per locus, in locus order
  uint32_t line = 0;                // 1-based line of the identifier
};

struct Sample {
  std::vector<Individual> individuals;
  uint32_t line = 0;  // the sample's "Pop" line
};

struct GenepopData {
  std::string title;
  std::vector<std::string> loci;
  std::vector<uint8_t> digits;  // per locus: 2 or 3 digits per allele (0: nothing typed)
  std::vector<uint8_t> ploidy;  // per locus: 1 haploid, 2 diploid (0: nothing typed)
  std::vector<Sample> samples;
};

// Why a file was refused: the 1-based line and what was expected there.
struct GenepopError {
  uint32_t line = 0;
  std::string message;
};

// Reads a file one line at a time, so that a file that is not in the format
// is refused at its first wrong line without the rest being read.
class GenepopReader {
 public:
  explicit GenepopReader(GenepopData& data);
  ~GenepopReader();
  GenepopReader(const GenepopReader&) = delete;
  GenepopReader& operator=(const GenepopReader&) = delete;
  // The next line, without its line end. The error of the first line that
  // breaks the format (an earlier line's, when only this one shows it).
  std::optional<GenepopError> Line(std::string_view line);
  // After the last line: the error of an incomplete file.
  std::optional<GenepopError> Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Parses the whole text (LF, CR LF or CR line ends). Returns the error of
// the first line that breaks the format; `data` is then incomplete.
std::optional<GenepopError> ParseGenepop(std::string_view text, GenepopData& data);

}  // namespace dw::data
