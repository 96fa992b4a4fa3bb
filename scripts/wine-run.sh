#!/usr/bin/env bash
# Runs a Windows program under Wine in the given private prefix (CTest's
# emulator), with the loader of the prefix's architecture (wine-env.sh).
# Usage: wine-run.sh PREFIX PROGRAM.exe [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
prefix=${1:?prefix directory}
shift
"$here/wine-prefix.sh" ensure "$prefix"
. "$here/wine-env.sh" "$prefix"
exec "$WINELOADER" "$@"
