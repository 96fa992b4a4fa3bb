#!/usr/bin/env bash
# Runs every fuzz target, one after another, for SECONDS each (default 300),
# from its seed corpus (fuzz/corpus/<name>), its regression inputs
# (fuzz/regressions/<name>) and what earlier runs found (the build's corpus),
# with its dictionary fuzz/<name>.dict and the flags in fuzz/<name>.options
# when it has them.
# An input that crashes a target, leaks or times out is copied into
# fuzz/regressions/<name>/, which scripts/test.sh replays from then on: mend
# the fault, then commit the input with the fix. Prints executions and
# findings per target; non-zero when anything was found.
# Usage: scripts/fuzz.sh [SECONDS]   (FUZZ_TARGETS="src_name tag_block" for fewer)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
case $seconds in '' | *[!0-9]*) echo "fuzz.sh: SECONDS is a whole number, not '$seconds'" >&2; exit 2 ;; esac
targets=(${FUZZ_TARGETS:-tag_reader tag_block signed_data_tag pe_resources src_name command_line})

PRESETS=native scripts/build.sh >/dev/null
bin=build/native/bin
work=build/native/fuzz
status=0
printf '%-14s %8s %14s %10s  %s\n' target seconds executions "exec/s" findings
for name in "${targets[@]}"; do
  fuzzer=$bin/fuzz_$name
  [ -x "$fuzzer" ] || { echo "fuzz.sh: no fuzz target $name ($fuzzer)" >&2; exit 2; }
  corpus=$work/corpus/$name
  artifacts=$work/artifacts/$name
  regressions=fuzz/regressions/$name
  # Inputs found in this run wait here: replayed from the start, an input
  # whose fault is not mended yet would end every later run at once.
  found_dir=$work/found/$name
  mkdir -p "$corpus" "$artifacts" "$regressions" "$found_dir"
  rm -f "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/timeout-* "$artifacts"/oom-*
  rm -f "$found_dir"/*
  log=$work/fuzz_$name.log
  : >"$log"
  flags=()
  [ -f "fuzz/$name.dict" ] && flags+=(-dict="fuzz/$name.dict")
  [ -f "fuzz/$name.options" ] && read -ra options <"fuzz/$name.options" && flags+=("${options[@]}")
  # One process: the machine is shared. After a finding libFuzzer stops;
  # go on from the same corpus until the time is used up.
  start=$(date +%s)
  executions=0
  while :; do
    left=$((seconds - ($(date +%s) - start)))
    [ "$left" -gt 0 ] || break
    ASAN_OPTIONS=quarantine_size_mb=64 "$fuzzer" -max_total_time="$left" -timeout=10 \
      -rss_limit_mb=1024 -print_final_stats=1 -artifact_prefix="$artifacts/" "${flags[@]}" \
      "$corpus" "fuzz/corpus/$name" "$regressions" >>"$log" 2>&1 || true
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    executions=$((executions + ${runs:-0}))
    # A run that ended without its final statistics, and without leaving an
    # input behind, would loop for ever.
    if [ -z "$runs" ] && ! ls "$artifacts"/* >/dev/null 2>&1; then
      echo "fuzz.sh: fuzz_$name ended without statistics; see $log" >&2
      status=1
      break
    fi
    ls "$artifacts"/* >/dev/null 2>&1 || break  # ran its time without a finding
    mv "$artifacts"/* "$found_dir/"
  done
  found=$(ls "$found_dir" | wc -l)
  [ "$found" -eq 0 ] || mv "$found_dir"/* "$regressions/"
  elapsed=$(($(date +%s) - start))
  rate=$((executions / (elapsed > 0 ? elapsed : 1)))
  printf '%-14s %8d %14d %10d  %s\n' "$name" "$elapsed" "$executions" "$rate" \
    "$([ "$found" -eq 0 ] && echo none || echo "$found new input(s) in $regressions, see $log")"
  [ "$found" -eq 0 ] || status=1
done
exit $status
