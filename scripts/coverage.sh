#!/usr/bin/env bash
# Line and branch coverage of the plug-in (core/ and host/) by the unit
# tests: builds the coverage preset (gcc --coverage -O0) into build/coverage,
# runs the unit tests from zeroed counters and reports with gcovr. Writes a
# text summary to the terminal and an annotated report to
# build/coverage/coverage.html. Fails below 99 % of lines or 95 % of branches;
# VELT_COVERAGE_MIN_LINES and VELT_COVERAGE_MIN_BRANCHES override the two
# thresholds (percent).
#
# The load-time wiring of each library (host/native/, host/win32/) is not
# part of velt_core and is not counted here: the ABI tests exercise it
# through the real libraries.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

min_lines="${VELT_COVERAGE_MIN_LINES:-99}"
min_branches="${VELT_COVERAGE_MIN_BRANCHES:-95}"
min_mcdc="${VELT_COVERAGE_MIN_MCDC:-99}"

source scripts/common.sh

step "Configuring and building the coverage preset into build/coverage"
build_preset coverage

step "Running the unit tests from zeroed counters"
find build/coverage -name '*.gcda' -delete
build/coverage/tests/velt_unit_tests --gtest_brief=1

step "Coverage of core/ and host/"
# The unit tests' objects are searched too: a rule in a core header that a
# test also calls may run from the test's copy of the inline function.
common=(--root . build/coverage/CMakeFiles/velt_core.dir build/coverage/tests/CMakeFiles/velt_unit_tests.dir
        --filter 'core/' --filter 'host/' --exclude 'host/win32/' --exclude 'host/native/'
        --exclude-throw-branches --exclude-unreachable-branches)
gcovr "${common[@]}" --html-details build/coverage/coverage.html
gcovr "${common[@]}" --branches --txt
gcovr "${common[@]}" --txt --print-summary \
    --fail-under-line "$min_lines" --fail-under-branch "$min_branches"

step "Building the mcdc preset (clang 19, -fcoverage-mcdc) into build/mcdc"
build_preset mcdc

step "Running the unit tests with MC/DC counters"
rm -f build/mcdc/unit-*.profraw
LLVM_PROFILE_FILE=build/mcdc/unit-%p.profraw build/mcdc/tests/velt_unit_tests --gtest_brief=1
llvm-profdata-19 merge -sparse build/mcdc/unit-*.profraw -o build/mcdc/unit.profdata

step "MC/DC of core/ and host/"
# Only the plug-in's own code: the tests, the export layers and the system
# headers are left out.
mcdc=(build/mcdc/tests/velt_unit_tests -instr-profile=build/mcdc/unit.profdata
      -ignore-filename-regex='(^|/)(tests|host/native|host/win32)/|^/usr/')
llvm-cov-19 show "${mcdc[@]}" --show-mcdc --show-branches=count -format=html \
    -output-dir=build/mcdc/html
llvm-cov-19 report "${mcdc[@]}" --show-mcdc-summary | tee build/mcdc/report.txt
# The last column of the TOTAL row is the share of conditions shown to decide
# their decision on their own.
mcdc_percent=$(awk '$1 == "TOTAL" { sub(/%$/, "", $NF); print $NF }' build/mcdc/report.txt)
if ! awk -v got="$mcdc_percent" 'BEGIN { exit !(got ~ /^[0-9.]+$/) }'; then
    echo "coverage: error: no MC/DC total in build/mcdc/report.txt" >&2
    echo "coverage: help: check that build/mcdc was built with -fcoverage-mcdc (preset mcdc)" >&2
    exit 1
fi
if awk -v got="$mcdc_percent" -v min="$min_mcdc" 'BEGIN { exit !(got < min) }'; then
    echo "coverage: error: MC/DC ${mcdc_percent} % is below the floor of ${min_mcdc} %" >&2
    echo "coverage: help: build/mcdc/html/index.html shows each decision's uncovered conditions" >&2
    exit 1
fi
echo "MC/DC: ${mcdc_percent} % of conditions (floor ${min_mcdc} %)"
