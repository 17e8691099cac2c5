#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests, the benchmarks and the fuzz
# targets need, when any is missing, and builds what the libcxx preset links against LLVM's
# libc++ (scripts/libcxx_deps.sh). Safe to run again: it does nothing when all are there.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config ccache clang libclang-rt-14-dev libc++-14-dev libc++abi-14-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libspdlog-dev libfmt-dev libcli11-dev
  libpugixml-dev libexpat1-dev nlohmann-json3-dev libturbojpeg0-dev libpng-dev
  qt6-base-dev libglib2.0-dev libwxgtk3.2-dev
  libcsv-dev libphonenumber-dev libssl-dev python3-vobject python3-debian
  libutf8proc-dev libuchardet-dev libicu-dev locales libkf5contacts-dev
  doxygen pandoc
  dpkg-dev man-db bash-completion
)
# The Windows x64 build (the windows preset): MinGW-w64 and Wine; XRF_WINDOWS=0 goes without.
[ "${XRF_WINDOWS:-1}" = 1 ] && packages+=(g++-mingw-w64-x86-64-posix wine64)

missing=()
# Node.js with npm runs the second vCard reader of the contacts tests; a machine that has them
# from elsewhere (its nodejs package then brings npm along) keeps its own.
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Turkish locale, under which the contacts tests check that title matching ignores the
# process locale ("I" lowers to a dotless "ı" there).
if ! locale -a 2>/dev/null | grep -qi '^tr_TR\.utf-\?8$'; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" localedef -i tr_TR -f UTF-8 tr_TR.UTF-8
fi

# The Windows build's libraries, built once from Debian's sources into a cache folder.
if [ "${XRF_WINDOWS:-1}" = 1 ]; then
  "$(dirname "$0")/windows_deps.sh"
fi

# ical.js, the second independent vCard reader of the contacts tests, from the npm registry.
js_check="$(dirname "$0")/../tests/interop/js_check"
if [ ! -d "$js_check/node_modules/ical.js" ]; then
  (cd "$js_check" && npm install --no-audit --no-fund --silent)
fi

"$(dirname "$0")/libcxx_deps.sh"
