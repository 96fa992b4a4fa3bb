# Crafted programs and what payloadtool makes of them: a message and an exit
# code, never an abort, and nothing from the file printed raw. Sourced by
# payloadtool_native_test.sh (the native build under ASan and UBSan) and by
# packed_programs.sh (the native and the Windows tool side by side).
#
#   hostile_setup DIR      copies the inputs of the cases into DIR
#   hostile_each FUNCTION  calls FUNCTION NAME EXIT LINE ARGUMENTS... for each
#                          case, to run in DIR; LINE is a line of the output,
#                          and an output file's name begins with @ (the
#                          Windows tool's outputs go elsewhere)

hostile_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

hostile_setup() {
  cp "$hostile_root/fuzz/regressions/pe_resources/reloc_oob.exe" \
     "$hostile_root/fuzz/regressions/pe_resources/amplify_400.exe" \
     "$hostile_root/fuzz/regressions/tag_block/tag_outside_cert.exe" \
     "$hostile_root/fuzz/corpus/tag_block/signed_pe32.exe" "$1/"
  printf '<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>S</subkey><installkey>I</installkey><event><type>CREATEMUTEX</type><title>M</title></event></payload>' \
    >"$1/hostile.xml"
  # A payload whose title would set the terminal window's title.
  printf '<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey><subkey>S</subkey><installkey>I</installkey>\n\t<event><type>CREATEMUTEX</type><title>\e]0;owned\a\rM</title></event></payload>' \
    >"$1/escape.xml"
}

hostile_each() {
  local each=$1
  local unreadable='section .reloc lies past the end of the file (truncated?)'
  local shared='malformed resources: names shared by many entries add up to more bytes than the resource section holds'
  "$each" reloc_oob_pack 2 "payloadtool: reloc_oob.exe: $unreadable" \
    pack reloc_oob.exe @out.exe --payload hostile.xml
  "$each" reloc_oob_show 2 "payloadtool: reloc_oob.exe: $unreadable" show reloc_oob.exe
  "$each" amplify_pack 2 "payloadtool: amplify_400.exe: $shared" \
    pack amplify_400.exe @out.exe --payload hostile.xml
  "$each" amplify_show 2 "payloadtool: amplify_400.exe: $shared" show amplify_400.exe
  "$each" tag_outside_show 0 'tag: none (not signed)' show tag_outside_cert.exe
  "$each" tag_outside_tag 2 \
    'payloadtool: tag_outside_cert.exe: not signed (no certificate table): sign it first, then tag it' \
    tag tag_outside_cert.exe @out.exe --data x
  # A tag that would recolour the terminal and ring its bell, then the same shown.
  "$each" escape_tag 0 'tagged escape.exe with 14 bytes of data in the signature' \
    tag signed_pe32.exe @escape.exe --data $'\e[31mred\e[0m\a\x7f'
  "$each" escape_show 0 'tag (14 bytes, in the signature): \x1B[31mred\x1B[0m\x07\x7F' show @escape.exe
  "$each" escape_pack 0 'packed escape_payload.exe' \
    pack signed_pe32.exe @escape_payload.exe --payload escape.xml
  "$each" escape_payload 0 \
    $'\t<event><type>CREATEMUTEX</type><title>\\x1B]0;owned\\x07\\x0DM</title></event></payload>' \
    show @escape_payload.exe
}
