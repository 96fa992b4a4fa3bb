#!/usr/bin/env bash
# The main job: builds the default bootstrapper (the default payload and the
# demo installer it carries) and runs it under Wine the way a user would, in
# a fresh prefix: first a new installation, then an update over it, during
# which the status window shows, with the run log on. Then reports what the
# runs did.
# On a host that cannot run 32-bit Windows programs it runs the win64 build
# (the same sources for x86-64) under 64-bit Wine instead, and says so.
#   DEMO_PREFIX  where the demo prefix goes (default build/demo-prefix)
#   DEMO_ARCH    win32 or win64 instead of the host's choice
#   DEMO_NO_BUILD=1  use what is built already (the tests do)
#   DEMO_BIN     where the built programs are (default build/<arch>/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DEMO_NO_BUILD:-}" ]; then scripts/setup.sh; fi

prefix=$(realpath -m "${DEMO_PREFIX:-build/demo-prefix}")
shots=$prefix-artifacts
scripts/wine-prefix.sh stop "$prefix"
rm -rf "$prefix" "$prefix.lock" "$shots"

# The fresh prefix is made for 32-bit Wine when this host can run it.
. scripts/wine-arch.sh
if [ -n "${DEMO_ARCH:-}" ]; then
  arch=$DEMO_ARCH
  echo "== the demo runs the $arch build (DEMO_ARCH)"
elif runs_32bit_windows "$prefix"; then
  arch=win32
  echo "== the demo runs the win32 build, the shipped program"
else
  arch=win64
  rm -rf "$prefix" "$prefix.lock"
  echo "== the demo runs the win64 build: this host cannot run 32-bit Windows programs"
  echo "   ($WINE_PROBE_REASON); the shipped program is the win32 build of the same sources"
fi
export WINEARCH=$arch
if [ -z "${DEMO_NO_BUILD:-}" ]; then
  echo "== building"
  PRESETS=$arch scripts/build.sh >/dev/null
fi
bin=$(realpath -m "${DEMO_BIN:-build/$arch/bin}")

. scripts/xvfb.sh
cleanup() {
  scripts/wine-prefix.sh stop "$prefix"
  stop_xvfb
}
trap cleanup EXIT

echo "== fresh Wine prefix: $prefix"
mkdir -p "$shots"
start_xvfb
scripts/wine-prefix.sh ensure "$prefix"
. scripts/wine-env.sh "$prefix"
# A virtual desktop, so that windows get their captions without a window manager.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null
scripts/wine-prefix.sh stop "$prefix"  # the desktop is chosen when the prefix starts
scripts/wine-prefix.sh warm "$prefix"

# The run log on, in the temporary directory ("1"), for the report below.
wine reg add 'HKLM\SOFTWARE' /v lumenolog /d 1 /f >/dev/null

install_dir="$prefix/drive_c/Program Files/Korvex/Lumeno"
# Runs the bootstrapper like a user would; prints and returns its exit code.
run_setup() {
  local code=0
  wine "$bin/bootstrapper.exe" /S || code=$?
  case $code in
    0) echo "exit code: 0 (every event of the payload ran)" ;;
    255) echo "exit code: -1 (the run failed)" ;;
    *) echo "exit code: $code (status of a FAILONMUTEX event)" ;;
  esac
  return 0
}

echo
echo "== 1. new installation: bootstrapper.exe /S"
run_setup
sleep 1  # let the started programs record their start

echo
echo "== 2. update over the installed application (the status window shows)"
wine "$bin/bootstrapper.exe" /S &
setup_pid=$!
sleep "${DEMO_SHOT_DELAY:-2}"
screenshot=
if command -v xwd >/dev/null && [ -x /usr/bin/convert ]; then
  xwd -root -silent >"$shots/status.xwd" && /usr/bin/convert "xwd:$shots/status.xwd" \
    -crop 1024x768+0+0 "$shots/status_window.png" && screenshot=$shots/status_window.png
  rm -f "$shots/status.xwd"
fi
code=0
wait $setup_pid || code=$?
echo "exit code: $code"
sleep 1

echo
echo "== what the runs did"
echo "-- install directory: ${install_dir#$prefix/}"
(cd "$install_dir" && find . -type f | sort | sed 's|^\./|   |')
echo "-- attributes of the setup copy (hidden, as the payload asks):"
wine cmd /c attrib 'C:\Program Files\Korvex\Lumeno\LumenoSetup.exe' 2>/dev/null | tr -d '\r' | sed 's/^/   /'
echo "-- registry values under HKLM\\SOFTWARE\\Korvex:"
wine reg query 'HKLM\SOFTWARE\Korvex' /s 2>/dev/null | tr -d '\r' | sed '/^$/d;s/^/   /'
echo "-- the installer was called with:"
sed 's/^/   /' "$install_dir/installer.log"
echo "-- programs started:"
sed 's/^/   /' "$install_dir/launches.log"
echo "-- the run log (lumenolog = 1: LumenoSetup.log in the temporary directory):"
run_log=$(find "$prefix/drive_c/users" -name LumenoSetup.log | head -n 1)
if [ -n "$run_log" ]; then tr -d '\r' <"$run_log" | sed 's/^/   /'; else echo "   (none)"; fi
if [ -n "$screenshot" ]; then
  echo "-- screenshot of the status window: $screenshot"
else
  echo "-- no screenshot (xwd or /usr/bin/convert missing)"
fi
