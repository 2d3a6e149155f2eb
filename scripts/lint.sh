#!/usr/bin/env bash
# Formatting and static analysis of the project's C++ files: clang-format
# (--dry-run -Werror, against .clang-format) and clang-tidy (.clang-tidy,
# every check an error).
#
#   scripts/lint.sh                  core, host, tools, tests and bench
#   scripts/lint.sh DIR...           only the files below these directories
#   scripts/lint.sh --format-only DIR...   clang-format alone (seconds)
#   scripts/lint.sh --fresh [DIR...]       clang-tidy on every file, the record of passes unread
#   VELT_LINT_TIMES=FILE scripts/lint.sh    also append each file's CPU seconds to FILE
#
# The record of passes (tests/lint/passes.txt, committed): one key per file
# that passed clang-tidy, a hash of everything clang-tidy reads for it (its
# version, the .clang-tidy files, the compile command and the whole
# preprocessed translation unit with comments; scripts/lint_keys.py). A file
# whose key is in the record would give the same result again and is not
# checked again; any change to it, to a header it includes, to the
# configuration or to the compiler's headers gives a new key. After a run
# the record holds the keys of the files that passed; commit it with the
# change. About 20 minutes of CPU for the whole tree; seconds per changed file.
#
# clang-tidy reads the compile commands of the native and bench builds
# (build/native, build/bench; configured here if they are not yet). A file
# that neither compiles (the Windows-only sources) is checked against the
# win32 build's commands when build/win32 exists, and otherwise skipped with
# a note. Exits 1 on any
# finding, naming each file; prints nothing else for a file that passes.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

format_only=0
fresh=0
dirs=()
for arg in "$@"; do
    case "$arg" in
        --format-only) format_only=1 ;;
        --fresh) fresh=1 ;;
        -h|--help) sed -n '2,28p' "$0"; exit 0 ;;
        -*) echo "lint.sh: unknown option $arg (see --help)" >&2; exit 2 ;;
        *)
            if [[ ! -d "$arg" ]]; then
                echo "lint.sh: $arg is not a directory (give directories from the repository root)" >&2
                exit 2
            fi
            dirs+=("${arg%/}") ;;
    esac
done
whole_tree=0
if [[ ${#dirs[@]} -eq 0 ]]; then
    dirs=(core host tools tests bench)
    whole_tree=1
fi

for tool in clang-format-14 clang-tidy-14; do
    if ! command -v "$tool" >/dev/null; then
        echo "lint.sh: $tool is not installed (bash scripts/install-deps.sh installs it)" >&2
        exit 2
    fi
done

mapfile -t files < <(find "${dirs[@]}" -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
if [[ ${#files[@]} -eq 0 ]]; then
    echo "lint.sh: no C++ files below ${dirs[*]}" >&2
    exit 2
fi
echo "lint.sh: ${#files[@]} C++ files below ${dirs[*]}"

failed=0

echo "== clang-format"
for f in "${files[@]}"; do
    if ! clang-format-14 --dry-run -Werror "$f" 2>/dev/null; then
        echo "$f: not formatted (fix: clang-format-14 -i $f)"
        failed=1
    fi
done

if [[ $format_only -eq 1 ]]; then
    [[ $failed -eq 0 ]] && echo "lint.sh: formatting passed"
    exit "$failed"
fi

echo "== clang-tidy"
# The compile commands of the builds that compile the project's sources:
# native (libvelt.so, tests, tools) and bench (the benchmarks), configured
# here when they are not yet; win32 only where it has been built.
for preset in native bench; do
    if [[ ! -f build/$preset/compile_commands.json ]]; then
        cmake --preset "$preset" >/dev/null
    fi
done
in_database() {  # file, build dir
    grep -q "\"file\": \"$PWD/$1\"" "$2/compile_commands.json" 2>/dev/null
}
native_sources=()
bench_sources=()
win32_sources=()
for f in "${files[@]}"; do
    [[ $f == *.cpp ]] || continue  # headers are checked through the sources that include them
    if in_database "$f" build/native; then
        native_sources+=("$f")
    elif in_database "$f" build/bench; then
        bench_sources+=("$f")
    elif in_database "$f" build/win32; then
        win32_sources+=("$f")
    else
        echo "$f: skipped, no build compiles it (build the win32 preset to check it)"
    fi
done

# A test file (one that reaches GoogleTest) is read twice: every check but
# the path-sensitive analyzer on the file as it is, then the analyzer alone
# with GoogleTest's assertions replaced by a model that keeps their control
# flow (tests/support/gtest_analyzer_model.h); inside GoogleTest's printing
# of values, where it can report nothing, the analyzer spent three quarters
# of the time of the whole run.
gtest_pattern='gtest/gtest\.h'
while read -r header; do
    gtest_pattern+="|${header//./\\.}"
done < <(grep -rl --include='*.h' 'gtest/gtest\.h' tests | xargs -r -n1 basename)
uses_gtest() {  # file
    grep -qE "#include [<\"]($gtest_pattern)[>\"]" "$1"
}
# One file: its findings, if any, and a line that names it; fails if any.
tidy_one() {  # build dir, extra arguments (space-separated, may be empty), file, test file (0 or 1), key (may be -)
    local out
    local extra
    read -r -a extra <<<"$2"
    local failed=0
    if [[ $4 == 1 ]]; then
        out=$(clang-tidy-14 --quiet -p "$1" "${extra[@]}" --checks=-clang-analyzer-* "$3" 2>&1) || failed=1
        out+=$'\n'$(clang-tidy-14 --quiet -p "$1" "${extra[@]}" --checks='-*,clang-analyzer-*' \
            --extra-arg=-include --extra-arg="$PWD/tests/support/gtest_analyzer_model.h" "$3" 2>&1) || failed=1
    else
        out=$(clang-tidy-14 --quiet -p "$1" "${extra[@]}" "$3" 2>&1) || failed=1
    fi
    if [[ -n ${VELT_LINT_TIMES:-} ]]; then
        # This file's CPU seconds (bash's times, in this shell), to find the slow ones.
        local times_file
        times_file=$(mktemp)
        times >"$times_file"
        awk -v f="$3" 'NR == 2 { t = 0; for (i = 1; i <= NF; i++) { split($i, p, "m"); sub(/s$/, "", p[2]); t += p[1] * 60 + p[2] }
                                 printf "%7.1f s %s\n", t, f }' "$times_file" >>"$VELT_LINT_TIMES"
        rm -f "$times_file"
    fi
    if [[ $failed -ne 0 ]]; then
        printf '%s\n' "$out" | grep -v -e 'warnings\? generated\.$' -e '^$' || true
        echo "$3: clang-tidy findings (above)"
        return 1
    fi
    echo "$3" >>"$passed_now"
    # Into the record at once, so that a run stopped halfway keeps what it found.
    [[ $5 == - ]] || echo "$5 $3" >>"$record"
}
export -f tidy_one

record=tests/lint/passes.txt
export record
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed_now=$work/passed-now  # files clang-tidy passed in this run, one per line
export passed_now
: >"$passed_now"
: >"$work/keys"
declare -A recorded=()
if [[ $fresh -eq 0 && -f $record ]]; then
    while read -r key _; do
        [[ $key == \#* || -z $key ]] || recorded[$key]=1
    done <"$record"
fi
from_record=0
# Two files at a time: the machine has two cores. Files whose key is in
# the record are left out.
tidy_all() {  # build dir, extra argument (may be empty), files...
    local build=$1 extra=$2
    shift 2
    [[ $# -gt 0 ]] || return 0
    local f kind=()
    for f in "$@"; do
        if [[ $f == tests/* ]] && uses_gtest "$f"; then kind+=("$f:1"); else kind+=("$f:0"); fi
    done
    local keys
    keys=$(python3 -B scripts/lint_keys.py "$build" "$extra" 2 "${kind[@]}")
    printf '%s\n' "$keys" >>"$work/keys"
    declare -A key_of=()
    local key file
    while read -r key file; do
        [[ -n $key ]] && key_of[$file]=$key
    done <<<"$keys"
    for f in "${kind[@]}"; do
        file=${f%:*}
        if [[ -n ${key_of[$file]:-} && -n ${recorded[${key_of[$file]}]:-} ]]; then
            echo "$file" >>"$passed_now"
            from_record=$((from_record + 1))
        else
            echo "$file ${f##*:} ${key_of[$file]:--}"
        fi
    done >"$work/to-check"
    xargs -r -P2 -L1 bash -c 'tidy_one "$0" "$1" "$2" "$3" "$4"' "$build" "$extra" <"$work/to-check"
}
tidy_all build/native "" "${native_sources[@]}" || failed=1
tidy_all build/bench "" "${bench_sources[@]}" || failed=1
if [[ ${#win32_sources[@]} -gt 0 ]]; then
    # clang reads the Windows sources as the MinGW build compiles them: its
    # target, and the C++ library headers of the MinGW compiler the build
    # uses (clang does not find them by itself).
    mingw_cxx=$(sed -n 's/^ *"command": "\([^ ]*\) .*/\1/p' build/win32/compile_commands.json | head -1)
    win32_args=--extra-arg=--target=i686-w64-mingw32
    while read -r dir; do
        win32_args+=" --extra-arg=-isystem$dir"
    done < <(echo | "$mingw_cxx" -xc++ -E -v - 2>&1 | grep '^ .*/include/c++')
    tidy_all build/win32 "$win32_args" "${win32_sources[@]}" || failed=1
fi

# The new record: the keys of the files that passed, and, when only some
# directories were checked, what the record held for the files outside them.
{
    echo "# Files that passed scripts/lint.sh's clang-tidy: key (scripts/lint_keys.py) and path."
    echo "# Written by scripts/lint.sh; commit it with the change."
    declare -A passed_file=()
    while read -r file; do passed_file[$file]=1; done <"$passed_now"
    while read -r key file; do
        [[ -n ${passed_file[$file]:-} ]] && echo "$key $file"
    done <"$work/keys"
    if [[ $whole_tree -eq 0 && -f $record ]]; then
        declare -A listed=()
        while read -r key file; do listed[$file]=1; done <"$work/keys"
        while read -r key file; do
            [[ $key == \#* || -n ${listed[$file]:-} ]] || echo "$key $file"
        done <"$record"
    fi
} | { read -r first; read -r second; echo "$first"; echo "$second"; sort -k2; } >"$record.new"
mv "$record.new" "$record"

checked=$(($(wc -l <"$passed_now") - from_record))
echo "lint.sh: clang-tidy: $from_record files unchanged since they passed (tests/lint/passes.txt), the others checked now"
if [[ $failed -ne 0 ]]; then
    echo "lint.sh: findings above"
    exit 1
fi
echo "lint.sh: ${#files[@]} files pass clang-format and clang-tidy ($checked checked by clang-tidy now)"
