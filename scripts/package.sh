#!/usr/bin/env bash
# The release command. Builds the win32 preset (velt.dll), packs the archive
# an author downloads with CPack, build/velt-VERSION-win32.zip (velt.dll,
# read-me, author documentation, example scenarios), and checks it: exact
# contents, the DLL byte-identical to build/win32/velt.dll, documents and
# scenarios current, links resolving inside the archive.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

source scripts/common.sh

step "Checking build dependencies (scripts/install-deps.sh)"
bash scripts/install-deps.sh

step "Building the win32 preset into build/win32: velt.dll (MinGW i686)"
build_preset win32

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win32/CMakeCache.txt)
zip=build/velt-$version-win32.zip

step "Packing $zip (cpack, ZIP generator)"
rm -f "$zip"
(cd build/win32 && cpack -G ZIP --config CPackConfig.cmake)

step "Checking $zip"
bash tests/package/check_archive.sh "$zip" build/win32/velt.dll .

step "Done"
echo "  release archive: $(pwd)/$zip"
