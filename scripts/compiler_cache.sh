# Sourced by the build scripts: when ccache is installed, every build CMake configures from
# here on (presets, the README's recipe, packages, the build checks' nested builds) compiles
# through it, by CMake's environment variables, so the commands stay as a reader would type
# them. Paths are taken relative to the tree, so a second clone or the README recipe's copy of
# the tree finds what the first compiled.
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
  export CCACHE_BASEDIR CCACHE_NOHASHDIR=1
fi
