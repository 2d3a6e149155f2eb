#!/usr/bin/env bash
# Installs what the build and the tests need and that a fresh Debian machine
# may lack: the MinGW cross-compilers for velt.dll (i686) and velt64.dll
# (x86-64), Wine with its 32-bit and 64-bit loaders to run them, gcovr for
# coverage, CLI11 for the tools' command lines, clang 19 and its LLVM tools
# for the MC/DC report, Python 3 for the mutation tool, and clang-format and
# clang-tidy for scripts/lint.sh, Chromium with its WebDriver and Selenium
# to test the report page in a real browser, and Node.js to check that the
# page's script parses. On a machine that cannot start 32-bit programs it
# also sets up qemu's user-mode emulator to start them (see below). Does
# nothing when all are present.
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

export DEBIAN_FRONTEND=noninteractive
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

if [ ${#need[@]} -gt 0 ]; then
  echo "velt: installing missing packages: ${need[*]}" >&2
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
  echo "velt: packages installed" >&2
fi

# velt.dll is a 32-bit DLL, and Wine runs it in a 32-bit Linux process. Some
# kernels cannot start 32-bit programs at all (seen on virtual machines:
# "Exec format error", exit status 126). There the kernel is taught to hand
# them to qemu's user-mode emulator. qemu older than 8.1 takes MAP_FIXED_NOREPLACE
# as a mere hint, and Wine's start-up then probes the upper 2 GB in some 65,000
# mmap calls, 45 s for every program; from 8.1 on a start takes a fraction of a
# second, so an older release's qemu is taken from its backports.
wine32_loader=/usr/lib/wine/wine
if ! "$wine32_loader" --version >/dev/null 2>&1; then
  echo "velt: this machine cannot start 32-bit programs; running them through qemu-i386" >&2
  qemu_version() { dpkg-query -W -f='${Version}' qemu-user 2>/dev/null | sed -E 's/^[0-9]+://; s/[^0-9.].*//'; }
  if ! dpkg --compare-versions "$(qemu_version)" ge 8.1 2>/dev/null; then
    # shellcheck source=/dev/null
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    candidate=$(apt-cache policy qemu-user 2>/dev/null | awk '/Candidate:/ {print $2}' | sed -E 's/^[0-9]+://')
    target=()
    if [ -n "$codename" ] && ! dpkg --compare-versions "${candidate:-0}" ge 8.1; then
      echo "Types: deb
URIs: http://deb.debian.org/debian
Suites: $codename-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" | $SUDO tee /etc/apt/sources.list.d/velt-backports.sources >/dev/null
      $SUDO apt-get update -qq
      target=(-t "$codename-backports")
    fi
    $SUDO apt-get install -y -qq --no-install-recommends "${target[@]}" qemu-user >/dev/null
  fi
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt"
  [ ! -e "$binfmt/qemu-i386" ] || echo -1 | $SUDO tee "$binfmt/qemu-i386" >/dev/null
  # i386 ELF executables and shared objects; F opens the emulator now, so
  # it is found whatever the program's root or namespace.
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' |
    $SUDO tee "$binfmt/register" >/dev/null
  if ! "$wine32_loader" --version >/dev/null 2>&1; then
    echo "velt: 32-bit programs still cannot start here, so velt.dll cannot be loaded under Wine." >&2
    echo "velt: check that $binfmt/qemu-i386 is enabled and that /usr/bin/qemu-i386 runs." >&2
    exit 1
  fi
  echo "velt: 32-bit programs now start through $(qemu-i386 --version | head -1)" >&2
fi
