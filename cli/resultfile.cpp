#include "cli/resultfile.h"

#include <charconv>

#include "engine/model.h"

namespace dw::cli {

namespace {

constexpr std::string_view kFirstLine =
    "Output file : values of Fst : Weir&Cockerham, Robertson&Hill, and Delta=WC-RH";

// A cursor over the text's lines; a line ends at LF, a CR just before it
// belongs to the line end.
struct LineCursor {
  std::string_view text;
  std::size_t position = 0;
  std::size_t number = 0;  // of the line last read, 1-based

  bool AtEnd() const { return position > text.size(); }
  // The next line and whether a line end closed it.
  std::string_view Next(bool& ended) {
    ++number;
    const std::size_t lf = text.find('\n', position);
    std::size_t end = lf == std::string_view::npos ? text.size() : lf;
    ended = lf != std::string_view::npos;
    const std::size_t start = position;
    position = ended ? lf + 1 : text.size() + 1;
    if (ended && end > start && text[end - 1] == '\r') --end;
    return text.substr(start, end - start);
  }
};

bool Literal(std::string_view line, std::size_t& at, std::string_view literal) {
  if (line.substr(at, literal.size()) != literal) return false;
  at += literal.size();
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal digits, as WriteInteger writes a count, up to `max`.
bool Count(std::string_view line, std::size_t& at, uint32_t max, uint32_t& value) {
  const std::size_t start = at;
  while (at < line.size() && IsDigit(line[at])) ++at;
  if (at == start || at - start > 10) return false;
  uint64_t v = 0;
  for (std::size_t i = start; i < at; ++i) v = v * 10 + static_cast<uint64_t>(line[i] - '0');
  if (v > max) return false;
  value = static_cast<uint32_t>(v);
  return true;
}

// A fixed-point field as WriteReal writes it: right-justified in `width`
// (a longer text kept whole), an optional minus, digits, the point and
// exactly `decimals` digits. The value is read with the point in any locale.
bool FixedField(std::string_view line, std::size_t& at, std::size_t width, std::size_t decimals,
                double& value) {
  const std::size_t start = at;
  while (at < line.size() && line[at] == ' ') ++at;
  const std::size_t number = at;
  if (at < line.size() && line[at] == '-') ++at;
  const std::size_t integer = at;
  while (at < line.size() && IsDigit(line[at])) ++at;
  if (at == integer || at >= line.size() || line[at] != '.') return false;
  ++at;
  for (std::size_t d = 0; d < decimals; ++d, ++at)
    if (at >= line.size() || !IsDigit(line[at])) return false;
  const std::size_t length = at - start;
  if (number > start ? length != width : length < width) return false;
  const auto result = std::from_chars(line.data() + number, line.data() + at, value);
  return result.ec == std::errc() && result.ptr == line.data() + at;
}

bool ParseSizeLine(std::string_view line, ResultHeader& header) {
  std::size_t at = 0;
  return Count(line, at, 65535, header.P) && Literal(line, at, " islands of effective size ") &&
         Count(line, at, 65535, header.N) && Literal(line, at, ", ") &&
         Count(line, at, 65535, header.n) &&
         Literal(line, at, " individuals sampled per island.") && at == line.size();
}

bool ParseMigrationLine(std::string_view line, ResultHeader& header) {
  std::size_t at = 0;
  if (!Literal(line, at, "Migration rate ")) return false;
  const std::size_t start = at;
  if (!FixedField(line, at, 5, 4, header.m)) return false;
  header.migrationText = std::string(line.substr(start, at - start));
  return Literal(line, at, ", number of generations : ") && Count(line, at, 65535, header.T) &&
         at == line.size();
}

bool ParseAllelesLine(std::string_view line, ResultHeader& header) {
  std::size_t at = 0;
  return Literal(line, at, "Number of alleles ") && Count(line, at, 255, header.A) &&
         at == line.size();
}

// Header line k (1…5) into `header`; the problem's text when it is not one.
std::optional<std::string> ParseHeaderLine(std::size_t k, std::string_view line,
                                           ResultHeader& header) {
  switch (k) {
    case 1:
      if (line == kFirstLine) return std::nullopt;
      return "not a result file: the first line should read \"" + std::string(kFirstLine) + "\"";
    case 2:
      if (ModelOfHeaderLine(line)) {
        header.model = std::string(line);
        return std::nullopt;
      }
      return std::string(
          "the model line should read \"Infinite island model\", \"Stepping-stone\" or "
          "\"Finite island model\"");
    case 3:
      if (ParseSizeLine(line, header)) return std::nullopt;
      return std::string(
          "the line should read \"P islands of effective size N, n individuals sampled per "
          "island.\"");
    case 4:
      if (ParseMigrationLine(line, header)) return std::nullopt;
      return std::string("the line should read \"Migration rate m, number of generations : T\"");
    default:
      if (ParseAllelesLine(line, header)) return std::nullopt;
      return std::string("the line should read \"Number of alleles A\"");
  }
}

std::string Quoted(std::string_view line) {
  constexpr std::size_t kShown = 60;
  std::string shown(line.substr(0, kShown));
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 32) c = '?';
  return "\"" + shown + (line.size() > kShown ? "..." : "") + "\"";
}

std::string ValueLineProblem(std::string_view line, bool last) {
  std::string what =
      "not a value line (WC=, RH= and Delta=WC-RH= with seven decimals each): " + Quoted(line);
  if (last) what += "; a run that was killed leaves such a last line";
  return what;
}

}  // namespace

bool ParseValueLine(std::string_view line, double& wc, double& rh, double& delta) {
  std::size_t at = 0;
  return Literal(line, at, "WC=") && FixedField(line, at, 11, 7, wc) &&
         Literal(line, at, " RH=") && FixedField(line, at, 11, 7, rh) &&
         Literal(line, at, " Delta=WC-RH=") && FixedField(line, at, 11, 7, delta) &&
         at == line.size();
}

std::optional<ResultProblem> ResultReader::Line(std::string_view line, bool ended) {
  const std::size_t k = ++lines_;
  lastEnded_ = ended;
  if (k <= 5) {
    if (auto what = ParseHeaderLine(k, line, header_)) return ResultProblem{k, *what};
    if (!ended) return ResultProblem{k, "the file ends within the five header lines"};
    return std::nullopt;
  }
  if (k == 6) {
    if (!line.empty()) return ResultProblem{6, "an empty line should follow the header"};
    return std::nullopt;
  }
  double wc, rh, delta;
  if (!ParseValueLine(line, wc, rh, delta)) return ResultProblem{k, ValueLineProblem(line, !ended)};
  deltas_.push_back(delta);
  return std::nullopt;
}

std::optional<ResultProblem> ResultReader::Finish() const {
  if (lines_ < 5) {
    // The first header line that is missing.
    ResultHeader ignored;
    return ResultProblem{lines_ + 1, *ParseHeaderLine(lines_ + 1, "", ignored)};
  }
  if (lines_ == 5) return ResultProblem{6, "no simulation values after the header (the run wrote none)"};
  if (lastEnded_)
    return ResultProblem{lines_ + 1,
                         "the file ends with a line end after its last whole line: the run that "
                         "wrote it did not finish (it ended in an error, or was cancelled or "
                         "interrupted)"};
  return std::nullopt;
}

std::optional<ResultProblem> ParseResultText(std::string_view text, ResultHeader& header,
                                             std::vector<double>& deltas) {
  ResultReader reader(header, deltas);
  LineCursor cursor{text};
  while (!cursor.AtEnd() && cursor.position < text.size()) {
    bool ended = false;
    const std::string_view line = cursor.Next(ended);
    if (auto problem = reader.Line(line, ended)) return problem;
  }
  return reader.Finish();
}

std::optional<std::string> HeaderDifference(const ResultHeader& a, const std::string& aName,
                                            const ResultHeader& b, const std::string& bName) {
  auto differ = [&](const std::string& field, const std::string& va, const std::string& vb) {
    return field + " = " + vb + " in " + bName + ", " + field + " = " + va + " in " + aName;
  };
  if (a.model != b.model) return differ("model", "\"" + a.model + "\"", "\"" + b.model + "\"");
  struct Field {
    const char* name;
    uint32_t ResultHeader::*value;
  };
  for (Field f : {Field{"P", &ResultHeader::P}, Field{"N", &ResultHeader::N},
                  Field{"n", &ResultHeader::n}})
    if (a.*f.value != b.*f.value)
      return differ(f.name, std::to_string(a.*f.value), std::to_string(b.*f.value));
  if (a.migrationText != b.migrationText) return differ("m", a.migrationText, b.migrationText);
  for (Field f : {Field{"T", &ResultHeader::T}, Field{"A", &ResultHeader::A}})
    if (a.*f.value != b.*f.value)
      return differ(f.name, std::to_string(a.*f.value), std::to_string(b.*f.value));
  return std::nullopt;
}

}  // namespace dw::cli
