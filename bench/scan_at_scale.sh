#!/usr/bin/env bash
# The scan at genome scale, on a synthetic SNP data set made by make_vcf:
#   1. SITES SNPs (default 100000) of 10 populations of 30 samples at Fst 0.05,
#      scanned at the defaults on 2 threads: wall and CPU time, peak memory;
#   2. 20000 SNPs with 20 strong outliers (Fst 0.5), scanned at the defaults:
#      its CPU time divided by that of one `driftwise run -I 1000` of the same
#      size (P = 10, N = 100, n = 30, A = 2, T = 100), measured beside it, and
#      how many of the planted outliers are flagged.
# Usage: bench/scan_at_scale.sh BUILD_DIR [SITES]
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR [SITES]}
sites=${2:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
program="$build/app/driftwise"

# user + system seconds, elapsed seconds and peak MB of one command.
measure() {
  local name=$1
  shift
  /usr/bin/time -f "%U %S %e %M" -o "$work/time.txt" "$@" >"$work/$name.out" 2>"$work/$name.err" ||
    { cat "$work/$name.err" >&2; exit 1; }
  read -r user system elapsed peak <"$work/time.txt"
  cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')
  printf '%-22s cpu %8.2f s  elapsed %8.2f s  peak %8.1f MB\n' "$name" "$cpu" "$elapsed" \
    "$(awk -v k="$peak" 'BEGIN { printf "%.1f", k / 1024 }')"
}

"$build/bench/make_vcf" --sites "$sites" --populations 10 --samples-per-population 30 \
  --fst 0.05 --seed 2 --out "$work/neutral" >/dev/null
echo "$sites SNPs, 10 populations of 30 samples, Fst 0.05:"
measure "scan (2 threads)" "$program" scan "$work/neutral.vcf" --popmap "$work/neutral.popmap.tsv" \
  --seed 1 --threads 2 --json "$work/neutral.json"
grep -E '^(p-values|flagged)' "$work/scan (2 threads).err" || true

"$build/bench/make_vcf" --sites 20000 --populations 10 --samples-per-population 30 --fst 0.05 \
  --outliers 20 --outlier-fst 0.5 --seed 1 --out "$work/planted" >/dev/null
awk 'BEGIN { for (r = 0; r < 11; ++r) print "0.3 0.7" }' >"$work/freq.txt"
echo "20000 SNPs with 20 planted outliers, against one run -I 1000 of the same size:"
measure "run -I 1000" "$program" run --seed 1 -P 10 -N 100 -n 30 -A 2 -T 100 -I 1000 \
  -i "$work/freq.txt" -o "$work/run.txt" --threads 1
run_cpu=$cpu
measure "scan" "$program" scan "$work/planted.vcf" --popmap "$work/planted.popmap.tsv" --seed 1 \
  --tsv "$work/planted.tsv"
awk -v a="$cpu" -v b="$run_cpu" 'BEGIN { printf "scan / run CPU ratio: %.1f\n", a / b }'
flagged=$(awk -F'\t' 'NR == 1 { for (c = 1; c <= NF; ++c) col[$c] = c; next }
                      $1 ~ /^out/ && $col["flag_wc"] == "yes" { ++n } END { print n + 0 }' \
          "$work/planted.tsv")
echo "planted outliers flagged by WC: $flagged of $(wc -l <"$work/planted.outliers.txt")"
grep -E '^(p-values|flagged)' "$work/scan.err" || true
