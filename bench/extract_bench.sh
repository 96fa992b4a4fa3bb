#!/usr/bin/env bash
# Extraction figures: ExtractFile of a 100 MiB resource against CopyFileA in
# the same run, the two ways of reading it back through RUN's hold, then the
# start-up cost of a program carrying that resource with the linker's default
# file alignment and with 4096, and what 4096 adds to the size of the shipped
# program.
# Usage: bench/extract_bench.sh BUILD_DIR [REPS]   (the prefix must be warm)
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
reps=${2:-9}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cmake --build "$build" -j2 --target extract_bench >/dev/null
. "$here/../scripts/wine-env.sh" "$build/wineprefix"
bin=$build/bin

echo "== Extraction of a 100 MiB resource (ExtractFile against CopyFileA)"
for variant in default aligned; do
  echo "-- file alignment: $variant"
  wine "$bin/extract_bench_$variant.exe" compare "$reps"
done

echo "== The extracted 100 MiB compared with its resource through the hold"
wine "$bin/extract_bench_aligned.exe" held "$reps"

echo "== Start to exit of a program carrying 100 MiB (idle: loading only)"
for variant in default aligned; do
  for mode in idle once; do
    wine "$bin/extract_bench_default.exe" launch "$reps" "$bin/extract_bench_$variant.exe" "$mode"
  done
done

echo "== Size of bootstrapper.exe"
echo "file alignment 4096 (shipped): $(stat -c %s "$bin/bootstrapper.exe") bytes"
echo "default file alignment: $(stat -c %s "$bin/bootstrapper_unaligned.exe") bytes"
