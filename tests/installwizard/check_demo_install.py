#!/usr/bin/python3
"""Checks an installed-charts folder against the chart-set archives it was
installed from, with Python's zip reader and Pillow only:

    check_demo_install.py ARCHIVES DEST [DPI...]

For every chart file in every archive of the given resolutions (default 120
and 240): the installed bitmap <chart>_<dpi>_2003.bmp exists, is RLE8
compressed, shows the chart's pixels except in the stamp line at the bottom,
and is dated with the chart entry's date. The ".chi" and ".bds" entries are
in DEST, unchanged and writable; no ".zrn" file is left in DEST.
Prints "ok <charts>" or the first fault; exit status 0 only for "ok".
"""
import glob
import io
import os
import struct
import sys
import time
import zipfile

from PIL import Image

STAMP_HEIGHT = 20


def archive_of(path):
    data = open(path, "rb").read()
    assert data[:4] == b"ZRA2", path
    n = max(struct.unpack_from("<i", data, 4)[0], 0)
    payload = bytes(b ^ 0xFF for b in data[24 + n:])
    return zipfile.ZipFile(io.BytesIO(payload))


def compare(installed_path, source_bmp):
    installed = Image.open(installed_path)
    if installed.info.get("compression") != 1:
        return "not RLE8"
    source = Image.open(io.BytesIO(source_bmp))
    if installed.size != source.size:
        return f"size {installed.size} instead of {source.size}"
    width, height = source.size
    a = installed.convert("RGB")
    b = source.convert("RGB")
    # Whole rows above the stamp must be equal byte for byte.
    top = height - STAMP_HEIGHT
    if a.crop((0, 0, width, top)).tobytes() != b.crop((0, 0, width, top)).tobytes():
        pa, pb = a.load(), b.load()
        for y in range(top):
            for x in range(width):
                if pa[x, y] != pb[x, y]:
                    return f"pixel {x},{y}: {pa[x, y]} instead of {pb[x, y]}"
    if a.tobytes() == b.tobytes():
        return "no stamp"
    return None


def main():
    archives, dest = sys.argv[1], sys.argv[2]
    dpis = sys.argv[3:] or ["120", "240"]
    charts = 0
    for path in sorted(glob.glob(os.path.join(archives, "*.zra"))):
        dpi = os.path.basename(path)[-7:-4]
        if dpi not in dpis:
            continue
        with archive_of(path) as archive:
            for info in archive.infolist():
                name, ext = os.path.splitext(info.filename)
                data = archive.read(info)
                if ext in (".chi", ".bds"):
                    target = os.path.join(dest, info.filename)
                    if open(target, "rb").read() != data:
                        print(f"{target}: differs")
                        return 1
                    if not os.stat(target).st_mode & 0o200:
                        print(f"{target}: read-only")
                        return 1
                    continue
                installed = os.path.join(dest, f"{name}_{dpi}_2003.bmp")
                if not os.path.exists(installed):
                    print(f"{installed}: missing")
                    return 1
                length = struct.unpack_from("<i", data, 10)[0]
                fault = compare(installed, data[14:14 + length])
                if fault:
                    print(f"{installed}: {fault}")
                    return 1
                date = time.localtime(os.path.getmtime(installed))[:6]
                wanted = tuple(info.date_time[:5]) + (info.date_time[5] // 2 * 2,)
                if tuple(date) != wanted:
                    print(f"{installed}: dated {date} instead of {wanted}")
                    return 1
                charts += 1
    left = [n for n in os.listdir(dest) if n.lower().endswith(".zrn")]
    if left:
        print(f"left over: {left}")
        return 1
    print(f"ok {charts}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
