#!/usr/bin/env bash
# Runs the build recipes the README and the pages under docs/ give their readers, exactly as
# written: every ```sh block announced by a line `<!-- run: the recipes of
# scripts/readme_recipes.sh -->` right before it, in a fresh copy of the tracked files
# (build/readme/src), one block after another, the README's first and then the pages' in the
# order of their names. Installs go under DESTDIR=build/readme/root, so a recipe that installs
# into /usr/local leaves this machine alone. A compiler warning fails the recipe as an error
# would. Then runs the tests of the README's build (build/release), but the build, docs and fuzz
# checks, which the test command runs in stages of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/common.sh
work=$root/build/readme
marker='<!-- run: the recipes of scripts/readme_recipes.sh -->'

recipes=$(awk -v marker="$marker" '
  $0 == marker { announced = 1; next }
  announced && $0 == "```sh" { inside = 1; announced = 0; next }
  { announced = 0 }
  inside && $0 == "```" { inside = 0; print "# --"; next }
  inside { print }' README.md docs/*.md)
[ -n "$recipes" ] || { echo "readme_recipes: no page announces a recipe" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/src"
git ls-files -z | xargs -0 cp --parents -t "$work/src"
# What scripts/setup.sh installs inside the tree (ical.js for the interoperability check).
ln -s "$root/tests/interop/js_check/node_modules" "$work/src/tests/interop/js_check/node_modules"
echo "$recipes"
# Every core for `cmake --build`, which a plain Makefile build would otherwise run one job at a time.
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
(cd "$work/src" && DESTDIR="$work/root" bash -euo pipefail -c "$recipes") 2>&1 |
  tee "$work/recipes.log"
if grep -E 'warning:' "$work/recipes.log"; then
  echo "readme_recipes: a recipe's build warns" >&2
  exit 1
fi
ctest --test-dir "$work/src/build/release" -j 2 --output-on-failure --no-tests=error \
  -LE "^(${XRF_OWN_STAGE_LABELS})$"
echo "readme_recipes: the recipes build and install, and the README's build passes the tests"
