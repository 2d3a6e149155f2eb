#!/usr/bin/env bash
# The test command. Installs what is missing, builds the native library with
# its tests and tools and the Windows DLL with its test host (warnings are
# errors in both), then runs the whole test suite, which also runs velt.dll
# under Wine and compares it with libvelt.so.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

source scripts/common.sh

step "Checking build and test dependencies (scripts/install-deps.sh)"
bash scripts/install-deps.sh

step "Building the native preset into build/native: libvelt.so, unit tests, tools"
build_preset native -DVELT_WERROR=ON

step "Building the win32 preset into build/win32: velt.dll and velt-abi-host.exe (MinGW i686)"
build_preset win32 -DVELT_WERROR=ON

step "Packing the release archive (build/velt-VERSION-win32.zip)"
bash scripts/package.sh

step "Running the test suite (ctest --preset native), the Wine tests of velt.dll included"
ctest --preset native

step "All tests passed"
