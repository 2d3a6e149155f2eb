#!/usr/bin/env bash
# Command-line tests of velt-drive.
#   cli_test.sh bad-input   TOOL PLUGIN WORKDIR
#   cli_test.sh win32-match TOOL PLUGIN WORKDIR SOURCE_DIR
#   cli_test.sh win64-match TOOL PLUGIN WORKDIR SOURCE_DIR
set -u
mode=$1 tool=$2 plugin=$3 work=$4
rm -rf "$work" && mkdir -p "$work"
fail=0
check() {  # description, condition...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}

if [ "$mode" = bad-input ]; then
  # Each: scenario text | expected message on stderr.
  run_bad() {
    local name=$1 text=$2 expected=$3
    printf '%b' "$text" > "$work/$name.drive"
    "$tool" --plugin "$plugin" --trace "$work/$name.csv" --plot "$work/$name.svg" "$work/$name.drive" \
      > "$work/$name.out" 2> "$work/$name.err"
    local rc=$?
    check "$name: exit code 2 (got $rc)" [ "$rc" -eq 2 ]
    check "$name: message '$expected'" grep -qF -- "$expected" "$work/$name.err"
    check "$name: no trace left" test ! -e "$work/$name.csv" -a ! -e "$work/$name.csv.tmp"
    check "$name: no plot left" [ ! -e "$work/$name.svg" ]
  }
  run_bad unknown-word 'start speed 40 km/h\nfullspeed ahead\n' "$work/unknown-word.drive:2:1: unknown word 'fullspeed'"
  run_bad missing-value 'brake\n' "$work/missing-value.drive:1:6: missing brake notch"
  run_bad malformed 'beacon cpp at 3o0 m\n' "$work/malformed.drive:1:15: expected a number for beacon position, found '3o0'"
  run_bad out-of-range 'key 16 at 2 s\n' "$work/out-of-range.drive:1:5: key number 16 is out of range 0 to 15"
  "$tool" --plugin "$plugin" --trace "$work/none.csv" "$work/does-not-exist.drive" 2> "$work/none.err"
  check "unreadable scenario: exit code 2" [ $? -eq 2 ]
  check "unreadable scenario: names the file" grep -qF "$work/does-not-exist.drive: cannot open the scenario file" "$work/none.err"
  printf 'end at 1 s\n' > "$work/ok.drive"
  "$tool" --plugin "$work/no-such-plugin.so" --trace "$work/ok.csv" --plot "$work/ok.svg" "$work/ok.drive" 2> "$work/plugin.err"
  check "unloadable plug-in: exit code 2" [ $? -eq 2 ]
  check "unloadable plug-in: names the library" grep -qF "$work/no-such-plugin.so: cannot load the library" "$work/plugin.err"
  check "unloadable plug-in: no trace left" [ ! -e "$work/ok.csv" ]
  exit $fail
fi

if [ "$mode" = win32-match ] || [ "$mode" = win64-match ]; then
  # velt-drive.exe with velt.dll, or velt-drive64.exe with velt64.dll, each
  # in the Wine prefix of its own build tree.
  source_dir=$5 preset=${mode%-match}
  width=${preset#win}; [ "$width" = 64 ] || width=
  win_dir=$source_dir/build/$preset exe=velt-drive$width.exe dll=velt$width.dll
  if [ ! -e "$win_dir/$exe" ] || [ ! -e "$win_dir/$dll" ]; then
    echo "skipped: $win_dir/$exe or $dll not built (cmake --preset $preset && cmake --build --preset $preset)"
    exit 77
  fi
  for scenario in "$source_dir"/scenarios/*.drive "$source_dir"/scenarios/examples/*.drive; do
    name=$(basename "$(dirname "$scenario")")-$(basename "$scenario" .drive)
    "$tool" -q --plugin "$plugin" --trace "$work/$name.native.csv" --plot "$work/$name.native.svg" "$scenario" > /dev/null
    check "$name: native run" [ $? -eq 0 ]
    bash "$source_dir/scripts/run-wine.sh" "$win_dir" "./$exe" -q --plugin "$dll" \
      --trace "$work/$name.$preset.csv" --plot "$work/$name.$preset.svg" "$scenario" > /dev/null 2> "$work/$name.$preset.err"
    check "$name: run under Wine" [ $? -eq 0 ]
    check "$name: traces byte-identical" cmp -s "$work/$name.native.csv" "$work/$name.$preset.csv"
  done
  exit $fail
fi
echo "unknown mode $mode"; exit 2
