#include "data/genepop.h"

#include <cctype>

namespace dw::data {

namespace {

// The text's lines without their ends; a final line end does not open a line.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsPopLine(std::string_view line) {
  const std::string_view t = Trim(line);
  return t.size() == 3 && std::tolower(static_cast<unsigned char>(t[0])) == 'p' &&
         std::tolower(static_cast<unsigned char>(t[1])) == 'o' &&
         std::tolower(static_cast<unsigned char>(t[2])) == 'p';
}

struct Token {
  std::string_view text;
  uint32_t line;
};

void AppendTokens(std::string_view s, uint32_t line, std::vector<Token>& tokens) {
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    const std::size_t start = i;
    while (i < s.size() && !IsBlank(s[i])) ++i;
    if (i > start) tokens.push_back(Token{s.substr(start, i - start), line});
  }
}

std::string Quoted(std::string_view s) {
  std::string quoted(1, '\'');
  quoted.append(s);
  quoted.push_back('\'');
  return quoted;
}

std::optional<GenepopError> Fail(uint32_t line, std::string message) {
  return GenepopError{line, std::move(message)};
}

// One genotype token at locus `locus`; fixes the locus's coding on its first token.
std::optional<GenepopError> ParseGenotype(const Token& token, std::size_t locus, GenepopData& data,
                                          Genotype& genotype) {
  for (char c : token.text)
    if (c < '0' || c > '9')
      return Fail(token.line, Quoted(token.text) +
                                  " is not a genotype: expected 4 or 6 digits (two alleles of 2 "
                                  "or 3 digits)");
  const std::size_t length = token.text.size();
  if (length == 2 || length == 3)
    return Fail(token.line, "haploid genotype " + Quoted(token.text) +
                                ": expected two alleles of 2 or 3 digits each (the model is "
                                "diploid)");
  if (length % 2 == 1)
    return Fail(token.line, "genotype of odd length: " + Quoted(token.text) + " has " +
                                std::to_string(length) + " digits, expected 4 or 6");
  if (length != 4 && length != 6)
    return Fail(token.line,
                Quoted(token.text) + " has " + std::to_string(length) + " digits, expected 4 or 6");
  const auto digits = static_cast<uint8_t>(length / 2);
  if (data.digits[locus] == 0) data.digits[locus] = digits;
  if (data.digits[locus] != digits)
    return Fail(token.line, "mixed coding at locus " + data.loci[locus] + ": " +
                                Quoted(token.text) + " has " + std::to_string(length) +
                                " digits where the locus's first genotype has " +
                                std::to_string(2 * data.digits[locus]));
  uint16_t alleles[2] = {0, 0};
  for (std::size_t i = 0; i < length; ++i)
    alleles[i / digits] = static_cast<uint16_t>(alleles[i / digits] * 10 + (token.text[i] - '0'));
  genotype = Genotype{alleles[0], alleles[1]};
  // One missing allele leaves the genotype unknown.
  if (!genotype.Typed()) genotype = Genotype{};
  return std::nullopt;
}

class Parser {
 public:
  Parser(std::string_view text, GenepopData& data) : lines_(SplitLines(text)), data_(data) {
    last_ = static_cast<uint32_t>(lines_.size());
    while (last_ > 1 && Trim(lines_[last_ - 1]).empty()) --last_;
  }

  std::optional<GenepopError> Run() {
    data_ = GenepopData{};
    if (!lines_.empty()) data_.title = std::string(lines_[0]);
    uint32_t i = 2;
    if (auto error = ReadLocusNames(i)) return error;
    while (i <= last_) {
      if (auto error = ReadEntry(i)) return error;
    }
    return CheckLastSample();
  }

 private:
  std::string_view Line(uint32_t i) const { return lines_[i - 1]; }

  std::optional<GenepopError> ReadLocusNames(uint32_t& i) {
    for (; i <= last_ && !IsPopLine(Line(i)); ++i) {
      std::string_view rest = Line(i);
      if (Trim(rest).empty())
        return Fail(i, "empty line: expected a locus name or the first Pop line");
      for (;;) {
        const std::size_t comma = rest.find(',');
        const std::string_view name = Trim(rest.substr(0, comma));
        // Files written a name and a comma per line end their lines in a comma.
        if (name.empty() && comma == std::string_view::npos && !data_.loci.empty()) break;
        if (name.empty()) return Fail(i, "empty locus name: expected names separated by commas");
        data_.loci.emplace_back(name);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
      }
    }
    if (i > last_)
      return Fail(static_cast<uint32_t>(last_ == 0 ? 1 : last_),
                  "no Pop line: the locus names must be followed by a line 'Pop'");
    if (data_.loci.empty()) return Fail(i, "Pop line before any locus name");
    data_.digits.assign(data_.loci.size(), 0);
    return std::nullopt;
  }

  std::optional<GenepopError> CheckLastSample() const {
    if (!data_.samples.empty() && data_.samples.back().individuals.empty())
      return Fail(data_.samples.back().line,
                  "empty sample: expected at least one individual after the Pop line");
    return std::nullopt;
  }

  // A Pop line or one individual, with its continuation lines; moves i past it.
  std::optional<GenepopError> ReadEntry(uint32_t& i) {
    const std::string_view line = Line(i);
    if (IsPopLine(line)) {
      if (auto error = CheckLastSample()) return error;
      data_.samples.push_back(Sample{{}, i});
      ++i;
      return std::nullopt;
    }
    if (Trim(line).empty()) return Fail(i, "empty line: expected an individual or a Pop line");
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos)
      return Fail(i, "no comma: expected 'identifier , genotypes' or a Pop line");
    const std::size_t L = data_.loci.size();
    Individual individual;
    individual.identifier = std::string(Trim(line.substr(0, comma)));
    individual.line = i;
    std::vector<Token> tokens;
    AppendTokens(line.substr(comma + 1), i, tokens);
    ++i;
    // The genotypes may go on over the next lines, which then hold no comma.
    while (tokens.size() < L && i <= last_ && !IsPopLine(Line(i)) && !Trim(Line(i)).empty() &&
           Line(i).find(',') == std::string_view::npos) {
      AppendTokens(Line(i), i, tokens);
      ++i;
    }
    if (tokens.size() != L)
      return Fail(individual.line,
                  "wrong number of genotypes for " + Quoted(individual.identifier) + ": expected " +
                      std::to_string(L) + ", found " + std::to_string(tokens.size()));
    individual.genotypes.resize(L);
    for (std::size_t locus = 0; locus < L; ++locus)
      if (auto error = ParseGenotype(tokens[locus], locus, data_, individual.genotypes[locus]))
        return error;
    data_.samples.back().individuals.push_back(std::move(individual));
    return std::nullopt;
  }

  std::vector<std::string_view> lines_;
  uint32_t last_ = 0;  // lines after it are blank and ignored
  GenepopData& data_;
};

}  // namespace

std::optional<GenepopError> ParseGenepop(std::string_view text, GenepopData& data) {
  return Parser(text, data).Run();
}

}  // namespace dw::data
