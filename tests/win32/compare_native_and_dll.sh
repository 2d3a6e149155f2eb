#!/usr/bin/env bash
# Runs the fixed call sequence through libvelt.so (native twin) and through a
# Windows DLL (velt.dll or velt64.dll, driven by the velt-abi-host.exe built
# beside it, under Wine) and requires byte-identical output.
# Usage: compare_native_and_dll.sh <native host> <libvelt.so> <DLL> <work dir>
set -euo pipefail

native_host=$1
native_lib=$2
dll_path=$3
work=$4

win_dir=$(dirname "$dll_path")
dll=$(basename "$dll_path")
preset=$(basename "$win_dir")
if [ ! -f "$dll_path" ]; then
  echo "SKIP: $dll_path not built (cmake --preset $preset && cmake --build --preset $preset)"
  exit 77
fi
if [ ! -f "$win_dir/velt-abi-host.exe" ]; then
  echo "FAIL: $dll_path exists but $win_dir/velt-abi-host.exe does not"
  exit 1
fi

run_wine=$(dirname "${BASH_SOURCE[0]}")/../../scripts/run-wine.sh

mkdir -p "$work"
"$native_host" "$native_lib" >"$work/native.out"
# Wine's console may end lines with CRLF; the comparison is about the values.
bash "$run_wine" "$win_dir" ./velt-abi-host.exe "$dll" 2>"$work/wine.err" \
  | tr -d '\r' >"$work/dll.out" || {
  echo "FAIL: velt-abi-host.exe failed under Wine with $dll:"
  cat "$work/wine.err"
  exit 1
}
if [ -s "$work/wine.err" ]; then
  cat "$work/wine.err"
fi

frames=$(grep -c '^frame ' "$work/native.out" || true)
if [ "$frames" -lt 100 ]; then
  echo "FAIL: the native twin printed only $frames frames"
  exit 1
fi
if ! cmp -s "$work/native.out" "$work/dll.out"; then
  echo "FAIL: libvelt.so and $dll differ (outputs in $work):"
  # Name the first differing frame and its differing outputs, not a 5 kB line.
  awk -v dll="$work/dll.out" -v name="$dll" '
    BEGIN { split("brake power reverser constantSpeed", handle, " ") }
    function label(i) {
      if (i >= 7 && i <= 10) return handle[i - 6]
      if (i >= 13 && i <= 268) return "panel[" (i - 13) "]"
      if (i >= 271 && i <= 526) return "sound[" (i - 271) "]"
      return "field " i
    }
    {
      if ((getline other < dll) <= 0) { print "  " name " output ends before line " NR; exit }
      if ($0 == other) next
      differs = 1
      n = split($0, a, " "); m = split(other, b, " ")
      print "  line " NR ": " a[1] " " a[2] " " a[3] " " a[4] " " a[5]
      shown = 0
      for (i = 1; i <= (n > m ? n : m) && shown < 12; ++i) {
        if (a[i] != b[i]) { print "    " label(i) ": libvelt.so " a[i] ", " name " " b[i]; ++shown }
      }
      exit
    }
    END { if (!differs && (getline other < dll) > 0) print "  " name " output is longer" }
  ' "$work/native.out"
  exit 1
fi
echo "OK: $frames frames identical from libvelt.so and $dll ($(wc -c <"$work/native.out") bytes)"
