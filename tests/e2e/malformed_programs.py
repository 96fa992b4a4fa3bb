#!/usr/bin/env python3
"""Writes damaged copies of a program: its first resource type pointing back
at the resource root (a loop), or past the end of the resource section.
Usage: malformed_programs.py PROGRAM OUTDIR"""
import os
import struct
import sys

program, outdir = sys.argv[1], sys.argv[2]
data = open(program, "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
magic = struct.unpack_from("<H", data, pe + 24)[0]
rva = struct.unpack_from("<I", data, pe + 24 + (112 if magic == 0x20B else 96) + 16)[0]
for i in range(sections):
    _, size, address, _, raw = struct.unpack_from("<8sIIII", data, pe + 24 + optional_size + 40 * i)
    if address <= rva < address + size:
        root = raw + rva - address
for name, target in (("looping_directory", 0x80000000), ("directory_outside", 0xFFFFFFF0)):
    copy = bytearray(data)
    struct.pack_into("<I", copy, root + 20, target)
    open(os.path.join(outdir, name + ".exe"), "wb").write(copy)
