#!/usr/bin/env bash
# Manages a private Wine prefix (its architecture: see wine-env.sh).
#   wine-prefix.sh ensure PREFIX   make it once (booted, no prompts); safe to call in parallel
#   wine-prefix.sh warm PREFIX [KEEPER.exe]
#                                  ensure, then start a persistent wineserver detached from
#                                  the caller's output, so that each later run costs little;
#                                  KEEPER, a program that stays attached to the desktop, keeps
#                                  Wine's desktop process from being ended and restarted
#                                  between programs (a program started meanwhile can hang)
#   wine-prefix.sh stop PREFIX     end every process of this prefix
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cmd=${1:?command}
prefix=${2:?prefix directory}
mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
# Stopping concerns the prefix as it is, whatever the caller would make.
if [ "$cmd" = stop ]; then unset WINEARCH; fi
. "$here/wine-env.sh" "$prefix"

ensure() {
  [ -f "$prefix/.ready" ] && return 0
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/.ready" ]; then
    rm -rf "$prefix"
    # Boot under Wine's own temporary server and wait for it to finish before
    # any persistent server runs: booting beside one leaves the services broken.
    wine wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.ready"
  fi
  flock -u 9
}

case "$cmd" in
  ensure) ensure ;;
  warm)
    ensure
    wineserver -p 2>/dev/null || true  # already running: fine
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
    keeper=${3:-}
    if [ -n "$keeper" ]; then
      (wine "$keeper" </dev/null >/dev/null 2>&1 &)
    fi
    ;;
  stop)
    [ -d "$prefix" ] && wineserver -k 2>/dev/null || true
    ;;
  *) echo "wine-prefix.sh: unknown command $cmd" >&2; exit 2 ;;
esac
