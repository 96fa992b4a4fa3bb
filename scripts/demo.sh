#!/usr/bin/env bash
# The main job: builds the bootstrapper with its default payload and runs it
# under Wine the way a user would (with /S), in a fresh demo prefix, then
# reports what the run did.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
PRESETS=win32 scripts/build.sh >/dev/null

prefix=$PWD/build/demo-prefix
bin=$PWD/build/win32/bin
. scripts/xvfb.sh
cleanup() {
  scripts/wine-prefix.sh stop "$prefix"
  stop_xvfb
}
trap cleanup EXIT

echo "== fresh Wine prefix: $prefix"
scripts/wine-prefix.sh stop "$prefix"
rm -rf "$prefix" "$prefix.lock"
start_xvfb
scripts/wine-prefix.sh warm "$prefix"
. scripts/wine-env.sh "$prefix"

echo "== running bootstrapper.exe /S"
set +e
wine "$bin/bootstrapper.exe" /S
code=$?
set -e
# The Linux status is the low 8 bits of the Windows exit code.
case $code in
  0) meaning="the payload's events all ran" ;;
  255) meaning="-1: the run failed" ;;
  *) meaning="status stored by a FAILONMUTEX event" ;;
esac
echo "exit code: $code ($meaning)"

echo "== registry values under HKLM\\SOFTWARE\\Korvex"
wine reg query 'HKLM\SOFTWARE\Korvex' /s 2>/dev/null | tr -d '\r' | sed '/^$/d' || echo "(none)"
