#!/usr/bin/env bash
# Cross-builds migwiz.exe and every test program for Windows (the GUI's
# tests excepted: the Windows build has no GUI) and runs them under Wine, one
# Wine process per test program. The cases that only a POSIX system can run
# are skipped there, each with its reason (tests/support/PosixOnly.h).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-windows.sh --tests
export WINEDEBUG=${WINEDEBUG:--all}
# Wine's own folder: a fresh one is made (and kept) on the first run.
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine}
wineboot --init >/dev/null 2>&1 || true
ctest --test-dir build-windows --output-on-failure -j2
