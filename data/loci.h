#pragma once
// The loci of a data set as every reader hands them on, whatever the file's
// format: per locus its name, its place on the genome when the format has
// one, and its typed genotypes reduced to what the statistics need (per
// population, allele counts and heterozygote counts per allele). `observe`,
// `scan` and the window's Loci tab work from this, never from a format's own
// structures.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/genepop.h"
#include "data/observed.h"

namespace dw::data {

struct LocusData {
  std::string name;
  std::string chrom;  // empty where the format has no positions
  int64_t pos = 0;    // 1-based; 0 where the format has no positions
  LocusCounts counts;
};

struct LociData {
  std::string title;                     // the Genepop title line; empty for other formats
  std::vector<std::string> populations;  // names, in the order of the populations
  bool hasPositions = false;             // the tables carry chrom and pos
  std::size_t samplesLeftOut = 0;        // samples of the file that no population takes
  std::size_t individuals = 0;           // individuals the populations hold
  std::vector<LocusData> loci;           // file order
};

// The loci of a Genepop data set, in file order.
LociData LociOf(const GenepopData& data);

// A data set handed on one locus at a time, so that a reader never holds
// every locus: `start` gets the data set without its loci before the first
// locus, `locus` each locus in file order.
struct LociVisitor {
  std::function<void(const LociData& header)> start;
  std::function<void(LocusData&& locus)> locus;
};

// Why a data file was not read.
struct LoadProblem {
  enum class Kind {
    Refused,     // not in the format: "NAME, line L: what was expected"
    Unreadable,  // a file error, as the command line prints it (file, code, system's text)
    Stopped,     // `stop` said so
  };
  Kind kind = Kind::Refused;
  std::string message;  // empty when stopped
};

}  // namespace dw::data
