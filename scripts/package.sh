#!/usr/bin/env bash
# The release command. Builds the win32 and win64 presets (velt.dll and
# velt-drive.exe, velt64.dll and velt-drive64.exe), packs the archive an
# author downloads with CPack, build/velt-VERSION-windows.zip (both DLLs,
# both tools, read-me, author documentation, example scenarios), and checks
# it: exact contents, every binary byte-identical to the built one,
# documents and scenarios current, every link and named file resolving
# inside the archive, nothing pointing into the source tree.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

source scripts/common.sh

step "Checking build dependencies (scripts/install-deps.sh)"
bash scripts/install-deps.sh

step "Building the win32 preset into build/win32: velt.dll, velt-drive.exe (MinGW i686)"
build_preset win32

step "Building the win64 preset into build/win64: velt64.dll, velt-drive64.exe (MinGW x86-64)"
build_preset win64

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win32/CMakeCache.txt)
zip=build/velt-$version-windows.zip

step "Packing $zip (cpack, ZIP generator)"
rm -f "$zip"
(cd build/win32 && cpack -G ZIP --config CPackConfig.cmake)

step "Checking $zip"
bash tests/package/check_archive.sh "$zip" build .

step "Done"
echo "  release archive: $(pwd)/$zip ($(stat -c %s "$zip") bytes)"
