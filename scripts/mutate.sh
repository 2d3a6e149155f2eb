#!/usr/bin/env bash
# Mutation testing of the plug-in (core/ and host/) against the unit tests:
# changes one operator, constant or statement at a time, rebuilds the unit
# tests and reports every change they do not notice (file, line, change).
# The work happens in build/mutate; the sources are never touched.
#
#   bash scripts/mutate.sh                          # every mutant (about 2 h with -j2 on a busy machine)
#   bash scripts/mutate.sh --sample 100 --seed S    # 100 mutants drawn by seed S
#   bash scripts/mutate.sh core/display.cpp         # the mutants of one file
#   bash scripts/mutate.sh --list core/display.cpp  # the mutants and their keys, nothing run
#
# Options: --jobs N, --time-limit T (240, 5m, 1h), --report FILE; --help for
# all. Exits 1 on a survivor that tests/mutation/known-equivalent.txt does not
# list, on a listed mutant the tests kill, or on a stale entry of the list.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-deps.sh
exec python3 -B scripts/mutate.py "$@"
