#pragma once
// The three migration models' names, each written once: the word the command
// line, the job files and JSON use, the line a result file's header carries,
// and the name in prose. A name spelt in two places would drift, and a result
// file written under one spelling would be refused when read under another.
#include <optional>
#include <string_view>

#include "engine/state.h"

namespace dw {

struct ModelNames {
  MigrationModel model;
  std::string_view word;        // --model: "infinite", "stepping", "finite"
  std::string_view headerLine;  // line 2 of a result file
  std::string_view prose;       // "infinite island", …
};

inline constexpr ModelNames kModelNames[] = {
    {MigrationModel::InfiniteIsland, "infinite", "Infinite island model", "infinite island"},
    {MigrationModel::SteppingStone, "stepping", "Stepping-stone", "stepping-stone"},
    {MigrationModel::FiniteIsland, "finite", "Finite island model", "finite island"},
};

constexpr const ModelNames& NamesOf(MigrationModel model) {
  for (const ModelNames& names : kModelNames)
    if (names.model == model) return names;
  return kModelNames[0];
}

// The model of a command-line word or a header line; empty for neither.
constexpr std::optional<MigrationModel> ModelOfWord(std::string_view word) {
  for (const ModelNames& names : kModelNames)
    if (names.word == word) return names.model;
  return std::nullopt;
}
constexpr std::optional<MigrationModel> ModelOfHeaderLine(std::string_view line) {
  for (const ModelNames& names : kModelNames)
    if (names.headerLine == line) return names.model;
  return std::nullopt;
}

// The model a run was started with: the flag stored at its start, else the
// stepping-stone choice.
constexpr MigrationModel ModelOfRun(bool infiniteIsland, bool steppingStone) {
  return infiniteIsland  ? MigrationModel::InfiniteIsland
         : steppingStone ? MigrationModel::SteppingStone
                         : MigrationModel::FiniteIsland;
}

}  // namespace dw
