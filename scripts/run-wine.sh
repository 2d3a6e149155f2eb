#!/usr/bin/env bash
# Runs a program of a Windows build (build/win32 or build/win64) under Wine,
# from that build directory and in a Wine prefix kept inside it
# (wine-prefix/), which is set up on first use. Each build tree has its own
# prefix; Wine picks its 32-bit or 64-bit loader by the program's image.
# Usage: scripts/run-wine.sh [--in DIR] <Windows build dir> [<program.exe> [arguments...]]
# --in DIR runs the program from DIR instead (an unpacked release, say),
# still in the build directory's prefix; the program path is then taken
# from DIR too. Without a program it only sets the prefix up.
set -euo pipefail

run_in=""
if [ "${1:-}" = --in ]; then
  run_in=$2
  shift 2
fi
dir=$1
shift
export WINEDEBUG=-all
export WINEPREFIX="$(cd "$dir" && pwd)/wine-prefix"
export WINEDLLOVERRIDES="mscoree,mshtml="  # no runtime installer prompts on first start
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # Tests run side by side (ctest -j2) may start here together: one sets
  # the prefix up while the others wait for it.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "velt: setting up the Wine prefix $WINEPREFIX (once; may take half a minute)" >&2
    wineboot --init </dev/null >/dev/null 2>&1
    wineserver -w
  fi
  flock -u 9
  exec 9>&-
fi
[ $# -gt 0 ] || exit 0
cd "${run_in:-$dir}"
exec wine "$@" </dev/null
