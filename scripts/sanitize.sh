#!/usr/bin/env bash
# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer
# (clang, -fno-sanitize-recover: the first report fails its test), built
# into build/sanitize by the sanitize preset. Takes about two minutes on two
# cores from a clean build directory.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

source scripts/common.sh

step "Configuring and building the sanitize preset into build/sanitize"
build_preset sanitize

step "Running the test suite under ASan and UBSan (ctest --preset sanitize)"
ctest --preset sanitize -j2

step "Sanitizer suite passed"
