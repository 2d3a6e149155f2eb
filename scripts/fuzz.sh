#!/usr/bin/env bash
# A bounded fuzzing run: builds the fuzz preset (clang, libFuzzer, ASan and
# UBSan) into build/fuzz and fuzzes the entry points and the scenario parser
# for SECONDS (default 60) in all: half each, both at once. Fails on any finding: a crash, a sanitizer report, a violated
# invariant, a leak or a hang (an input running longer than 10 s). Findings
# are saved under build/fuzz/findings/; replay one with
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
mkdir -p "$findings" build/fuzz/corpus/entry_points

# Each target gets its share of the time, both at once on the two cores;
# one process each, as the host calls the plug-in from one thread.
targets=(entry_points)
if [ -x build/fuzz/tests/fuzz/velt_scenario_parser_fuzz ]; then
  targets+=(scenario_parser)
fi
share=$(( seconds / ${#targets[@]} ))
[ "$share" -gt 0 ] || share=1

step "Fuzzing ${targets[*]} for ${share}s each, side by side"
pids=()
for target in "${targets[@]}"; do
  mkdir -p "build/fuzz/corpus/$target"
  build/fuzz/tests/fuzz/velt_${target}_fuzz \
      -max_total_time="$share" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
      -print_final_stats=1 -artifact_prefix="$findings/$target-" \
      "build/fuzz/corpus/$target" "tests/fuzz/corpus/$target" >"build/fuzz/$target.log" 2>&1 &
  pids+=($!)
done

status=0
for i in "${!targets[@]}"; do
  target=${targets[$i]}
  log="build/fuzz/$target.log"
  if ! wait "${pids[$i]}"; then
    tail -n 60 "$log" >&2
    echo "fuzz: $target has a finding; see $log and $findings/" >&2
    status=1
    continue
  fi
  echo "$target:"
  grep -E '^(Done|velt-fuzz:|stat::number_of_executed_units)' "$log" || true
done

[ "$status" -eq 0 ] && step "No findings"
exit "$status"
