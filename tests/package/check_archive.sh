#!/usr/bin/env bash
# Checks the release archive: exactly the files it should hold, each binary in
# it byte-identical to the built and tested one and of the right width, every
# packaged document and scenario identical to its source, every link and
# every file named in the packaged documents resolving inside the archive, and
# no document pointing into the source tree.
#
#   check_archive.sh ZIP BUILD_DIR SOURCE_DIR [--skip-if-missing]
#
# BUILD_DIR holds the win32 and win64 build trees. With --skip-if-missing
# (the CTest test) an absent archive gives exit code 77, which CTest reports
# as skipped; otherwise it is a failure.
set -euo pipefail

zip=$1
build_dir=$2
source_dir=$(cd "$3" && pwd)
skip_if_missing=${4:-}

fail() { echo "check_archive: $*" >&2; exit 1; }

if [[ ! -f $zip ]]; then
    if [[ $skip_if_missing == --skip-if-missing ]]; then
        echo "check_archive: $zip not built (bash scripts/package.sh); skipped"
        exit 77
    fi
    fail "$zip not found"
fi

top=$(basename "$zip" .zip)
[[ $top =~ ^velt-[0-9]+\.[0-9]+\.[0-9]+-windows$ ]] || fail "archive name $top is not velt-VERSION-windows"

# Each binary, the build tree it comes from and its PE machine type.
binaries=(
    "velt.dll win32 014c"
    "velt-drive.exe win32 014c"
    "velt64.dll win64 8664"
    "velt-drive64.exe win64 8664"
)
docs=(docs/installing.md docs/beacons.md docs/cab-interface.md docs/velt-drive.md
      docs/scenario-format.md docs/routes.md docs/route-audit.md docs/images/audit-valley-line.png
      docs/images/cpp-stop-before-signal.png
      docs/images/door-link-time.png docs/images/report-demo-emergency.png
      docs/images/cpp-sweep.png docs/images/cpp-sweep-grid.png
      docs/images/bridge-45-disobeying.png docs/images/bridge-45-disobeying-time.png
      docs/images/report-bridge-45-disobeying.png)
scenarios=()
for f in "$source_dir"/scenarios/examples/*.drive; do
    scenarios+=("scenarios/examples/$(basename "$f")")
done
# The example trains that scenarios name by folder.
for f in "$source_dir"/scenarios/examples/trains/*/train.dat; do
    [[ -f $f ]] && scenarios+=("scenarios/examples/trains/$(basename "$(dirname "$f")")/train.dat")
done
for f in "$source_dir"/scenarios/examples/routes/*.{csv,rw,drive}; do
    [[ -e $f ]] && scenarios+=("scenarios/examples/routes/$(basename "$f")")
done
[[ ${#scenarios[@]} -gt 0 ]] || fail "no example scenarios in $source_dir/scenarios/examples"

# What the archive must hold, and nothing else.
expected=$(
    for b in "${binaries[@]}"; do echo "${b%% *}"; done
    printf '%s\n' readme.txt "${docs[@]}" "${scenarios[@]}"
)
expected=$(sed "s|^|$top/|" <<<"$expected" | LC_ALL=C sort)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
zip_abs=$(realpath "$zip")
(cd "$work" && cmake -E tar xf "$zip_abs")
actual=$(cd "$work" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
if [[ $actual != "$expected" ]]; then
    diff <(echo "$expected") <(echo "$actual") >&2 || true
    fail "archive contents differ from the expected list (< expected, > archive)"
fi

root=$work/$top
for b in "${binaries[@]}"; do
    read -r file tree machine_wanted <<<"$b"
    built=$build_dir/$tree/$file
    [[ -f $built ]] || fail "$built not found (cmake --build --preset $tree)"
    cmp "$root/$file" "$built" || fail "$file in the archive is not $built"
    [[ $(head -c 2 "$root/$file") == MZ ]] || fail "$file is not a PE file"
    pe_offset=$(od -An -t u4 -j 60 -N 4 "$root/$file" | tr -d ' ')
    machine=$(od -An -t x2 -j $((pe_offset + 4)) -N 2 "$root/$file" | tr -d ' ')
    [[ $machine == "$machine_wanted" ]] || fail "$file has PE machine type $machine, not $machine_wanted"
done
cmp "$root/readme.txt" "$source_dir/packaging/readme.txt" || fail "readme.txt is stale"
for f in "${docs[@]}" "${scenarios[@]}"; do
    cmp "$root/$f" "$source_dir/$f" || fail "$f in the archive differs from the source tree"
done

# The read-me's first lines tell a host's author which DLL to take.
head -n 12 "$root/readme.txt" | grep -q 'velt64\.dll' && head -n 12 "$root/readme.txt" | grep -q '64-bit' \
    || fail "readme.txt does not say in its first lines which DLL a 64-bit host needs"

# Every relative link of the packaged documents leads to a file or folder
# inside the archive, and so does every archive path a document names in
# plain text or code (velt-drive.exe, docs/..., scenarios/...). A document
# names nothing of the source tree: an author has only the archive.
broken=0
report() { echo "check_archive: $1" >&2; broken=1; }
resolves() {  # document, path relative to it
    local resolved
    resolved=$(cd "$(dirname "$1")" && realpath -m "$2")
    [[ $resolved == "$root"/* && -e $resolved ]]
}
while IFS= read -r doc; do
    rel=${doc#"$root"/}
    while IFS= read -r target; do
        target=${target%%#*}
        [[ -z $target || $target =~ ^[a-z]+: ]] && continue
        resolves "$doc" "$target" || report "$rel: link $target does not resolve in the archive"
    done < <(grep -o '\]([^)]*)' "$doc" | sed 's/^](//; s/)$//')
    # Paths named from the archive's top (docs/x.md, scenarios/examples/...),
    # with either slash.
    while IFS= read -r named; do
        [[ -e $root/$named ]] || report "$rel: names $named, which the archive does not hold"
    done < <(tr '\\' / <"$doc" | grep -oE '(^|[ `(])(docs|scenarios)/[A-Za-z0-9_./-]*[A-Za-z0-9_/]|\bvelt[A-Za-z0-9-]*\.(dll|exe)\b' \
                 | sed -E 's/^[ `(]//' | sort -u)
    while IFS=: read -r line marker; do
        report "$rel:$line: refers to the source tree: $marker"
    done < <(grep -noE 'source tree|README\.md|build/(win32|win64|native)[A-Za-z0-9_./-]*|(tools|tests|host|core|scripts|cmake|packaging)/[A-Za-z0-9_./-]+|[A-Za-z_]+\.(cpp|h|sh)\b' "$doc" || true)
done < <(find "$root" -name '*.md' -o -name '*.txt')
[[ $broken == 0 ]] || fail "the packaged documents name what the archive does not hold;" \
    "reword them for the archive, or add the file to cmake/package.cmake and to this script's list"

# The read-me's first velt-drive command, as an author runs it: in the
# freshly unpacked folder, under Wine (in the win32 build's prefix). It works
# with nothing made before, and leaves its outputs in velt-drive-output and
# nothing anywhere else.
command -v wine >/dev/null || fail "wine is not installed (bash scripts/install-deps.sh installs it)"
first=$(grep -m1 -E '^ +velt-drive(64)?\.exe .*\.drive *$' "$root/readme.txt" | tr -d '\r') ||
    fail "readme.txt gives no velt-drive command"
read -r -a words <<<"$first"
before=$(cd "$root" && find . | LC_ALL=C sort)
if ! bash "$source_dir/scripts/run-wine.sh" --in "$root" "$build_dir/win32" "${words[@]}" \
        >"$work/readme-run.out" 2>&1; then
    cat "$work/readme-run.out" >&2
    fail "readme.txt's command '${first# *}' failed in the unpacked archive"
fi
tr -d '\r' <"$work/readme-run.out" | grep -q '^Stopped at ' ||
    fail "readme.txt's command '${first# *}' printed no summary"
name=$(basename "${words[-1]//\\//}" .drive)
made=$(cd "$root" && find . | LC_ALL=C sort | comm -13 <(echo "$before") -)
expected_made=$(printf '%s\n' ./velt-drive-output "./velt-drive-output/$name.csv" \
    "./velt-drive-output/$name.svg" "./velt-drive-output/$name-time.svg" | LC_ALL=C sort)
if [[ $made != "$expected_made" ]]; then
    diff <(echo "$expected_made") <(echo "$made") >&2 || true
    fail "readme.txt's command '${first# *}' did not leave exactly its three outputs in velt-drive-output (< expected, > made)"
fi

echo "check_archive: $(basename "$zip") holds $(echo "$actual" | wc -l) files as expected;" \
     "the four binaries match $build_dir/win32 and $build_dir/win64"
