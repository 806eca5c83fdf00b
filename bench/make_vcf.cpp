// Writes a synthetic VCF for benchmarks: S sites × P populations × n samples
// per population, allele frequencies per population drawn around an
// ancestral frequency with the Balding–Nichols model (Beta, or Dirichlet for
// more than two alleles, with 1/F − 1 as the prior size), so that the
// expected Fst of every neutral site is F. Outlier sites draw with a much
// larger F. Also writes the matching population map and the outliers' IDs.
// Deterministic for a seed on one platform (std::gamma_distribution is the
// library's own).
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

struct Options {
  long sites = 28000;
  int populations = 10;
  int samplesPerPopulation = 100;
  double fst = 0.05;
  double missing = 0.0;
  long outliers = 0;
  double outlierFst = 0.5;
  int alleles = 2;
  uint64_t seed = 1;
  std::string out = "synthetic";
};

using Rng = std::mt19937_64;

// A draw from Dirichlet(size · mean): a Beta draw for two alleles.
std::vector<double> Dirichlet(const std::vector<double>& mean, double size, Rng& rng) {
  std::vector<double> draw(mean.size());
  double total = 0;
  for (std::size_t a = 0; a < mean.size(); ++a) {
    std::gamma_distribution<double> gamma(std::max(size * mean[a], 1e-9), 1.0);
    total += draw[a] = gamma(rng);
  }
  // All draws can underflow to 0 when the prior is tiny: fix on one allele.
  if (total <= 0) {
    std::fill(draw.begin(), draw.end(), 0.0);
    draw[std::uniform_int_distribution<std::size_t>(0, draw.size() - 1)(rng)] = 1;
    return draw;
  }
  for (double& p : draw) p /= total;
  return draw;
}

// Ancestral frequencies kept away from fixation, so most sites are polymorphic.
std::vector<double> AncestralFrequencies(int alleles, Rng& rng) {
  std::vector<double> p = Dirichlet(std::vector<double>(alleles, 1.0 / alleles), 2.0 * alleles, rng);
  for (double& f : p) f = 0.05 / alleles + 0.95 * f;
  return p;
}

int DrawAllele(const std::vector<double>& p, Rng& rng) {
  double u = std::uniform_real_distribution<double>(0, 1)(rng);
  for (std::size_t a = 0; a + 1 < p.size(); ++a) {
    if (u < p[a]) return static_cast<int>(a);
    u -= p[a];
  }
  return static_cast<int>(p.size() - 1);
}

std::string SampleName(int population, int individual) {
  return "p" + std::to_string(population + 1) + "_" + std::to_string(individual + 1);
}

void WriteHeader(const Options& o, FILE* vcf) {
  std::fprintf(vcf,
               "##fileformat=VCFv4.2\n##source=driftwise make_vcf\n##contig=<ID=1>\n"
               "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
               "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT");
  for (int p = 0; p < o.populations; ++p)
    for (int i = 0; i < o.samplesPerPopulation; ++i)
      std::fprintf(vcf, "\t%s", SampleName(p, i).c_str());
  std::fputc('\n', vcf);
}

void WriteSite(const Options& o, long site, bool outlier, Rng& rng, std::string& line, FILE* vcf) {
  static const char* const kBases[] = {"A", "C", "G", "T"};
  const double F = outlier ? o.outlierFst : o.fst;
  const std::vector<double> ancestral = AncestralFrequencies(o.alleles, rng);
  line = "1\t" + std::to_string(site + 1) + "\t" + (outlier ? "out" : "s") +
         std::to_string(site + 1) + "\tA\t";
  for (int a = 1; a < o.alleles; ++a) {
    if (a > 1) line += ',';
    line += a < 4 ? kBases[a] : "<A" + std::to_string(a) + ">";
  }
  line += "\t.\tPASS\t.\tGT";
  std::uniform_real_distribution<double> unit(0, 1);
  for (int p = 0; p < o.populations; ++p) {
    const std::vector<double> freq = Dirichlet(ancestral, 1.0 / F - 1.0, rng);
    for (int i = 0; i < o.samplesPerPopulation; ++i) {
      if (o.missing > 0 && unit(rng) < o.missing) {
        line += "\t./.";
        continue;
      }
      line += '\t';
      line += std::to_string(DrawAllele(freq, rng));
      line += '/';
      line += std::to_string(DrawAllele(freq, rng));
    }
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), vcf);
}

int Write(const Options& o) {
  Rng rng(o.seed);
  FILE* vcf = std::fopen((o.out + ".vcf").c_str(), "w");
  FILE* map = std::fopen((o.out + ".popmap.tsv").c_str(), "w");
  FILE* outliers = std::fopen((o.out + ".outliers.txt").c_str(), "w");
  if (!vcf || !map || !outliers) {
    std::perror(o.out.c_str());
    return 2;
  }
  for (int p = 0; p < o.populations; ++p)
    for (int i = 0; i < o.samplesPerPopulation; ++i)
      std::fprintf(map, "%s\tpop%d\n", SampleName(p, i).c_str(), p + 1);
  // Outliers spread evenly through the file.
  std::vector<bool> isOutlier(static_cast<std::size_t>(o.sites), false);
  for (long k = 0; k < o.outliers; ++k) isOutlier[static_cast<std::size_t>((2 * k + 1) * o.sites / (2 * o.outliers))] = true;
  WriteHeader(o, vcf);
  std::string line;
  for (long s = 0; s < o.sites; ++s) {
    WriteSite(o, s, isOutlier[static_cast<std::size_t>(s)], rng, line, vcf);
    if (isOutlier[static_cast<std::size_t>(s)]) std::fprintf(outliers, "out%ld\n", s + 1);
  }
  const bool failed = std::fclose(vcf) != 0 || std::fclose(map) != 0 || std::fclose(outliers) != 0;
  if (failed) std::perror(o.out.c_str());
  return failed ? 2 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  CLI::App app("Writes PREFIX.vcf, PREFIX.popmap.tsv and PREFIX.outliers.txt: a synthetic data "
               "set with a given Fst (Balding-Nichols), for benchmarks");
  app.add_option("--sites", o.sites, "Number of sites (S)")->capture_default_str()->check(CLI::Range(1L, 100000000L));
  app.add_option("--populations", o.populations, "Number of populations (P)")->capture_default_str()->check(CLI::Range(1, 10000));
  app.add_option("--samples-per-population", o.samplesPerPopulation, "Diploid samples per population (n)")
      ->capture_default_str()->check(CLI::Range(1, 1000000));
  app.add_option("--fst", o.fst, "Fst of the neutral sites (0 < F < 1)")->capture_default_str()->check(CLI::Range(1e-6, 0.999));
  app.add_option("--missing", o.missing, "Share of calls written ./.")->capture_default_str()->check(CLI::Range(0.0, 1.0));
  app.add_option("--outliers", o.outliers, "Number of outlier sites, drawn at --outlier-fst")->capture_default_str()->check(CLI::NonNegativeNumber);
  app.add_option("--outlier-fst", o.outlierFst, "Fst of the outlier sites")->capture_default_str()->check(CLI::Range(1e-6, 0.999));
  app.add_option("--alleles", o.alleles, "Alleles per site (2: SNPs; more: multi-allelic sites)")->capture_default_str()->check(CLI::Range(2, 255));
  app.add_option("--seed", o.seed, "Seed of the generator")->capture_default_str();
  app.add_option("--out", o.out, "Prefix of the files written")->capture_default_str();
  CLI11_PARSE(app, argc, argv);
  if (o.outliers > o.sites) {
    std::fprintf(stderr, "--outliers: more than --sites\n");
    return 64;
  }
  return Write(o);
}
