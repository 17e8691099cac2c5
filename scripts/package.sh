#!/usr/bin/env bash
# Builds the Debian packages from a shared Release build under /usr (preset "package"):
#   libxrfoundation0     the shared library
#   libxrfoundation-dev  headers, CMake package, pkg-config file
#   xrf                  the tool with its samples, man page and bash completion
# then installs them with dpkg on this machine, builds and runs the consumers of the core and of
# the Qt, GLib and wxWidgets components against /usr with the CMake package and with pkg-config
# (tests/consumer/consumer_check.cmake, the check the install test uses too), runs the
# installed `xrf demo` from another directory, and removes the packages again (also when a step
# fails). The .deb files stay in
# build/package. Needs root (or sudo) for dpkg; refuses to touch packages it did not install.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/common.sh
build=$root/build/package
packages=(xrf libxrfoundation-dev libxrfoundation0)
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

fail() { echo "package.sh: $*" >&2; exit 1; }

for p in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    fail "$p is installed already; remove it first (dpkg -r $p)"
  fi
done

echo "=== package build"
cmake --preset package >/dev/null
cmake --build --preset package
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)

echo "=== packages"
debs=("$build"/*.deb)
((${#debs[@]} == 3)) || fail "expected 3 packages, got: ${debs[*]##*/}"
for deb in "${debs[@]}"; do
  echo "--- ${deb##*/}"
  dpkg-deb -f "$deb" Package Version Architecture Depends
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {$1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print "  " $0}' 
done

echo "=== copyright files"
# Each package documents its licences in Debian's place for them, from packaging/copyright.
for deb in "${debs[@]}"; do
  doc=./usr/share/doc/$(dpkg-deb -f "$deb" Package)/copyright
  dpkg-deb --fsys-tarfile "$deb" | tar -xOf - "$doc" 2>/dev/null | cmp -s - packaging/copyright ||
    fail "${deb##*/} has no $doc as packaging/copyright says it"
  echo "  ${deb##*/}: $doc"
done

work=$(mktemp -d)
installed=0
cleanup() {
  if ((installed)); then
    echo "=== removing the packages"
    "${sudo_cmd[@]}" dpkg --purge "${packages[@]}" >/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "=== dpkg -i"
installed=1
"${sudo_cmd[@]}" dpkg -i "${debs[@]}" >/dev/null

libdir=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
soname=$(objdump -p "$libdir/libxrfoundation.so" | awk '$1 == "SONAME" {print $2}')
[ "$soname" = libxrfoundation.so.0 ] || fail "SONAME is '$soname'"
if readelf -d /usr/bin/xrf "$libdir/libxrfoundation.so.0" | grep -Eq 'RPATH|RUNPATH'; then
  fail "an installed binary keeps a run path"
fi
exported=$(nm -D --defined-only "$libdir/libxrfoundation.so.0" | wc -l)
echo "libxrfoundation.so.0: SONAME $soname, $exported exported symbols"

echo "=== consumers of the core, the Qt, the GLib and the wx component, with CMake and pkg-config"
cmake -DSOURCE_DIR="$root" -DWORK="$work/consumers" -DPREFIX=/usr -DLIBDIR="${libdir#/usr/}" \
  -DSHARED=ON -DCOMPONENTS=qt,glib,wx -DCXX=g++ -DGENERATOR=Ninja \
  -P tests/consumer/consumer_check.cmake

echo "=== installed xrf demo, from $work"
(cd "$work" && /usr/bin/xrf demo >demo.out) || { cat "$work/demo.out"; fail "xrf demo failed"; }
cat "$work/demo.out"
grep -q 'samples: /usr/share/xrfoundation/samples)' "$work/demo.out" ||
  fail "xrf demo did not use the installed samples"
if grep -aqF "$root" /usr/bin/xrf "$libdir/libxrfoundation.so.0"; then
  fail "an installed binary holds the path of the source tree"
fi

echo "=== man page and bash completion"
man --warnings -l /usr/share/man/man1/xrf.1.gz 2>&1 >/dev/null | grep . && fail "the man page has warnings"
MANWIDTH=80 man -l /usr/share/man/man1/xrf.1.gz 2>/dev/null | grep -q 'xrf demo' ||
  fail "the man page does not render"
completion=$(bash -c 'source /usr/share/bash-completion/bash_completion
  source /usr/share/bash-completion/completions/xrf
  COMP_WORDS=(xrf contacts c); COMP_CWORD=2; COMP_LINE="xrf contacts c"; COMP_POINT=14
  _xrf; echo "${COMPREPLY[*]}"')
[ "$completion" = csv2vcf ] || fail "completing 'xrf contacts c' gave '$completion'"

echo "=== removing the packages"
"${sudo_cmd[@]}" dpkg --purge "${packages[@]}" >/dev/null
installed=0
for left in /usr/bin/xrf /usr/include/xrfoundation "$libdir/libxrfoundation.so.0" \
  /usr/share/xrfoundation "$libdir/pkgconfig/xrfoundation.pc" /usr/share/doc/xrf; do
  [ ! -e "$left" ] || fail "$left is left after removing the packages"
done
echo "package.sh: the packages build, install, serve consumers and remove cleanly"
