#!/usr/bin/env bash
# Puts the programs that show the product's windows in tests (the status
# window and the download dialog, and their probes) on a Wine virtual desktop
# of their own, or takes them off it again.
# Why: the test display has no window manager, and without one Wine waits 2 s
# for every window it hides; a virtual desktop is managed by Wine itself, as a
# Windows desktop is. Its odd size also makes centring round.
# Usage: status_window_desktop.sh setup|cleanup WINEPREFIX
set -euo pipefail
action=${1:?setup or cleanup}
prefix=${2:?wine prefix}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
scripts=$here/../../scripts

"$scripts/wine-prefix.sh" ensure "$prefix"
. "$scripts/wine-env.sh" "$prefix"
programs=(status_window_tests.exe status_probe.exe download_tests.exe urlrun_tests.exe)
case "$action" in
  setup)
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v StatusTests /d 1023x767 /f >/dev/null
    for program in "${programs[@]}"; do
      wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$program\\Explorer" /v Desktop \
        /d StatusTests /f >/dev/null
    done
    ;;
  cleanup)
    for program in "${programs[@]}"; do
      wine reg delete "HKCU\\Software\\Wine\\AppDefaults\\$program" /f >/dev/null 2>&1 || true
    done
    wine reg delete 'HKCU\Software\Wine\Explorer\Desktops' /v StatusTests /f >/dev/null 2>&1 || true
    ;;
  *) echo "status_window_desktop.sh: unknown action $action" >&2; exit 2 ;;
esac
