#!/usr/bin/env bash
# payloadtool built natively and for Windows, over the same inputs: the same
# output bytes, messages and exit codes for pack, show, tag and for damaged
# programs (which leave OUT as it was); real signatures by osslsigncode that
# still verify after tagging. It leaves in BUILD_DIR/packed what the Windows
# tests then check through the platform (WinVerifyTrust, the loader, the
# status window): signed, tagged and tampered copies of the bootstrapper, and
# a packed status probe.
# Usage: packed_programs.sh BUILD_DIR NATIVE_PAYLOADTOOL STRIPPED_STATUS_PROBE
set -euo pipefail
build=$(realpath "${1:?build directory}")
native=$(realpath "${2:?native payloadtool}")
probe=$(realpath "${3:?stripped status probe}")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
scripts=$here/../../scripts
out=$build/packed
prefix=$build/wineprefix
"$scripts/wine-prefix.sh" ensure "$prefix"
. "$scripts/wine-env.sh" "$prefix"
windows() { wine "$build/bin/payloadtool.exe" "$@"; }

rm -rf "$out" && mkdir -p "$out/windows" && cd "$out"
cp "$build/bin/bootstrapper.exe" stub.exe
head -c 300000 /dev/urandom >installer.bin
cat >payload.xml <<'XML'
<payload>
	<rootkey>HKEY_LOCAL_MACHINE</rootkey>
	<subkey>SOFTWARE\Korvex\Lumeno\Lumeno2</subkey>
	<installkey>InstallPath</installkey>
	<event><type>CREATEMUTEX</type><title>PackedSetupTest</title></event>
</payload>
XML

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
# both NAME ARGS...: runs both tools in this directory, output files of the
# Windows one under windows/ (ARGS name them with @ for that prefix).
both() {
  local name=$1; shift
  local nargs=() wargs=()
  for a in "$@"; do nargs+=("${a//@/}"); wargs+=("${a//@/windows/}"); done
  set +e
  "$native" "${nargs[@]}" >"$name.native.txt" 2>&1; echo $? >"$name.native.rc"
  # Windows writes standard error in text mode: line ends as CR LF.
  windows "${wargs[@]}" 2>&1 | sed 's#windows/##g; s#\r$##' >"$name.windows.txt"
  echo "${PIPESTATUS[0]}" >"$name.windows.rc"
  set -e
  check "$name: same exit code ($(cat "$name.native.rc"))" cmp -s "$name.native.rc" "$name.windows.rc"
  cmp -s "$name.native.txt" "$name.windows.txt" || diff "$name.native.txt" "$name.windows.txt" || true
  check "$name: same messages" cmp -s "$name.native.txt" "$name.windows.txt"
}
same_file() { check "$1 is byte-identical from both tools" cmp -s "$1" "windows/$1"; }
exit_code() { test "$(cat "$1.native.rc")" = "$2"; }
not() { ! "$@" >/dev/null 2>&1; }
says() { grep -qF -- "$2" "$1.native.txt"; }

both pack pack stub.exe @packed.exe --payload payload.xml --resource LUMENO2_ADMIN.EXE=installer.bin
check "pack succeeds" exit_code pack 0
same_file packed.exe
both show show packed.exe
check "show lists the packed installer" says show "LUMENO2_ADMIN            0x0000   300000"
check "an unsigned program has no tag" says show "tag: none (not signed)"
"$native" pack packed.exe again.exe --payload payload.xml --resource LUMENO2_ADMIN.EXE=installer.bin >/dev/null
check "packing a packed program again changes nothing" cmp -s packed.exe again.exe

# Damaged programs: a clear reason, and OUT as it was.
: >empty.exe
head -c 300 stub.exe >truncated_headers.exe
python3 "$here/malformed_programs.py" stub.exe .
for damaged in empty:"not a program (no DOS header)" truncated_headers:"truncated headers" \
    looping_directory:"malformed resources: a table is used twice" \
    directory_outside:"malformed resources: a table lies outside the resource section"; do
  IFS=: read -r name reason <<<"$damaged"
  echo previous >out.exe && echo previous >windows/out.exe
  both "$name" pack "$name.exe" @out.exe --payload payload.xml
  check "$name: refused, saying why" says "$name" "$name.exe: $reason"
  check "$name: OUT untouched" test "$(cat out.exe)$(cat windows/out.exe)" = previousprevious
done
check "no temporary files are left" test -z "$(ls -A . windows | grep -i pkt || true)"

# Crafted programs (hostile_cases.sh): the same refusals and escapes from both tools.
. "$here/hostile_cases.sh"
hostile_setup .
hostile_case() {
  local name=$1 code=$2 line=$3
  shift 3
  both "$name" "$@"
  check "$name: exit $code" exit_code "$name" "$code"
  check "$name: says [$line]" says "$name" "$line"
}
hostile_each hostile_case

# Sign with eight descriptions of consecutive lengths: the signature blob's
# length then takes every value modulo 8, and exactly one of them puts the
# place where the program reads a tag on the blob's last byte.
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 30 \
  -subj "/CN=Lumeno, Inc." 2>/dev/null
refused=0
for length in 0 1 2 3 4 5 6 7; do
  description="Lumeno Setup$(printf '%*s' "$length" '' | tr ' ' '.')"
  osslsigncode sign -h sha256 -certs cert.pem -key key.pem -n "$description" \
    -in packed.exe -out "signed$length.exe" >/dev/null
  echo previous >tagged.exe
  if "$native" tag "signed$length.exe" tagged.exe --data "campaign=spring&source=mail" \
      --after-blob >tag.txt 2>&1; then
    [ -f signed.exe ] || cp "signed$length.exe" signed.exe
  else
    refused=$((refused + 1))
    check "a blob ending on the tag's place is refused with a reason" grep -q "ends one byte after" tag.txt
    check "a refused tag leaves OUT untouched" test "$(cat tagged.exe)" = previous
    # Inside the signature, every blob length takes a tag.
    check "the same signature takes a tag inside it" \
      "$native" tag "signed$length.exe" tagged_inside_any.exe --data "campaign=spring" >/dev/null
  fi
done
check "exactly one of eight blob lengths is refused after the blob" test "$refused" = 1
verifies() { osslsigncode verify -CAfile cert.pem -in "$1" >/dev/null; }
check "osslsigncode verifies the signed program" verifies signed.exe
# tagged.exe inside the signature (the default), then re-tagged in the other
# form and back: each copy verifies and carries only its own tag.
both tag tag signed.exe @tagged.exe --data "campaign=spring&source=mail"
check "tag succeeds" exit_code tag 0
same_file tagged.exe
both showtag show tagged.exe
check "show prints the tag and its form" \
  says showtag "tag (27 bytes, in the signature): campaign=spring&source=mail"
both retag tag tagged.exe @retagged.exe --data "c=2" --after-blob
check "a second tag replaces the first, in the other form" says retag \
  "tagged retagged.exe with 3 bytes of data after the signature blob (replacing a tag of 27 bytes in the signature)"
both retag_back tag retagged.exe @retagged_back.exe --data "c=3"
check "a third replaces the second, back inside" says retag_back \
  "tagged retagged_back.exe with 3 bytes of data in the signature (replacing a tag of 3 bytes after the signature blob)"
both tag_after tag signed.exe @tagged_after.exe --data "campaign=spring&source=mail" --after-blob
both showtag_after show tagged_after.exe
check "show names the form after the blob" \
  says showtag_after "tag (27 bytes, after the signature blob): campaign=spring&source=mail"
for copy in tagged retagged retagged_back tagged_after; do
  same_file "$copy.exe"
  check "osslsigncode verifies $copy.exe" verifies "$copy.exe"
done
check "the first tag is gone from the re-tagged copies" \
  test "$(grep -ac 'campaign=spring' retagged.exe retagged_back.exe | grep -c ':0$')" = 2
both pack_signed pack signed.exe @repacked.exe --payload payload.xml
check "packing a signed program says the signature is gone" says pack_signed "signed.exe was signed"

for refusal in "unsigned:packed.exe:not signed" "not_a_program:payload.xml:not a program"; do
  IFS=: read -r name input reason <<<"$refusal"
  echo previous >out.exe && echo previous >windows/out.exe
  both "tag_$name" tag "$input" @out.exe --data "campaign=x"
  check "tag_$name: refused" exit_code "tag_$name" 2
  check "tag_$name: says why" says "tag_$name" "$reason"
  check "tag_$name: OUT untouched" test "$(cat out.exe)$(cat windows/out.exe)" = previousprevious
done
# A Windows command line holds at most 32767 characters: only the native tool
# can be handed more than 65535 bytes of data.
echo previous >out.exe
check "65536 bytes of data are refused" not "$native" tag signed.exe out.exe \
  --data "$(head -c 65536 /dev/zero | tr '\0' 'x')"
check "too much data leaves OUT untouched" test "$(cat out.exe)" = previous

# A signed copy with one byte of its code changed, for WinVerifyTrust.
cp signed.exe tampered.exe
printf '\x90' | dd of=tampered.exe bs=1 seek=$((0x500)) conv=notrunc status=none
# The status probe, packed, for the status window tests.
mkdir -p "$build/bin/packed"
"$native" pack "$probe" "$build/bin/packed/status_probe.exe" --payload payload.xml --force >/dev/null
check "the status probe packs" test -s "$build/bin/packed/status_probe.exe"

echo "$failures failures"
[ "$failures" = 0 ]
