#include "data/loci.h"

namespace dw::data {

LociData LociOf(const GenepopData& data) {
  LociData loci;
  loci.title = data.title;
  for (std::size_t s = 0; s < data.samples.size(); ++s)
    loci.populations.push_back("pop" + std::to_string(s + 1));
  for (const Sample& sample : data.samples) loci.individuals += sample.individuals.size();
  loci.loci.reserve(data.loci.size());
  for (std::size_t locus = 0; locus < data.loci.size(); ++locus)
    loci.loci.push_back(LocusData{data.loci[locus], "", 0, CountLocus(data, locus)});
  return loci;
}

}  // namespace dw::data
