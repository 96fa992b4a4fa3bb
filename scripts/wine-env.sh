# Sourced by the scripts that run Windows programs: the environment of every
# Wine run of this project (private prefix, quiet, no Mono or Gecko downloads),
# and the loader and server of the prefix's architecture, always by full path:
# /usr/bin/wine picks the 32-bit loader whenever it is installed, even on a
# host that cannot run it. `wine` and `wineserver` below are those two.
# Usage: . scripts/wine-env.sh PREFIX_DIR
# The architecture is the one a prefix that wine-prefix.sh made was made for;
# a new prefix is made for WINEARCH (win32 or win64; win32 when unset).
export WINEPREFIX=$(realpath -m "${1:?prefix directory}")
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine_made_for=
if [ -f "$WINEPREFIX/.ready" ]; then
  wine_made_for=$(sed -n 's/^#arch=//p' "$WINEPREFIX/system.reg" 2>/dev/null | head -n 1)
fi
if [ -n "$wine_made_for" ] && [ -n "${WINEARCH:-}" ] && [ "$wine_made_for" != "$WINEARCH" ]; then
  echo "wine-env.sh: $WINEPREFIX is a $wine_made_for prefix, not $WINEARCH" >&2
  return 2
fi
export WINEARCH=${wine_made_for:-${WINEARCH:-win32}}
unset wine_made_for
case "$WINEARCH" in
  win32) export WINELOADER=/usr/lib/wine/wine WINESERVER=/usr/lib/wine/wineserver32 ;;
  win64) export WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64 ;;
  *) echo "wine-env.sh: WINEARCH must be win32 or win64, not $WINEARCH" >&2; return 2 ;;
esac
wine() { "$WINELOADER" "$@"; }
wineserver() { "$WINESERVER" "$@"; }
