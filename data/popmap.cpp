#include "data/popmap.h"

#include "data/textlines.h"

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
  if (auto problem = ReadLinesOf(
          name, kMaxMapLine, "too long for a line 'sample<TAB>population'",
          [&](std::string_view line, uint64_t number) -> std::optional<LineRefusal> {
            if (const auto error = AddPopulationMapLine(line, number, map))
              return LineRefusal{error->line, error->message};
            return std::nullopt;
          }))
    return problem;
  if (map.samples.empty())
    return LoadProblem{LoadProblem::Kind::Refused,
                       name + ": no sample: expected lines 'sample<TAB>population'"};
  return std::nullopt;
}

}  // namespace dw::data
