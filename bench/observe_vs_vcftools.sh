#!/usr/bin/env bash
# CPU time and peak memory of `driftwise observe` beside vcftools
# --weir-fst-pop (one per population) on one synthetic VCF, made by make_vcf.
# Usage: bench/observe_vs_vcftools.sh BUILD_DIR [SITES] [POPULATIONS] [SAMPLES_PER_POPULATION]
# Needs vcftools (apt-get install vcftools). Prints one line per program:
# user + system seconds, elapsed seconds, peak resident memory.
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR [SITES] [POPULATIONS] [SAMPLES_PER_POPULATION]}
sites=${2:-28000}
populations=${3:-10}
per=${4:-100}
command -v vcftools >/dev/null || { echo "vcftools is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_vcf" --sites "$sites" --populations "$populations" \
  --samples-per-population "$per" --fst 0.05 --missing 0.01 --seed 7 --out "$work/data"
pops=()
for ((p = 1; p <= populations; ++p)); do
  awk -F'\t' -v pop="pop$p" '$2 == pop { print $1 }' "$work/data.popmap.tsv" >"$work/pop$p.txt"
  pops+=(--weir-fst-pop "$work/pop$p.txt")
done

measure() {
  local name=$1
  shift
  /usr/bin/time -f "%U %S %e %M" -o "$work/time.txt" "$@" >/dev/null 2>"$work/$name.err" ||
    { cat "$work/$name.err" >&2; exit 1; }
  awk -v name="$name" '{ printf "%-10s cpu %7.2f s  elapsed %7.2f s  peak %8.1f MB\n",
                           name, $1 + $2, $3, $4 / 1024 }' "$work/time.txt"
}

echo "$sites sites x $((populations * per)) samples in $populations populations"
measure driftwise "$build/app/driftwise" observe "$work/data.vcf" --popmap "$work/data.popmap.tsv"
measure vcftools vcftools --vcf "$work/data.vcf" "${pops[@]}" --out "$work/vcftools"
