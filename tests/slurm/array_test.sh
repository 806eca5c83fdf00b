#!/usr/bin/env bash
# A job array through a real, one-node SLURM cluster (cluster.sh): four `run`
# jobs submitted with sbatch --array=0-3 --wait and pooled by `merge` give
# the very bytes of the same four jobs run here without SLURM; an array in
# which one job is killed leaves `merge` refusing, the job named. Then a scan
# in four parts under one null, merged, against the one-machine scan.
# Usage: array_test.sh DRIFTWISE SOURCE_DIR. Exit 77 (skipped) when the
# machine cannot hold the cluster: not root, or the packages missing.
set -uo pipefail
export PATH=$PATH:/usr/sbin:/sbin  # the daemons, as cluster.sh finds them

program=$1 source=$2
cluster=$source/tests/slurm/cluster.sh
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || skip "the cluster's daemons must run as root, and this test does not"
for tool in munged slurmctld slurmd sbatch; do
  command -v "$tool" >/dev/null ||
    skip "$tool is missing (scripts/install-deps installs slurmctld slurmd slurm-client munge)"
done

# munged wants every folder above its socket searchable by everyone.
work=$(mktemp -d /tmp/driftwise-slurm.XXXXXX) && chmod 0711 "$work" || fail "no scratch folder"
cleanup() {
  bash "$cluster" stop "$work/cluster"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

bash "$cluster" start "$work/cluster"
case $? in
  0) ;;
  77) skip "the cluster cannot run here (see above)" ;;
  *) fail "the cluster did not start" ;;
esac

# Small jobs: the point is the plumbing, not the statistics.
run_args=(--seed 2026 --jobs 4 -P 3 -A 3 -N 20 -n 10 -T 10 -I 300 -i three.txt)

job_script() {  # the array's script; $1: what job 2 does instead of its run
  cat <<SCRIPT
#!/bin/sh
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=1
#SBATCH --time=1
k=\$SLURM_ARRAY_TASK_ID
$1
exec '$program' run ${run_args[*]} --job "\$k" --threads "\${SLURM_CPUS_PER_TASK:-1}" \\
  -o "job\$k.txt" --json "job\$k.json"
SCRIPT
}

# Submits the array in folder $1 and waits for all of it; sbatch's status
# is the worst of its jobs'.
submit_array() {
  local folder=$1
  mkdir -p "$folder" && cp "$source/examples/three-populations.txt" "$folder/three.txt"
  # Bounded well within the suite's limit, so the cluster is always stopped.
  (cd "$folder" && timeout 90 bash "$cluster" run "$work/cluster" \
     sbatch --array=0-3 --wait --output=slurm-%a.out jobs.sh)
}

# The summaries as a user gives them, by pattern: a missing one is absent.
merge_in() {  # the pooled summary, histogram and JSON of folder $1
  (cd "$1" && "$program" merge -d 0.005 job*.json \
     --histogram-table histogram.txt --json pooled.json >merge.out 2>merge.err)
}

# 1. The array on the cluster against the same jobs run one after another here.
mkdir -p "$work/here" && cp "$source/examples/three-populations.txt" "$work/here/three.txt"
for k in 0 1 2 3; do
  (cd "$work/here" &&
     "$program" run "${run_args[@]}" --job $k --threads 1 -o job$k.txt --json job$k.json \
       >/dev/null) || fail "job $k without SLURM failed"
done
merge_in "$work/here" || fail "merge of the jobs run here failed: $(cat "$work/here/merge.err")"

mkdir -p "$work/array" && job_script "" >"$work/array/jobs.sh"
submit_array "$work/array" || fail "the array failed: $(cat "$work/array"/slurm-*.out)"
merge_in "$work/array" || fail "merge of the array failed: $(cat "$work/array/merge.err")"
for file in job0.txt job1.txt job2.txt job3.txt job0.json job3.json merge.out histogram.txt \
            pooled.json; do
  cmp "$work/here/$file" "$work/array/$file" || fail "$file differs between SLURM and here"
done
grep -q '"simulations": 1200,' "$work/array/pooled.json" || fail "the pool is not of 4 × 300"

# 2. A job killed before it could finish: merge must refuse the array.
mkdir -p "$work/killed"
# Job 2 runs far longer than the others and is killed once it is writing
# its result file, as a node failure or the OOM killer would.
job_script "if [ \"\$k\" = 2 ]; then
  '$program' run ${run_args[*]} --job 2 -N 2000 -T 200 -I 65535 -o job2.txt --json job2.json &
  while [ ! -s job2.txt ]; do sleep 0.1; done
  sleep 0.5; kill -KILL \$!; wait \$!; exit \$?
fi" >"$work/killed/jobs.sh"
if submit_array "$work/killed"; then fail "sbatch reported success for an array with a killed job"; fi
[ -f "$work/killed/job3.json" ] || fail "the other jobs of the killed array did not finish"
merge_in "$work/killed"
status=$?
[ $status -eq 1 ] || fail "merge of an array with a killed job gave status $status, not 1"
grep -qx 'job 2 of 4 is missing (no summary)' "$work/killed/merge.err" ||
  fail "merge did not name the killed job: $(cat "$work/killed/merge.err")"
[ ! -e "$work/killed/pooled.json" ] || fail "merge wrote a summary of an incomplete array"
[ -s "$work/killed/job2.txt" ] && [ ! -e "$work/killed/job2.json" ] ||
  fail "job 2 was not killed while it wrote its result file"

# 3. A scan split into four parts: the null fitted once, the parts run as an
# array, merged, and the table compared with the one-machine scan under that
# null; a part that fails leaves the merge refusing.
mkdir -p "$work/scan" && cp "$source/examples/five-samples.gen" "$work/scan/data.gen"
(cd "$work/scan" &&
   "$program" scan data.gen -T 50 --seed 7 --fit-only --json null.json 2>fit.err &&
   "$program" scan data.gen --null null.json --tsv one.tsv 2>one.err) ||
  fail "the scan here failed: $(cat "$work/scan"/*.err)"
scan_script() {  # $1: what part 2 does instead of its share
  cat <<SCRIPT
#!/bin/sh
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=1
#SBATCH --time=1
k=\$SLURM_ARRAY_TASK_ID
$1
exec '$program' scan data.gen --null null.json --job "\$k" --jobs 4 \\
  --threads "\${SLURM_CPUS_PER_TASK:-1}" --json "part-\$k.json"
SCRIPT
}
scan_script "" >"$work/scan/jobs.sh"
(cd "$work/scan" && timeout 90 bash "$cluster" run "$work/cluster" \
   sbatch --array=0-3 --wait --output=slurm-%a.out jobs.sh) ||
  fail "the scan's array failed: $(cat "$work/scan"/slurm-*.out)"
(cd "$work/scan" && "$program" merge part-*.json --tsv merged.tsv 2>merge.err) ||
  fail "merge of the scan's parts failed: $(cat "$work/scan/merge.err")"
cmp "$work/scan/one.tsv" "$work/scan/merged.tsv" ||
  fail "the merged scan differs from the one-machine scan under its null"
mkdir -p "$work/scan-failed" &&
  cp "$work/scan/data.gen" "$work/scan/null.json" "$work/scan-failed/"
scan_script "[ \"\$k\" = 2 ] && exit 3" >"$work/scan-failed/jobs.sh"
if (cd "$work/scan-failed" && timeout 90 bash "$cluster" run "$work/cluster" \
      sbatch --array=0-3 --wait --output=slurm-%a.out jobs.sh); then
  fail "sbatch reported success for a scan array with a failed part"
fi
(cd "$work/scan-failed" && "$program" merge part-*.json --tsv merged.tsv 2>merge.err)
status=$?
[ $status -eq 1 ] || fail "merge of a scan with a failed part gave status $status, not 1"
grep -qx 'part 2 of 4 is missing' "$work/scan-failed/merge.err" ||
  fail "merge did not name the failed part: $(cat "$work/scan-failed/merge.err")"

echo "PASSED: a 4-job run array and a 4-part scan through SLURM match the same work done here; a killed job and a failed part are refused"
