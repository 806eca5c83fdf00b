#pragma once
// A population map: which population each sample of a VCF or BCF file
// belongs to, one line per sample, "sample<TAB>population" (the convention
// of the RAD pipelines). Populations are numbered in the order they first
// appear; samples of the data file that the map does not name are left out.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/loci.h"

namespace dw::data {

struct PopulationMap {
  std::vector<std::string> populations;  // in order of first appearance
  std::vector<std::string> samples;      // in map order
  std::unordered_map<std::string, uint32_t> populationOf;  // sample → 0-based population
};

// Why a map line was refused: its 1-based number and what was wrong.
struct PopulationMapError {
  uint64_t line = 0;
  std::string message;
};

// Adds line `number` (without its line end) to the map. Blank lines are skipped.
std::optional<PopulationMapError> AddPopulationMapLine(std::string_view line, uint64_t number,
                                                       PopulationMap& map);

// Reads the map from disk: refused with "MAP, line 3: ..." for a bad line,
// unreadable with the file error as the command line prints it.
std::optional<LoadProblem> LoadPopulationMap(const std::string& name, PopulationMap& map);

}  // namespace dw::data
