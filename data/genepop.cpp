#include "data/genepop.h"

#include <cctype>
#include <cstdio>

#include "runtime/lines.h"

namespace dw::data {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool StartsWithPop(std::string_view t) {
  return t.size() >= 3 && std::tolower(static_cast<unsigned char>(t[0])) == 'p' &&
         std::tolower(static_cast<unsigned char>(t[1])) == 'o' &&
         std::tolower(static_cast<unsigned char>(t[2])) == 'p';
}

bool IsPopLine(std::string_view line) {
  const std::string_view t = Trim(line);
  return t.size() == 3 && StartsWithPop(t);
}

// "Pop sample1": meant as a Pop line, and otherwise read as a locus name.
bool LooksLikeANamedPopLine(std::string_view line) {
  const std::string_view t = Trim(line);
  return t.size() > 3 && StartsWithPop(t) && IsBlank(t[3]) &&
         line.find(',') == std::string_view::npos;
}

struct Token {
  std::string_view text;
  uint32_t line;
};

void AppendTokens(std::string_view s, uint32_t line, std::vector<std::string>& texts,
                  std::vector<uint32_t>& lines) {
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    const std::size_t start = i;
    while (i < s.size() && !IsBlank(s[i])) ++i;
    if (i > start) {
      texts.emplace_back(s.substr(start, i - start));
      lines.push_back(line);
    }
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

const char* PloidyWord(uint8_t ploidy) { return ploidy == 1 ? "haploid" : "diploid"; }

// One genotype token at locus `locus`; fixes the locus's coding and ploidy
// on its first typed token.
std::optional<GenepopError> ParseGenotype(const Token& token, std::size_t locus, GenepopData& data,
                                          Genotype& genotype) {
  for (char c : token.text)
    if (c < '0' || c > '9')
      return Fail(token.line, Quoted(token.text) +
                                  " is not a genotype: expected 4 or 6 digits (two alleles of 2 "
                                  "or 3 digits), or 2 or 3 at a haploid locus");
  const std::size_t length = token.text.size();
  if (length != 2 && length != 3 && length % 2 == 1)
    return Fail(token.line, "genotype of odd length: " + Quoted(token.text) + " has " +
                                std::to_string(length) + " digits, expected 4 or 6");
  if (length > 6)
    return Fail(token.line,
                Quoted(token.text) + " has " + std::to_string(length) + " digits, expected 4 or 6");
  // Zeros alone are a missing genotype in any coding; they fix nothing.
  genotype = Genotype{};
  if (token.text.find_first_not_of('0') == std::string_view::npos) return std::nullopt;
  const uint8_t ploidy = length <= 3 ? 1 : 2;
  const auto digits = static_cast<uint8_t>(length / ploidy);
  if (data.ploidy[locus] == 0) {
    data.ploidy[locus] = ploidy;
    data.digits[locus] = digits;
  }
  if (data.ploidy[locus] != ploidy)
    return Fail(token.line, "mixed ploidy at locus " + data.loci[locus] + ": " +
                                Quoted(token.text) + " is " + PloidyWord(ploidy) +
                                " where the locus's first genotype is " +
                                PloidyWord(data.ploidy[locus]));
  if (data.digits[locus] != digits)
    return Fail(token.line, "mixed coding at locus " + data.loci[locus] + ": " +
                                Quoted(token.text) + " has " + std::to_string(length) +
                                " digits where the locus's first genotype has " +
                                std::to_string(ploidy * data.digits[locus]));
  uint16_t alleles[2] = {0, 0};
  for (std::size_t i = 0; i < length; ++i)
    alleles[i / digits] = static_cast<uint16_t>(alleles[i / digits] * 10 + (token.text[i] - '0'));
  genotype = ploidy == 1 ? Genotype{alleles[0], alleles[0]} : Genotype{alleles[0], alleles[1]};
  // One missing allele leaves the genotype unknown.
  if (!genotype.Typed()) genotype = Genotype{};
  return std::nullopt;
}

}  // namespace

struct GenepopReader::State {
  enum class Part { Title, Names, Samples };
  GenepopData& data;
  Part part = Part::Title;
  uint32_t number = 0;      // of the line last given
  uint32_t lastFilled = 0;  // the last line that was not blank
  uint32_t blank = 0;       // the first of the blank lines just read (0: none)
  std::optional<GenepopError> error;
  // The individual whose genotypes may go on over the next lines.
  bool pending = false;
  Individual individual;
  std::vector<std::string> tokens;
  std::vector<uint32_t> tokenLines;

  explicit State(GenepopData& d) : data(d) { data = GenepopData{}; }

  std::optional<GenepopError> Title(std::string_view line) {
    // A UTF-16 file reads as bytes with a zero beside every ASCII letter.
    const bool utf16 = line.substr(0, 2) == "\xFF\xFE" || line.substr(0, 2) == "\xFE\xFF" ||
                       line.find('\0') != std::string_view::npos;
    if (utf16)
      return Fail(1,
                  "the file is in UTF-16 (or holds zero bytes): save it as UTF-8 or plain text");
    if (line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);  // UTF-8 byte-order mark
    data.title = std::string(line);
    part = Part::Names;
    return std::nullopt;
  }

  std::optional<GenepopError> Names(std::string_view line) {
    if (IsPopLine(line)) {
      if (data.loci.empty()) return Fail(number, "Pop line before any locus name");
      data.digits.assign(data.loci.size(), 0);
      data.ploidy.assign(data.loci.size(), 0);
      part = Part::Samples;
      return StartSample();
    }
    if (LooksLikeANamedPopLine(line)) return NamedPopLine(line);
    std::string_view rest = line;
    for (;;) {
      const std::size_t comma = rest.find(',');
      const std::string_view name = Trim(rest.substr(0, comma));
      // Files written a name and a comma per line end their lines in a comma.
      if (name.empty() && comma == std::string_view::npos && !data.loci.empty()) break;
      if (name.empty()) return Fail(number, "empty locus name: expected names separated by commas");
      data.loci.emplace_back(name);
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    return std::nullopt;
  }

  std::optional<GenepopError> NamedPopLine(std::string_view line) const {
    return Fail(number, Quoted(Trim(line)) +
                            ": a Pop line holds the word Pop alone (a sample's name belongs in "
                            "its individuals' identifiers)");
  }

  std::optional<GenepopError> StartSample() {
    if (auto error = CheckLastSample()) return error;
    data.samples.push_back(Sample{{}, number});
    return std::nullopt;
  }

  std::optional<GenepopError> CheckLastSample() const {
    if (!data.samples.empty() && data.samples.back().individuals.empty())
      return Fail(data.samples.back().line,
                  "empty sample: expected at least one individual after the Pop line");
    return std::nullopt;
  }

  std::optional<GenepopError> Samples(std::string_view line) {
    const bool pop = IsPopLine(line), namedPop = LooksLikeANamedPopLine(line);
    const bool comma = line.find(',') != std::string_view::npos;
    // The genotypes may go on over the next lines, which then hold no comma.
    if (pending && tokens.size() < data.loci.size() && !pop && !namedPop && !comma) {
      AppendTokens(line, number, tokens, tokenLines);
      return std::nullopt;
    }
    if (auto error = FinishIndividual()) return error;
    if (pop) return StartSample();
    if (namedPop) return NamedPopLine(line);
    if (!comma) return Fail(number, "no comma: expected 'identifier , genotypes' or a Pop line");
    const std::size_t at = line.find(',');
    individual = Individual{};
    individual.identifier = std::string(Trim(line.substr(0, at)));
    individual.line = number;
    tokens.clear();
    tokenLines.clear();
    AppendTokens(line.substr(at + 1), number, tokens, tokenLines);
    pending = true;
    return std::nullopt;
  }

  std::optional<GenepopError> FinishIndividual() {
    if (!pending) return std::nullopt;
    pending = false;
    const std::size_t L = data.loci.size();
    if (tokens.size() != L)
      return Fail(individual.line,
                  "wrong number of genotypes for " + Quoted(individual.identifier) + ": expected " +
                      std::to_string(L) + ", found " + std::to_string(tokens.size()));
    individual.genotypes.resize(L);
    for (std::size_t locus = 0; locus < L; ++locus)
      if (auto error = ParseGenotype(Token{tokens[locus], tokenLines[locus]}, locus, data,
                                     individual.genotypes[locus]))
        return error;
    data.samples.back().individuals.push_back(std::move(individual));
    return std::nullopt;
  }

  // Text has no control characters but blanks: a byte below 32 is junk.
  std::optional<GenepopError> CheckText(std::string_view line) const {
    for (char c : line) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte >= 32 || IsBlank(c)) continue;
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", byte);
      return Fail(number, std::string("a control character (byte ") + code +
                              "): not a text file; save it as UTF-8 or plain text");
    }
    return std::nullopt;
  }

  std::optional<GenepopError> Line(std::string_view line) {
    ++number;
    if (part == Part::Title) {
      if (auto error = Title(line)) return error;
      return CheckText(line);
    }
    if (auto error = CheckText(line)) return error;
    if (Trim(line).empty()) {
      // Blank lines are refused only when something follows them.
      if (blank == 0) blank = number;
      return part == Part::Samples ? FinishIndividual() : std::nullopt;
    }
    if (blank != 0)
      return Fail(blank, part == Part::Names
                             ? "empty line: expected a locus name or the first Pop line"
                             : "empty line: expected an individual or a Pop line");
    lastFilled = number;
    return part == Part::Names ? Names(line) : Samples(line);
  }

  std::optional<GenepopError> Finish() {
    if (part != Part::Samples)
      return Fail(lastFilled == 0 ? 1 : lastFilled,
                  "no Pop line: the locus names must be followed by a line 'Pop'");
    if (auto error = FinishIndividual()) return error;
    return CheckLastSample();
  }
};

GenepopReader::GenepopReader(GenepopData& data) : state_(std::make_unique<State>(data)) {}

GenepopReader::~GenepopReader() = default;

std::optional<GenepopError> GenepopReader::Line(std::string_view line) {
  if (!state_->error) state_->error = state_->Line(line);
  return state_->error;
}

std::optional<GenepopError> GenepopReader::Finish() {
  if (!state_->error) state_->error = state_->Finish();
  return state_->error;
}

std::optional<GenepopError> ParseGenepop(std::string_view text, GenepopData& data) {
  GenepopReader reader(data);
  if (auto error = ForEachLine(text, [&](std::string_view line) { return reader.Line(line); }))
    return error;
  return reader.Finish();
}

}  // namespace dw::data
