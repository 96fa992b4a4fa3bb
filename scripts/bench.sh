#!/usr/bin/env bash
# Builds what the benchmarks need and prints their figures. Not a test: the
# numbers are for people to read and compare.
#
#   scripts/bench.sh                 every benchmark
#   scripts/bench.sh walk layout     only these, in this order
#
# Build directories: $BENCH_BUILD-native (Release, no sanitizers),
# $BENCH_BUILD-win32 (the shipped settings) and, only for the extraction and
# launch rows on a host that cannot run 32-bit programs, $BENCH_BUILD-win64;
# with LAUNCH_BEFORE, $BENCH_BUILD-before-src and -before-<preset> for the
# older stub. BENCH_BUILD defaults to build/bench.
#
# Adding a benchmark: write a function bench_<name> that builds its targets
# with build_native / build_win32 and runs them (run_win32 for Windows
# programs), then add <name> to BENCHMARKS.
set -euo pipefail
cd "$(dirname "$0")/.."

BENCHMARKS=(size layout walk extract launch pack tool tag download)

# The figures are those of the shipped 32-bit program: the Windows
# benchmarks need a host that runs 32-bit code (size and layout do not).
export WINEARCH=win32
build_root=$(realpath -m "${BENCH_BUILD:-build/bench}")
native_dir=$build_root-native
win32_dir=$build_root-win32
win64_dir=$build_root-win64
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
build_win64() {
  cmake --preset win64 -B "$win64_dir" >/dev/null
  cmake --build "$win64_dir" -j "$jobs" --target "$@" >/dev/null
}

prefix_started=
run_win32() {
  if [ -z "$prefix_started" ]; then
    scripts/wine-prefix.sh warm "$win32_dir/wineprefix"
    prefix_started=1
  fi
  scripts/wine-run.sh "$win32_dir/wineprefix" "$@"
}
prefix64_started=
run_win64() {
  if [ -z "$prefix64_started" ]; then
    WINEARCH=win64 scripts/wine-prefix.sh warm "$win64_dir/wineprefix"
    prefix64_started=1
  fi
  WINEARCH=win64 scripts/wine-run.sh "$win64_dir/wineprefix" "$@"
}
stop_prefix() {
  [ -n "$prefix_started" ] && scripts/wine-prefix.sh stop "$win32_dir/wineprefix"
  [ -n "$prefix64_started" ] && scripts/wine-prefix.sh stop "$win64_dir/wineprefix"
  return 0
}
trap stop_prefix EXIT

# ------------------------------------------------------------------ benchmarks

# The size of the program without an embedded installer (all its UI
# resources included), as shipped (sections page-aligned in the file) and with
# the linker's default file alignment; the size of each of its sections in
# memory and in the file; the DLLs it imports.
bench_size() {
  build_win32 bootstrapper_stub bootstrapper_unaligned
  local exe
  for exe in bootstrapper_stub bootstrapper_unaligned; do
    printf '%-26s %6d bytes\n' "$exe.exe" "$(stat -c %s "$win32_dir/bin/$exe.exe")"
  done
  echo "sections of bootstrapper_stub.exe (bytes: contents, in the file):"
  i686-w64-mingw32-objdump -h "$win32_dir/bin/bootstrapper_stub.exe" |
    while read -r index name size _ _ offset _; do
      [[ $index =~ ^[0-9]+$ ]] || continue
      printf '  %-8s %6d %6d\n' "$name" "$((16#$size))" "$(( (16#$size + 4095) / 4096 * 4096 ))"
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

# Whether this host runs 32-bit Windows programs, probed once; the reason
# is in WINE_PROBE_REASON when it does not.
host_runs_32bit=
runs_32bit() {
  if [ -z "$host_runs_32bit" ]; then
    . scripts/wine-arch.sh
    host_runs_32bit=yes
    runs_32bit_windows "$win32_dir/wineprefix" || host_runs_32bit=no
    prefix_started=  # the probe leaves no process of the prefix running
  fi
  [ "$host_runs_32bit" = yes ]
}

# ExtractFile of a 100 MiB resource against CopyFileA, the two ways of
# reading it back through RUN's hold, and the start-up cost of a program
# carrying it with file alignment 0x200 and 4096, under Wine. On a host that
# cannot run 32-bit programs, the 64-bit build's figures.
bench_extract() {
  if ! runs_32bit; then
    echo "this host cannot run 32-bit Windows programs ($WINE_PROBE_REASON): the 64-bit build's figures"
    build_win64 extract_bench
    run_win64 cmd /c exit  # warms the prefix
    WINEARCH=win64 bench/extract_bench.sh "$win64_dir"
    return
  fi
  build_win32 extract_bench
  run_win32 cmd /c exit  # warms the prefix
  bench/extract_bench.sh "$win32_dir"
}

# Side by side in one run: from an installer's start to the start of the
# 100 MiB program it carries and to its exit, for the shipped bootstrapper
# (and the same linked with the default file alignment), the floor (one
# CopyFileA and one start) and the peer, an NSIS installer doing the same
# job (bench/peer_installer.nsi) with its defaults (zlib, CRC check) and
# with neither; plus a small program started directly and by the
# bootstrapper. The peer is a 32-bit program: on a host that cannot run
# those, the 64-bit build's rows run alone. With LAUNCH_BEFORE=<revision>
# the stub built from that revision runs beside them
# (bootstrapper_before.exe), to show what a change costs in the same run.
bench_launch() {
  local reps=${LAUNCH_REPS:-15} before=()
  if ! runs_32bit; then
    echo "this host cannot run 32-bit Windows programs ($WINE_PROBE_REASON):"
    echo "no NSIS rows (the peer is a 32-bit program); the 64-bit build's rows only"
    build_win64 launch_bench
    make_big_program "$win64_dir/bin"
    [ -n "${LAUNCH_BEFORE:-}" ] && before=("$(build_stub_before win64 "$win64_dir/bin")")
    run_win64 "$win64_dir/bin/launch_bench.exe" "$reps" big_program.exe \
      "${before[@]}" bootstrapper_stub.exe bootstrapper_unaligned.exe
    return
  fi
  build_win32 launch_bench
  local bin=$win32_dir/bin nsi=$PWD/bench/peer_installer.nsi
  make_big_program "$bin"
  [ -n "${LAUNCH_BEFORE:-}" ] && before=("$(build_stub_before win32 "$bin")")
  makensis -V1 -DOUTPUT="$bin/nsis_default.exe" -DPROGRAM="$bin/big_program.exe" "$nsi"
  makensis -V1 -DOUTPUT="$bin/nsis_plain.exe" -DPROGRAM="$bin/big_program.exe" -DPLAIN "$nsi"
  makensis -V1 -DOUTPUT="$bin/nsis_empty.exe" "$nsi"
  makensis -V1 -DOUTPUT="$bin/nsis_empty_plain.exe" -DPLAIN "$nsi"
  echo "sizes without a program: bootstrapper_stub.exe $(stat -c %s "$bin/bootstrapper_stub.exe")," \
    "NSIS $(stat -c %s "$bin/nsis_empty.exe") (default), $(stat -c %s "$bin/nsis_empty_plain.exe")" \
    "(no compression, no CRC) bytes"
  run_win32 "$bin/launch_bench.exe" "$reps" big_program.exe \
    "${before[@]}" bootstrapper_stub.exe bootstrapper_unaligned.exe \
    "NSIS default (zlib, CRC check)=nsis_default.exe" \
    "NSIS, no compression, no CRC check=nsis_plain.exe"
}

# The stub of revision $LAUNCH_BEFORE, built with PRESET from a copy of that
# revision's tree (never this working tree), as bootstrapper_before.exe in
# BIN; prints that name.
build_stub_before() {
  local preset=$1 bin=$2 src=$build_root-before-src
  local dir=$build_root-before-$1
  local revision
  revision=$(git rev-parse --verify "$LAUNCH_BEFORE^{commit}")
  if [ "$(cat "$src/.revision" 2>/dev/null)" != "$revision" ]; then
    rm -rf "$src"
    mkdir -p "$src"
    git archive "$revision" | tar -x -C "$src"
    echo "$revision" >"$src/.revision"
  fi
  (cd "$src" && cmake --preset "$preset" -B "$dir" >/dev/null &&
    cmake --build "$dir" -j "$jobs" --target bootstrapper_stub >/dev/null)
  cp "$dir/bin/bootstrapper_stub.exe" "$bin/bootstrapper_before.exe"
  echo "before: bootstrapper_stub.exe of $(git log -1 --format='%h %s' "$revision" | cut -c1-60)" >&2
  echo bootstrapper_before.exe
}

# child_program.exe with 100 MiB of random bytes after its image (the loader
# ignores them, so it still runs), in DIR as big_program.exe.
make_big_program() {
  { cat "$1/child_program.exe"; head -c 104857600 /dev/urandom; } >"$1/big_program.exe"
}

# Milliseconds that a command takes, its output discarded.
wall_ms() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
# "best / median" of numbers.
best_median() {
  local sorted
  sorted=($(printf '%s\n' "$@" | sort -n))
  echo "${sorted[0]} / ${sorted[$((${#sorted[@]} / 2))]}"
}

# Packing a 100 MiB installer into the shipped program: the native
# payloadtool against the Windows one under Wine, in the same run, with the
# start of a Wine program alone for reference; and the packed size against
# the sum of its parts.
bench_pack() {
  build_native payloadtool
  build_win32 payloadtool bootstrapper_stub
  local dir=$build_root-pack reps=${PACK_REPS:-7}
  mkdir -p "$dir"
  [ -f "$dir/installer.bin" ] || head -c 104857600 /dev/urandom >"$dir/installer.bin"
  local stub=$win32_dir/bin/bootstrapper_stub.exe payload=$PWD/src/resources/payload.xml
  local notes=$PWD/demo/ReleaseNotes.txt
  local args=(--payload "$payload" --resource "LUMENO2_ADMIN.EXE=$dir/installer.bin"
              --resource "RELEASENOTES.TXT=$notes")
  rm -f "$dir/native.exe" "$dir/windows.exe"
  run_win32 cmd /c exit  # warms the prefix
  wine_run() { (. scripts/wine-env.sh "$win32_dir/wineprefix" && exec wine "$@"); }
  local native=() windows=() start=()
  for _ in $(seq "$reps"); do
    native+=("$(wall_ms "$native_dir/bin/payloadtool" pack "$stub" "$dir/native.exe" "${args[@]}")")
    windows+=("$(wall_ms wine_run "$win32_dir/bin/payloadtool.exe" pack "$stub" "$dir/windows.exe" "${args[@]}")")
    start+=("$(wall_ms wine_run cmd /c exit)")
  done
  printf 'pack, 100 MiB installer (ms, best / median of %d):\n' "$reps"
  printf '  native payloadtool           %s\n' "$(best_median "${native[@]}")"
  printf '  payloadtool.exe under Wine   %s\n' "$(best_median "${windows[@]}")"
  printf '  (a Wine program that does nothing: %s)\n' "$(best_median "${start[@]}")"
  if ! cmp -s "$dir/native.exe" "$dir/windows.exe"; then
    echo "bench.sh: the two payloadtools wrote different files (or none)" >&2
    return 1
  fi
  echo "  outputs byte-identical"
  local parts=$(($(stat -c %s "$stub") + $(stat -c %s "$payload") + $(stat -c %s "$notes") +
                 $(stat -c %s "$dir/installer.bin")))
  local packed=$(stat -c %s "$dir/native.exe")
  printf 'size: stub + payload + notes + installer %d bytes, packed %d bytes (%+d)\n' \
    "$parts" "$packed" "$((packed - parts))"
}

# "milliseconds peak-kilobytes exit-code" of a command, its output dropped:
# wall time and peak resident memory, by /usr/bin/time (GNU time).
time_and_memory() {
  local report start end kilobytes code
  report=$(mktemp)
  start=$(date +%s%N)
  /usr/bin/time -o "$report" -f '%M %x' "$@" >/dev/null 2>&1 || true
  end=$(date +%s%N)
  read -r kilobytes code < <(tail -n 1 "$report")
  rm -f "$report"
  echo "$(((end - start) / 1000000)) $kilobytes $code"
}

# The native payloadtool (Release, no sanitizers) on programs whose resources
# share long names (tests/e2e/hostile_programs.py) and on the shipped program
# carrying a 100 MiB installer: wall time and peak memory of show and pack,
# best / median of TOOL_REPS. BENCH_PAYLOADTOOL measures another build (an
# older one, say) on the same inputs.
bench_tool() {
  build_native payloadtool
  build_win32 bootstrapper_stub
  local tool=${BENCH_PAYLOADTOOL:-$native_dir/bin/payloadtool}
  local dir=$build_root-tool reps=${TOOL_REPS:-5} payload=$PWD/src/resources/payload.xml
  mkdir -p "$dir"
  python3 tests/e2e/hostile_programs.py amplify "$dir/amplify_400.exe" 400
  python3 tests/e2e/hostile_programs.py amplify "$dir/amplify_65535.exe" 65535
  python3 tests/e2e/hostile_programs.py amplify "$dir/distinct_65535.exe" 65535 --distinct
  [ -f "$dir/installer.bin" ] || head -c 104857600 /dev/urandom >"$dir/installer.bin"
  local files=(--resource "LUMENO2_ADMIN.EXE=$dir/installer.bin"
               --resource "RELEASENOTES.TXT=$PWD/demo/ReleaseNotes.txt")
  "$native_dir/bin/payloadtool" pack "$win32_dir/bin/bootstrapper_stub.exe" "$dir/installer.exe" \
    --payload "$payload" "${files[@]}" >/dev/null
  printf 'payloadtool %s, best / median of %d\n' "$tool" "$reps"
  printf '  %-46s %11s %9s %19s %s\n' command "bytes" ms "peak KB" "exit"
  local input command
  for input in amplify_400 amplify_65535 distinct_65535 installer; do
    for command in show pack; do
      local args=("$tool" show "$dir/$input.exe")
      [ "$command" = pack ] && args=("$tool" pack "$dir/$input.exe" "$dir/out.exe" --payload "$payload" --force)
      # The 100 MiB program is packed with its files again, as bench pack does.
      [ "$command/$input" = pack/installer ] && args+=("${files[@]}")
      local times=() peaks=() code=
      for _ in $(seq "$reps"); do
        read -r ms kb code < <(time_and_memory "${args[@]}")
        times+=("$ms")
        peaks+=("$kb")
      done
      printf '  %-46s %11d %9s %19s %s\n' "$command $input.exe" "$(stat -c %s "$dir/$input.exe")" \
        "$(best_median "${times[@]}")" "$(best_median "${peaks[@]}")" "$code"
    done
  done
  # What a run costs with nothing to read: a file that is not a program.
  read -r ms kb code < <(time_and_memory "$tool" show "$payload")
  printf '  %-46s %11d %9s %19s %s\n' "show of a text file (the floor)" "$(stat -c %s "$payload")" \
    "$ms" "$kb" "$code"
}

# A 100 MiB download from the loopback server with the dialog, hidden and
# with the plain platform call; the time from a cancel to the dialog's end;
# the publisher check. The dialog needs a display: a private Xvfb, with the
# program's windows unmanaged (no window manager to wait for). DOWNLOAD_REPS
# rounds; DOWNLOAD_PARTS picks parts (throughput cancel publisher). On a host
# that cannot run 32-bit programs, the 64-bit build's figures.
bench_download() {
  . scripts/wine-arch.sh
  local runs32=0 run=run_win32 dir=$win32_dir
  runs_32bit_windows "$win32_dir/wineprefix" || runs32=$?
  prefix_started=
  if [ "$runs32" != 0 ]; then
    echo "this host cannot run 32-bit Windows programs ($WINE_PROBE_REASON):"
    echo "the 64-bit build's figures"
    build_win64 download_bench
    run=run_win64 dir=$win64_dir
  else
    build_win32 download_bench
  fi
  . scripts/xvfb.sh
  start_xvfb
  $run reg add 'HKCU\Software\Wine\AppDefaults\download_bench.exe\X11 Driver' \
    /v Managed /d N /f >/dev/null
  local status=0
  # shellcheck disable=SC2086
  $run "$dir/bin/download_bench.exe" "${DOWNLOAD_REPS:-7}" ${DOWNLOAD_PARTS:-} || status=$?
  stop_xvfb
  return $status
}

# Tags on a signed 100 MiB program: payloadtool tag natively (Release), in
# each form, and TagExtractor on the tagged copies under Wine (the 64-bit
# build on a host that cannot run 32-bit programs).
bench_tag() {
  build_native payloadtool
  local build=build_win32 run=run_win32 dir=$win32_dir
  if ! runs_32bit; then
    echo "this host cannot run 32-bit Windows programs ($WINE_PROBE_REASON): the 64-bit build's figures"
    build=build_win64 run=run_win64 dir=$win64_dir
  fi
  $build tag_bench bootstrapper_stub
  local work=$build_root-tag reps=${TAG_REPS:-7} tool=$native_dir/bin/payloadtool
  mkdir -p "$work"
  [ -f "$work/installer.bin" ] || head -c 104857600 /dev/urandom >"$work/installer.bin"
  "$tool" pack "$dir/bin/bootstrapper_stub.exe" "$work/packed.exe" --payload src/resources/payload.xml \
    --resource "LUMENO2_ADMIN.EXE=$work/installer.bin" --force >/dev/null
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" \
    -days 30 -subj "/CN=Lumeno, Inc." 2>/dev/null
  rm -f "$work/signed.exe"
  osslsigncode sign -h sha256 -certs "$work/cert.pem" -key "$work/key.pem" -n "Lumeno Setup" \
    -in "$work/packed.exe" -out "$work/signed.exe" >/dev/null
  local inside=() after=()
  for _ in $(seq "$reps"); do
    inside+=("$(wall_ms "$tool" tag "$work/signed.exe" "$work/inside.exe" --data "campaign=spring&source=mail")")
    after+=("$(wall_ms "$tool" tag "$work/signed.exe" "$work/after.exe" --data "campaign=spring&source=mail" --after-blob)")
  done
  printf 'payloadtool tag, %d-byte signed program (ms, best / median of %d, native Release):\n' \
    "$(stat -c %s "$work/signed.exe")" "$reps"
  printf '  inside the signature   %s\n' "$(best_median "${inside[@]}")"
  printf '  after the blob         %s\n' "$(best_median "${after[@]}")"
  $run cmd /c exit  # warms the prefix
  local zafter="Z:${work//\//\\}\\after.exe" zinside="Z:${work//\//\\}\\inside.exe"
  $run "$dir/bin/tag_bench.exe" "${TAG_EXTRACT_REPS:-50}" "$zafter" "$zinside"
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
