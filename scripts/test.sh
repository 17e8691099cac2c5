#!/usr/bin/env bash
# Builds and runs every test: the whole suite in the normal build (g++), then the Debian
# packages (scripts/package.sh: built, installed, used by a consumer, removed), the suite again
# under AddressSanitizer+UBSan with LeakSanitizer (clang++), under ThreadSanitizer (g++) and in
# the Release build with g++ (scripts/build_matrix.sh; XRF_MATRIX="clang++:Debug ..." names
# other pairs, XRF_MATRIX=all builds all eight), then each fuzz target for a bounded time
# (XRF_FUZZ_SECONDS, 60 by default) from its seed corpus, and last the Windows x64 build
# (MinGW-w64): its whole suite under Wine, xrf.exe against the Linux xrf, the ZIP and its consumer.
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
echo "=== packages"
package_start=$SECONDS
scripts/package.sh
echo "=== packages done in $((SECONDS - package_start)) s"
run asan
run tsan
echo "=== build matrix"
matrix=${XRF_MATRIX:-g++:Release}
[ "$matrix" = all ] && matrix=
# shellcheck disable=SC2086  # the pairs are words
scripts/build_matrix.sh $matrix
echo "=== fuzz build"
cmake --preset fuzz -DXRF_FUZZ_SECONDS="${XRF_FUZZ_SECONDS:-60}" >/dev/null
cmake --build --preset fuzz
echo "=== fuzz runs"
ctest --preset fuzz -L fuzz
echo "=== windows"
windows_start=$SECONDS
run windows
echo "=== windows done in $((SECONDS - windows_start)) s"
echo "all test runs passed"
