#!/bin/bash
# A long fuzzing campaign: bash scripts/fuzz-campaign.sh [SECONDS_TOTAL] [JOBS]  (3600 s and 1 job by default)
#
# Builds the fuzz targets of the host configuration if needed and gives every fuzz_* target its share of
# the time, with JOBS fuzzing processes each (libFuzzer's fork mode, which goes on after a finding). Each
# target reads its committed seeds (fuzz/corpus/<target>) and keeps what it learns in a working corpus
# (build/fuzz-campaign/<target>) that the next campaign starts from. Crashes, leaks, time-outs and
# out-of-memory inputs go to build/fuzz-campaign/findings/<target>-*; the logs to
# build/fuzz-campaign/logs/. Exits 1 if this campaign found anything.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

total=${1:-3600}
jobs=${2:-1}
if ! [[ $total =~ ^[0-9]+$ && $jobs =~ ^[0-9]+$ ]] || ((total < 1 || jobs < 1)); then
    echo "usage: bash scripts/fuzz-campaign.sh [SECONDS_TOTAL] [JOBS]" >&2
    exit 2
fi

build=$root/build/host
out=$root/build/fuzz-campaign
if [[ ! -f $build/build.ninja ]]; then
    cmake --preset host
fi
cmake --build --preset host --target fuzzers -j "$jobs"

targets=()
for binary in "$build"/fuzz/fuzz_*; do
    if [[ -f $binary && -x $binary ]]; then
        targets+=("$binary")
    fi
done
if ((${#targets[@]} == 0)); then
    echo "fuzz-campaign: no fuzz targets in $build/fuzz (is clang++ installed?)" >&2
    exit 2
fi

mkdir -p "$out/findings" "$out/logs"
stamp=$out/logs/.started
touch "$stamp"
start=$(date +%s)

rows=()
sum_execs=0 sum_seconds=0 sum_corpus=0 sum_findings=0
left=${#targets[@]}
for binary in "${targets[@]}"; do
    name=$(basename "$binary")
    # The time still left, shared by the targets still to run: a target that overruns its share
    # (fork mode ends between jobs) shortens the later ones instead of the whole campaign.
    remaining=$((total - ($(date +%s) - start)))
    share=$((remaining / left))
    share=$((share < 1 ? 1 : share))
    left=$((left - 1))
    mkdir -p "$out/$name" "$root/fuzz/corpus/$name"
    log=$out/logs/$name.log
    echo "fuzz-campaign: $name for $share s ($jobs job(s))"
    began=$(date +%s)
    # A hung target is stopped well after its share; what it logged still counts.
    timeout -s INT -k 30 $((share + 120)) "$binary" -fork="$jobs" -ignore_crashes=1 -ignore_timeouts=1 \
        -ignore_ooms=1 -max_total_time="$share" -rss_limit_mb=1024 -max_len=70000 -timeout=10 \
        -artifact_prefix="$out/findings/$name-" "$out/$name" "$root/fuzz/corpus/$name" >"$log" 2>&1 || true
    seconds=$(($(date +%s) - began))
    seconds=$((seconds < 1 ? 1 : seconds))

    # Executions from the last status line ("#<execs>: cov: .."); the corpus is what the working
    # directory holds, since that line may be older than the last merge.
    execs=$(grep -E '^#[0-9]+: ' "$log" | tail -n 1 | sed -nE 's/^#([0-9]+):.*/\1/p' || true)
    execs=${execs:-0}
    corpus=$(find "$out/$name" -type f | wc -l)
    findings=$(find "$out/findings" -type f -newer "$stamp" \
        \( -name "$name-crash-*" -o -name "$name-leak-*" -o -name "$name-timeout-*" -o -name "$name-oom-*" \) |
        wc -l)
    rows+=("$(printf '%-28s %12d %10d %8d %9d' "$name" "$execs" $((execs / seconds)) "$corpus" "$findings")")
    sum_execs=$((sum_execs + execs))
    sum_seconds=$((sum_seconds + seconds))
    sum_corpus=$((sum_corpus + corpus))
    sum_findings=$((sum_findings + findings))
done

echo
printf '%-28s %12s %10s %8s %9s\n' target executions exec/s corpus findings
printf '%s\n' "${rows[@]}"
printf '%-28s %12d %10d %8d %9d\n' total "$sum_execs" $((sum_execs / sum_seconds)) "$sum_corpus" "$sum_findings"
echo "fuzz-campaign: $(($(date +%s) - start)) s; logs in $out/logs, findings in $out/findings"
((sum_findings == 0))
