#!/usr/bin/env bash
# velt.dll must export exactly the sixteen entry points under their plain and
# decorated names, and import nothing but libraries every Windows has: a host
# machine has no MinGW runtime (libstdc++, libgcc, libwinpthread).
# Usage: check_dll_tables.sh <velt.dll>
set -euo pipefail

dll=$1
if [ ! -f "$dll" ]; then
  echo "SKIP: $dll not built"
  exit 77
fi
objdump=$(command -v i686-w64-mingw32-objdump || true)
if [ -z "$objdump" ]; then
  echo "FAIL: i686-w64-mingw32-objdump not found"
  exit 1
fi
table=$("$objdump" -p "$dll")

expected=$(printf '%s\n' \
  Load@0 Dispose@0 GetPluginVersion@0 SetVehicleSpec@20 Initialize@4 Elapse@48 \
  SetPower@4 SetBrake@4 SetReverser@4 KeyDown@4 KeyUp@4 HornBlow@4 DoorOpen@0 \
  DoorClose@0 SetSignal@4 SetBeaconData@16 \
  | while read -r name; do echo "$name"; echo "${name%@*}"; done | LC_ALL=C sort)
exported=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" \
  | sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | LC_ALL=C sort)

status=0
if [ "$exported" != "$expected" ]; then
  echo "FAIL: export names differ from the 32 expected (< expected, > found):"
  diff <(echo "$expected") <(echo "$exported") || true
  status=1
else
  echo "OK: exactly the 32 entry point names are exported"
fi

imports=$(sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$table" | LC_ALL=C sort -u)
if [ -z "$imports" ]; then
  echo "FAIL: no import table found"
  status=1
fi
for lib in $imports; do
  case "${lib,,}" in
    kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | ntdll.dll | api-ms-win-*.dll) ;;
    *)
      echo "FAIL: velt.dll imports $lib, which a Windows host machine need not have"
      status=1
      ;;
  esac
done
[ $status -ne 0 ] || echo "OK: imports only Windows system libraries: $(echo $imports)"
exit $status
