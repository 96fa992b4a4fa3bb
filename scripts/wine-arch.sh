# Sourced: whether this host can run 32-bit Windows programs under Wine.
# Some hosts cannot execute 32-bit x86 code at all (every i386 program fails
# with "Exec format error", Wine's 32-bit loader included); 64-bit Wine still
# works there, and the win64 build of the same sources is the test bed.
#
#   runs_32bit_windows PREFIX   starts a tiny 32-bit program (cmd /c exit) in
#                               the 32-bit prefix PREFIX, making and booting it
#                               if needed, within WINE_PROBE_SECONDS (default
#                               180); true when it ran. Otherwise false, with
#                               the reason in WINE_PROBE_REASON. No process of
#                               the prefix is left running.
runs_32bit_windows() {
  local prefix=$1 scripts log code=0
  scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  WINE_PROBE_REASON=
  if [ ! -x /usr/lib/wine/wine ]; then
    WINE_PROBE_REASON="32-bit Wine (wine32:i386) is not installed"
    return 1
  fi
  log=$(mktemp)
  if ! /usr/lib/wine/wine --version >"$log" 2>&1; then
    WINE_PROBE_REASON="the 32-bit Wine loader does not start: $(head -n 1 "$log")"
    rm -f "$log"
    return 1
  fi
  WINEARCH=win32 timeout -k 10 "${WINE_PROBE_SECONDS:-180}" \
    "$scripts/wine-run.sh" "$prefix" cmd /c exit </dev/null >"$log" 2>&1 || code=$?
  # Nothing of the probe stays behind: the suite starts its own server.
  "$scripts/wine-prefix.sh" stop "$prefix" >/dev/null 2>&1 || true
  if [ "$code" = 0 ]; then
    rm -f "$log"
    return 0
  fi
  if [ "$code" = 124 ] || [ "$code" = 137 ]; then
    WINE_PROBE_REASON="a 32-bit program did not finish under Wine within ${WINE_PROBE_SECONDS:-180} s"
  else
    WINE_PROBE_REASON="a 32-bit program failed under Wine (exit status $code)"
    [ -s "$log" ] && WINE_PROBE_REASON+=": $(head -n 1 "$log")"
  fi
  rm -f "$log"
  return 1
}
