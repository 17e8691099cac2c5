#!/usr/bin/env bash
# Builds the library and the xrf tool, then runs the main job: `xrf demo`.
set -euo pipefail
cd "$(dirname "$0")/.."
# The demo needs neither MinGW-w64 nor Wine.
XRF_WINDOWS=${XRF_WINDOWS:-0} scripts/setup.sh
cmake --preset default -DXRF_BUILD_TESTS=OFF -DXRF_BUILD_BENCH=OFF >/dev/null
cmake --build --preset default --target xrf
exec build/default/tools/xrf demo "$@"
