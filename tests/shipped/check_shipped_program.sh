#!/usr/bin/env bash
# Checks the shipped program as built, from its headers (no Wine): a PE32
# program for i386, GUI subsystem, at most 64 KiB without an installer,
# importing only DLLs that the system protects, ASLR (with relocations to
# move it) and DEP enabled, no section both writable and executable, no time
# stamp (a build is reproducible), and sections page-aligned in the file (so
# that Wine maps a large resource section instead of reading it whole: file
# alignment 4096).
# For the x86-64 build of the same sources (ARCH x86-64) it checks the same
# flags, high-entropy ASLR besides, but not the format and size of the
# shipped program.
# Usage: check_shipped_program.sh OBJDUMP PROGRAM.exe [i386|x86-64]
set -uo pipefail
objdump=${1:?objdump of the cross toolchain}
program=${2:?program}
arch=${3:-i386}
budget=65536
page=4096

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
is_pe32plus_x86_64() {
  grep -q 'file format pei-x86-64$' <<<"$headers" && [ "$(field Magic)" = 020b ]
}

# Little-endian unsigned fields read from the file itself.
le() {  # le OFFSET BYTES
  od -A n -t "u$2" -j "$1" -N "$2" --endian=little "$program" | tr -d ' '
}
pe=$(le 60 4)
section_count=$(le $((pe + 6)) 2)
section_table=$((pe + 24 + $(le $((pe + 20)) 2)))
timestamp=$(le $((pe + 8)) 4)
file_alignment=$(le $((pe + 24 + 36)) 4)
# Sections with IMAGE_SCN_MEM_EXECUTE (0x20000000) and IMAGE_SCN_MEM_WRITE
# (0x80000000) both.
writable_code=
for ((i = 0; i < section_count; i++)); do
  at=$((section_table + 40 * i))
  name=$(dd if="$program" bs=1 skip="$at" count=8 status=none | tr -d '\0')
  flags=$(le $((at + 36)) 4)
  if [ $((flags & 0xA0000000)) = $((0xA0000000)) ]; then writable_code+=" $name"; fi
done
has_flag() { [ $((characteristics & $1)) != 0 ]; }
is_protected() { [[ $protected == *" $(tr '[:upper:]' '[:lower:]' <<<"${1%.*}") "* ]]; }

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
if [ "$arch" = x86-64 ]; then
  check "PE32+ for x86-64 (file format pei-x86-64, magic 020b)" is_pe32plus_x86_64
else
  check "PE32 for i386 (file format pei-i386, magic 010b)" is_pe32_i386
fi
check "GUI subsystem (2), is $(field Subsystem)" [ "$(field Subsystem)" = 00000002 ]
if [ "$arch" = i386 ]; then
  check "at most $budget bytes without an installer, is $size" [ "$size" -le $budget ]
fi
check "ASLR: DYNAMIC_BASE (0x40) in DllCharacteristics $(field DllCharacteristics)" has_flag 0x40
check "ASLR: base relocations present" [ "$(directory_size 5)" != 0 ]
if [ "$arch" = x86-64 ]; then
  check "ASLR: HIGH_ENTROPY_VA (0x20) in DllCharacteristics $(field DllCharacteristics)" \
    has_flag 0x20
fi
check "DEP: NX_COMPAT (0x100) in DllCharacteristics $(field DllCharacteristics)" has_flag 0x100
check "no section both writable and executable:${writable_code:- none}" [ -z "$writable_code" ]
check "no time stamp in the file header (reproducible), is $timestamp" [ "$timestamp" = 0 ]
check "file alignment $page, is $file_alignment" [ "$file_alignment" = $page ]
check "no delay-loaded imports" [ "$(directory_size d)" = 0 ]
check "the import table lists DLLs" [ -n "$imports" ]
for dll in $imports; do
  check "the imported $dll is a DLL the system protects" is_protected "$dll"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) of $program failed"
  exit 1
fi
