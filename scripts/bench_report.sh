#!/usr/bin/env bash
# Runs the benchmark programs in a Release build of their own (build/bench, or XRF_BENCH_DIR)
# and writes their figures into docs/performance.md, between the lines
# `<!-- begin: benchmarks -->` and `<!-- end: benchmarks -->`: the machine (CPU model, cores,
# load), the date, and one table per program, in which the peers (libcsv, OpenSSL,
# libphonenumber, KContacts, a plain loop, the toolkits' own posting, ...) are rows of the same
# run as the library's own code. Nothing else is touched; the page's other text is by hand.
#
#   scripts/bench_report.sh [--quick] [--no-write] [PROGRAM...]
#
# --quick: one short run of each benchmark (minutes, for trying the script) instead of the
# median of three runs at Google Benchmark's usual length. --no-write: print the block only.
# PROGRAM names the programs to run (phone_bench ...) and prints their block without writing it;
# by default every program the build has runs, and the block is written. The benchmarks are not part of the test command, which runs
# each once briefly (label bench) to see that it still works.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

quick=0
write=1
programs=()
for arg in "$@"; do
  case $arg in
    --quick) quick=1 ;;
    --no-write) write=0 ;;
    -*) echo "bench_report: unknown option $arg" >&2; exit 2 ;;
    *) programs+=("$arg") write=0 ;;
  esac
done

dir=${XRF_BENCH_DIR:-build/bench}
# The tests stay on: the vCard import's address book with photos takes the test images.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DXRF_BUILD_TESTS=ON \
  -DXRF_BUILD_BENCH=ON -DXRF_BUILD_EXAMPLES=OFF -DXRF_BUILD_DOCS=OFF >/dev/null
if [ ${#programs[@]} -eq 0 ]; then
  # Every benchmark program is also a test of the bench label, BenchRun.NAME.
  mapfile -t programs < <(ctest --test-dir "$dir" -N -L bench |
    sed -n 's/^ *Test *#[0-9]*: BenchRun\.//p')
fi
[ ${#programs[@]} -gt 0 ] || { echo "bench_report: no benchmark program in $dir" >&2; exit 1; }
cmake --build "$dir" --target "${programs[@]}"

out=$dir/report
rm -rf "$out"
mkdir -p "$out"
if [ "$quick" = 1 ]; then
  run_args=(--benchmark_min_time=0.01)
else
  run_args=(--benchmark_repetitions=3 --benchmark_report_aggregates_only=true)
fi
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
started=$(date -u '+%Y-%m-%d %H:%M UTC')
for program in "${programs[@]}"; do
  echo "=== $program"
  "$dir/bench/$program" "${run_args[@]}" --benchmark_out="$out/$program.json" \
    --benchmark_out_format=json
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

{
  echo "Measured by \`scripts/bench_report.sh$([ "$quick" = 1 ] && echo ' --quick')\` on $started:" \
    "$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), $(nproc) cores," \
    "load average $load_before before the run and $load_after after it;" \
    "$(${CXX:-c++} --version | head -1), Release build."
  if [ "$quick" = 1 ]; then
    echo "One short run of each benchmark: a trial of the script, not figures to compare."
  else
    echo "Each figure is the median of three runs."
  fi
  echo
  python3 - "$out" "${programs[@]}" <<'EOF'
import json, os, sys

out, programs = sys.argv[1], sys.argv[2:]
# What each program sets beside the library's code, in the same run.
ABOUT = {
    "tasks_bench": "tasks and composites; peer: a plain thread pool with a plain loop",
    "events_bench": "dispatcher, prepared calls and main-loop posting; peers: direct calls and "
                    "a plain mutex + condition variable + deque loop",
    "integration_bench": "the Qt and GLib adapters' posting; peers: `QMetaObject::invokeMethod` "
                         "and `g_main_context_invoke`",
    "phone_bench": "phone-number comparison; peers: a digits-only strcmp and libphonenumber",
    "contacts_bench": "Base64 and vCard composition; peers: a plain reference codec and OpenSSL",
    "vcard_import_bench": "vCard import and shared numbers; peer: KDE KContacts",
    "input_bench": "line, vCard-record and CSV reading; peers: `std::getline`, read + memchr, "
                   "libcsv",
    "csv_bench": "standard and contact CSV reading; peer: libcsv",
    "device_bench": "device messages and socket readiness",
    "xml_bench": "the XML check before pugixml; peers: pugixml and expat alone",
}
STANDARD = {"name", "family_index", "per_family_instance_index", "run_name", "run_type",
            "repetitions", "repetition_index", "threads", "iterations", "real_time", "cpu_time",
            "time_unit", "items_per_second", "bytes_per_second", "label", "aggregate_name",
            "aggregate_unit", "error_occurred", "error_message"}


def short(value):
    for limit, suffix in ((1e9, " G"), (1e6, " M"), (1e3, " k")):
        if abs(value) >= limit:
            return f"{value / limit:.3g}{suffix}"
    return f"{value:.3g}"


def duration(seconds):
    for unit, size in (("s", 1.0), ("ms", 1e-3), ("us", 1e-6)):
        if seconds >= size:
            return f"{seconds / size:.3g} {unit}"
    return f"{seconds / 1e-9:.3g} ns"


def figures(entry):
    rate = []
    if "items_per_second" in entry:
        rate.append(f"{short(entry['items_per_second'])}/s")
    # Bytes a second, whether Google Benchmark's own or a counter named after its unit.
    for key in ("bytes_per_second", "GB/s"):
        if key in entry:
            rate.append(f"{entry[key] / 1e9:.3g} GB/s")
    counters = [f"{key} {short(value)}" for key, value in entry.items()
                if key not in STANDARD and key != "GB/s" and isinstance(value, (int, float))]
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[entry.get("time_unit", "ns")]
    return (duration(entry["real_time"] * scale), duration(entry["cpu_time"] * scale),
            ", ".join(rate), ", ".join(counters))


for program in programs:
    with open(os.path.join(out, program + ".json"), encoding="utf-8") as source:
        runs = json.load(source)["benchmarks"]
    medians = [run for run in runs if run.get("aggregate_name") == "median"]
    chosen = medians or [run for run in runs if run.get("run_type", "iteration") == "iteration"]
    print(f"`{program}`: {ABOUT.get(program, 'the library alone')}.\n")
    print("| benchmark | real time | CPU time | rate | counters |")
    print("|---|---|---|---|---|")
    for run in chosen:
        name = run.get("run_name", run["name"])
        if run.get("label"):
            name += f" ({run['label']})"
        if run.get("error_occurred"):
            print(f"| `{name}` | error: {run.get('error_message', '')} | | | |")
            continue
        print(f"| `{name}` | " + " | ".join(figures(run)) + " |")
    print()
EOF
} >"$out/block.md"

if [ "$write" = 1 ]; then
  python3 docs/write_block.py docs/performance.md benchmarks <"$out/block.md"
  echo "bench_report: docs/performance.md written from ${#programs[@]} programs"
else
  cat "$out/block.md"
fi
