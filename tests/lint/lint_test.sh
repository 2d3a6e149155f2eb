#!/usr/bin/env bash
# scripts/lint.sh as CI relies on it: a badly formatted file fails the run
# and is named, a formatted one passes, a wrong argument is refused, and
# the record of passes never skips a file that changed.
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

# The record of passes skips a file only while nothing clang-tidy reads for
# it has changed: a header it includes, a comment (NOLINT is one), a flag.
mkdir -p "$work/keys"
printf '#include "a.h"\nint f() { return g(); }\n' >"$work/keys/a.cpp"
printf 'inline int g() { return 1; }\n' >"$work/keys/a.h"
commands() {  # extra flag
    printf '[{"directory": "%s", "command": "/usr/bin/c++ -I. %s -std=c++17 -o a.o -c %s", "file": "%s"}]\n' \
        "$work/keys" "$1" "$work/keys/a.cpp" "$work/keys/a.cpp" >"$work/keys/compile_commands.json"
}
key() { python3 -B "$root/scripts/lint_keys.py" "$work/keys" "" 1 "$work/keys/a.cpp:0" | cut -d' ' -f1; }
commands -O2
first=$(key)
[[ ${#first} -eq 64 && $(key) == "$first" ]] || { echo "FAIL: the same file twice: keys '$first', '$(key)'"; failures=$((failures + 1)); }
changed() {  # what changed; the key must differ from the first
    local now
    now=$(key)
    if [[ -z $now || $now == "$first" ]]; then
        echo "FAIL: $1: key unchanged ($now)"
        failures=$((failures + 1))
    fi
}
printf '// a comment\ninline int g() { return 1; }\n' >"$work/keys/a.h"
changed "a comment in an included header"
printf 'inline int g() { return 1; }\n' >"$work/keys/a.h"
[[ $(key) == "$first" ]] || { echo "FAIL: the header put back: key differs"; failures=$((failures + 1)); }
printf '#include "a.h"\nint f() { return g(); }  // NOLINT\n' >"$work/keys/a.cpp"
changed "a NOLINT comment"
printf '#include "a.h"\nint f() { return g(); }\n' >"$work/keys/a.cpp"
commands -O0
changed "another flag"

[[ $failures -eq 0 ]] && echo "lint.sh behaves"
exit $((failures > 0))
