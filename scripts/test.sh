#!/usr/bin/env bash
# Builds and runs every test: the whole suite in the normal build (g++), then the README's own
# build recipe as written, shared and Release, with its tests (scripts/readme_recipes.sh), the
# Debian packages (scripts/package.sh: built, installed, used by consumers, removed), the suite
# again under AddressSanitizer+UBSan with LeakSanitizer (clang++), under ThreadSanitizer (g++)
# and with clang++ against LLVM's libc++ (the libcxx preset), then each fuzz target for a
# bounded time (XRF_FUZZ_SECONDS, 15 by default) from its seed corpus, and last the Windows x64
# build (MinGW-w64, the windows preset): its whole suite under Wine, xrf.exe against the Linux
# xrf, the ZIP and its consumer (scripts/setup.sh installs MinGW-w64 and Wine and builds the
# Windows dependencies into their cache folder first). XRF_WINDOWS=0 leaves the Windows build out.
# XRF_MATRIX="clang++:Debug ..." adds compiler/build-type pairs (scripts/build_matrix.sh;
# XRF_MATRIX=all builds all eight).
set -euo pipefail
cd "$(dirname "$0")/.."
setup_start=$SECONDS
scripts/setup.sh
source scripts/compiler_cache.sh
echo "=== setup done in $((SECONDS - setup_start)) s"

run() {  # run PRESET [ctest args...]
  local preset=$1 start=$SECONDS; shift
  echo "=== $preset build"
  cmake --preset "$preset" -DXRF_BUILD_TESTS=ON >/dev/null
  cmake --build --preset "$preset"
  echo "=== $preset tests"
  ctest --preset "$preset" "$@"
  echo "=== $preset done in $((SECONDS - start)) s"
}

run default
echo "=== README recipes"
recipes_start=$SECONDS
scripts/readme_recipes.sh
echo "=== README recipes done in $((SECONDS - recipes_start)) s"
echo "=== packages"
package_start=$SECONDS
scripts/package.sh
echo "=== packages done in $((SECONDS - package_start)) s"
run asan
run tsan
run libcxx
if [ -n "${XRF_MATRIX:-}" ]; then
  echo "=== build matrix"
  matrix=$XRF_MATRIX
  [ "$matrix" = all ] && matrix=
  # shellcheck disable=SC2086  # the pairs are words
  scripts/build_matrix.sh $matrix
fi
echo "=== fuzz build"
fuzz_start=$SECONDS
cmake --preset fuzz -DXRF_FUZZ_SECONDS="${XRF_FUZZ_SECONDS:-15}" >/dev/null
cmake --build --preset fuzz
echo "=== fuzz runs"
ctest --preset fuzz -L fuzz
echo "=== fuzz done in $((SECONDS - fuzz_start)) s"
if [ "${XRF_WINDOWS:-1}" = 1 ]; then
  run windows
fi
echo "all test runs passed in $SECONDS s"
