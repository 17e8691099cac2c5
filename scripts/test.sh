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
source scripts/common.sh

suite() {  # suite PRESET [ctest args...]: the preset's build and its tests
  local preset=$1
  shift
  cmake --preset "$preset" -DXRF_BUILD_TESTS=ON >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" "$@"
}
fuzz_runs() {
  cmake --preset fuzz -DXRF_FUZZ_SECONDS="${XRF_FUZZ_SECONDS:-15}" >/dev/null
  cmake --build --preset fuzz
  ctest --preset fuzz -L fuzz
}

stage setup scripts/setup.sh
use_compiler_cache
stage default suite default
stage "README recipes" scripts/readme_recipes.sh
stage packages scripts/package.sh
stage asan suite asan
stage tsan suite tsan
stage libcxx suite libcxx
if [ -n "${XRF_MATRIX:-}" ]; then
  matrix=$XRF_MATRIX
  [ "$matrix" = all ] && matrix=
  # shellcheck disable=SC2086  # the pairs are words
  stage "build matrix" scripts/build_matrix.sh $matrix
fi
stage fuzz fuzz_runs
if [ "${XRF_WINDOWS:-1}" = 1 ]; then
  stage windows suite windows
fi
echo "all test runs passed in $SECONDS s"
