#!/usr/bin/env bash
# A bounded fuzzing run: builds the fuzz preset (clang, libFuzzer, ASan and
# UBSan) into build/fuzz and fuzzes each target (the entry points, and the
# scenario parser and route reader when the tools are built) for its share
# of SECONDS (default 60), two targets at a time on the two cores. Fails on
# any finding: a crash, a sanitizer report, a violated invariant, a leak or
# a hang (an input running longer than 10 s). Findings are saved under
# build/fuzz/findings/; replay one with
#   build/fuzz/tests/fuzz/velt_entry_points_fuzz build/fuzz/findings/<file>
# The corpus the fuzzer grows is kept in build/fuzz/corpus/ between runs;
# the committed seeds in tests/fuzz/corpus/ are only read.
#
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds="${1:-60}"
case "$seconds" in
  ''|*[!0-9]*) echo "usage: scripts/fuzz.sh [SECONDS]" >&2; exit 2 ;;
esac

source scripts/common.sh

step "Configuring and building the fuzz preset into build/fuzz"
build_preset fuzz

findings=build/fuzz/findings
mkdir -p "$findings"

# Each target gets its share of the time and a core of its own: one process
# each, as the host calls the plug-in from one thread, at most two at once.
targets=(entry_points)
for optional in scenario_parser route_reader; do
  if [ -x "build/fuzz/tests/fuzz/velt_${optional}_fuzz" ]; then
    targets+=("$optional")
  fi
done
share=$(( seconds / ${#targets[@]} ))
[ "$share" -gt 0 ] || share=1

fuzz_one() {  # target
  mkdir -p "build/fuzz/corpus/$1"
  build/fuzz/tests/fuzz/velt_$1_fuzz \
      -max_total_time="$share" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
      -print_final_stats=1 -artifact_prefix="$findings/$1-" \
      "build/fuzz/corpus/$1" "tests/fuzz/corpus/$1" >"build/fuzz/$1.log" 2>&1
}

status=0
report() {  # target, its exit status
  local log="build/fuzz/$1.log"
  if [ "$2" -ne 0 ]; then
    tail -n 60 "$log" >&2
    echo "fuzz: $1 has a finding; see $log and $findings/" >&2
    status=1
    return
  fi
  echo "$1:"
  grep -E '^(Done|velt-fuzz:|stat::number_of_executed_units)' "$log" || true
}

for (( i = 0; i < ${#targets[@]}; i += 2 )); do
  pair=("${targets[@]:i:2}")
  step "Fuzzing ${pair[*]} for ${share}s each, side by side"
  pids=()
  for target in "${pair[@]}"; do
    fuzz_one "$target" &
    pids+=($!)
  done
  for k in "${!pair[@]}"; do
    rc=0
    wait "${pids[$k]}" || rc=$?
    report "${pair[$k]}" "$rc"
  done
done

[ "$status" -eq 0 ] && step "No findings"
exit "$status"
