#!/usr/bin/env bash
# The native payloadtool as a Linux user runs it: exit codes and key lines of
# check, what the reader prints kept out of the listing, pack's first
# reasons, the help of each command, the version and one-line usage errors. (pack, show and tag are compared with the Windows build in
# packed_programs.sh.)
# Usage: payloadtool_native_test.sh PAYLOADTOOL
set -uo pipefail
tool=$(realpath "${1:?payloadtool}")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

settings='<rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>S</subkey><installkey>I</installkey>'
printf '<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey></payload>' >"$work/layout.xml"
printf '<payload>%s<event><type>CREATEMUTEX</type><title>M</title></event><event><type>RUNAPPS</type></payload>' \
  "$settings" >"$work/unclosed.xml"
printf '<payload>%s<event><type>RUNAPPS</type></event><event><type>TEMPDELETE</type></event></payload>' \
  "$settings" >"$work/second.xml"
: >"$work/empty.xml"

failures=0
# expect EXIT_CODE LINE ARGUMENTS...: the exit code, and LINE among the output lines.
expect() {
  local code=$1 line=$2 status=0 output
  shift 2
  output=$("$tool" "$@" 2>&1) || status=$?
  if [ "$status" != "$code" ] || ! grep -qxF -- "$line" <<<"$output"; then
    echo "FAILED: payloadtool $*: expected exit $code and the line [$line], got exit $status:"
    echo "$output" | sed 's/^/  /'
    failures=$((failures + 1))
  else
    echo "ok: payloadtool $* -> $code, [$line]"
  fi
}
expect 0 'walk: completes, 6 events run' check "$here/../../src/resources/payload.xml"
expect 1 'error: Cant find subkey tag' check "$work/layout.xml"
expect 1 'walk: stops at event 2 ("TEMPDELETE")' check "$work/second.xml"
expect 0 'warning: event 2 is not closed: the walk ends there and still succeeds, and the run prints "Failed to get data for tag: <event>"' \
  check "$work/unclosed.xml"
expect 2 "payloadtool: $work/none.xml: no such file" check "$work/none.xml"
expect 2 "payloadtool: $work: not a file" check "$work"
expect 2 "payloadtool: $work/empty.xml: empty payload file (a run would fail with \"Could not extract PAYLOAD.XML\")" \
  check "$work/empty.xml"
expect 2 'payloadtool: check takes one payload file' check
expect 2 "payloadtool: $work/a.exe: no such file" pack "$work/a.exe" "$work/b.exe" \
  --payload "$here/../../src/resources/payload.xml"
# The seed is a bootstrapper built once with version 2.0.0.1.
expect 0 "version: 2.0.0.1" show "$here/../../fuzz/corpus/pe_resources/seed_pe32.exe"

# The version is the one cmake/Version.cmake sets.
version=$(sed -n 's/^set(BOOTSTRAPPER_VERSION \([0-9.]*\))$/\1/p' "$here/../../cmake/Version.cmake")
expect 0 "payloadtool $version" --version

# Each command's help, asked both ways: the same text, its usage line first,
# an example that runs the command.
for command in check pack show tag; do
  asked=$("$tool" help "$command" 2>&1) || asked="exit $?: $asked"
  flag=$("$tool" "$command" --help 2>&1) || flag="exit $?: $flag"
  if [[ $asked != "usage: payloadtool $command"* ]] || [ "$asked" != "$flag" ] ||
     ! grep -qx 'example:' <<<"$asked" || ! grep -q "^  payloadtool $command " <<<"$asked"; then
    echo "FAILED: help $command and $command --help: [$asked] and [$flag]"
    failures=$((failures + 1))
  else
    echo "ok: help $command, $command --help"
  fi
done
expect 0 'usage: payloadtool check PAYLOAD.xml' help
expect 0 '       payloadtool tag IN.exe OUT.exe --data TEXT [--after-blob]' --help
expect 0 'usage: payloadtool check PAYLOAD.xml' help --help

# A usage error: exit 2, one line on standard error saying what was wrong, nothing else.
usage_error() {  # usage_error LINE ARGUMENTS...
  local line=$1 status=0 out err
  shift
  out=$("$tool" "$@" 2>"$work/stderr") || status=$?
  err=$(cat "$work/stderr")
  if [ "$status" != 2 ] || [ -n "$out" ] || [ "$err" != "$line" ]; then
    echo "FAILED: payloadtool $*: expected exit 2 and only [$line] on stderr, got exit $status," \
         "stdout [$out], stderr [$err]"
    failures=$((failures + 1))
  else
    echo "ok: payloadtool $* -> 2, [$line]"
  fi
}
names='check, pack, show, tag'
usage_error "payloadtool: no command given ($names; payloadtool help shows them)"
usage_error "payloadtool: unknown command \"frob\" (the commands: $names; payloadtool help shows them)" frob
usage_error "payloadtool: no command \"frob\" (the commands: $names)" help frob
usage_error 'payloadtool: help takes one command' help pack tag
usage_error 'payloadtool: unknown option --help' pack a.exe --help
usage_error 'payloadtool: --data needs a value' tag in.exe out.exe --data
usage_error 'payloadtool: show takes one program file' show

# Crafted programs (hostile_cases.sh), and the generator still writing the
# committed ones byte for byte.
. "$here/hostile_cases.sh"
mkdir "$work/hostile" "$work/generated"
hostile_setup "$work/hostile"
hostile_case() {
  local name=$1 code=$2 line=$3
  shift 3
  (cd "$work/hostile" && expect "$code" "$line" "${@//@/}")
}
failures=$((failures + $(hostile_each hostile_case | tee /dev/stderr | grep -c '^FAILED')))
fuzz=$here/../../fuzz
python3 "$here/hostile_programs.py" regressions "$work/generated" "$fuzz/corpus/tag_block/tagged_pe32.exe"
for input in pe_resources/reloc_oob pe_resources/amplify_400 tag_block/tag_outside_cert; do
  cmp -s "$work/generated/${input#*/}.exe" "$fuzz/regressions/$input.exe" ||
    { echo "FAILED: hostile_programs.py no longer writes $input.exe"; failures=$((failures + 1)); }
done

# Shared names cost no more than the file: 65,535 resources under two names of
# 65,535 characters each (a 1.8 MB file; before, show held every name once for
# each resource and did not finish). Generous bounds for a sanitizer build.
python3 "$here/hostile_programs.py" amplify "$work/distinct.exe" 65535 --distinct
read -r seconds kilobytes status < <(python3 - "$tool" "$work/distinct.exe" <<'PY'
import resource, subprocess, sys, time
start = time.monotonic()
status = subprocess.run([sys.argv[1], "show", sys.argv[2]], stdout=subprocess.DEVNULL).returncode
print(f"{time.monotonic() - start:.1f}", resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss, status)
PY
)
if [ "$status" != 0 ] || [ "$kilobytes" -gt 400000 ] || awk "BEGIN{exit !($seconds > 30)}"; then
  echo "FAILED: show of 65535 resources under long names: exit $status, $seconds s, $kilobytes KB (at most 30 s and 400000 KB)"
  failures=$((failures + 1))
else
  echo "ok: show of 65535 resources under long names: $seconds s, $kilobytes KB peak"
fi

# The line the reader prints for the unclosed event appears only inside the warning.
if "$tool" check "$work/unclosed.xml" 2>&1 | grep -q '^Failed to get data'; then
  echo "FAILED: the reader's own line reached the listing"
  failures=$((failures + 1))
fi
[ "$failures" -eq 0 ]
