#!/usr/bin/env bash
# Installs what the build and the tests need and that a fresh Debian machine
# may lack: the MinGW i686 cross-compiler for velt.dll, Wine with its 32-bit
# part to run it, gcovr for coverage, CLI11 for the tools' command lines, and
# clang-format and clang-tidy for scripts/lint.sh. Does nothing when all are
# present.
set -euo pipefail

need=()
command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1 || command -v i686-w64-mingw32-g++ >/dev/null 2>&1 || need+=(g++-mingw-w64-i686)
dpkg -s wine32 >/dev/null 2>&1 || need+=(wine32:i386)
command -v wine >/dev/null 2>&1 || need+=(wine)
command -v gcovr >/dev/null 2>&1 || need+=(gcovr)
command -v cmake >/dev/null 2>&1 || need+=(cmake)
dpkg -s libgtest-dev >/dev/null 2>&1 || need+=(libgtest-dev)
dpkg -s libbenchmark-dev >/dev/null 2>&1 || need+=(libbenchmark-dev)
dpkg -s libcli11-dev >/dev/null 2>&1 || need+=(libcli11-dev)
command -v clang++ >/dev/null 2>&1 || need+=(clang)
dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
command -v clang-format-14 >/dev/null 2>&1 || need+=(clang-format-14)
command -v clang-tidy-14 >/dev/null 2>&1 || need+=(clang-tidy-14)

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

echo "velt: installing missing packages: ${need[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
echo "velt: packages installed" >&2
