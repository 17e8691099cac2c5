#!/usr/bin/env bash
# Runs a Windows program under Wine: the emulator of the windows preset
# (CMAKE_CROSSCOMPILING_EMULATOR), so ctest runs the tests as on Linux.
#   wine_run.sh PROGRAM.exe [ARGUMENT...]
# The prefix is $WINEPREFIX (the build sets it to a folder of its own), never one in $HOME; the
# first program prepares it. Each Wine start costs seconds, most of it in starting the
# wineserver, so one persistent server (-p) serves every program of a test run and ends
# persist_seconds after the last one.
set -euo pipefail

wine_dir=/usr/lib/wine
persist_seconds=60
: "${WINEPREFIX:?set WINEPREFIX to the Wine prefix of this build}"
export WINEPREFIX WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: nothing here needs .NET or a browser engine.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

mkdir -p "$WINEPREFIX"
{
  # Tests start in parallel: one prepares the prefix and starts the server, the others wait.
  flock 9
  # 9>&-: the server outlives this script, and must not hold the lock while it runs.
  [ -f "$WINEPREFIX/system.reg" ] || "$wine_dir/wine64" wineboot --init >/dev/null 2>&1 9>&-
  # Windows without a display: Wine's null graphics driver makes windows, dialog boxes and
  # menus, and runs their modal loops, where the default driver wants an X server. A running
  # server's desktop keeps the driver it started with, so the server ends before the next start.
  if [ ! -f "$WINEPREFIX/.xrf-null-display" ]; then
    "$wine_dir/wine64" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
      >/dev/null 2>&1 9>&-
    "$wine_dir/wineserver" -k >/dev/null 2>&1 9>&- || true
    "$wine_dir/wineserver" -w >/dev/null 2>&1 9>&- || true
    touch "$WINEPREFIX/.xrf-null-display"
  fi
  # A new server (the command fails when one runs) starts Wine's own processes (services,
  # devices) with the first program, as its children, and they live until the server ends:
  # started by a test they would hold its output pipe open that long, and whoever reads the
  # pipe to its end (ctest, a check script) would wait. So they are started here, with none.
  if "$wine_dir/wineserver" -p"$persist_seconds" >/dev/null 2>&1 9>&-; then
    "$wine_dir/wine64" wineboot </dev/null >/dev/null 2>&1 9>&- || true
  fi
} 9>"$WINEPREFIX/.xrf-lock"
exec "$wine_dir/wine64" "$@"
