#!/usr/bin/env bash
# Builds the C++ libraries the libcxx preset links against LLVM's libc++, once, into a cache
# folder outside the clone, ~/.cache/xrfoundation/libcxx:
#
# - GoogleTest and GoogleMock from the sources Debian's googletest package ships
#   (/usr/src/googletest);
# - pugixml from Debian's source package, the same version as the installed libpugixml-dev
#   (its headers are used as they are; the library Debian ships is built with GNU libstdc++).
#
# Both are fetched and built through scripts/debian_source.sh, as the Windows build's are.
# fmt and spdlog need nothing here: that preset uses them header-only. A later run reuses the
# cache while the Debian versions it was built from are still the installed ones.
set -euo pipefail
# shellcheck source=scripts/debian_source.sh
source "$(dirname "$0")/debian_source.sh"

cache=$HOME/.cache/xrfoundation/libcxx  # the libcxx preset names this folder too
version() { dpkg-query -W -f='${Version}' "$1"; }
gtest_version=$(version googletest)
pugixml_version=$(version libpugixml-dev)
stamp="googletest $gtest_version, pugixml $pugixml_version"
if [ "$(cat "$cache/built-from" 2>/dev/null)" = "$stamp" ]; then
  exit 0
fi
echo "libcxx_deps: building $stamp against libc++ in $cache"
rm -rf "$cache"
mkdir -p "$cache/work"

libcxx=(-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS=-stdlib=libc++
  -DCMAKE_POSITION_INDEPENDENT_CODE=ON -DCMAKE_INSTALL_LIBDIR=lib)
debian_cmake_build "$(googletest_source "$cache/work")" "$cache" "${libcxx[@]}"
debian_cmake_build "$(debian_source "$cache/work" pugixml "$pugixml_version")" "$cache" \
  "${libcxx[@]}"

rm -rf "$cache/work"
echo "$stamp" >"$cache/built-from"
