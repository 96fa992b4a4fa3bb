#!/usr/bin/env bash
# Writes the documents a Debian package carries besides its files, compressed
# as the packaging rules want them (gzip -9, no name or time inside):
# changelog.gz with one entry for this version at the commit's time, and the
# manual page payloadtool.1.gz.
# Usage: debian-docs.sh VERSION PACKAGE MAINTAINER SOURCE_DATE_EPOCH MANPAGE OUTDIR
set -euo pipefail
version=${1:?version} package=${2:?package} maintainer=${3:?maintainer}
epoch=${4:?SOURCE_DATE_EPOCH} manpage=${5:?manual page} outdir=${6:?output directory}
mkdir -p "$outdir"
{
  echo "$package ($version) unstable; urgency=medium"
  echo
  echo "  * Release $version of the bootstrapper stub and payloadtool."
  echo
  echo " -- $maintainer  $(LC_ALL=C date -u -d "@$epoch" -R)"
} | gzip -9n >"$outdir/changelog.gz"
gzip -9n <"$manpage" >"$outdir/payloadtool.1.gz"
