"""Writes BMP files in the formats a chart file can hold, and beside each
the pixels Pillow decodes from it (raw RGB, rows top to bottom), so that our
reader is checked against an independent decoder.

usage: make_bmp_cases.py OUTDIR
"""
import os
import random
import struct
import sys

from PIL import Image

rng = random.Random(4711)


def palette(count):
    return [(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(count)]


def chartlike(width, height, colours):
    """Rows with long runs and some noise, as charts have."""
    rows = []
    for y in range(height):
        row = []
        x = 0
        while x < width:
            run = rng.choice([1, 1, 2, 3, 7, 20, 300])
            value = rng.randrange(colours)
            row.extend([value] * min(run, width - x))
            x += run
        rows.append(row)
    return rows


def pack_row(row, bits):
    out = bytearray()
    per = 8 // bits
    for i in range(0, len(row), per):
        b = 0
        for k in range(per):
            v = row[i + k] if i + k < len(row) else 0
            b |= v << (8 - bits * (k + 1))
        out.append(b)
    while len(out) % 4:
        out.append(0)
    return bytes(out)


def rle8_row(row):
    out = bytearray()
    i = 0
    while i < len(row):
        j = i
        while j < len(row) and row[j] == row[i] and j - i < 255:
            j += 1
        if j - i >= 3 or len(row) - i < 3:
            out += bytes([j - i, row[i]])
            i = j
            continue
        j = i
        while j < len(row) and j - i < 255 and not (j + 2 < len(row) and row[j] == row[j + 1] == row[j + 2]):
            j += 1
        n = j - i
        if n < 3:
            out += bytes([1, row[i]])
            i += 1
            continue
        out += bytes([0, n]) + bytes(row[i:j])
        if n % 2:
            out.append(0)
        i = j
    return bytes(out)


def rle4_row(row):
    out = bytearray()
    i = 0
    while i < len(row):
        j = i
        while j < len(row) and row[j] == row[i] and j - i < 255:
            j += 1
        if j - i >= 4 or len(row) - i < 3:
            out += bytes([j - i, (row[i] << 4) | row[i]])
            i = j
            continue
        n = min(len(row) - i, rng.choice([3, 5, 8]))
        chunk = row[i:i + n] + [0]
        data = bytes((chunk[k] << 4) | chunk[k + 1] for k in range(0, n, 2))
        out += bytes([0, n]) + data
        if len(data) % 2:
            out.append(0)
        i += n
    return bytes(out)


def write_bmp(path, width, height, bits, pal, rows, compression=0, top_down=False, core=False):
    if bits == 24:
        body = b"".join(
            (bytes(c for px in row for c in (px[2], px[1], px[0])) + b"\0" * ((-3 * width) % 4))
            for row in reversed(rows))
    elif compression == 1:
        body = b"".join(rle8_row(row) + b"\0\0" for row in reversed(rows)) + b"\0\1"
    elif compression == 2:
        body = b"".join(rle4_row(row) + b"\0\0" for row in reversed(rows)) + b"\0\1"
    else:
        order = rows if top_down else list(reversed(rows))
        body = b"".join(pack_row(row, bits) for row in order)
    if core:
        info = struct.pack("<IHHHH", 12, width, height, 1, bits)
        pal_bytes = b"".join(bytes([b, g, r]) for r, g, b in pal)
    else:
        h = -height if top_down else height
        info = struct.pack("<IiiHHIIiiII", 40, width, h, 1, bits, compression, len(body), 2835,
                           2835, len(pal) if bits <= 8 else 0, 0)
        pal_bytes = b"".join(bytes([b, g, r, 0]) for r, g, b in pal)
    offset = 14 + len(info) + len(pal_bytes)
    data = b"BM" + struct.pack("<IHHI", offset + len(body), 0, 0, offset) + info + pal_bytes + body
    with open(path, "wb") as f:
        f.write(data)


def case(outdir, name, width, height, bits, compression=0, top_down=False, core=False,
         colours=None):
    colours = colours or (1 << bits if bits <= 8 else 0)
    pal = palette(colours) if bits <= 8 else []
    if bits == 24:
        rows = [[(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(width)]
                for _ in range(height)]
    else:
        rows = chartlike(width, height, colours)
    path = os.path.join(outdir, name + ".bmp")
    write_bmp(path, width, height, bits, pal, rows, compression, top_down, core)
    if bits == 24:
        expected = bytes(c for row in rows for px in row for c in px)
    else:
        expected = bytes(c for row in rows for v in row for c in pal[v])
    # Pillow 9.4 misreads absolute runs of RLE4: there the source pixels alone
    # are the reference.
    if compression != 2:
        with Image.open(path) as im:
            rgb = im.convert("RGB")
            assert rgb.size == (width, height)
            assert rgb.tobytes() == expected, name
    with open(os.path.join(outdir, name + ".rgb"), "wb") as f:
        f.write(expected)


def main():
    out = sys.argv[1]
    case(out, "bits1", 37, 11, 1)
    case(out, "bits4", 29, 13, 4)
    case(out, "bits4_12colours", 30, 9, 4, colours=12)
    case(out, "bits8", 61, 17, 8, colours=40)
    case(out, "bits8_topdown", 33, 7, 8, top_down=True, colours=64)
    case(out, "bits24", 19, 5, 24)
    case(out, "core8", 21, 6, 8, core=True)
    case(out, "core1", 70, 3, 1, core=True)
    case(out, "rle8", 600, 25, 8, compression=1, colours=50)
    case(out, "rle4", 123, 19, 4, compression=2)


main()
