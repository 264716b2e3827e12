"""Independent checks of installed chart bitmaps: Pillow decodes the chart
image of a .zrn file and the written bitmap, zipfile reads the update file,
and the records are parsed and applied here, without the program's code.

usage:
  verify_charts.py convert CHART.zrn OUT.bmp CELLTOP
  verify_charts.py update CHART.zrn UPDATE OUT.bmp CELLTOP
  verify_charts.py forms UPDATEFILE...
Prints "ok" or what differs; exits 1 on a difference.
"""
import io
import struct
import sys
import zipfile

from PIL import Image


def chart_image(path):
    data = open(path, "rb").read()
    assert data[:4] == b"ZRN2", path
    length = struct.unpack("<i", data[10:14])[0]
    im = Image.open(io.BytesIO(data[14:14 + length]))
    im.load()
    return im


def colours(im):
    return list(im.convert("RGB").getdata())


def read_update(path):
    with zipfile.ZipFile(path) as z:
        data = z.read("Data")
    assert data[:4] == b"BaZ1"
    edition, date = struct.unpack("<hd", data[4:14])
    palette = [tuple(data[14 + 3 * i:17 + 3 * i]) for i in range(256)]
    count = struct.unpack("<i", data[782:786])[0]
    pos = 786
    records = []
    end = 0
    for _ in range(max(count, 0)):
        flags = data[pos]
        pos += 1
        skip_width = 1 if not flags & 0x80 else (4 if flags & 0x40 else 2)
        skip = int.from_bytes(data[pos:pos + skip_width], "little")
        pos += skip_width
        length_width = {0: 0, 1: 1, 2: 2, 3: 4}[(flags >> 4) & 3]
        if length_width:
            length = int.from_bytes(data[pos:pos + length_width], "little")
            pos += length_width
        else:
            length = flags & 0x0F
        start = (end + skip) % 2 ** 32
        records.append((flags, skip, start, data[pos:pos + length]))
        pos += length
        end = (start + length) % 2 ** 32
    assert pos == len(data), "trailing bytes in the update stream"
    return edition, date, palette, records


def nearest_fn(palette):
    cache = {}

    def nearest(c):
        if c not in cache:
            best, best_d = 0, None
            for i, p in enumerate(palette):
                d = (p[0] - c[0]) ** 2 + (p[1] - c[1]) ** 2 + (p[2] - c[2]) ** 2
                if best_d is None or d < best_d:
                    best, best_d = i, d
            cache[c] = best
        return cache[c]

    return nearest


def compare(expected, out_path, width, height, cell_top, as_colours=False):
    out = Image.open(out_path)
    if out.mode != "P" or out.size != (width, height):
        return "written bitmap is %s %s" % (out.mode, out.size)
    got = colours(out) if as_colours else list(out.getdata())
    bad = [i for i in range(width * cell_top) if got[i] != expected[i]]
    if bad:
        i = bad[0]
        return "%d pixels differ above the stamp, first at %d,%d: %s instead of %s" % (
            len(bad), i % width, i // width, got[i], expected[i])
    return None


def convert(chart, out, cell_top):
    im = chart_image(chart)
    return compare(colours(im), out, im.size[0], im.size[1], cell_top, as_colours=True)


def update(chart, upd, out, cell_top):
    im = chart_image(chart)
    width, height = im.size
    _, _, palette, records = read_update(upd)
    nearest = nearest_fn(palette)
    # The chart re-coloured to the update's palette, as a 24-bit view.
    view = bytearray()
    for c in colours(im):
        p = palette[nearest(c)]
        view += bytes((p[2], p[1], p[0]))
    for _, _, start, data in records:
        for k, b in enumerate(data):
            p = start + k
            if p < len(view):
                view[p] = b
    expected = [nearest((view[i + 2], view[i + 1], view[i])) for i in range(0, len(view), 3)]
    return compare(expected, out, width, height, cell_top)


def forms(paths):
    seen = set()
    wrapped = False
    short = False
    for path in paths:
        _, _, _, records = read_update(path)
        end = 0
        for flags, skip, start, data in records:
            seen.add(flags & 0xF0 if flags & 0x80 else flags & 0x30)
            short |= (flags & 0x30) == 0 and len(data) > 0
            wrapped |= end + skip >= 2 ** 32
            end = (start + len(data)) % 2 ** 32
    want = {s | l for s in (0x00, 0x80, 0xC0) for l in (0x00, 0x10, 0x20, 0x30)}
    missing = sorted(want - seen)
    if missing or not wrapped or not short:
        return "missing forms %s, wrap %s, short lengths %s" % (
            [hex(m) for m in missing], wrapped, short)
    return None


def main():
    mode = sys.argv[1]
    if mode == "convert":
        problem = convert(sys.argv[2], sys.argv[3], int(sys.argv[4]))
    elif mode == "update":
        problem = update(sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5]))
    else:
        problem = forms(sys.argv[2:])
    print(problem or "ok")
    sys.exit(1 if problem else 0)


main()
