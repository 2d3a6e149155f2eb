#!/usr/bin/env bash
# A Windows plug-in must export exactly the sixteen entry points and import
# nothing but libraries every Windows has: a host machine has no MinGW
# runtime (libstdc++, libgcc, libwinpthread). The names follow the image's
# width: velt.dll (x86) has each under its plain and its stdcall-decorated
# name, velt64.dll (x86-64) the plain names alone.
# Usage: check_dll_tables.sh <velt.dll | velt64.dll>
set -euo pipefail

dll=$1
if [ ! -f "$dll" ]; then
  echo "SKIP: $dll not built"
  exit 77
fi
name=$(basename "$dll")
# The x86-64 binutils read both widths of image.
objdump=$(command -v x86_64-w64-mingw32-objdump || command -v i686-w64-mingw32-objdump || true)
if [ -z "$objdump" ]; then
  echo "FAIL: no MinGW objdump found (scripts/install-deps.sh installs the cross toolchains)"
  exit 1
fi
format=$("$objdump" -f "$dll" | sed -n 's/.*file format //p')
table=$("$objdump" -p "$dll")

decorated=(Load@0 Dispose@0 GetPluginVersion@0 SetVehicleSpec@20 Initialize@4 Elapse@48
  SetPower@4 SetBrake@4 SetReverser@4 KeyDown@4 KeyUp@4 HornBlow@4 DoorOpen@0
  DoorClose@0 SetSignal@4 SetBeaconData@16)
case "$name:$format" in
  velt.dll:pei-i386)
    expected=$(for n in "${decorated[@]}"; do echo "$n"; echo "${n%@*}"; done | LC_ALL=C sort) ;;
  velt64.dll:pei-x86-64)
    expected=$(for n in "${decorated[@]}"; do echo "${n%@*}"; done | LC_ALL=C sort) ;;
  *)
    echo "FAIL: $name is a $format image; velt.dll must be pei-i386 and velt64.dll pei-x86-64"
    exit 1 ;;
esac
count=$(wc -l <<<"$expected")
exported=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" \
  | sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | LC_ALL=C sort)

status=0
if [ "$exported" != "$expected" ]; then
  echo "FAIL: $name: export names differ from the $count expected (< expected, > found):"
  diff <(echo "$expected") <(echo "$exported") || true
  status=1
else
  echo "OK: $name ($format) exports exactly the $count entry point names"
fi

imports=$(sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$table" | LC_ALL=C sort -u)
if [ -z "$imports" ]; then
  echo "FAIL: $name: no import table found"
  status=1
fi
for lib in $imports; do
  case "${lib,,}" in
    kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | ntdll.dll | api-ms-win-*.dll) ;;
    *)
      echo "FAIL: $name imports $lib, which a Windows host machine need not have"
      status=1
      ;;
  esac
done
[ $status -ne 0 ] || echo "OK: $name imports only Windows system libraries: $(echo $imports)"
exit $status
