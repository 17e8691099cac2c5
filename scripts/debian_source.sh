# shellcheck shell=bash
# Sourced by scripts/windows_deps.sh and scripts/libcxx_deps.sh: Debian's source packages,
# fetched and built with another toolchain than Debian's own (MinGW-w64, clang++ with libc++).
#
#   debian_source WORK PACKAGE VERSION
#       fetches the source package PACKAGE at VERSION (epoch included, as dpkg names it) with
#       apt-get source into WORK, and prints the folder it was unpacked in. apt reads the
#       deb-src twins of this machine's own Debian sources, with its lists and downloads in
#       WORK/apt: the machine's apt configuration stays as it is.
#   googletest_source WORK
#       copies the GoogleTest and GoogleMock sources that Debian's googletest package ships
#       (/usr/src/googletest) into WORK, to be built there, and prints the copy's folder.
#   debian_cmake_build SOURCE PREFIX [CMAKE-OPTION...]
#       builds the CMake project in SOURCE (Ninja, Release, static libraries) in SOURCE/_build
#       and installs it into PREFIX; the options choose the toolchain (a toolchain file, or a
#       compiler and its flags) and the project's own switches.

debian_source() {
  local work=$1 package=$2 version=$3
  local apt_dir=$work/apt
  if [ ! -d "$apt_dir" ]; then
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        >"$apt_dir/debian-src.sources"
    else
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >"$apt_dir/debian-src.list"
    fi
    debian_apt "$apt_dir" update >&2
  fi
  (cd "$work" && debian_apt "$apt_dir" source "$package=$version" >/dev/null)
  find "$work" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n1
}

# debian_apt APT-DIR ARGUMENTS...: apt-get, quiet, with its sources, lists and downloads in
# APT-DIR alone.
debian_apt() {
  local apt_dir=$1
  shift
  apt-get -qq -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt_dir" \
    -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache::Archives="$apt_dir/archives" \
    -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= -o Debug::NoLocking=1 \
    -o APT::Sandbox::User="$(id -un)" "$@"
}

googletest_source() {
  cp -r /usr/src/googletest "$1/googletest-src"
  echo "$1/googletest-src"
}

debian_cmake_build() {
  local source=$1 prefix=$2
  shift 2
  cmake -S "$source" -B "$source/_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -Wno-dev "$@" >/dev/null
  cmake --build "$source/_build" >/dev/null
  cmake --install "$source/_build" >/dev/null
}
