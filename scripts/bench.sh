#!/usr/bin/env bash
# Builds what the benchmarks need and prints their figures. Not a test: the
# numbers are for people to read and compare.
#
#   scripts/bench.sh                 every benchmark
#   scripts/bench.sh walk layout     only these, in this order
#
# Build directories: $BENCH_BUILD-native (Release, no sanitizers) and
# $BENCH_BUILD-win32 (the shipped settings); BENCH_BUILD defaults to build/bench.
#
# Adding a benchmark: write a function bench_<name> that builds its targets
# with build_native / build_win32 and runs them (run_win32 for Windows
# programs), then add <name> to BENCHMARKS.
set -euo pipefail
cd "$(dirname "$0")/.."

BENCHMARKS=(size layout walk extract launch)

# The figures are those of the shipped 32-bit program: the Windows
# benchmarks need a host that runs 32-bit code (size and layout do not).
export WINEARCH=win32
build_root=$(realpath -m "${BENCH_BUILD:-build/bench}")
native_dir=$build_root-native
win32_dir=$build_root-win32
jobs=2  # the machine's cores are shared

build_native() {
  cmake --preset native -B "$native_dir" -DCMAKE_BUILD_TYPE=Release -DENABLE_SANITIZERS=OFF \
    >/dev/null
  cmake --build "$native_dir" -j "$jobs" --target "$@" >/dev/null
}

build_win32() {
  cmake --preset win32 -B "$win32_dir" >/dev/null
  cmake --build "$win32_dir" -j "$jobs" --target "$@" >/dev/null
}

prefix_started=
run_win32() {
  if [ -z "$prefix_started" ]; then
    scripts/wine-prefix.sh warm "$win32_dir/wineprefix"
    prefix_started=1
  fi
  scripts/wine-run.sh "$win32_dir/wineprefix" "$@"
}
stop_prefix() {
  [ -n "$prefix_started" ] && scripts/wine-prefix.sh stop "$win32_dir/wineprefix"
  return 0
}
trap stop_prefix EXIT

# ------------------------------------------------------------------ benchmarks

# The size of the program without an embedded installer (all its UI
# resources included), its sections and the DLLs it imports.
bench_size() {
  build_win32 bootstrapper_stub bootstrapper_aligned
  local exe
  for exe in bootstrapper_stub bootstrapper_aligned; do
    printf '%-22s %6d bytes\n' "$exe.exe" "$(stat -c %s "$win32_dir/bin/$exe.exe")"
  done
  echo "sections of bootstrapper_stub.exe (bytes):"
  i686-w64-mingw32-objdump -h "$win32_dir/bin/bootstrapper_stub.exe" |
    while read -r index name size _; do
      [[ $index =~ ^[0-9]+$ ]] || continue
      printf '  %-8s %6d\n' "$name" "$((16#$size))"
    done
  echo "imports: $(i686-w64-mingw32-objdump -p "$win32_dir/bin/bootstrapper_stub.exe" |
    awk '/DLL Name:/{print $3}' | sort -f | tr '\n' ' ')"
}

# The reading work of the walk (payload content, settings, event records)
# without the platform, natively.
bench_layout() {
  build_native bench_layout
  "$native_dir/bin/bench_layout"
}

# The real walk, ProcessXML2 with mutex events, under Wine.
bench_walk() {
  build_win32 bench_walk
  run_win32 "$win32_dir/bin/bench_walk.exe"
}

# ExtractFile of a 100 MiB resource against CopyFileA, and the start-up cost
# of a program carrying it with file alignment 0x200 and 4096, under Wine.
bench_extract() {
  build_win32 extract_bench
  run_win32 cmd /c exit  # warms the prefix
  bench/extract_bench.sh "$win32_dir"
}

# From the bootstrapper's start to the start of the installer it carries, on
# the shell path, with a small and a 100 MiB installer, for the shipped
# program and for it linked with file alignment 4096, under Wine.
bench_launch() {
  build_win32 launch_bench
  run_win32 "$win32_dir/bin/launch_bench.exe" "${LAUNCH_REPS:-9}" \
    bootstrapper.exe bootstrapper_aligned.exe
}

# ------------------------------------------------------------------------ main

selected=("$@")
[ ${#selected[@]} -eq 0 ] && selected=("${BENCHMARKS[@]}")
for name in "${selected[@]}"; do
  if ! declare -F "bench_$name" >/dev/null; then
    echo "bench.sh: no benchmark '$name' (have: ${BENCHMARKS[*]})" >&2
    exit 2
  fi
  echo "== $name"
  "bench_$name"
  echo
done
