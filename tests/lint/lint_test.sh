#!/usr/bin/env bash
# scripts/lint.sh as CI relies on it: a badly formatted file fails the run
# and is named, a formatted one passes, and a wrong argument is refused.
# Usage: lint_test.sh <repository root> <work dir>
set -uo pipefail
root=$1
work=$2
rm -rf "$work" && mkdir -p "$work/good" "$work/bad"
printf 'int answer() { return 42; }\n' >"$work/good/good.cpp"
printf 'int  answer( ) {return 42;}\n' >"$work/bad/bad.cpp"
cp "$root/.clang-format" "$work/"
lint=$root/scripts/lint.sh

failures=0
expect() {  # description, expected exit code, grep pattern (may be empty), command...
    local what=$1 code=$2 pattern=$3
    shift 3
    local out rc
    out=$("$@" 2>&1)
    rc=$?
    if [[ $rc -ne $code ]] || { [[ -n $pattern ]] && ! grep -q "$pattern" <<<"$out"; }; then
        echo "FAIL: $what: exit $rc (expected $code)"
        printf '%s\n' "$out"
        failures=$((failures + 1))
    fi
}
expect "an unformatted file fails and is named" 1 "bad/bad.cpp: not formatted" \
    bash "$lint" --format-only "$work/bad" "$work/good"
expect "formatted files pass" 0 "formatting passed" bash "$lint" --format-only "$work/good"
expect "a missing directory is refused" 2 "not a directory" \
    bash "$lint" --format-only "$work/nowhere"
expect "an unknown option is refused" 2 "unknown option" bash "$lint" --fast "$work/good"
[[ $failures -eq 0 ]] && echo "lint.sh behaves"
exit $((failures > 0))
