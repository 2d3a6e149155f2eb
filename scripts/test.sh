#!/usr/bin/env bash
# The test command. Installs what is missing, builds the native library with
# its tests and tools and the Windows DLL with its test host (warnings are
# errors in both), then runs the whole test suite, which also runs velt.dll
# under Wine and compares it with libvelt.so.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

step() { printf '\n==> %s\n' "$*"; }

step "Checking build and test dependencies (scripts/install-deps.sh)"
bash scripts/install-deps.sh

step "Building the native preset into build/native: libvelt.so, unit tests, tools"
cmake --preset native -DVELT_WERROR=ON
cmake --build --preset native -j2

step "Building the win32 preset into build/win32: velt.dll and velt-abi-host.exe (MinGW i686)"
cmake --preset win32 -DVELT_WERROR=ON
cmake --build --preset win32 -j2

step "Packing the release archive (build/velt-VERSION-win32.zip)"
bash scripts/package.sh

step "Running the test suite (ctest --preset native), the Wine tests of velt.dll included"
ctest --preset native

step "All tests passed"
