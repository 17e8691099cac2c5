#!/usr/bin/env bash
# Builds the library with its tests, tools, benchmarks and examples in the given
# compiler/build-type pairs, warnings as errors, and runs the suite in each.
#
#   scripts/build_matrix.sh [COMPILER:TYPE ...]
#
# COMPILER is g++ or clang++, TYPE a CMake build type. Without arguments every pair of
# {g++, clang++} x {Debug, Release, RelWithDebInfo, MinSizeRel} is built. Each pair gets its
# own directory under build/matrix/ (XRF_MATRIX_DIR to move it); a pair that fails stops the
# script. The checks of the installed tree, the API reference and the fuzz targets are left
# to the test command's own stages; XRF_MATRIX_CTEST_ARGS adds arguments to each ctest run.
set -euo pipefail
cd "$(dirname "$0")/.."

pairs=("$@")
if ((${#pairs[@]} == 0)); then
  for cxx in g++ clang++; do
    for type in Debug Release RelWithDebInfo MinSizeRel; do pairs+=("$cxx:$type"); done
  done
fi

root=${XRF_MATRIX_DIR:-build/matrix}
source "$(dirname "$0")/compiler_cache.sh"
read -r -a ctest_args <<<"${XRF_MATRIX_CTEST_ARGS:-}"

for pair in "${pairs[@]}"; do
  cxx=${pair%%:*}
  type=${pair#*:}
  if [[ "$cxx" == "$pair" || -z "$type" ]]; then
    echo "build_matrix: '$pair' is not COMPILER:TYPE" >&2
    exit 2
  fi
  name=$(basename "$cxx")
  dir="$root/${name%++}-$type"
  start=$SECONDS
  echo "=== $cxx $type: build ($dir)"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE="$type" \
    -DXRF_WERROR=ON -DXRF_BUILD_TESTS=ON >/dev/null
  cmake --build "$dir"
  echo "=== $cxx $type: tests"
  ctest --test-dir "$dir" -j 2 --output-on-failure --no-tests=error \
    -LE '^(fuzz|build|docs)$' "${ctest_args[@]}"
  echo "=== $cxx $type: passed in $((SECONDS - start)) s"
done
