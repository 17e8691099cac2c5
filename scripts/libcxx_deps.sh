#!/usr/bin/env bash
# Builds the C++ libraries the libcxx preset links against LLVM's libc++, once, into a cache
# folder outside the clone, ~/.cache/xrfoundation/libcxx:
#
# - GoogleTest and GoogleMock from the sources Debian's googletest package ships
#   (/usr/src/googletest);
# - pugixml from Debian's source package, the same version as the installed libpugixml-dev
#   (its headers are used as they are; the library Debian ships is built with GNU libstdc++).
#
# fmt and spdlog need nothing here: that preset uses them header-only. A later run reuses the
# cache while the Debian versions it was built from are still the installed ones.
set -euo pipefail

cache=$HOME/.cache/xrfoundation/libcxx  # the libcxx preset names this folder too
cxx=(clang++ -stdlib=libc++)
version() { dpkg-query -W -f='${Version}' "$1"; }
gtest_version=$(version googletest)
pugixml_version=$(version libpugixml-dev)
stamp="googletest $gtest_version, pugixml $pugixml_version"
if [ "$(cat "$cache/built-from" 2>/dev/null)" = "$stamp" ]; then
  exit 0
fi
echo "libcxx_deps: building $stamp against libc++ in $cache"
rm -rf "$cache"
mkdir -p "$cache/work" "$cache/lib"

cmake -S /usr/src/googletest -B "$cache/work/googletest" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS=-stdlib=libc++ \
  -DCMAKE_POSITION_INDEPENDENT_CODE=ON -DCMAKE_INSTALL_PREFIX="$cache" >/dev/null
cmake --build "$cache/work/googletest" >/dev/null
cmake --install "$cache/work/googletest" >/dev/null

# The source package comes through apt with a source list of this cache's own, so the
# machine's apt configuration stays as it is.
apt_dir=$cache/work/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial"
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
    >"$apt_dir/debian-src.sources"
else
  sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >"$apt_dir/debian-src.list"
fi
apt_options=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt_dir"
  -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache::Archives="$apt_dir/archives"
  -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= -o Debug::NoLocking=1 -o APT::Sandbox::User="$(id -un)")
apt-get "${apt_options[@]}" update -qq
(cd "$cache/work" && apt-get "${apt_options[@]}" source -qq "pugixml=$pugixml_version" >/dev/null)
"${cxx[@]}" -std=c++17 -O2 -fPIC -c "$cache"/work/pugixml-*/src/pugixml.cpp -o "$cache/work/pugixml.o"
ar rcs "$cache/lib/libpugixml.a" "$cache/work/pugixml.o"

rm -rf "$cache/work"
echo "$stamp" >"$cache/built-from"
