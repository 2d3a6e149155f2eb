#!/usr/bin/env bash
# The main command. Installs what is missing, builds the native library and
# the 32-bit Windows DLL, then loads each as a host would and prints the
# plug-in version it reports and where the file is.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

step() { printf '\n==> %s\n' "$*"; }

step "Checking build dependencies (scripts/install-deps.sh)"
bash scripts/install-deps.sh

step "Building the native preset into build/native: libvelt.so"
cmake --preset native
cmake --build --preset native -j2

step "Building the win32 preset into build/win32: velt.dll (MinGW i686)"
cmake --preset win32
cmake --build --preset win32 -j2

step "Loading build/native/libvelt.so"
build/native/tests/win32/velt-abi-host --version build/native/libvelt.so

step "Loading build/win32/velt.dll under Wine"
bash scripts/run-wine.sh build/win32 ./velt-abi-host.exe --version velt.dll | tr -d '\r'

step "Done"
echo "  Windows plug-in for the host: $(pwd)/build/win32/velt.dll"
echo "  native library (tests, tools): $(pwd)/build/native/libvelt.so"
