"""Writes a zip of a directory's files with nothing of the build machine in
it: entries sorted by name, every time the commit's (SOURCE_DATE_EPOCH, in
UTC), permissions kept, no owner, no access or change times.

Usage: sorted_zip.py DIRECTORY OUTPUT.zip EPOCH
"""
import os
import sys
import time
import zipfile


def main(directory, output, epoch):
    stamp = time.gmtime(max(int(epoch), 315532800))[:6]  # zip's times start in 1980
    names = []
    for root, _, files in os.walk(directory):
        for name in files:
            path = os.path.join(root, name)
            names.append(os.path.relpath(path, directory).replace(os.sep, "/"))
    with zipfile.ZipFile(output, "w") as archive:
        for name in sorted(names):
            path = os.path.join(directory, name)
            entry = zipfile.ZipInfo(name, stamp)
            entry.external_attr = (os.stat(path).st_mode & 0o777 | 0o100000) << 16
            entry.create_system = 3  # Unix, so that the permissions count
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as source:
                archive.writestr(entry, source.read(), compresslevel=9)


if __name__ == "__main__":
    main(*sys.argv[1:4])
