#!/usr/bin/env bash
# Builds both presets and runs every test: the portable core natively under
# ASan and UBSan (with a bounded fuzz run), then the product's tests under
# Wine, with a private Xvfb display for the GUI ones. Non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh

jobs=$(nproc 2>/dev/null || echo 2)
status=0
ctest --preset native -j "$jobs" || status=1

. scripts/xvfb.sh
prefix=build/win32/wineprefix
cleanup() {
  scripts/wine-prefix.sh stop "$prefix"
  stop_xvfb
}
trap cleanup EXIT
start_xvfb
scripts/wine-prefix.sh warm "$prefix" build/win32/bin/desktop_keeper.exe
ctest --preset win32 -j "$jobs" || status=1
exit $status
