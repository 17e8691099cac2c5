#!/usr/bin/env bash
# Measures how much of the library the test suite runs: builds the suite with g++ --coverage
# at -O0 in its own folder (build/coverage, or XRF_COVERAGE_DIR), runs it, and prints gcovr's
# line, function and branch coverage of xrfoundation/. Tests and testing helpers are not
# counted, nor are the branches that only throw or that the compiler proved unreachable
# (the branches every call hides for its exception path). The counters are updated atomically:
# the task tests count from many threads at once. The per-file table goes to coverage.txt in
# the build folder. The figures, with the share of test code, go to summary.txt there and into
# docs/testing.md, between the lines `<!-- begin: coverage -->` and `<!-- end: coverage -->`.
#
#   scripts/coverage.sh [gcovr arguments...]
#   scripts/coverage.sh --write-only    # writes the page again from the last run's summary.txt
#
# Extra arguments go to gcovr, e.g. `--html-details build/coverage/html/index.html` for a
# page per file that shows each untested line and branch.
set -euo pipefail
cd "$(dirname "$0")/.."

write_only=0
if [ "${1:-}" = --write-only ]; then
  write_only=1
  shift
fi
dir=${XRF_COVERAGE_DIR:-build/coverage}
summary=$dir/summary.txt
status=0

# Writes the figures of summary.txt ("name: value" lines) into the page as tables.
write_page() {
  python3 - "$summary" <<'EOF' | python3 docs/write_block.py docs/testing.md coverage
import sys

figures = dict(line.rstrip("\n").split(": ", 1) for line in open(sys.argv[1], encoding="utf-8")
               if ": " in line)
print(f"Measured by `scripts/coverage.sh` on {figures['date']} at commit {figures['commit']}"
      f" ({figures['compiler']}, `--coverage` at -O0); tests: {figures['tests']}.")
print()
print("| of the library (`xrfoundation/`) | covered |")
print("|---|---|")
for name in ("lines", "functions", "branches"):
    print(f"| {name} | {figures[name]} |")
print()
print("| test code | share |")
print("|---|---|")
print(f"| among all lines of C++, Python and JavaScript | {figures['test share']} |")
print(f"| non-blank C++ lines of tests against those of the code | "
      f"{figures['test lines against code lines']} |")
EOF
}

if [ "$write_only" = 1 ]; then
  [ -f "$summary" ] || { echo "coverage: no $summary to write from" >&2; exit 1; }
  write_page
  exit 0
fi

if ! command -v gcovr >/dev/null 2>&1; then
  echo "coverage: installing gcovr"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends gcovr
fi

source scripts/common.sh
cmake -S . -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="--coverage -fprofile-update=atomic -O0" -DCMAKE_EXE_LINKER_FLAGS=--coverage \
  -DCMAKE_SHARED_LINKER_FLAGS=--coverage -DXRF_WERROR=ON -DXRF_BUILD_TESTS=ON \
  -DXRF_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir"

# gcovr writes its reports into folders that exist.
for argument in "$@"; do
  case $argument in */*.html) mkdir -p "$(dirname "$argument")" ;; esac
done

# Counts from an earlier run would add to this one's.
find "$dir" -name '*.gcda' -delete
# The checks of the installed tree and of the API reference build other projects: they run no
# code of this build; the tool's memory check (200 MB through xrf) outlasts its time-out at -O0
# with counters and adds nothing the other tool checks do not cover. A failing test still gives
# its figures, and the script's status.
ctest --test-dir "$dir" -j 2 --output-on-failure --no-tests=error -LE "^(${XRF_OWN_STAGE_LABELS}|bench)$" \
  -E '^XrfTool\.memory$' || status=$?

{
  echo "date: $(date -u +%Y-%m-%d)"
  echo "commit: $(git rev-parse --short HEAD)$(git diff --quiet HEAD || echo ' with changes')"
  echo "compiler: $(g++ --version | head -1)"
  echo "tests: $([ "$status" = 0 ] && echo 'all passed' || echo 'some failed')"
  gcovr --root . -j 2 \
    --filter 'xrfoundation/' \
    --exclude '.*_test\.cpp$' --exclude '.*/testing/.*' --exclude '.*_testing_internal\.h$' \
    --exclude-throw-branches --exclude-unreachable-branches \
    --print-summary --txt "$dir/coverage.txt" "$@" "$dir" |
    grep -E '^(lines|functions|branches):'

  # The share of test code, counted two ways in one pass over the tracked sources:
  # - among all lines of the C++, Python and JavaScript files, those that are tests (unit tests,
  #   testing helpers, tests/, the tool's checks, other checks);
  # - as the project has long counted it: non-blank C++ lines of tests (*_test.*, tests/) against
  #   those of the code (the rest, benchmarks and fuzz targets left out).
  git ls-files -z -- '*.cpp' '*.h' '*.py' '*.js' '*.cpp.in' |
    python3 -c '
import re, sys
any_test = re.compile(r"(_test\.(cpp|h|py)(\.in)?$|/testing/|^tests/|^tools/tests/|_check\.py$)")
cpp_test = re.compile(r"(_test\.|(^|/)tests?/|Test\.)")
total = tests = cpp_tests = cpp_code = 0
for name in sys.stdin.read().split("\0"):
    if not name:
        continue
    with open(name, "rb") as f:
        lines = f.read().split(b"\n")[:-1]
    total += len(lines)
    tests += len(lines) if any_test.search(name) else 0
    if name.endswith((".cpp", ".h")):
        filled = sum(1 for line in lines if line.strip())
        if cpp_test.search(name):
            cpp_tests += filled
        elif not re.match(r"(.*/)?(bench|fuzz)/", name):
            cpp_code += filled
print(f"test share: {100 * tests / total:.1f}% ({tests} of {total} lines)")
print(f"test lines against code lines: {100 * cpp_tests / cpp_code:.1f}%"
      f" ({cpp_tests} against {cpp_code})")
'
} >"$summary"
grep -vE '^(date|commit|compiler|tests):' "$summary"
write_page
exit "$status"
