#!/usr/bin/env bash
# Checks the release archive: exactly the files it should hold, the DLL in it
# byte-identical to the built and tested one, every packaged document and
# scenario identical to its source, and every relative link in the packaged
# documents resolving inside the archive.
#
#   check_archive.sh ZIP DLL SOURCE_DIR [--skip-if-missing]
#
# With --skip-if-missing (the CTest test) an absent archive gives exit code
# 77, which CTest reports as skipped; otherwise it is a failure.
set -euo pipefail

zip=$1
dll=$2
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
[[ -f $dll ]] || fail "$dll not found"

top=$(basename "$zip" .zip)
[[ $top =~ ^velt-[0-9]+\.[0-9]+\.[0-9]+-win32$ ]] || fail "archive name $top is not velt-VERSION-win32"

# What the archive must hold, and nothing else.
scenarios=()
for f in "$source_dir"/scenarios/examples/*.drive; do
    scenarios+=("scenarios/examples/$(basename "$f")")
done
[[ ${#scenarios[@]} -gt 0 ]] || fail "no example scenarios in $source_dir/scenarios/examples"
expected=$(printf '%s\n' \
    velt.dll \
    readme.txt \
    docs/installing.md \
    docs/beacons.md \
    docs/cab-interface.md \
    docs/velt-drive.md \
    docs/images/cpp-stop-before-signal.png \
    "${scenarios[@]}" | sed "s|^|$top/|" | LC_ALL=C sort)

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
cmp "$root/velt.dll" "$dll" || fail "velt.dll in the archive is not $dll"
cmp "$root/readme.txt" "$source_dir/packaging/readme.txt" || fail "readme.txt is stale"
for f in docs/installing.md docs/beacons.md docs/cab-interface.md docs/velt-drive.md \
         docs/images/cpp-stop-before-signal.png "${scenarios[@]}"; do
    cmp "$root/$f" "$source_dir/$f" || fail "$f in the archive differs from the source tree"
done

# A 32-bit Windows DLL: PE signature and the i386 machine type.
[[ $(head -c 2 "$root/velt.dll") == MZ ]] || fail "velt.dll is not a PE file"
pe_offset=$(od -An -t u4 -j 60 -N 4 "$root/velt.dll" | tr -d ' ')
machine=$(od -An -t x2 -j $((pe_offset + 4)) -N 2 "$root/velt.dll" | tr -d ' ')
[[ $machine == 014c ]] || fail "velt.dll is not a 32-bit x86 image (machine $machine)"

# Every relative link of the packaged documents leads to a file or folder
# inside the archive (no links into the source tree).
broken=0
for md in "$root"/docs/*.md; do
    while IFS= read -r target; do
        target=${target%%#*}
        [[ -z $target || $target =~ ^[a-z]+: ]] && continue
        resolved=$(cd "$(dirname "$md")" && realpath -m "$target")
        if [[ $resolved != "$root"/* || ! -e $resolved ]]; then
            echo "check_archive: ${md#"$root"/}: link $target does not resolve in the archive" >&2
            broken=1
        fi
    done < <(grep -o '\]([^)]*)' "$md" | sed 's/^](//; s/)$//')
done
[[ $broken == 0 ]] || fail "broken links in the packaged documents"

echo "check_archive: $(basename "$zip") holds $(echo "$actual" | wc -l) files as expected; velt.dll matches $dll"
