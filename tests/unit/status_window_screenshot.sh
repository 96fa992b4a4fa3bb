#!/usr/bin/env bash
# Takes a picture of the status window as the user sees it, on the test
# display: OUTDIR/status_window.png. The probe runs on the Wine virtual desktop
# that status_window_desktop.sh sets up, where Wine draws the caption itself
# (the test display has no window manager to draw one).
# Usage: status_window_screenshot.sh WINEPREFIX status_probe.exe OUTDIR
# Exit codes: 0 picture taken, 77 skipped (the X tools are missing), 1 failure.
set -euo pipefail
prefix=${1:?wine prefix}
probe=${2:?status_probe.exe}
outdir=${3:?output directory}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
scripts=$here/../../scripts

if [ -z "${DISPLAY:-}" ]; then
  echo "FAILED: no DISPLAY; run the GUI tests under Xvfb (scripts/xvfb.sh)" >&2
  exit 1
fi
for tool in xwd /usr/bin/convert; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is missing (packages x11-apps, imagemagick); no screenshot taken" >&2
    exit 77
  fi
done

mkdir -p "$outdir"
work=$(mktemp -d)
probe_pid=
cleanup() {
  [ -n "$probe_pid" ] && kill "$probe_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

release=$work/release
release_windows="Z:$(printf '%s' "$release" | tr / '\\')"
"$scripts/wine-run.sh" "$prefix" "$probe" --hold "$release_windows" >"$work/out" 2>&1 &
probe_pid=$!
for _ in $(seq 300); do
  grep -q '^shown' "$work/out" 2>/dev/null && break
  kill -0 "$probe_pid" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q '^shown' "$work/out"; then
  echo "FAILED: the status window did not appear; probe said:" >&2
  cat "$work/out" >&2
  exit 1
fi

xwd -root -silent >"$work/screen.xwd"
touch "$release"
status=0
wait "$probe_pid" || status=$?
probe_pid=
if [ "$status" != 0 ]; then
  echo "FAILED: the probe ended with $status; it said:" >&2
  cat "$work/out" >&2
  exit 1
fi
# The window with a little of the desktop around it: the virtual desktop sits
# at the screen's top left corner, and its plain background trims away.
/usr/bin/convert "xwd:$work/screen.xwd" -crop 1023x767+0+0 +repage "$work/desktop.png"
background=$(/usr/bin/convert "$work/desktop.png" -format '%[pixel:p{0,0}]' info:)
/usr/bin/convert "$work/desktop.png" -trim +repage -bordercolor "$background" -border 24 \
  "$outdir/status_window.png"
echo "screenshot: $outdir/status_window.png"
cat "$work/out"
