#!/usr/bin/env bash
# Builds and runs every test: the normal build, then the concurrency-heavy and
# input-parsing subsystems under AddressSanitizer+UBSan and ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

run() {  # run PRESET [ctest args...]
  local preset=$1; shift
  echo "=== $preset build"
  cmake --preset "$preset" -DXRF_BUILD_TESTS=ON >/dev/null
  cmake --build --preset "$preset"
  echo "=== $preset tests"
  ctest --preset "$preset" "$@"
}

run default
run asan
run tsan -L 'tasks|events|platform'
echo "all test runs passed"
