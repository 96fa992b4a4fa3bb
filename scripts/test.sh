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
# A run that was interrupted may have left the fixed values the tests use.
. scripts/wine-env.sh "$PWD/$prefix"
wine reg delete 'HKLM\SOFTWARE' /v lumenodebug /f >/dev/null 2>&1 || true
wine reg delete 'HKLM\SOFTWARE\Korvex\Lumeno' /v OriginalInstallerPath /f >/dev/null 2>&1 || true
wine reg delete 'HKLM\SOFTWARE\BootstrapperTests' /f >/dev/null 2>&1 || true
wine reg delete 'HKCU\Software\BootstrapperTests' /f >/dev/null 2>&1 || true
ctest --preset win32 -j "$jobs" || status=1
exit $status
