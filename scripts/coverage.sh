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
