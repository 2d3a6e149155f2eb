#!/usr/bin/env bash
# Command-line tests of velt-drive.
#   cli_test.sh bad-input   TOOL PLUGIN WORKDIR
#   cli_test.sh file-safety TOOL PLUGIN WORKDIR
#   cli_test.sh sweep       TOOL PLUGIN WORKDIR SOURCE_DIR CRASHING_PLUGIN
#   cli_test.sh win32-match TOOL PLUGIN WORKDIR SOURCE_DIR
#   cli_test.sh win64-match TOOL PLUGIN WORKDIR SOURCE_DIR
#   cli_test.sh twin-check  TOOL PLUGIN WORKDIR FLIPPING_PLUGIN
#   cli_test.sh native-all  TOOL PLUGIN WORKDIR SOURCE_DIR
#   cli_test.sh route       TOOL PLUGIN WORKDIR SOURCE_DIR
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
  run_bad unknown-word 'start speed 40 km/h\nfullspeed ahead\n' "$work/unknown-word.drive:2:1: error: unknown word 'fullspeed'"
  run_bad missing-value 'brake\n' "$work/missing-value.drive:1:6: error: missing brake notch"
  run_bad malformed 'beacon cpp at 3o0 m\n' "$work/malformed.drive:1:15: error: expected a number for beacon position, found '3o0'"
  run_bad out-of-range 'key 16 at 2 s\n' "$work/out-of-range.drive:1:5: error: key number 16 is out of range 0 to 15"
  "$tool" --plugin "$plugin" --trace "$work/none.csv" "$work/does-not-exist.drive" 2> "$work/none.err"
  check "unreadable scenario: exit code 2" [ $? -eq 2 ]
  check "unreadable scenario: names the file" grep -qF "$work/does-not-exist.drive: error: cannot open the scenario file" "$work/none.err"
  printf 'end at 1 s\n' > "$work/ok.drive"
  "$tool" --plugin "$work/no-such-plugin.so" --trace "$work/ok.csv" --plot "$work/ok.svg" "$work/ok.drive" 2> "$work/plugin.err"
  check "unloadable plug-in: exit code 2" [ $? -eq 2 ]
  check "unloadable plug-in: names the library" grep -qF "$work/no-such-plugin.so: cannot load the library" "$work/plugin.err"
  check "unloadable plug-in: no trace left" [ ! -e "$work/ok.csv" ]
  # A train that is not there: named from the scenario's folder with the line
  # that names it, and refused by --train alike for every command.
  run_bad no-train 'vehicle file trains/none\n' "$work/trains/none: error: no such file or folder"
  check "no-train: notes the scenario's line" grep -qF "$work/no-train.drive:1:14: note:" "$work/no-train.err"
  for command in "" check "sweep --vary start-speed=10:20:10"; do
    # shellcheck disable=SC2086
    "$tool" $command --plugin "$plugin" "$work/ok.drive" --train "$work/none" > /dev/null 2> "$work/train.err"
    rc=$?
    check "--train for '${command:-drive}': exit code 2 (got $rc)" [ "$rc" -eq 2 ]
    check "--train for '${command:-drive}': names the train" grep -qF "$work/none: error: no such file or folder" "$work/train.err"
  done
  exit $fail
fi

if [ "$mode" = file-safety ]; then
  # Each: what, the options, expected message; exit code 2 and nothing
  # written or changed, the inputs and the old outputs as they were.
  printf 'start speed 20 km/h\nend at 2 s\n' > "$work/s.drive"
  cp "$work/s.drive" "$work/s.keep"
  mkdir -p "$work/d2"
  refused() {
    local what=$1 expected=$2; shift 2
    (cd "$work" && "$tool" --plugin "$plugin" "$@" s.drive > out.txt 2> err.txt)
    local rc=$?
    check "$what: exit code 2 (got $rc)" [ "$rc" -eq 2 ]
    check "$what: says '$expected'" grep -qF -- "$expected" "$work/err.txt"
    check "$what: the scenario is untouched" cmp -s "$work/s.drive" "$work/s.keep"
    check "$what: no output and no temporary file" \
      [ -z "$(cd "$work" && ls -A | grep -v -e '^s.drive$' -e '^s.keep$' -e '^d2$' -e '^out.txt$' -e '^err.txt$')" ]
    check "$what: d2 is still an empty directory" [ -d "$work/d2" -a -z "$(ls -A "$work/d2")" ]
  }
  refused "trace over the scenario" "--trace s.drive: is the scenario, which this run reads" \
    --trace s.drive --plot p.svg
  refused "one output over another" "--plot same.out: is also the file of --trace" \
    --trace same.out --plot same.out
  refused "a directory" "--trace d2: is a directory" --trace d2 --plot p.svg
  refused "a folder below a file" "--trace s.keep/x.csv: s.keep is a file, not a folder" \
    --trace s.keep/x.csv --plot p.svg
  refused "the plot to standard output" "--plot -: this output cannot go to standard output" \
    --trace t.csv --plot -
  refused "an option it does not know" "velt-drive: The following argument was not expected: --bogus" \
    --bogus --plot p.svg
  check "an unknown option points to --help" grep -qF "run 'velt-drive --help'" "$work/err.txt"
  printf 'start speed 20 km/h\nvehicle brake-notches 8\nvehicle brake-notches 7\nend at 2 s\n' > "$work/s.drive"
  cp "$work/s.drive" "$work/s.keep"
  refused "a warning under --strict" "s.drive:3:1: error: 'vehicle brake-notches' is given again" \
    --strict --trace t.csv --plot p.svg

  # '-' is standard output: the CSV there, the summary on stderr, no file named '-'.
  (cd "$work" && "$tool" --plugin "$plugin" --trace - --plot p.svg s.drive > stdout.csv 2> err.txt)
  check "trace to standard output: exit code 0" [ $? -eq 0 ]
  check "trace to standard output: the CSV header first" grep -q '^time_ms,elapsed_s' <(head -1 "$work/stdout.csv")
  check "trace to standard output: the summary on stderr" grep -qF "Ended at" "$work/err.txt"
  check "trace to standard output: no file named -" [ ! -e "$work/-" ]
  check "warnings do not stop a normal run" grep -qF "s.drive:3:1: warning:" "$work/err.txt"
  rm -f "$work/p.svg"

  # A failed run leaves the old outputs as they were, and no folder.
  echo old > "$work/t.csv"
  (cd "$work" && "$tool" --plugin "$work/no-such.so" --trace t.csv --plot new/p.svg s.drive 2> err.txt)
  check "failed run: the old trace is kept" [ "$(cat "$work/t.csv")" = old ]
  check "failed run: no folder made" [ ! -e "$work/new" ]

  # The folder of an output is made when missing; what is not named goes to
  # velt-drive-output/, or to build/drive/ where there is a build/ folder.
  mkdir "$work/elsewhere"
  (cd "$work/elsewhere" && "$tool" -q --plugin "$plugin" --report a/b/r.html ../s.drive > out.txt 2>&1)
  check "missing folders: exit code 0 (got $?)" [ $? -eq 0 ]
  check "missing folders: the report in a/b" [ -s "$work/elsewhere/a/b/r.html" ]
  for f in s.csv s.svg s-time.svg; do
    check "default outputs: velt-drive-output/$f" [ -s "$work/elsewhere/velt-drive-output/$f" ]
  done
  check "default outputs: named in the summary" grep -qF "Plot:      velt-drive-output/s.svg" "$work/elsewhere/out.txt"
  mkdir "$work/elsewhere/build"
  (cd "$work/elsewhere" && "$tool" -q --plugin "$plugin" ../s.drive > /dev/null 2>&1)
  check "default outputs beside a build folder: build/drive/" [ -s "$work/elsewhere/build/drive/s-time.svg" ]
  rm -rf "$work/elsewhere"

  # A device or a pipe is written into, never renamed over; each may be
  # named once. The real /dev/null and /dev/full come last, and only once
  # a pipe and a device node of the test's own have come through intact.
  mkfifo "$work/pipe"
  timeout 60 cat "$work/pipe" > "$work/from-pipe.csv" &
  reader=$!
  (cd "$work" && timeout 60 "$tool" --plugin "$plugin" --trace pipe --plot p.svg s.drive > out.txt 2> err.txt)
  check "a pipe: exit code 0 (got $?)" [ $? -eq 0 ]
  wait "$reader"
  check "a pipe: the trace came through it" grep -q '^time_ms,elapsed_s' "$work/from-pipe.csv"
  check "a pipe: still a pipe" [ -p "$work/pipe" ]
  intact=$(test -p "$work/pipe" && echo yes)
  if mknod "$work/null" c 1 3 2> /dev/null; then
    (cd "$work" && "$tool" -q --plugin "$plugin" --trace null --plot p.svg s.drive > /dev/null 2>&1)
    check "a device node: exit code 0 (got $?)" [ $? -eq 0 ]
    check "a device node: still a character device" [ -c "$work/null" ]
    (cd "$work" && "$tool" --plugin "$plugin" --trace null --plot ./null --time-plot "$work/null" s.drive \
      > out.txt 2> err.txt)
    check "a device node three times: exit code 2 (got $?)" [ $? -eq 2 ]
    check "a device node three times: says so" grep -qF -- "--plot ./null: is also the file of --trace" "$work/err.txt"
    check "a device node three times: still a character device" [ -c "$work/null" ]
    [ -c "$work/null" ] || intact=
  elif [ "$(id -u)" -eq 0 ]; then
    intact=  # root, and no node of our own to try first: leave /dev alone
    echo "skipped: the /dev/null and /dev/full cases (mknod is not allowed here)"
  fi
  rm -f "$work/pipe" "$work/null" "$work/from-pipe.csv" "$work/p.svg"
  python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$work/sock"
  (cd "$work" && "$tool" --plugin "$plugin" --trace sock --plot p.svg s.drive > out.txt 2> err.txt)
  check "a socket: exit code 2 (got $?)" [ $? -eq 2 ]
  check "a socket: says so" grep -qF -- "--trace sock: is a disk or a socket, not a file" "$work/err.txt"
  check "a socket: still a socket, nothing written" [ -S "$work/sock" -a ! -e "$work/p.svg" ]
  rm -f "$work/sock"
  if [ -n "$intact" ]; then
    (cd "$work" && "$tool" --plugin "$plugin" --trace /dev/null --plot /dev/null --time-plot /dev/null \
      s.drive > out.txt 2> err.txt)
    check "/dev/null three times: exit code 2 (got $?)" [ $? -eq 2 ]
    check "/dev/null three times: says so" grep -qF -- "--plot /dev/null: is also the file of --trace" "$work/err.txt"
    (cd "$work" && "$tool" --plugin "$plugin" --trace /dev/null --plot p.svg --time-plot tp.svg s.drive \
      > out.txt 2> err.txt)
    check "/dev/null once: exit code 0 (got $?)" [ $? -eq 0 ]
    check "/dev/null once: still a character device" [ -c /dev/null ]
    check "/dev/null once: the other outputs written" [ -s "$work/p.svg" -a -s "$work/tp.svg" ]
    rm -f "$work/p.svg" "$work/tp.svg"
    (cd "$work" && "$tool" --plugin "$plugin" --trace /dev/full --plot p.svg --time-plot new/tp.svg s.drive \
      > out.txt 2> err.txt)
    check "a full disk: exit code 3 (got $?)" [ $? -eq 3 ]
    check "a full disk: says so" grep -qF -- "--trace /dev/full: cannot write" "$work/err.txt"
    check "a full disk: nothing else written, no folder left" [ ! -e "$work/p.svg" -a ! -e "$work/new" ]
    check "a full disk: /dev/full is still a character device" [ -c /dev/full ]
  fi

  # Not a text file: said once, in printable characters.
  printf '\x7fELF\x02\x01\x01\x00\x00\nmore\x01\n' > "$work/binary.drive"
  (cd "$work" && "$tool" --plugin "$plugin" binary.drive 2> err.txt)
  check "binary scenario: exit code 2" [ $? -eq 2 ]
  check "binary scenario: one message" [ "$(wc -l < "$work/err.txt")" -eq 1 ]
  check "binary scenario: says so" grep -qF "binary.drive:1:1: error: not a text file (byte 0x7F)" "$work/err.txt"
  check "binary scenario: printable characters only" [ -z "$(tr -d '[:print:]\n' < "$work/err.txt")" ]

  # A library for another platform, told from its header.
  { printf 'MZ'; head -c 58 /dev/zero; printf '\x40\x00\x00\x00'; printf 'PE\x00\x00\x4c\x01'; head -c 16 /dev/zero
    printf '\x02\x21'; head -c 200 /dev/zero; } > "$work/velt.dll"
  (cd "$work" && "$tool" --plugin velt.dll --trace t2.csv --plot p2.svg s.drive 2> err.txt)
  check "Windows DLL to the native tool: exit code 2" [ $? -eq 2 ]
  check "Windows DLL to the native tool: names the tool that loads it" \
    grep -qF "velt.dll is a 32-bit Windows DLL: run velt-drive.exe under Wine" "$work/err.txt"

  # check: findings of several files, exit 2 only under --strict.
  printf 'beacon 99 at 5 m\nend at 1 s\n' > "$work/c.drive"
  "$tool" check --plugin "$plugin" "$work/c.drive" "$work/s.drive" > /dev/null 2> "$work/check.txt"
  check "check: exit code 0 with warnings" [ $? -eq 0 ]
  check "check: the finding" grep -qF "c.drive:1:1: warning: velt ignores beacon type 99" "$work/check.txt"
  check "check: the count" grep -qF "velt-drive check: 2 scenarios, 2 findings" "$work/check.txt"
  "$tool" check --strict --plugin "$plugin" "$work/c.drive" > /dev/null 2>&1
  check "check --strict: exit code 2" [ $? -eq 2 ]
  exit $fail
fi

example=${5:-}/scenarios/examples/cpp-sweep.drive
by_speed=(--vary start-speed,hold@19=20:60:20)

if [ "$mode" = sweep ]; then
  # The example held at 20, 40 and 60 km/h: the drive at 60 km/h is braked
  # by the signal check before any warning and fails an expectation.
  "$tool" sweep -q --plugin "$plugin" "$example" "${by_speed[@]}" \
    --table "$work/speeds.csv" --plot "$work/speeds.svg" > "$work/speeds.out" 2> "$work/speeds.err"
  rc=$?
  check "sweep with a failed expectation: exit code 1 (got $rc)" [ "$rc" -eq 1 ]
  check "the failed expectation with the drive's values" grep -qF \
    "cpp-sweep.drive:25:1: error: expectation not met in 1 of 3 drives: warning at least 4 s before brake" "$work/speeds.err"
  check "... and a note per failing drive" grep -qF \
    "note: start-speed,hold@19 60 km/h: the full-service brake at 20.2 m" "$work/speeds.err"
  check "the plot is an SVG" grep -q '^<svg' "$work/speeds.svg"
  for speed in 20 40 60; do
    sed -e "s|^start speed 40 km/h|start speed $speed km/h|" -e "s|^hold 40 km/h|hold $speed km/h|" \
      "$example" > "$work/single-$speed.drive"
    "$tool" -q --plugin "$plugin" --trace "$work/single-$speed.csv" --plot "$work/single-$speed.svg" \
      "$work/single-$speed.drive" > /dev/null 2> "$work/single-$speed.err"
    rc=$?
    [ "$speed" = 60 ] && want=1 || want=0
    check "single drive at $speed km/h: exit code $want (got $rc)" [ "$rc" -eq "$want" ]
    single=$(tail -1 "$work/single-$speed.csv" | cut -d, -f3)
    swept=$(awk -F, -v v="$speed" 'NR > 1 && $2 == v { print $3 }' "$work/speeds.csv")
    check "$speed km/h: the sweep stops where the single drive does ($swept, $single)" \
      [ -n "$single" -a "$single" = "$swept" ]
  done
  check "a single drive names its failed expectation" grep -qF \
    "single-60.drive:25:1: error: expectation not met: warning at least 4 s before brake: the full-service brake at 20.2 m" \
    "$work/single-60.err"

  # Two quantities: one row per combination, the first changing slowest.
  "$tool" sweep --plugin "$plugin" "$example" --vary start-speed,hold@19=20:40:10 \
    --vary emergency-brake=3:5:1 --table "$work/grid.csv" --plot "$work/grid.svg" > "$work/grid.out" 2>&1
  check "two quantities: exit code 0, every drive met its expectations" [ $? -eq 0 ]
  check "two quantities: the table's heading" grep -qE \
    '^ +start-speed,hold@19 km/h +emergency-brake km/h/s +stopped at m +CPP target \(cpp-sweep.drive:17\) m' "$work/grid.out"
  check "two quantities: nine rows on the terminal" [ "$(grep -cE '^ +[0-9]+ +[0-9]+ +[0-9.]+ ' "$work/grid.out")" -eq 9 ]
  check "two quantities: nine rows of the CSV in order" [ "$(tail -n +2 "$work/grid.csv" | cut -d, -f2,3 | tr '\n' ' ')" \
    = "20,3 20,4 20,5 30,3 30,4 30,5 40,3 40,4 40,5 " ]
  check "two quantities: every CSV row as wide as the heading" python3 -c '
import csv, sys
rows = list(csv.reader(open(sys.argv[1])))
sys.exit(0 if len(rows) == 10 and len({len(r) for r in rows}) == 1 else 1)' "$work/grid.csv"
  check "two quantities: the grid plot" grep -qF "stop margin to the target" "$work/grid.svg"

  # A --vary that cannot be swept: exit code 2, the reason, nothing written.
  bad_vary() {
    local what=$1 vary=$2 expected=$3
    "$tool" sweep --plugin "$plugin" "$example" --vary "$vary" --table "$work/bad.csv" \
      --plot "$work/bad.svg" > /dev/null 2> "$work/bad.err"
    local rc=$?
    check "$what: exit code 2 (got $rc)" [ "$rc" -eq 2 ]
    check "$what: says '$expected'" grep -qF -- "$expected" "$work/bad.err"
    check "$what: nothing written" [ ! -e "$work/bad.csv" -a ! -e "$work/bad.svg" ]
  }
  bad_vary "unknown name" speed=10:20:10 "velt-drive: --vary speed=10:20:10: unknown quantity 'speed'"
  bad_vary "empty range" start-speed=60:10:10 "the range is empty: 60 never reaches 10 in steps of 10"
  bad_vary "step 0" emergency-brake=1:2:0 "the step is 0"
  "$tool" sweep --plugin "$plugin" "$example" --table "$work/bad.csv" > /dev/null 2> "$work/bad.err"
  check "no --vary: exit code 2" [ $? -eq 2 ]
  check "no --vary: says so" grep -qF "vary is required" "$work/bad.err"

  # A library that is not this velt: every drive says so, by its first difference.
  "$tool" sweep --plugin "$6" "$example" --vary start-speed,hold@19=30:40:10 \
    --table "$work/foreign.csv" > /dev/null 2> "$work/foreign.err"
  check "a foreign library: exit code 1" [ $? -eq 1 ]
  check "a foreign library: each drive names its first difference" [ "$(grep -c \
    "frame 0 (0.000 s): the reverser is 0 from the plug-in .* but 1 from velt-drive's own core" \
    "$work/foreign.err")" -eq 2 ]
  # --black-box judges no brakes: an expectation about them is refused.
  "$tool" sweep --black-box --plugin "$6" "$example" --vary start-speed=40:60:20 \
    --table "$work/bad.csv" > /dev/null 2> "$work/bad.err"
  check "--black-box with a brake expectation: exit code 2" [ $? -eq 2 ]
  check "--black-box with a brake expectation: the line named" grep -qF \
    "cpp-sweep.drive:25:1: error: 'warning at least 4 s before brake' is judged by the protection's interventions" \
    "$work/bad.err"
  check "--black-box with a brake expectation: nothing written" [ ! -e "$work/bad.csv" ]

  # A drive whose plug-in dies takes no other drive with it, and is reported.
  grep -v '^expect warning' "$example" > "$work/no-brake-expectations.drive"
  "$tool" sweep --black-box --plugin "$6" "$work/no-brake-expectations.drive" --vary start-speed,hold@19=40:60:20 \
    --table "$work/crash.csv" --plot "$work/crash.svg" > "$work/crash.out" 2> "$work/crash.err"
  check "a crashing drive: exit code 1" [ $? -eq 1 ]
  check "a crashing drive: named with its values and the signal" grep -qF \
    "velt-drive sweep: start-speed,hold@19 60 km/h: the drive's process was ended by signal 6" "$work/crash.err"
  check "a crashing drive: the other drive ran" grep -qE '^FAIL +40 +no stop' "$work/crash.out"
  check "a crashing drive: its row in the table" grep -qE "^FAIL +60 +did not run$" "$work/crash.out"
  exit $fail
fi

if [ "$mode" = twin-check ]; then
  # A library that is not this velt (velt for 100 frames, then panel[22] off
  # by one): exit code 1, the frame and the output named, nothing written.
  flipping=$5
  printf 'start speed 30 km/h\nbeacon route at 5 m optional 0\nbeacon section at 10 m optional 1\nsignal 5 at 10 m\nend at 10 s\n' > "$work/s.drive"
  echo old > "$work/t.csv"
  (cd "$work" && "$tool" --plugin "$flipping" --trace t.csv --plot p.svg --events e.csv s.drive > out.txt 2> err.txt)
  rc=$?
  check "a foreign library: exit code 1 (got $rc)" [ "$rc" -eq 1 ]
  check "a foreign library: the frame and the output named" \
    grep -qF "velt-drive: frame 100 (1.666 s): panel[22] is 1 from the plug-in $flipping but 0 from velt-drive's own core" "$work/err.txt"
  check "a foreign library: the old trace kept, nothing else written" \
    [ "$(cat "$work/t.csv")" = old -a ! -e "$work/p.svg" -a ! -e "$work/e.csv" -a -z "$(ls "$work" | grep tmp)" ]
  (cd "$work" && "$tool" --black-box --plugin "$flipping" --trace t.csv --plot p.svg s.drive > out.txt 2> err.txt)
  check "--black-box drives it: exit code 0" [ $? -eq 0 ]
  check "--black-box: the summary says so" grep -qF "Black box (--black-box)" "$work/out.txt"
  check "--black-box: no core columns in the trace" [ "$(head -1 "$work/t.csv" | grep -c events)" -eq 0 ]
  (cd "$work" && "$tool" --black-box --plugin "$flipping" --events e.csv s.drive > out.txt 2> err.txt)
  check "--black-box with --events: exit code 2" [ $? -eq 2 ]
  check "--black-box with --events: says why" grep -qF "a black-box drive (--black-box) has no events" "$work/err.txt"
  (cd "$work" && "$tool" --plugin "$plugin" --trace t.csv --plot p.svg --events e.csv s.drive > out.txt 2> err.txt)
  check "this velt: exit code 0" [ $? -eq 0 ]
  check "this velt: the summary says it was checked" grep -qF "Explained by velt-drive's own core" "$work/out.txt"
  check "this velt: the events CSV" grep -q '^time_ms,elapsed_s,position_m,speed_kmh,kind,check,level,intervention,cause' "$work/e.csv"
  exit $fail
fi

if [ "$mode" = route ]; then
  # The example route, copied so that a fault can harm only the copy: the
  # scenario with a train standing at Cressing, and the route file alone.
  cp -r "$5/scenarios/examples/routes" "$work/routes"
  (cd "$work/routes" && sha256sum ./*) > "$work/inputs.sha"
  # Runs the tool in the copy; exit code in $rc.
  drive() { (cd "$work/routes" && "$tool" --plugin "$plugin" "$@"); rc=$?; }
  drive valley-line.drive --calls ../scenario-calls.csv --trace ../s.csv --plot ../s.svg \
    --time-plot ../s-time.svg --report ../s.html > "$work/scenario.out" 2> "$work/scenario.err"
  check "route scenario: exit code 0 (got $rc)" [ "$rc" -eq 0 ]
  check "route scenario: runs to the terminal" grep -qF "stands at the terminal Dunmere" "$work/scenario.out"
  check "route scenario: the route named with what it holds" grep -qF \
    "Route:     valley-line.csv (CSV, 9 sections, 5 beacons, 4 stations)" "$work/scenario.out"
  check "route scenario: the brake named by the included file's line" grep -qF "valley-east.csv:4" "$work/scenario.out"
  # Each station with its route line and stop, on the terminal and the page.
  for station in Aldmoor:valley-line.csv:10:0.0 Brookend:valley-line.csv:16:1800.0 \
    Cressing:valley-east.csv:6:4200.0 Dunmere:valley-east.csv:10:6200.0; do
    IFS=: read -r name file line stop <<< "$station"
    check "route scenario: $name in the summary's table" grep -qE \
      "^  $name +$file:$line +stop $stop m +arrived 10:[0-9]{2}:[0-9]{2}, stop error -?[0-9.]+ m, doors open" \
      "$work/scenario.out"
    check "route scenario: $name in the page's table" grep -qE \
      "<tr><td>$name</td><td>$file:$line</td><td>$stop m</td><td>10:[0-9]{2}:[0-9]{2}</td>" "$work/s.html"
  done
  check "route scenario: the page's table has those four" \
    [ "$(grep -o '<table id="stations">.*</table>' "$work/s.html" | grep -o '<tr><td>' | wc -l)" -eq 4 ]
  drive valley-line.csv --calls ../route-calls.csv --trace ../r.csv --plot ../r.svg \
    --time-plot ../r-time.svg > "$work/route.out" 2> "$work/route.err"
  check "route file alone: exit code 0 (got $rc)" [ "$rc" -eq 0 ]
  check "route file alone: runs to the terminal" grep -qF "stands at the terminal Dunmere" "$work/route.out"
  check "route file alone: no intervention with the line clear" grep -qF "Interventions: none" "$work/route.out"

  # --calls: the header, nine fields a row, no Elapse, and the calls the
  # host makes on this route counted by hand: one Load, SetVehicleSpec
  # (with the scenario's 4 cars) and Initialize (Route.Change 0); each of
  # the five beacons passed once, in a drive that never goes back;
  # the doors opened and closed at each of the four stations.
  calls=$work/scenario-calls.csv
  check "--calls: the header" [ "$(head -1 "$calls")" = "frame,time_ms,position_m,call,a,b,c,d,e" ]
  check "--calls: nine fields in every row" [ -z "$(awk -F, 'NF != 9' "$calls")" ]
  count() { awk -F, -v c="$1" '$4 == c' "$2" | wc -l; }
  for expected in Elapse:0 Load:1 SetVehicleSpec:1 Initialize:1 SetBeaconData:5 DoorOpen:4 DoorClose:4; do
    n=$(count "${expected%:*}" "$calls")
    check "--calls: ${expected%:*} ${expected#*:} time(s) (got $n)" [ "$n" -eq "${expected#*:}" ]
  done
  check "--calls: Initialize with the route's Route.Change 0" grep -qE '^0,[0-9]+,[0-9.]+,Initialize,0,,,,$' "$calls"
  check "--calls: the vehicle's four cars" grep -qE ',SetVehicleSpec,[0-9]+,[0-9]+,[0-9]+,[0-9]+,4$' "$calls"
  # The CPP beacon at 3300 m names the home signal, held at stop by the
  # standing train: aspect 0, 700 m on, optional 650 as written.
  check "--calls: the CPP beacon as velt got it" [ "$(awk -F, '$4 == "SetBeaconData" && $3 >= 3300 && $3 < 3301 &&
    $5 == 10 && $6 == 0 && $7 > 699 && $7 <= 700 && $8 == 650 && $9 == ""' "$calls" | wc -l)" -eq 1 ]
  check "--calls: SetSignal only when the aspect changes" python3 -c '
import csv, sys
rows = [r for r in csv.DictReader(open(sys.argv[1])) if r["call"] == "SetSignal"]
aspects = [r["a"] for r in rows]
sys.exit(0 if rows and rows[0]["frame"] == "0" and all(a != b for a, b in zip(aspects, aspects[1:])) else 1)' "$calls"
  check "--calls: the standing train shows in the aspects" \
    [ "$(awk -F, '$4 == "SetSignal"' "$calls" | cut -d, -f5 | sort -u | tr '\n' ' ')" != \
      "$(awk -F, '$4 == "SetSignal"' "$work/route-calls.csv" | cut -d, -f5 | sort -u | tr '\n' ' ')" ]
  drive valley-line.drive --calls - --trace ../t2.csv --plot ../t2.svg > "$work/stdout-calls.csv" 2> /dev/null
  check "--calls -: the same rows on standard output" cmp -s "$work/stdout-calls.csv" "$calls"

  # No output over an input: the scenario, the route, a file it includes.
  for input in valley-line.drive valley-line.csv valley-east.csv; do
    drive valley-line.drive --calls "$input" --trace ../t3.csv > /dev/null 2> "$work/refused.err"
    check "--calls $input: exit code 2 (got $rc)" [ "$rc" -eq 2 ]
    check "--calls $input: says it is read by this run" grep -qF "which this run reads" "$work/refused.err"
    check "--calls $input: nothing else written" [ ! -e "$work/t3.csv" ]
  done
  check "the inputs are as they were" bash -c "cd '$work/routes' && sha256sum -c --quiet '$work/inputs.sha'"

  # --seed: a route whose CCP beacon stands where $Rnd puts it. The same
  # seed gives the same drive byte for byte; another seed moves the beacon.
  cat > "$work/routes/random.csv" <<'ROUTE'
With Track
0, .Sta A;;10.0030;0;B;0, .Stop 1;5;5;0
0, .Beacon 21;0;0;0, .Limit 80
20, .Beacon 20;0;0;1
60, .Section 0;4
$Rnd(300;1500), .Beacon 12;0;0;120300
2000, .Sta B;10.0500;T;0;R;0, .Stop 1;5;5;0
2100, .Section 0;4
ROUTE
  for run in 7a 7b 8; do
    drive random.csv --seed "${run%[ab]}" --calls "../seed-$run-calls.csv" --trace "../seed-$run.csv" \
      --plot ../seed.svg --time-plot ../seed-time.svg > "$work/seed-$run.out" 2>&1
    check "--seed ${run%[ab]}: exit code 0 (got $rc)" [ "$rc" -eq 0 ]
  done
  check "--seed: the summary says which seed ran" grep -qF ", seed 7" "$work/seed-7a.out"
  for out in -calls.csv .csv; do
    check "--seed 7 twice: seed-7*$out byte for byte" cmp -s "$work/seed-7a$out" "$work/seed-7b$out"
  done
  # The summaries but for the lines naming the outputs.
  words() { grep -v -e '^Trace: ' -e '^Calls: ' "$1"; }
  check "--seed 7 twice: the same summary" cmp -s <(words "$work/seed-7a.out") <(words "$work/seed-7b.out")
  ccp() { awk -F, '$4 == "SetBeaconData" && $5 == 12 { print $3 }' "$1"; }
  check "--seed 8: the CCP beacon elsewhere ($(ccp "$work/seed-7a-calls.csv") and $(ccp "$work/seed-8-calls.csv"))" \
    [ -n "$(ccp "$work/seed-8-calls.csv")" -a "$(ccp "$work/seed-7a-calls.csv")" != "$(ccp "$work/seed-8-calls.csv")" ]
  # Where nothing is random the seed changes nothing, and is not named.
  drive valley-line.csv --seed 8 --calls ../route-8-calls.csv --trace ../r8.csv --plot ../r8.svg \
    --time-plot ../r8-time.svg > "$work/route-8.out" 2>&1
  check "--seed on a route without chance: the same calls" cmp -s "$work/route-8-calls.csv" "$work/route-calls.csv"
  check "--seed on a route without chance: no seed named" [ "$(grep -c ', seed ' "$work/route-8.out")" -eq 0 ]
  drive random.csv --seed x > /dev/null 2> "$work/seed.err"
  check "--seed x: exit code 2 (got $rc)" [ "$rc" -eq 2 ]
  exit $fail
fi

if [ "$mode" = native-all ]; then
  # Every bundled scenario with every output, as the Wine tests drive the
  # native tool (they are left out of the sanitizer build).
  for scenario in "$5"/scenarios/*.drive "$5"/scenarios/examples/*.drive; do
    name=$(basename "$(dirname "$scenario")")-$(basename "$scenario" .drive)
    "$tool" --plugin "$plugin" --trace "$work/$name.csv" --plot "$work/$name.svg" \
      --time-plot "$work/$name-time.svg" --events "$work/$name-events.csv" --report "$work/$name.html" \
      "$scenario" > "$work/$name.txt"
    check "$name: exit code 0 (got $?)" [ $? -eq 0 ]
  done
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
  # The summary without the lines that name the output files.
  summary() { grep -v -e '^Trace: ' -e '^Plot: ' -e '^Time view: ' -e '^Events: ' "$1"; }
  for scenario in "$source_dir"/scenarios/*.drive "$source_dir"/scenarios/examples/*.drive; do
    name=$(basename "$(dirname "$scenario")")-$(basename "$scenario" .drive)
    "$tool" --plugin "$plugin" --trace "$work/$name.native.csv" --plot "$work/$name.native.svg" \
      --time-plot "$work/$name.native-time.svg" --events "$work/$name.native-events.csv" \
      "$scenario" > "$work/$name.native.txt"
    check "$name: native run" [ $? -eq 0 ]
    bash "$source_dir/scripts/run-wine.sh" "$win_dir" "./$exe" --plugin "$dll" \
      --trace "$work/$name.$preset.csv" --plot "$work/$name.$preset.svg" --time-plot "$work/$name.$preset-time.svg" \
      --events "$work/$name.$preset-events.csv" "$scenario" > "$work/$name.$preset.txt" 2> "$work/$name.$preset.err"
    check "$name: run under Wine" [ $? -eq 0 ]
    check "$name: traces byte-identical" cmp -s "$work/$name.native.csv" "$work/$name.$preset.csv"
    check "$name: events byte-identical" cmp -s "$work/$name.native-events.csv" "$work/$name.$preset-events.csv"
    check "$name: summaries byte-identical" cmp -s <(summary "$work/$name.native.txt") <(summary "$work/$name.$preset.txt")
  done
  # A sweep drives one plug-in after the other there, and tells the same.
  "$tool" sweep -q --plugin "$plugin" "$example" "${by_speed[@]}" --table "$work/sweep.native.csv" \
    --plot "$work/sweep.native.svg" > /dev/null 2>&1
  bash "$source_dir/scripts/run-wine.sh" "$win_dir" "./$exe" sweep -q --plugin "$dll" "$example" "${by_speed[@]}" \
    --table "$work/sweep.$preset.csv" --plot "$work/sweep.$preset.svg" > /dev/null 2> "$work/sweep.$preset.err"
  check "sweep under Wine: exit code 1 for the failed expectation" [ $? -eq 1 ]
  check "sweep under Wine: the same table" cmp -s "$work/sweep.native.csv" "$work/sweep.$preset.csv"
  check "sweep under Wine: the same plot" cmp -s "$work/sweep.native.svg" "$work/sweep.$preset.svg"

  # NUL is Windows' /dev/null: written into, never renamed over, and named
  # once only, in any case; no file of that name is left behind.
  wine_drive() {  # expected exit code, what, arguments...
    local want=$1 what=$2; shift 2
    bash "$source_dir/scripts/run-wine.sh" "$win_dir" "./$exe" --plugin "$dll" "$@" "$example" \
      > "$work/nul.out" 2> "$work/nul.err"
    local rc=$?
    check "$what: exit code $want (got $rc)" [ "$rc" -eq "$want" ]
  }
  wine_drive 0 "--trace NUL under Wine" -q --trace NUL --plot "$work/p.svg" --time-plot "$work/t.svg"
  check "--trace NUL: the plots written" [ -s "$work/p.svg" -a -s "$work/t.svg" ]
  check "--trace NUL: no file named NUL" [ -z "$(find "$win_dir" "$work" -maxdepth 1 -iname 'nul*' ! -name 'nul.out' ! -name 'nul.err')" ]
  wine_drive 2 "NUL twice under Wine" --trace NUL --plot nul.svg --time-plot "$work/t.svg"
  check "NUL twice: says so" grep -qF -- "--plot nul.svg: is also the file of --trace" "$work/nul.err"
  exit $fail
fi
echo "unknown mode $mode"; exit 2
