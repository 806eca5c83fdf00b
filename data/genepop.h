#pragma once
// Genotype files in the Genepop text format: a title line, the locus names,
// then one or more samples, each opened by a "Pop" line and holding one
// individual per entry ("identifier , genotype genotype …"). Diploid
// genotypes only: two alleles of 2 digits (4 in all) or of 3 digits (6 in
// all), the coding fixed per locus; an allele 00 or 000 is missing.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dw::data {

// An allele code of 0 is a missing allele.
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
  std::vector<Sample> samples;
};

// Why a file was refused: the 1-based line and what was expected there.
struct GenepopError {
  uint32_t line = 0;
  std::string message;
};

// Parses the whole text (LF, CR LF or CR line ends). Returns the error of
// the first line that breaks the format; `data` is then incomplete.
std::optional<GenepopError> ParseGenepop(std::string_view text, GenepopData& data);

}  // namespace dw::data
