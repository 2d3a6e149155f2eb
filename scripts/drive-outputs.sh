#!/usr/bin/env bash
# Every output velt-drive writes for the shipped scenarios, into one folder,
# so that a change meant to keep them the same can be checked byte for byte:
#
#   bash scripts/drive-outputs.sh TOOL PLUGIN DIR     e.g. before a change
#   bash scripts/drive-outputs.sh TOOL PLUGIN DIR2    after it
#   diff -r DIR DIR2
#
# For each scenario of scenarios/ and scenarios/examples/ (and the first
# minute of bench/long-run.drive): the summary, trace, events, both plots and
# the report page, explained and as a black box; `check` of them all; the
# sweeps the documentation runs; and a scenario with a finding of every kind,
# bad scenarios and bad --vary values, for the messages. A sweep's line
# "in N s" is masked: it is the only output that depends on the clock.
# With BENCH_SWEEP=1 also the 1,000 drives of bench/sweep.drive.
set -u
if [[ $# -ne 3 ]]; then
    sed -n '2,16p' "$0"
    exit 2
fi
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tool=$(realpath "$1") plugin=$(realpath "$2") out=$3
rm -rf "$out" && mkdir -p "$out" && cd "$out" || exit 1
# Paths in the outputs are the same whatever DIR is.
ln -s "$source_dir" src
sed 's/^end at 3600 s$/end at 60 s/' src/bench/long-run.drive > first-minute.drive
files=(src/scenarios/*.drive src/scenarios/examples/*.drive first-minute.drive)
for f in "${files[@]}"; do
    n=$(basename "$(dirname "$f")")-$(basename "$f" .drive)
    n=${n#.-}
    "$tool" --plugin "$plugin" --trace "$n.csv" --events "$n-events.csv" --plot "$n.svg" \
        --time-plot "$n-time.svg" --report "$n.html" "$f" > "$n.stdout" 2> "$n.stderr"
    echo $? > "$n.rc"
    "$tool" --black-box --plugin "$plugin" --trace "$n.bb.csv" --plot "$n.bb.svg" \
        --time-plot "$n.bb-time.svg" --report "$n.bb.html" "$f" > "$n.bb.stdout" 2> "$n.bb.stderr"
    echo $? > "$n.bb.rc"
done
"$tool" check --plugin "$plugin" "${files[@]}" > check.stdout 2> check.stderr
echo $? > check.rc
"$tool" check --strict --black-box --plugin "$plugin" "${files[@]}" > check-bb.stdout 2> check-bb.stderr
echo $? > check-bb.rc

sweep() {  # name, arguments...
    local n=$1
    shift
    "$tool" sweep --plugin "$plugin" "$@" --table "$n.csv" --plot "$n.svg" > "$n.stdout" 2> "$n.stderr"
    echo $? > "$n.rc"
    sed -i -E 's/ in [0-9]+\.[0-9] s: / in X s: /' "$n.stdout"
}
example=src/scenarios/examples/cpp-sweep.drive
sweep sweep-docs "$example" --vary start-speed,hold@19=10:120:10
sweep sweep-grid "$example" --vary start-speed,hold@19=10:120:10 --vary emergency-brake=1.5:4.5:0.5
sweep sweep-cli "$example" --vary start-speed,hold@19=20:60:20
sweep sweep-bb "$example" --black-box --vary start-speed,hold@19=20:60:20
grep -v '^expect warning' "$example" > no-brake.drive
sweep sweep-bb2 no-brake.drive --black-box --vary start-speed,hold@19=20:60:20

# A finding of every kind, before and while it drives; bad input.
printf '%s\n' 'vehicle brake-notches 8' 'vehicle brake-notches 6' 'start speed 40 km/h' \
    'start speed 30 km/h' 'beacon route at -10 m' 'beacon 99 at 5 m' 'beacon clf at 6 m optional 40' \
    'beacon ccp at 7 m' 'beacon route at 8 m optional 350' 'beacon route at 9 m optional 100' \
    'beacon spb at 20 m optional 500' 'beacon route at 30 m optional 0' \
    'beacon spp at 40 m optional 1' 'beacon section at 50 m optional 1' 'signal 5 at 60 m' \
    'power 1 when below 50 km/h' 'horn at 90 m' 'horn at 70 m' 'signal 3 at 900 s' \
    'expect stop before -20 m' 'expect speed above 5 km/h at 900 m' 'end at 120 s' \
    'end at 800 m' > findings.drive
printf 'start speed 0 km/h\nbeacon spb at 0 m optional 500\n' > noend.drive
printf 'start speed 40 km/h\nfullspeed ahead\n' > bad1.drive
printf 'beacon cpp at 3o0 m\n' > bad2.drive
printf '\x7fELF\x02\x01\x01\x00\x00\nmore\x01\n' > bad3.drive
for f in findings.drive noend.drive bad1.drive bad2.drive bad3.drive missing.drive; do
    n=x-${f%.drive}
    for strict in "" --strict; do
        s=${strict:+.s}
        "$tool" $strict --plugin "$plugin" --trace "$n$s.csv" --plot "$n$s.svg" \
            --time-plot "$n$s-time.svg" "$f" > "$n$s.stdout" 2> "$n$s.stderr"
        echo $? > "$n$s.rc"
    done
done
"$tool" check --plugin "$plugin" findings.drive noend.drive bad1.drive bad2.drive bad3.drive \
    missing.drive > check-x.stdout 2> check-x.stderr
echo $? > check-x.rc
sweep sweep-findings findings.drive --vary start-speed=10:30:10
sweep sweep-badvary "$example" --vary speed=10:20:10
sweep sweep-badvary2 "$example" --vary start-speed=60:10:10
sweep sweep-badvary3 "$example" --vary beacon@2=0:10:10
if [[ -n "${BENCH_SWEEP:-}" ]]; then
    sweep sweep-bench src/bench/sweep.drive --vary start-speed,hold@16=3:120:3 \
        --vary emergency-brake=1:3.4:0.1 -q
fi
rm -f src
echo "drive-outputs.sh: $(ls | wc -l) files in $out"
