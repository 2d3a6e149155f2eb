#!/usr/bin/env bash
# The test command. Installs what is missing, builds the native library with
# its tests and tools and both Windows DLLs with their tools and test hosts
# (warnings are errors in all three), packs the release archive, then runs
# the whole test suite, which also runs velt.dll and velt64.dll under Wine
# and compares them with libvelt.so.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

source scripts/common.sh

step "Checking build and test dependencies (scripts/install-deps.sh)"
bash scripts/install-deps.sh

# The presets turn warnings into errors; configured as scripts/main.sh
# configures them, so that after the main command nothing is built again.
step "Building the native preset into build/native: libvelt.so, unit tests, tools"
build_preset native

step "Building the win32 preset into build/win32: velt.dll, its tools and test host (MinGW i686)"
build_preset win32

step "Building the win64 preset into build/win64: velt64.dll, its tools and test host (MinGW x86-64)"
build_preset win64

step "Packing the release archive (build/velt-VERSION-windows.zip)"
bash scripts/package.sh

step "Running the test suite (ctest --preset native, two at a time), the Wine tests of both DLLs included"
ctest --preset native

step "All tests passed"
