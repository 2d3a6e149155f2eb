#!/usr/bin/env bash
# Installs what the build and the tests need and that a fresh Debian machine
# may lack: the MinGW cross-compilers for velt.dll (i686) and velt64.dll
# (x86-64), Wine with its 32-bit and 64-bit loaders to run them, gcovr for
# coverage, CLI11 for the tools' command lines, clang 19 and its LLVM tools
# for the MC/DC report, Python 3 for the mutation tool, and clang-format and
# clang-tidy for scripts/lint.sh, Chromium with its WebDriver and Selenium
# to test the report page in a real browser, and Node.js to check that the
# page's script parses. Does nothing when all are present.
set -euo pipefail

need=()
command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1 || command -v i686-w64-mingw32-g++ >/dev/null 2>&1 || need+=(g++-mingw-w64-i686)
command -v x86_64-w64-mingw32-g++-win32 >/dev/null 2>&1 || command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 || need+=(g++-mingw-w64-x86-64)
dpkg -s wine32 >/dev/null 2>&1 || need+=(wine32:i386)
dpkg -s wine64 >/dev/null 2>&1 || need+=(wine64)
command -v wine >/dev/null 2>&1 || need+=(wine)
command -v gcovr >/dev/null 2>&1 || need+=(gcovr)
command -v cmake >/dev/null 2>&1 || need+=(cmake)
dpkg -s libgtest-dev >/dev/null 2>&1 || need+=(libgtest-dev)
dpkg -s libbenchmark-dev >/dev/null 2>&1 || need+=(libbenchmark-dev)
dpkg -s libcli11-dev >/dev/null 2>&1 || need+=(libcli11-dev)
command -v clang++ >/dev/null 2>&1 || need+=(clang)
dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
command -v clang++-19 >/dev/null 2>&1 || need+=(clang-19)
dpkg -s libclang-rt-19-dev >/dev/null 2>&1 || need+=(libclang-rt-19-dev)
command -v llvm-cov-19 >/dev/null 2>&1 || need+=(llvm-19)
command -v python3 >/dev/null 2>&1 || need+=(python3)
command -v clang-format-14 >/dev/null 2>&1 || need+=(clang-format-14)
command -v clang-tidy-14 >/dev/null 2>&1 || need+=(clang-tidy-14)
command -v chromium >/dev/null 2>&1 || need+=(chromium)
command -v chromedriver >/dev/null 2>&1 || need+=(chromium-driver)
dpkg -s python3-selenium >/dev/null 2>&1 || need+=(python3-selenium)
command -v node >/dev/null 2>&1 || need+=(nodejs)

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
