#!/usr/bin/env bash
# Runs every fuzz target (or those named) until it has executed RUNS inputs (default 10
# million), one after another, each from its seed corpus plus a work corpus that persists in
# build/fuzz-work/<target>/ between runs. Stops at the first finding; the input that caused
# it is left in build/fuzz-work/ as crash-*, leak-*, timeout-* or oom-*.
# FUZZ_ARGS adds libFuzzer flags, e.g. FUZZ_ARGS=-max_len=512 for the CSV targets: csvReadToken
# reads its line from the start on every call, so long lines of many fields are slow to try.
#   fuzz/run_long.sh [target ...]      RUNS=50000000 fuzz/run_long.sh xml_message_fuzz
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-10000000}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=($(ls fuzz/corpus))
fi
mkdir -p build/fuzz-work
for target in "${targets[@]}"; do
  mkdir -p "build/fuzz-work/$target"
  echo "=== $target: $runs runs"
  (cd build/fuzz-work &&
    ../fuzz/fuzz/"$target" -runs="$runs" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      ${FUZZ_ARGS:-} "$target" ../../fuzz/corpus/"$target" 2>&1 | grep -v -E '^#[0-9]+\s+(NEW|REDUCE|pulse)') ||
    { echo "=== $target: finding (see build/fuzz-work/)"; exit 1; }
done
echo "=== all targets ran $runs inputs without a finding"
