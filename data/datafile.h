#pragma once
// The one entry to a data file, whatever its format: the format is told by
// the content, not the name (VCF, plain or compressed; BCF; else Genepop,
// plain or gzip-compressed). VCF and BCF need a population map.
#include <functional>
#include <optional>
#include <string>

#include "data/loci.h"

namespace dw::data {

enum class DataFormat { Genepop, GzipGenepop, Vcf, Bcf };

// The format the file's first bytes show; Genepop when it cannot be opened
// (the Genepop reader then names the file error).
DataFormat DetectDataFormat(const std::string& name);

// True for VCF and BCF: the formats that need a population map.
bool NeedsPopulationMap(DataFormat format);

// Hands the data set to `visitor` one locus at a time. `popmap` is the
// population map's file name, required for VCF and BCF (empty: none). A
// Genepop file is read whole first (its loci are columns of its lines);
// VCF and BCF are read site by site. `stop`, when given, is asked as it goes.
std::optional<LoadProblem> VisitLoci(const std::string& name, const std::string& popmap,
                                     const LociVisitor& visitor,
                                     const std::function<bool()>& stop = {});

// The whole data set in `data` (incomplete after a problem).
std::optional<LoadProblem> LoadLoci(const std::string& name, const std::string& popmap,
                                    LociData& data, const std::function<bool()>& stop = {});

}  // namespace dw::data
