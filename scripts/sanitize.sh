#!/usr/bin/env bash
# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer
# (clang, -fno-sanitize-recover: the first report fails its test), built
# into build/sanitize by the sanitize preset. Takes about two minutes on two
# cores from a clean build directory. The tests whose subject the sanitizers
# do not change are left out (labels wine, browser, lint, package and dll:
# the Windows DLLs and tools under Wine, the report page in Chromium, the
# lint script, the release archive, the DLLs' tables); the native half of
# the Wine tests runs as velt_drive.EveryBundledScenarioWritesEveryOutput.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

source scripts/common.sh

step "Configuring and building the sanitize preset into build/sanitize"
build_preset sanitize

step "Running the test suite under ASan and UBSan (ctest --preset sanitize)"
ctest --preset sanitize

step "Sanitizer suite passed"
