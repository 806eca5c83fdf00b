#include "data/datafile.h"

#include <htslib/hts.h>
#include <htslib/hts_log.h>

#include "data/genepopfile.h"
#include "data/popmap.h"
#include "data/vcf.h"

namespace dw::data {

DataFormat DetectDataFormat(const std::string& name) {
  hts_set_log_level(HTS_LOG_OFF);
  htsFile* file = hts_open(name.c_str(), "r");
  if (file == nullptr) return DataFormat::Genepop;
  const htsFormat format = *hts_get_format(file);
  hts_close(file);
  if (format.format == vcf) return DataFormat::Vcf;
  if (format.format == bcf) return DataFormat::Bcf;
  if (format.compression == gzip || format.compression == bgzf) return DataFormat::GzipGenepop;
  return DataFormat::Genepop;
}

bool NeedsPopulationMap(DataFormat format) {
  return format == DataFormat::Vcf || format == DataFormat::Bcf;
}

namespace {

std::optional<LoadProblem> VisitGenepop(const std::string& name, bool compressed,
                                        const LociVisitor& visitor,
                                        const std::function<bool()>& stop) {
  GenepopData genepop;
  const auto problem = compressed ? LoadGzipGenepopFile(name, genepop, stop)
                                  : LoadGenepopFile(name, genepop, stop);
  if (problem) return problem;
  LociData head = LociOf(genepop);
  std::vector<LocusData> loci = std::move(head.loci);
  head.loci.clear();
  if (visitor.start) visitor.start(head);
  if (visitor.locus)
    for (LocusData& locus : loci) visitor.locus(std::move(locus));
  return std::nullopt;
}

}  // namespace

std::optional<LoadProblem> VisitLoci(const std::string& name, const std::string& popmap,
                                     const LociVisitor& visitor,
                                     const std::function<bool()>& stop) {
  const DataFormat format = DetectDataFormat(name);
  if (!NeedsPopulationMap(format))
    return VisitGenepop(name, format == DataFormat::GzipGenepop, visitor, stop);
  if (popmap.empty())
    return LoadProblem{LoadProblem::Kind::Refused,
                       name + ": a " + (format == DataFormat::Vcf ? "VCF" : "BCF") +
                           " file needs a population map: give one with --popmap FILE "
                           "(lines 'sample<TAB>population')"};
  PopulationMap map;
  if (auto problem = LoadPopulationMap(popmap, map)) return problem;
  return VisitVcf(name, map, popmap, visitor, stop);
}

std::optional<LoadProblem> LoadLoci(const std::string& name, const std::string& popmap,
                                    LociData& data, const std::function<bool()>& stop) {
  data = LociData{};
  LociVisitor visitor;
  visitor.start = [&data](const LociData& head) { data = head; };
  visitor.locus = [&data](LocusData&& locus) { data.loci.push_back(std::move(locus)); };
  return VisitLoci(name, popmap, visitor, stop);
}

}  // namespace dw::data
