#!/usr/bin/env bash
# Builds the Windows x64 build's dependencies from Debian's source packages with MinGW-w64,
# into /var/cache/xrfoundation/mingw-HASH (HASH: of cmake/windows/dependencies.txt, where every
# version is pinned), where later runs find them. Called by scripts/setup.sh; does nothing when
# the folder is complete. XRF_WINDOWS_DEPS names another folder.
#   compiled: pugixml, zlib, libpng, libjpeg-turbo (TurboJPEG), uchardet, utf8proc, GoogleTest
#             (/usr/src/googletest), Google Benchmark -- static libraries
#   headers:  fmt, spdlog, CLI11, nlohmann-json from their -dev packages, with CMake packages
#             that use them header-only
# The source packages come and are built through scripts/debian_source.sh.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/debian_source.sh
source "$root/scripts/debian_source.sh"
pins=$root/cmake/windows/dependencies.txt
toolchain=$root/cmake/mingw-w64-x86_64.cmake
hash=$(sha256sum "$pins" | cut -c1-12)
prefix=${XRF_WINDOWS_DEPS:-/var/cache/xrfoundation/mingw-$hash}
export XRF_WINDOWS_DEPS=$prefix
[ -f "$prefix/.complete" ] && exit 0

pin() { awk -v p="$1" '$1 == p { print $2 }' "$pins"; }
# The -dev packages the headers come from must be the pinned ones.
for p in libfmt-dev libspdlog-dev libcli11-dev nlohmann-json3-dev googletest \
         g++-mingw-w64-x86-64-posix; do
  have=$(dpkg-query -W -f='${Version}' "$p")
  [ "$have" = "$(pin "$p")" ] || { echo "windows_deps: $p is $have, pinned $(pin "$p")" >&2; exit 1; }
done

echo "windows_deps: building into $prefix"
work=$(mktemp -d /tmp/xrf-windows-deps.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$prefix"/{include,lib/cmake}

source_of() { debian_source "$work" "$1" "$(pin "$1")"; }  # source_of PACKAGE: its folder
# A library built by an earlier, interrupted run is kept (a stamp file per library).
built() { [ -f "$prefix/.built-$1" ]; }
stamp() { touch "$prefix/.built-$1"; }
cmake_build() {  # cmake_build PACKAGE SOURCE-FOLDER [CMAKE-OPTION...]
  local name=$1 src=$2
  shift 2
  built "$name" && return 0
  debian_cmake_build "$src" "$prefix" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DXRF_WINDOWS_DEPS="$prefix" -DCMAKE_CROSSCOMPILING_EMULATOR= "$@"
  stamp "$name"
}
if ! built zlib; then
src=$(source_of zlib)
# Debian's zlib source has no Windows makefile; its library is these files.
(cd "$src" && for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback \
    inffast inflate inftrees trees uncompr zutil; do
  x86_64-w64-mingw32-gcc-posix -O2 -c "$f.c" -o "$f.o"
done && x86_64-w64-mingw32-ar rcs libz.a ./*.o)
cp "$src/libz.a" "$prefix/lib/" && cp "$src/zlib.h" "$src/zconf.h" "$prefix/include/"
stamp zlib
fi

built libpng1.6 || cmake_build libpng1.6 "$(source_of libpng1.6)" -DPNG_SHARED=OFF -DPNG_TESTS=OFF \
  -DPNG_EXECUTABLES=OFF -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
built libjpeg-turbo || cmake_build libjpeg-turbo "$(source_of libjpeg-turbo)" -DENABLE_SHARED=OFF \
  -DWITH_SIMD=OFF -DWITH_TURBOJPEG=ON
built pugixml || cmake_build pugixml "$(source_of pugixml)"
built uchardet || cmake_build uchardet "$(source_of uchardet)" -DBUILD_BINARY=OFF -DBUILD_STATIC=ON
built utf8proc || cmake_build utf8proc "$(source_of utf8proc)" -DUTF8PROC_ENABLE_TESTING=OFF
# Debian's benchmark takes its version from the command line (no git history in the source).
built benchmark || cmake_build benchmark "$(source_of benchmark)" -DBENCHMARK_ENABLE_TESTING=OFF \
  -DBENCHMARK_ENABLE_WERROR=OFF -DGIT_VERSION="$(pin benchmark | cut -d- -f1)"
if ! built googletest; then
  cmake_build googletest "$(googletest_source "$work")" -DCMAKE_CXX_FLAGS=-w
fi

# Header-only libraries: their headers, and a CMake package each that the project's
# find_package() calls find.
cp -r /usr/include/fmt /usr/include/spdlog /usr/include/CLI /usr/include/nlohmann "$prefix/include/"
header_package() {  # header_package PACKAGE TARGET DEFINITIONS...
  local dir=$prefix/lib/cmake/$1
  mkdir -p "$dir"
  {
    echo "# $1 from Debian's headers, header-only (scripts/windows_deps.sh)."
    echo "if(NOT TARGET $2)"
    echo "  add_library($2 INTERFACE IMPORTED)"
    echo "  set_target_properties($2 PROPERTIES"
    echo "    INTERFACE_INCLUDE_DIRECTORIES \"\${CMAKE_CURRENT_LIST_DIR}/../../../include\""
    echo "    INTERFACE_COMPILE_DEFINITIONS \"${*:3}\")"
    echo "endif()"
  } > "$dir/$1Config.cmake"
}
header_package fmt fmt::fmt "FMT_HEADER_ONLY=1"
header_package spdlog spdlog::spdlog "SPDLOG_HEADER_ONLY;SPDLOG_FMT_EXTERNAL;FMT_HEADER_ONLY=1"
header_package CLI11 CLI11::CLI11 ""
header_package nlohmann_json nlohmann_json::nlohmann_json ""

cp "$pins" "$prefix/dependencies.txt"
date -u +%FT%TZ > "$prefix/.complete"
echo "windows_deps: done"
