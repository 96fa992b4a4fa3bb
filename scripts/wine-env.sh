# Sourced by the scripts that run Windows programs: the environment of every
# Wine run of this project (private prefix, quiet, no Mono or Gecko downloads).
# Usage: . scripts/wine-env.sh PREFIX_DIR
export WINEPREFIX="${1:?prefix directory}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32
