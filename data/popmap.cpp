#include "data/popmap.h"

#include "runtime/errors.h"
#include "runtime/linereader.h"
#include "runtime/messages.h"
#include "runtime/osfiles.h"

namespace dw::data {

namespace {

// A map line is short; a longer one means the file is not a map.
constexpr std::size_t kMaxMapLine = std::size_t{1} << 16;

std::optional<PopulationMapError> Fail(uint64_t line, std::string message) {
  return PopulationMapError{line, std::move(message)};
}

}  // namespace

std::optional<PopulationMapError> AddPopulationMapLine(std::string_view line, uint64_t number,
                                                       PopulationMap& map) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.find_first_not_of(" \t") == std::string_view::npos) return std::nullopt;
  const std::size_t tab = line.find('\t');
  if (tab == std::string_view::npos)
    return Fail(number, "no tab: expected 'sample<TAB>population'");
  const std::string sample(line.substr(0, tab));
  const std::string_view population = line.substr(tab + 1);
  if (population.find('\t') != std::string_view::npos)
    return Fail(number, "more than two columns: expected 'sample<TAB>population'");
  if (sample.empty()) return Fail(number, "empty sample name");
  if (population.empty()) return Fail(number, "empty population name");
  if (map.populationOf.count(sample) != 0)
    return Fail(number, "sample '" + sample + "' is named twice");
  uint32_t index = 0;
  while (index < map.populations.size() && map.populations[index] != population) ++index;
  if (index == map.populations.size()) map.populations.emplace_back(population);
  map.populationOf.emplace(sample, index);
  map.samples.push_back(sample);
  return std::nullopt;
}

std::optional<LoadProblem> LoadPopulationMap(const std::string& name, PopulationMap& map) {
  map = PopulationMap{};
  LineReader reader(LineReader::Ends::Any, kMaxMapLine);
  const auto failed = [&](int code, int systemError) {
    return LoadProblem{LoadProblem::Kind::Unreadable,
                       CommandLineErrorText(EInOutError(code, systemError, name))};
  };
  const auto refused = [&](uint64_t line, const std::string& message) {
    return LoadProblem{LoadProblem::Kind::Refused,
                       name + ", line " + std::to_string(line) + ": " + message};
  };
  if (const int code = reader.Open(name)) return failed(code, LastSystemError());
  std::string line;
  bool ended = false;
  for (;;) {
    const LineReader::Result next = reader.Next(line, ended);
    if (next == LineReader::Result::End) break;
    if (next == LineReader::Result::Failed) return failed(reader.Code(), reader.SystemError());
    if (next == LineReader::Result::TooLong)
      return refused(reader.LineNumber(), "too long for a line 'sample<TAB>population'");
    if (const auto error = AddPopulationMapLine(line, reader.LineNumber(), map))
      return refused(error->line, error->message);
  }
  if (map.samples.empty())
    return LoadProblem{LoadProblem::Kind::Refused,
                       name + ": no sample: expected lines 'sample<TAB>population'"};
  return std::nullopt;
}

}  // namespace dw::data
