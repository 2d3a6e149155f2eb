#!/usr/bin/env bash
# Runs a program of a Windows build (build/win32 or build/win64) under Wine,
# from that build directory and in a Wine prefix kept inside it
# (wine-prefix/), which is set up on first use. Each build tree has its own
# prefix; Wine picks its 32-bit or 64-bit loader by the program's image.
# Usage: scripts/run-wine.sh <Windows build dir> <program.exe> [arguments...]
set -euo pipefail

dir=$1
shift
export WINEDEBUG=-all
export WINEPREFIX="$(cd "$dir" && pwd)/wine-prefix"
export WINEDLLOVERRIDES="mscoree,mshtml="  # no runtime installer prompts on first start
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "velt: setting up the Wine prefix $WINEPREFIX (once; may take half a minute)" >&2
  wineboot --init </dev/null >/dev/null 2>&1
  wineserver -w
fi
cd "$dir"
exec wine "$@" </dev/null
