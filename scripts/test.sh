#!/usr/bin/env bash
# Builds and runs every test: the portable core natively under ASan and UBSan
# (with a bounded fuzz run), the check of the shipped program, then the
# product's Windows suite under Wine, with a private Xvfb display for the GUI
# ones, and last the release: two release builds compared byte for byte
# (scripts/release.sh --check) and the packages checked as users get them
# (tests/release). Non-zero on any failure.
#
# The Windows suite runs on win32, the shipped 32-bit build, where this host
# can run 32-bit Windows programs, and otherwise on win64, the same sources
# built for x86-64 under 64-bit Wine. The choice is made once per run (a tiny
# 32-bit program is started under Wine, with a time bound) and printed.
#   TEST_ARCH=win32|win64|both   choose instead
set -euo pipefail
cd "$(dirname "$0")/.."
case "${TEST_ARCH:-}" in
  "" | win32 | win64 | both) ;;
  *) echo "test.sh: TEST_ARCH is win32, win64 or both, not '$TEST_ARCH'" >&2; exit 2 ;;
esac
scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)

# Nothing here runs Wine: the native preset, and the shipped program of the
# win32 preset (cross-compiled on every host, whatever the suite runs on).
echo "== build: native, and the shipped program (win32)"
PRESETS=native scripts/build.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs" --target bootstrapper bootstrapper_stub

status=0
echo "== native tests"
ctest --preset native -j "$jobs" || status=1
echo "== the shipped program"
ctest --test-dir build/win32/tests/shipped --output-on-failure || status=1

. scripts/wine-arch.sh
if [ -n "${TEST_ARCH:-}" ]; then
  case $TEST_ARCH in both) archs=(win32 win64) ;; *) archs=("$TEST_ARCH") ;; esac
  echo "== Windows suite on ${archs[*]}: chosen by TEST_ARCH"
elif runs_32bit_windows build/win32/wineprefix; then
  archs=(win32)
  echo "== Windows suite on win32: this host runs 32-bit Windows programs"
else
  archs=(win64)
  echo "== Windows suite on win64: this host cannot run 32-bit Windows programs" \
       "($WINE_PROBE_REASON)"
fi

. scripts/xvfb.sh
started=()
cleanup() {
  local arch
  for arch in "${started[@]}"; do
    scripts/wine-prefix.sh stop "build/$arch/wineprefix"
  done
  stop_xvfb
}
trap cleanup EXIT
start_xvfb

# Runs the Windows suite of one architecture in its own build and prefix.
windows_suite() (
  local arch=$1 prefix=build/$1/wineprefix
  export WINEARCH=$arch
  PRESETS=$arch scripts/build.sh || return 1
  # A server left by an earlier run (or started without this display) would
  # keep its desktop: start from none.
  scripts/wine-prefix.sh stop "$prefix"
  scripts/wine-prefix.sh warm "$prefix" "build/$arch/bin/desktop_keeper.exe" || return 1
  # A run that was interrupted may have left the fixed values the tests use.
  . scripts/wine-env.sh "$PWD/$prefix" || return 1
  wine reg delete 'HKLM\SOFTWARE' /v lumenodebug /f >/dev/null 2>&1 || true
  wine reg delete 'HKLM\SOFTWARE' /v lumenolog /f >/dev/null 2>&1 || true
  wine reg delete 'HKLM\SOFTWARE\Korvex\Lumeno' /v OriginalInstallerPath /f >/dev/null 2>&1 || true
  wine reg delete 'HKLM\SOFTWARE\BootstrapperTests' /f >/dev/null 2>&1 || true
  wine reg delete 'HKCU\Software\BootstrapperTests' /f >/dev/null 2>&1 || true
  ctest --preset "$arch" -j "$jobs"
)
for arch in "${archs[@]}"; do
  started+=("$arch")
  echo "== Windows suite: $arch"
  windows_suite "$arch" || status=1
done

# The release's example runs on the first architecture of the suite (its
# stub from that build where it is win64).
echo "== release: two builds of this commit, compared"
scripts/release.sh --check || status=1
echo "== release: the packages as users get them"
tests/release/release_test.sh dist "${archs[0]}" build/win64/bin/bootstrapper_stub.exe || status=1
exit $status
