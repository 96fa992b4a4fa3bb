#!/usr/bin/env bash
# Makes the release into dist/: the .tar.gz and the .deb for Linux x86-64,
# the .zip for Windows and SHA256SUMS, from a fresh build of the preset
# release (build/release). Nothing of it runs Wine.
#   scripts/release.sh           one build
#   scripts/release.sh --check   two builds in two directories (build/release
#                                and build/release-check), whose packages must
#                                be the same bytes; dist/ gets the first's
# The packages' time is the commit's (SOURCE_DATE_EPOCH), whatever the clock.
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
  "") check= ;;
  --check) check=1 ;;
  *) echo "release.sh: the only option is --check, not '$1'" >&2; exit 2 ;;
esac
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
umask 022
# The sub-builds run one after another, each with every core.
CMAKE_BUILD_PARALLEL_LEVEL=$(nproc 2>/dev/null || echo 2)
export CMAKE_BUILD_PARALLEL_LEVEL

# build_release DIR: configures and builds the preset in DIR, then packs
# into DIR/packages; the log goes to DIR.log.
build_release() {
  local dir=$1 start=$SECONDS
  rm -rf "$dir" "$dir.log"
  mkdir -p "$(dirname "$dir")"
  if ! { cmake --preset release -B "$dir" && cmake --build "$dir" -j 1 &&
         (cd "$dir" && cpack); } >"$dir.log" 2>&1; then
    tail -n 40 "$dir.log"
    echo "release.sh: the build in $dir failed (log: $dir.log)" >&2
    return 1
  fi
  echo "== built and packed in $dir in $((SECONDS - start)) s"
}
packages() { (cd "$1/packages" && ls -1 ./*.tar.gz ./*.deb ./*.zip | sed 's|^\./||'); }

build_release build/release
status=0
if [ -n "$check" ]; then
  build_release build/release-check
  if [ "$(packages build/release)" != "$(packages build/release-check)" ]; then
    echo "FAILED: the two builds made different packages:" $(packages build/release) "/" \
         $(packages build/release-check)
    status=1
  fi
  for package in $(packages build/release); do
    if cmp -s "build/release/packages/$package" "build/release-check/packages/$package"; then
      echo "ok: $package is the same in both builds"
    else
      echo "FAILED: $package differs between the two builds"
      status=1
    fi
  done
fi

rm -rf dist
mkdir dist
for package in $(packages build/release); do cp "build/release/packages/$package" dist/; done
(cd dist && sha256sum $(packages ../build/release) >SHA256SUMS)
echo "== dist/:"
(cd dist && ls -l --time-style=+ | sed 1d)
exit $status
