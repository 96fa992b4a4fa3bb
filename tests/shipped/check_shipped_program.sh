#!/usr/bin/env bash
# Checks the shipped program as built, from its headers (no Wine): a PE32
# program for i386, GUI subsystem, at most 64 KiB without an installer,
# importing only DLLs that the system protects, ASLR (with relocations to
# move it) and DEP enabled.
# Usage: check_shipped_program.sh OBJDUMP PROGRAM.exe
set -uo pipefail
objdump=${1:?objdump of the cross toolchain}
program=${2:?program}
budget=65536

# DLLs loaded from the system directory whatever the search order: the
# KnownDLLs that Windows 7 to 11 all have, and ntdll. A program importing any
# other DLL loads whatever copy lies beside it.
protected=" advapi32 comdlg32 gdi32 imagehlp imm32 kernel32 msctf msvcrt normaliz nsi ntdll \
ole32 oleaut32 psapi sechost setupapi shell32 shlwapi user32 wldap32 ws2_32 "

if ! headers=$("$objdump" -p "$program" 2>&1); then
  echo "FAILED: $objdump cannot read $program: $headers"
  exit 1
fi
size=$(stat -c %s "$program")
field() { awk -v name="$1" '$1 == name { print $2; exit }' <<<"$headers"; }
# The size of data directory entry $1 (a hex digit), as a number.
directory_size() {
  local hex
  hex=$(awk -v entry="$1" '$1 == "Entry" && $2 == entry { print $4; exit }' <<<"$headers")
  echo $((16#${hex:-0}))
}
characteristics=$((16#$(field DllCharacteristics)))
imports=$(awk '/DLL Name:/ { print $3 }' <<<"$headers")

is_pe32_i386() { grep -q 'file format pei-i386$' <<<"$headers" && [ "$(field Magic)" = 010b ]; }
has_flag() { [ $((characteristics & $1)) != 0 ]; }
is_protected() { [[ $protected == *" $(tr '[:upper:]' '[:lower:]' <<<"${1%.*}") "* ]]; }

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
check "PE32 for i386 (file format pei-i386, magic 010b)" is_pe32_i386
check "GUI subsystem (2), is $(field Subsystem)" [ "$(field Subsystem)" = 00000002 ]
check "at most $budget bytes without an installer, is $size" [ "$size" -le $budget ]
check "ASLR: DYNAMIC_BASE (0x40) in DllCharacteristics $(field DllCharacteristics)" has_flag 0x40
check "ASLR: base relocations present" [ "$(directory_size 5)" != 0 ]
check "DEP: NX_COMPAT (0x100) in DllCharacteristics $(field DllCharacteristics)" has_flag 0x100
check "no delay-loaded imports" [ "$(directory_size d)" = 0 ]
check "the import table lists DLLs" [ -n "$imports" ]
for dll in $imports; do
  check "the imported $dll is a DLL the system protects" is_protected "$dll"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) of $program failed"
  exit 1
fi
