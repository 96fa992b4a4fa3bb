#!/usr/bin/env bash
# The main job end to end: runs the demo (the default bootstrapper, twice, in
# a fresh prefix) and checks what a user would find afterwards.
# Usage: demo_test.sh BUILD_DIR ARCH   (ARCH: the build's, win32 or win64)
set -euo pipefail
build=$(realpath "${1:?build directory}")
arch=${2:?win32 or win64}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$here/../..
prefix=$build/demo-test-prefix
out=$build/demo-test.out

DEMO_NO_BUILD=1 DEMO_ARCH=$arch DEMO_PREFIX=$prefix DEMO_BIN=$build/bin "$root/scripts/demo.sh" >"$out" 2>&1 || {
  cat "$out"; echo "FAILED: demo.sh exited with $?"; exit 1; }

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
dir="$prefix/drive_c/Program Files/Korvex/Lumeno"
check "the first line names the $arch build" grep -q "^== the demo runs the $arch build" <(head -n 1 "$out")
check "both runs exit with 0" test "$(grep -c '^exit code: 0' "$out")" = 2
for f in Lumeno2.exe LumenoMediaDetector.exe LumenoSetup.exe docs/ReleaseNotes.txt; do
  check "installed $f" test -f "$dir/$f"
done
check "the setup copy is the bootstrapper itself" cmp -s "$dir/LumenoSetup.exe" "$build/bin/bootstrapper.exe"
check "the setup copy is hidden" grep -q '^ *A *H .*LumenoSetup.exe' "$out"
check "the release notes are the packed ones" cmp -s "$dir/docs/ReleaseNotes.txt" "$root/demo/ReleaseNotes.txt"
check "install path registered" grep -q 'InstallPath *REG_SZ *C:\\Program Files\\Korvex\\Lumeno$' "$out"
check "application registered" grep -q 'RunLumeno *REG_SZ *C:\\Program Files\\Korvex\\Lumeno\\Lumeno2.exe$' "$out"
check "installer got the caller command line with /CALLER" \
  grep -q 'installer called with \[/S /CALLER ".*bootstrapper.exe"\]' "$dir/installer.log"
check "the application started once per run" test "$(grep -c 'Lumeno2.exe started' "$dir/launches.log")" = 2
check "the detector started once per run" \
  test "$(grep -c 'LumenoMediaDetector.exe started' "$dir/launches.log")" = 2
check "the run log holds both runs, each to its end" \
  test "$(grep -c '^   [0-9]* exit code 0 after [0-9]* ms$' "$out")" = 2
check "OriginalInstallerPath removed after the runs" bash -c "! grep -q OriginalInstallerPath '$out'"
if grep -q 'no screenshot' "$out"; then
  echo "note: no screenshot (X tools missing)"
else
  check "a screenshot of the status window" test -s "$prefix-artifacts/status_window.png"
fi
if [ "$failures" -ne 0 ]; then
  echo "--- demo output:"; cat "$out"
  exit 1
fi
