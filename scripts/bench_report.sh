#!/usr/bin/env bash
# Runs the benchmark programs in a Release build of their own (build/bench, or XRF_BENCH_DIR)
# and writes their figures into docs/performance.md, between the lines
# `<!-- begin: benchmarks -->` and `<!-- end: benchmarks -->`: the machine (CPU model, cores,
# load), the date, and one table per program, in which the peers (libcsv, OpenSSL,
# libphonenumber, KContacts, a plain loop, the toolkits' own posting, ...) are rows of the same
# run as the library's own code. Then runs encoding_detectors (uchardet, ICU and the library's
# detection) over the samples of scripts/encoded_samples.py and over the address-book corpus,
# and writes what they guessed into docs/contacts.md (`<!-- begin: encoding-detectors -->`).
# Nothing else is touched; the pages' other text is by hand. The tables are made by
# docs/bench_tables.py.
#
#   scripts/bench_report.sh [--quick] [--no-write] [--detectors] [PROGRAM...]
#   scripts/bench_report.sh --windows [--quick]
#
# --quick: one short run of each benchmark (a minute or two, for trying the script) instead of
# the median of three runs at Google Benchmark's usual length. --no-write: print the benchmarks'
# block only. --detectors: only the encoding detectors, and their block written (seconds).
# PROGRAM names the programs to run (phone_bench ...) and prints their block without writing
# it; by default every program the build has runs, the detectors too, and the blocks are
# written. The benchmarks are not part of the test command, which runs each once briefly
# (label bench) to see that it still works.
#
# --windows: only the benchmarks built for Windows (the windows preset's build/windows, or
# XRF_WINDOWS_BUILD; build them first), each under Wine right after the same Linux program built
# with the windows preset's flags (-O2, in build/bench-O2), and the Windows build's speed against
# Linux's written into docs/performance.md (`<!-- begin: wine -->`), with the table of the
# Win32 adapter's benchmark, which has no Linux side.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

quick=0
write=1
benchmarks=1
windows=0
programs=()
for arg in "$@"; do
  case $arg in
    --quick) quick=1 ;;
    --no-write) write=0 ;;
    --detectors) benchmarks=0 ;;
    --windows) windows=1 ;;
    -*) echo "bench_report: unknown option $arg" >&2; exit 2 ;;
    *) programs+=("$arg") write=0 ;;
  esac
done

dir=${XRF_BENCH_DIR:-build/bench}
flags=()
if [ "$windows" = 1 ]; then
  dir=$dir-O2
  flags=(-DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG")
fi
out=$dir/report
# The tests stay on: the vCard import's address book with photos takes the test images.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DXRF_BUILD_TESTS=ON \
  -DXRF_BUILD_BENCH=ON -DXRF_BUILD_EXAMPLES=OFF -DXRF_BUILD_DOCS=OFF "${flags[@]}" >/dev/null
if [ "$windows" = 1 ]; then
  programs=(phone_bench contacts_bench input_bench csv_bench)
elif [ "$benchmarks" = 1 ] && [ ${#programs[@]} -eq 0 ]; then
  # Every benchmark program is also a test of the bench label, BenchRun.NAME.
  mapfile -t programs < <(ctest --test-dir "$dir" -N -L bench |
    sed -n 's/^ *Test *#[0-9]*: BenchRun\.//p')
  [ ${#programs[@]} -gt 0 ] || { echo "bench_report: no benchmark program in $dir" >&2; exit 1; }
fi
cmake --build "$dir" --target "${programs[@]}" encoding_detectors
rm -rf "$out"
mkdir -p "$out"
if [ "$quick" = 1 ]; then
  run_args=(--benchmark_min_time=0.01)
else
  run_args=(--benchmark_repetitions=3 --benchmark_report_aggregates_only=true)
fi
started=$(date -u '+%Y-%m-%d %H:%M UTC')
machine="$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), $(nproc) cores"

if [ "$windows" = 1 ]; then
  windows_dir=${XRF_WINDOWS_BUILD:-build/windows}
  under_wine() {  # under_wine PROGRAM: PROGRAM.exe of the Windows build, its results as JSON
    WINEPREFIX=$PWD/$windows_dir/wine cmake/windows/wine_run.sh "$windows_dir/bin/$1.exe" \
      "${run_args[@]}" --benchmark_format=json
  }
  load_before=$(cut -d' ' -f1-3 /proc/loadavg)
  for program in "${programs[@]}"; do
    [ -x "$windows_dir/bin/$program.exe" ] ||
      { echo "bench_report: build $windows_dir/bin/$program.exe first" >&2; exit 1; }
    echo "=== $program, Linux and then Windows under Wine"
    "$dir/bench/$program" "${run_args[@]}" --benchmark_format=json >"$out/$program.linux.json"
    under_wine "$program" >"$out/$program.windows.json"
  done
  if [ -x "$windows_dir/bin/win32_bench.exe" ]; then
    echo "=== win32_bench under Wine"
    under_wine win32_bench >"$out/win32_bench.json"
  fi
  load_after=$(cut -d' ' -f1-3 /proc/loadavg)
  {
    echo "Measured by \`scripts/bench_report.sh --windows$([ "$quick" = 1 ] && echo ' --quick')\`" \
      "on $started: $machine, load average $load_before before the run and $load_after after" \
      "it; Release builds, each Windows program right after the Linux one, CPU time$(
        [ "$quick" = 1 ] && echo ' of one short run' || echo ', medians of three runs')."
    echo
    python3 docs/bench_tables.py wine "$out" "${programs[@]}"
    if [ -f "$out/win32_bench.json" ]; then
      echo
      python3 docs/bench_tables.py benchmarks "$out" win32_bench
    fi
  } | python3 docs/write_block.py docs/performance.md wine
  echo "bench_report: docs/performance.md written from the Windows build under Wine"
  exit 0
fi

if [ "$benchmarks" = 1 ]; then
  load_before=$(cut -d' ' -f1-3 /proc/loadavg)
  for program in "${programs[@]}"; do
    echo "=== $program"
    "$dir/bench/$program" "${run_args[@]}" --benchmark_out="$out/$program.json" \
      --benchmark_out_format=json
  done
  load_after=$(cut -d' ' -f1-3 /proc/loadavg)
  {
    echo "Measured by \`scripts/bench_report.sh$([ "$quick" = 1 ] && echo ' --quick')\` on" \
      "$started: $machine, load average $load_before before the run and $load_after after it;" \
      "$(${CXX:-c++} --version | head -1), Release build."
    if [ "$quick" = 1 ]; then
      echo "One short run of each benchmark: a trial of the script, not figures to compare."
    else
      echo "Each figure is the median of three runs."
    fi
    echo
    python3 docs/bench_tables.py benchmarks "$out" "${programs[@]}"
  } >"$out/benchmarks.md"
  if [ "$write" = 0 ]; then
    cat "$out/benchmarks.md"
    exit 0
  fi
  python3 docs/write_block.py docs/performance.md benchmarks <"$out/benchmarks.md"
  echo "bench_report: docs/performance.md written from ${#programs[@]} programs"
fi

python3 scripts/encoded_samples.py --dir "$out/samples"
mkdir -p "$out/corpus"
python3 docs/bench_tables.py corpus "$out/corpus"
"$dir/bench/encoding_detectors" "$out/samples" >"$out/samples.txt"
"$dir/bench/encoding_detectors" "$out/corpus" >"$out/corpus.txt"
python3 docs/bench_tables.py detectors "$out/samples.txt" "$out/corpus.txt" |
  python3 docs/write_block.py docs/contacts.md encoding-detectors
echo "bench_report: docs/contacts.md written from the encoding detectors"
