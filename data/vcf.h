#pragma once
// Genotypes in VCF (plain, bgzip- or gzip-compressed) or BCF, read through
// htslib one site at a time. Only GT is read. A site is a locus: its alleles
// are REF then ALT, coded 1…k in that order, and only the alleles some
// typed individual carries count (as for Genepop). A call with a missing
// allele ("./.", "./1") is not typed; phased and unphased calls are the
// same. The population of each sample comes from a population map.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "data/loci.h"
#include "data/popmap.h"

namespace dw::data {

// Visits every site of the file `name` as a locus, per population only its
// counts. `mapName` names the map in messages. A record htslib cannot read,
// or whose calls name an allele the site lacks, is refused with its record
// number (and line, for text); the loci before it have been visited. `stop`,
// when given, is asked after each record.
std::optional<LoadProblem> VisitVcf(const std::string& name, const PopulationMap& map,
                                    const std::string& mapName, const LociVisitor& visitor,
                                    const std::function<bool()>& stop = {});

}  // namespace dw::data
