#!/usr/bin/env bash
# Makes the seed programs of the PE fuzzers: the smallest program carrying the
# bootstrapper's resources, as PE32 and PE32+, and signed (osslsigncode, a
# throwaway openssl certificate) and tagged copies of each, the tag after the
# blob and inside the signature. The seeds are kept in the tree; run this
# again when the program's resources change. With --tags, only the copies
# tagged inside the signature are made again, from the signed seeds in the
# tree (the signatures, and so the inputs made from them, stay as they are).
# Usage: fuzz/make_seeds.sh NATIVE_PAYLOADTOOL [--tags]
set -euo pipefail
payloadtool=$(realpath "${1:?native payloadtool}")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
resources=$here/../src/resources
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The seeds of the reader of the tag inside the signature, from the signed ones.
tag_inside() {
  mkdir -p "$here/corpus/signed_data_tag"
  for name in pe32 pe32plus; do
    "$payloadtool" tag "$here/corpus/tag_block/signed_$name.exe" \
      "$here/corpus/tag_block/tagged_inside_$name.exe" --data "campaign=seed&source=$name" >/dev/null
    for kind in signed tagged tagged_inside; do
      cp "$here/corpus/tag_block/${kind}_$name.exe" "$here/corpus/signed_data_tag/"
    done
  done
}
if [ "${2:-}" = --tags ]; then
  tag_inside
  exit 0
fi

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" \
  -days 3650 -subj "/CN=Lumeno, Inc." 2>/dev/null
for arch in i686:_Start:pe32 x86_64:Start:pe32plus; do
  IFS=: read -r cpu entry name <<<"$arch"
  "$cpu-w64-mingw32-windres" -I "$resources" "$resources/bootstrapper.rc" -O coff -o "$work/$name.o"
  "$cpu-w64-mingw32-gcc" -Os -nostdlib -e "$entry" -mwindows -s -Wl,--dynamicbase \
    "$here/seeds/seed_program.c" "$work/$name.o" -o "$here/corpus/pe_resources/seed_$name.exe"
  # A description of another length changes the blob's length: one in eight
  # lengths leaves no place for a tag.
  for description in "Seed" "Seed."; do
    osslsigncode sign -h sha256 -certs "$work/cert.pem" -key "$work/key.pem" -n "$description" \
      -in "$here/corpus/pe_resources/seed_$name.exe" -out "$work/signed_$name.exe" >/dev/null
    if "$payloadtool" tag "$work/signed_$name.exe" "$work/tagged_$name.exe" \
        --data "campaign=seed&source=$name" >/dev/null; then
      break
    fi
  done
  for kind in signed tagged; do
    cp "$work/${kind}_$name.exe" "$here/corpus/tag_block/${kind}_$name.exe"
  done
  cp "$work/tagged_$name.exe" "$here/corpus/pe_resources/tagged_$name.exe"
done
tag_inside
