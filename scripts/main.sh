#!/usr/bin/env bash
# The main command. Installs what is missing, builds the native library and
# the 32-bit and 64-bit Windows DLLs, loads each as a host would and prints
# the plug-in version it reports, then drives the demo scenario
# (scenarios/demo.drive) with velt-drive: a CPP stop pattern in a Velt
# section brakes the train short of its target. Prints the summary and where
# the trace, the two plots and the report page went.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

source scripts/common.sh

step "Checking build dependencies (scripts/install-deps.sh)"
bash scripts/install-deps.sh

# Each Windows build tree keeps a Wine prefix, set up once (about twenty
# seconds each, mostly waiting): both are set up while the builds run.
mkdir -p build/win32 build/win64
for tree in build/win32 build/win64; do
  bash scripts/run-wine.sh "$tree" 2>/dev/null &
done

step "Building the native preset into build/native: libvelt.so"
build_preset native

step "Building the win32 preset into build/win32: velt.dll (MinGW i686)"
build_preset win32

step "Building the win64 preset into build/win64: velt64.dll (MinGW x86-64)"
build_preset win64

wait  # for the Wine prefixes; a prefix that failed is set up again below

step "Loading build/native/libvelt.so"
build/native/velt-drive --version

step "Loading build/win32/velt.dll under Wine"
bash scripts/run-wine.sh build/win32 ./velt-drive.exe --plugin velt.dll --version | tr -d '\r'

step "Loading build/win64/velt64.dll under Wine"
bash scripts/run-wine.sh build/win64 ./velt-drive64.exe --plugin velt64.dll --version | tr -d '\r'

step "Driving the demo scenario (scenarios/demo.drive) with velt-drive"
build/native/velt-drive --report build/drive/demo.html scenarios/demo.drive

step "Done"
echo "  plug-in for a 32-bit host:     $(pwd)/build/win32/velt.dll"
echo "  plug-in for a 64-bit host:     $(pwd)/build/win64/velt64.dll"
echo "  native library (tests, tools): $(pwd)/build/native/libvelt.so"
echo "  try another drive:             build/native/velt-drive --report build/drive/<name>.html scenarios/<name>.drive"
echo "  the demo's report page:        $(pwd)/build/drive/demo.html"
echo "  the demo's plots:              $(pwd)/build/drive/demo.svg and $(pwd)/build/drive/demo-time.svg"
