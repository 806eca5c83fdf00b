#include "data/vcf.h"

#include <htslib/hts.h>
#include <htslib/hts_log.h>
#include <htslib/kseq.h>
#include <htslib/kstring.h>
#include <htslib/vcf.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "runtime/errors.h"
#include "runtime/messages.h"
#include "runtime/osfiles.h"

namespace dw::data {

namespace {

constexpr uint32_t kLeftOut = std::numeric_limits<uint32_t>::max();

// htslib's objects of one reading, released in reverse order of opening.
struct VcfFile {
  htsFile* file = nullptr;
  bcf_hdr_t* header = nullptr;
  bcf1_t* record = nullptr;
  int32_t* calls = nullptr;  // the record's GT values, in htslib's buffer
  int callsCapacity = 0;
  bool text = false;

  VcfFile() = default;
  VcfFile(const VcfFile&) = delete;
  VcfFile& operator=(const VcfFile&) = delete;
  ~VcfFile() {
    std::free(calls);
    if (record) bcf_destroy(record);
    if (header) bcf_hdr_destroy(header);
    if (file) hts_close(file);
  }
};

// One site's calls, per population over all k alleles of the site; the
// ploidies seen are those of calls with at least one known allele.
struct SiteTally {
  std::size_t alleles = 0;
  std::vector<uint32_t> typed;         // [population]
  std::vector<uint32_t> copies, hets;  // [population * alleles + allele]
  bool haploid = false, diploid = false, polyploid = false;

  void Reset(std::size_t populations, std::size_t k) {
    alleles = k;
    typed.assign(populations, 0);
    copies.assign(populations * k, 0);
    hets.assign(populations * k, 0);
    haploid = diploid = polyploid = false;
  }
};

bool MissingAllele(int32_t value) {
  return value == bcf_int32_missing || bcf_gt_is_missing(value);
}

// Adds one sample's call of `width` values (htslib's GT encoding). Returns
// the allele index the call names beyond the site's alleles, or -1.
int TallyCall(const int32_t* call, int width, std::size_t population, SiteTally& t) {
  int ploidy = 0, known = 0;
  std::size_t allele[2] = {0, 0};
  for (; ploidy < width && call[ploidy] != bcf_int32_vector_end; ++ploidy) {
    if (MissingAllele(call[ploidy])) continue;
    const int a = bcf_gt_allele(call[ploidy]);
    if (a < 0) continue;
    if (static_cast<std::size_t>(a) >= t.alleles) return a;
    if (known < 2) allele[known] = static_cast<std::size_t>(a);
    ++known;
  }
  if (known == 0) return -1;  // a missing call tells no ploidy
  if (ploidy > 2) {
    t.polyploid = true;
    return -1;
  }
  (ploidy == 1 ? t.haploid : t.diploid) = true;
  if (known < ploidy) return -1;  // a half call is not typed
  ++t.typed[population];
  uint32_t* copies = &t.copies[population * t.alleles];
  uint32_t* hets = &t.hets[population * t.alleles];
  if (ploidy == 1) {
    copies[allele[0]] += 2;  // counted twice, as a haploid Genepop genotype
    return -1;
  }
  ++copies[allele[0]];
  ++copies[allele[1]];
  if (allele[0] != allele[1]) ++hets[allele[0]], ++hets[allele[1]];
  return -1;
}

// The tally as CountLocus makes it for Genepop: only alleles carried, only
// populations with an individual typed.
LocusCounts CountsOf(const SiteTally& t) {
  LocusCounts c;
  if (t.polyploid || (t.haploid && t.diploid)) {
    c.polyploid = t.polyploid;
    c.mixedPloidy = !t.polyploid;
    return c;
  }
  c.haploid = t.haploid;
  const std::size_t P = t.typed.size(), k = t.alleles;
  std::vector<std::size_t> carried;
  for (std::size_t a = 0; a < k; ++a) {
    uint64_t total = 0;
    for (std::size_t p = 0; p < P; ++p) total += t.copies[p * k + a];
    if (total == 0) continue;
    carried.push_back(a);
    c.alleles.push_back(static_cast<uint16_t>(a + 1));
  }
  for (std::size_t p = 0; p < P; ++p) {
    if (t.typed[p] == 0) continue;
    c.sampleNumbers.push_back(static_cast<uint32_t>(p + 1));
    c.typed.push_back(t.typed[p]);
    std::vector<uint32_t> copies, hets;
    copies.reserve(carried.size());
    hets.reserve(carried.size());
    for (std::size_t a : carried) {
      copies.push_back(t.copies[p * k + a]);
      hets.push_back(t.hets[p * k + a]);
    }
    c.copies.push_back(std::move(copies));
    c.hets.push_back(std::move(hets));
  }
  return c;
}

std::optional<LoadProblem> Refused(std::string message) {
  return LoadProblem{LoadProblem::Kind::Refused, std::move(message)};
}

// The columns of a text line, before htslib cuts it in place.
std::size_t ColumnsOf(const kstring_t& line) {
  std::size_t columns = 1;
  for (const char* c = line.s; (c = static_cast<const char*>(std::memchr(c, '\t', line.s + line.l - c)));
       ++c)
    ++columns;
  return columns;
}

// htslib takes a short line as a record without calls: a cut line would
// silently lose its genotypes.
std::optional<std::string> WrongColumns(const VcfFile& f) {
  const int samples = bcf_hdr_nsamples(f.header);
  const std::size_t expected = samples > 0 ? 9 + static_cast<std::size_t>(samples) : 8;
  const std::size_t columns = ColumnsOf(f.file->line);
  if (columns == expected) return std::nullopt;
  return std::to_string(columns) + " columns where the header's #CHROM line has " +
         std::to_string(expected);
}

enum class Next { Record, End, Refused };

// The next record into f.record; for text, the line is checked before
// htslib parses it. `reason` says why a record was refused.
Next ReadRecord(VcfFile& f, std::string& reason) {
  if (!f.text) {
    const int read = bcf_read(f.file, f.header, f.record);
    if (read == -1) return Next::End;
    if (read == 0) return Next::Record;
    reason = "not a valid BCF record (or the file is damaged)";
    return Next::Refused;
  }
  kstring_t& line = f.file->line;
  int got = 0;
  // Blank lines (often the last) hold no record.
  while ((got = hts_getline(f.file, KS_SEP_LINE, &line)) >= 0 && line.l == 0) {
  }
  if (got == -1) return Next::End;
  if (got < -1) {
    reason = "the compressed data is damaged";
    return Next::Refused;
  }
  if (auto wrong = WrongColumns(f)) {
    reason = *wrong;
    return Next::Refused;
  }
  if (vcf_parse(&line, f.header, f.record) == 0) return Next::Record;
  reason = "not a valid VCF record (htslib could not parse it)";
  return Next::Refused;
}

std::string RecordPlace(const std::string& name, const VcfFile& f, uint64_t record) {
  std::string place = name + ", record " + std::to_string(record);
  if (f.text) place += " (line " + std::to_string(f.file->lineno) + ")";
  return place;
}

// Every sample of the map must be in the file; the file's other samples are
// left out. `populationOf` is per column of the file.
std::optional<LoadProblem> MatchSamples(const std::string& name, const bcf_hdr_t* header,
                                        const PopulationMap& map, const std::string& mapName,
                                        LociData& head, std::vector<uint32_t>& populationOf) {
  const int columns = bcf_hdr_nsamples(header);
  populationOf.assign(static_cast<std::size_t>(columns), kLeftOut);
  std::size_t absent = 0;
  std::string first;
  for (const std::string& sample : map.samples) {
    const int column = bcf_hdr_id2int(header, BCF_DT_SAMPLE, sample.c_str());
    if (column < 0 || column >= columns) {
      if (absent++ == 0) first = sample;
      continue;
    }
    populationOf[static_cast<std::size_t>(column)] = map.populationOf.at(sample);
  }
  if (absent > 0)
    return Refused(mapName + ": sample '" + first + "' is not in " + name +
                   (absent > 1 ? " (nor are " + std::to_string(absent - 1) + " other samples of the map)"
                               : std::string()));
  head.populations = map.populations;
  head.hasPositions = true;
  head.individuals = map.samples.size();
  head.samplesLeftOut = static_cast<std::size_t>(columns) - map.samples.size();
  return std::nullopt;
}

std::string LocusName(const bcf_hdr_t* header, const bcf1_t* record) {
  const char* id = record->d.id;
  if (id != nullptr && id[0] != '\0' && std::strcmp(id, ".") != 0) return id;
  return std::string(bcf_seqname_safe(header, record)) + ":" + std::to_string(record->pos + 1);
}

// The record just read as a locus; the reason when its calls cannot be counted.
std::optional<std::string> ReadSite(VcfFile& f, const std::vector<uint32_t>& populationOf,
                                    std::size_t populations, SiteTally& tally, LocusData& locus) {
  bcf1_t* record = f.record;
  bcf_unpack(record, BCF_UN_STR);
  if (record->pos < 0) return std::string("POS is not a position (a whole number of 1 or more)");
  const std::size_t k = record->n_allele;  // 16 bits in htslib, as LocusCounts' codes
  locus.name = LocusName(f.header, record);
  locus.chrom = bcf_seqname_safe(f.header, record);
  locus.pos = record->pos + 1;
  tally.Reset(populations, k);
  const int values = bcf_get_genotypes(f.header, record, &f.calls, &f.callsCapacity);
  const std::size_t columns = populationOf.size();
  if (values > 0 && columns > 0) {
    const int width = values / static_cast<int>(columns);
    for (std::size_t s = 0; s < columns; ++s) {
      if (populationOf[s] == kLeftOut) continue;
      const int bad = TallyCall(f.calls + s * width, width, populationOf[s], tally);
      if (bad >= 0)
        return "the call of sample '" + std::string(f.header->samples[s]) + "' names allele " +
               std::to_string(bad) + " where the site has " + std::to_string(k) +
               " alleles (0 to " + std::to_string(k - 1) + ")";
    }
  }
  locus.counts = CountsOf(tally);
  return std::nullopt;
}

}  // namespace

std::optional<LoadProblem> VisitVcf(const std::string& name, const PopulationMap& map,
                                    const std::string& mapName, const LociVisitor& visitor,
                                    const std::function<bool()>& stop) {
  // htslib's own log would repeat, in its words, what the messages here say.
  hts_set_log_level(HTS_LOG_OFF);
  VcfFile f;
  errno = 0;
  f.file = hts_open(name.c_str(), "r");
  if (f.file == nullptr) {
    const int error = errno != 0 ? errno : EIO;
    return LoadProblem{LoadProblem::Kind::Unreadable,
                       CommandLineErrorText(EInOutError(MapErrno(error), error, name))};
  }
  f.text = hts_get_format(f.file)->format == vcf;
  f.header = bcf_hdr_read(f.file);
  if (f.header == nullptr) return Refused(name + ": the VCF header could not be read");
  LociData head;
  std::vector<uint32_t> populationOf;
  if (auto problem = MatchSamples(name, f.header, map, mapName, head, populationOf)) return problem;
  if (visitor.start) visitor.start(head);
  f.record = bcf_init();
  SiteTally tally;
  uint64_t number = 0;
  for (std::string reason;;) {
    const Next next = ReadRecord(f, reason);
    if (next == Next::End) break;
    ++number;
    if (next == Next::Refused) return Refused(RecordPlace(name, f, number) + ": " + reason);
    LocusData locus;
    if (auto wrong = ReadSite(f, populationOf, head.populations.size(), tally, locus))
      return Refused(RecordPlace(name, f, number) + ": " + *wrong);
    if (visitor.locus) visitor.locus(std::move(locus));
    if (stop && stop()) return LoadProblem{LoadProblem::Kind::Stopped, {}};
  }
  return std::nullopt;
}

}  // namespace dw::data
