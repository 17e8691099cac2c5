# Sourced by the build and test scripts: what they share.

# When ccache is installed, every build CMake configures from here on (presets, the README's
# recipe, packages, the build checks' nested builds) compiles through it, by CMake's environment
# variables, so the commands stay as a reader would type them. Paths are taken relative to the
# tree, so a second clone or the README recipe's copy of the tree finds what the first compiled.
# Called when this file is sourced, and again once setup may have installed ccache.
use_compiler_cache() {
  command -v ccache >/dev/null 2>&1 || return 0
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  CCACHE_BASEDIR=${CCACHE_BASEDIR:-$xrf_tree}
  export CCACHE_BASEDIR CCACHE_NOHASHDIR=1
}
xrf_tree=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
use_compiler_cache

# The labels that a build's own suite leaves to stages of their own: the build and install
# checks, the API reference and the bounded fuzz runs.
XRF_OWN_STAGE_LABELS='fuzz|build|docs'

# stage NAME COMMAND...: runs COMMAND and says how long it took.
stage() {
  local name=$1 start=$SECONDS
  shift
  echo "=== $name"
  "$@"
  echo "=== $name done in $((SECONDS - start)) s"
}
