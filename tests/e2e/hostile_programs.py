#!/usr/bin/env python3
"""Writes crafted programs that payloadtool and the tag reader must refuse or
read safely.

  hostile_programs.py regressions OUTDIR TAGGED_PE32
      the three regression inputs, byte for byte (fuzz/regressions holds them):
      reloc_oob.exe (1,024 bytes), amplify_400.exe (141,312 bytes) and
      tag_outside_cert.exe (18,408 bytes, from TAGGED_PE32, the tagged seed)
  hostile_programs.py amplify OUT LANGUAGES [--distinct]
      one type and one name with 65,535-character names, then LANGUAGES
      language entries; the names share one string unless --distinct
  hostile_programs.py seeds OUTDIR
      small programs of the same shapes for the PE fuzzer's corpus
"""
import struct
import sys

SECTION_ALIGNMENT = 0x1000
FILE_ALIGNMENT = 0x200
HEADERS_SIZE = 0x200
PE_AT = 0x40
DATA_SECTION = 0x40000040  # initialized data, readable
RELOC_SECTION = 0x42000040  # the same, discardable
HIGH = 0x80000000


def align(value, alignment):
    return (value + alignment - 1) // alignment * alignment


def pe32(sections, directories):
    """A PE32 program. sections: (name, virtual size, rva, raw bytes or
    None, raw offset when None, raw size when None); directories: {index:
    (rva, size)}. Raw bytes are placed one after another from the end of the
    headers, each padded to the file alignment."""
    headers = bytearray(HEADERS_SIZE)
    headers[0:2] = b"MZ"
    struct.pack_into("<I", headers, 0x3C, PE_AT)
    optional_size = 224
    struct.pack_into("<4sHHIIIHH", headers, PE_AT, b"PE\0\0", 0x14C, len(sections), 0, 0, 0,
                     optional_size, 0x0102)
    image_end = max(rva + align(size, SECTION_ALIGNMENT) for _, size, rva, *_ in sections)
    optional = PE_AT + 24
    struct.pack_into("<HBBIIIIII", headers, optional, 0x10B, 2, 0, 0, 0, 0, 0, 0x1000, 0x1000)
    struct.pack_into("<IIIHHHHHHIIIIHHIIIIII", headers, optional + 28, 0x400000,
                     SECTION_ALIGNMENT, FILE_ALIGNMENT, 4, 0, 0, 0, 4, 0, 0, image_end,
                     HEADERS_SIZE, 0, 2, 0x0140, 0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
    for index, (rva, size) in directories.items():
        struct.pack_into("<II", headers, optional + 96 + 8 * index, rva, size)
    body = bytearray()
    table = optional + optional_size
    for i, (name, virtual_size, rva, raw, raw_offset, raw_size) in enumerate(sections):
        characteristics = RELOC_SECTION if name == b".reloc" else DATA_SECTION
        if raw is not None:
            raw_offset = HEADERS_SIZE + len(body)
            raw_size = align(len(raw), FILE_ALIGNMENT)
            body += raw + bytes(raw_size - len(raw))
        struct.pack_into("<8sIIII12xI", headers, table + 40 * i, name, virtual_size, rva, raw_size,
                         raw_offset, characteristics)
    return bytes(headers + body)


def table(named, numbered, entries):
    """A resource directory table and its entries (key field, target field)."""
    return struct.pack("<12xHH", named, numbered) + b"".join(
        struct.pack("<II", key, target) for key, target in entries)


def amplifying_resources(languages, distinct, name_length=0xFFFF):
    """One named type, one named name, `languages` language entries with empty
    data; the type and the name point at one name string (or two)."""
    name_table = 24
    language_table = 48
    data_entries = language_table + 16 + 8 * languages
    type_name = data_entries + 16 * languages
    string = struct.pack("<H", name_length) + b"A\0" * name_length
    name_name = type_name + len(string) if distinct else type_name
    resources = table(1, 0, [(HIGH | type_name, HIGH | name_table)])
    resources += table(1, 0, [(HIGH | name_name, HIGH | language_table)])
    resources += table(0, languages, [(language, data_entries + 16 * language)
                                      for language in range(languages)])
    resources += bytes(16 * languages)  # data entries: no data
    resources += string + (string.replace(b"A\0", b"B\0") if distinct else b"")
    return resources


def resource_program(resources, relocations=None, directory_size=None):
    """resources in .rsrc at 0x1000; relocations (bytes, or (virtual size,
    raw offset) for a section without file data) in .reloc after it."""
    rsrc_rva = 0x1000
    sections = [(b".rsrc", len(resources), rsrc_rva, resources, 0, 0)]
    directories = {2: (rsrc_rva, directory_size or len(resources))}
    if relocations is not None:
        reloc_rva = rsrc_rva + align(len(resources), SECTION_ALIGNMENT)
        if isinstance(relocations, tuple):
            virtual_size, raw_offset = relocations
            sections.append((b".reloc", virtual_size, reloc_rva, None, raw_offset, 0))
        else:
            virtual_size = len(relocations)
            sections.append((b".reloc", virtual_size, reloc_rva, relocations, 0, 0))
        directories[5] = (reloc_rva, virtual_size)
    return pe32(sections, directories)


def reloc_oob():
    """An empty resource directory, then relocations whose section has no file
    data and a raw offset far past the end of the file."""
    return resource_program(bytes(0x200), relocations=(0x10, 0xFFFFFF00), directory_size=0x10)


def tag_outside_cert(tagged):
    """The tagged seed with a certificate table of size 0 and a first
    certificate of 12 bytes: the tag lies outside both."""
    data = bytearray(tagged)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    entry = pe + 24 + 96 + 8 * 4
    certificate = struct.unpack_from("<I", data, entry)[0]
    struct.pack_into("<I", data, entry + 4, 0)
    struct.pack_into("<I", data, certificate, 12)
    return bytes(data)


def relocation_block():
    """One page of relocations, two entries."""
    return struct.pack("<IIHH", 0x1000, 12, 0x3010, 0x3014)


def seeds():
    """Small programs for the fuzzer: resources followed by relocations (with
    and without file data), and names shared between entries."""
    shared = amplifying_resources(16, distinct=False, name_length=8)
    distinct = amplifying_resources(16, distinct=True, name_length=8)
    return {
        "relocations_after_resources.exe": resource_program(shared, relocation_block()),
        "relocations_without_data.exe": resource_program(shared, relocations=(0x10, 0)),
        "distinct_names.exe": resource_program(distinct, relocation_block()),
    }


def write(path, data):
    with open(path, "wb") as out:
        out.write(data)


def main(argv):
    if len(argv) >= 4 and argv[1] == "regressions":
        outdir, tagged = argv[2], open(argv[3], "rb").read()
        write(f"{outdir}/reloc_oob.exe", reloc_oob())
        write(f"{outdir}/amplify_400.exe", resource_program(amplifying_resources(400, False)))
        write(f"{outdir}/tag_outside_cert.exe", tag_outside_cert(tagged))
    elif len(argv) >= 4 and argv[1] == "amplify":
        resources = amplifying_resources(int(argv[3]), "--distinct" in argv[4:])
        write(argv[2], resource_program(resources))
    elif len(argv) == 3 and argv[1] == "seeds":
        for name, data in seeds().items():
            write(f"{argv[2]}/{name}", data)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
