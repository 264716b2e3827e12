#!/usr/bin/python3
"""Writes chart-set archives (.zra) for the installation tests, with Python's
own zip writer and Pillow, independent of the program's writers.

    make_chart_sets.py OUTDIR LAYOUT.json

LAYOUT: {"sets": [{"prefix": "1801", "name": "1801 Waddenzee", "edition": 2003,
                 "resolutions": [120, 240], "charts": ["180101", ...],
                 "width": 320, "height": 200,
                 "chi_readonly": true, "extra": {"NAME": "text"},
                 "damage": "180102", "upper_prefix": false,
                 "updates": {"180105F": "180105f"}}]}

Besides the archives, OUTDIR/source/<chart>_<dpi>.bmp holds each chart image
as stored, and OUTDIR/dates.json the date each chart entry carries.
"updates" names the charts that get an update at each resolution of the
set, with the name the update files carry: OUTDIR/pub/baz/2003/<name>.<dpi>
(a zip archive with the entry "Data", written here from the format's own
description), and OUTDIR/pub/baz/2003/baz.idx lists them all.
"""
import io
import json
import os
import random
import struct
import sys
import zipfile

from PIL import Image

NNZK = {"1014": 1, "2322": 2, "2593": 3, "3371": 4}


def chart_code(name):
    """Chart code of a name of the "18" or "NNZK_" series."""
    if name.upper().startswith("NNZK_"):
        return (2 << 24) | (NNZK[name[5:]] << 16)
    assert name.startswith("18") and len(name) in (6, 7, 8), name
    code = (int(name[2:4]) << 16) | (int(name[4:6]) << 8)
    if len(name) >= 7:
        code |= int(name[6], 16) << 4
    if len(name) == 8:
        code |= int(name[7], 16)
    return code


def chart_image(name, dpi, width, height):
    """An 8-bit palette image whose pixels depend on the chart and resolution."""
    rnd = random.Random(f"{name}/{dpi}")
    palette = []
    for i in range(256):
        palette += [rnd.randrange(256), rnd.randrange(256), (i * 7) % 256]
    image = Image.new("P", (width, height))
    image.putpalette(palette)
    pixels = []
    for y in range(height):
        band = rnd.randrange(256)
        for x in range(width):
            # Runs and noise, so that RLE8 has both kinds of pieces.
            pixels.append(band if (x // 13 + y // 7) % 3 else rnd.randrange(256))
    image.putdata(pixels)
    return image


def packed_date(year, month, day, hour, minute):
    """A file-system date-time value: the packed date and time of file times."""
    return (year - 1980) << 25 | month << 21 | day << 16 | hour << 11 | minute << 5


def update_data(image, edition, number):
    """An update stream: the chart's palette with its first entry changed, and
    records that paint runs of palette colours (blue, green, red) over rows
    of the 24-bit image, each record with a 4-byte skip and a 2-byte length."""
    width = image.size[0]
    palette = list(image.getpalette()[:768])
    palette[0] = (palette[0] + 101) % 256
    colours = [bytes((palette[3 * i + 2], palette[3 * i + 1], palette[3 * i])) for i in range(256)]
    records, end = b"", 0
    rows = range(2 + number % 5, min(image.size[1], 14 + number % 5))
    for row in rows:
        start = (row * width + 3 + row % 7) * 3
        data = colours[(row * 37 + number) % 256] * min(20, width - 3 - row % 7)
        records += struct.pack("<BIH", 0xE0, start - end, len(data)) + data
        end = start + len(data)
    day_count = 37774 + number + 9.5 / 24  # 2 June 2003 09:30 and later
    return (b"BaZ1" + struct.pack("<hd", edition, day_count) + bytes(palette) +
            struct.pack("<i", len(rows)) + records)


def write_updates(outdir, layout, image_of, index_records):
    folder = os.path.join(outdir, "pub", "baz", "2003")
    os.makedirs(folder, exist_ok=True)
    for chart, name in layout.get("updates", {}).items():
        number = len(index_records)
        for dpi in layout.get("resolutions", [120, 240]):
            data = update_data(image_of[(chart, dpi)], layout.get("edition", 2003), number)
            with zipfile.ZipFile(os.path.join(folder, f"{name}.{dpi}"), "w",
                                 zipfile.ZIP_DEFLATED) as update:
                update.writestr(zipfile.ZipInfo("Data", (2003, 6, 2, 9, 30, 0)), data)
        date = packed_date(2003, 6, 2 + number, 9, 30)
        index_records.append(struct.pack("<IIi", 100 + number, chart_code(chart), date))


def zrn_file(name, edition, bmp):
    return b"ZRN2" + struct.pack("<ihi", chart_code(name), edition, len(bmp)) + bmp


def write_set(outdir, layout, dates, index_records):
    edition = layout.get("edition", 2003)
    width = layout.get("width", 320)
    height = layout.get("height", 200)
    image_of = {}
    for dpi in layout.get("resolutions", [120, 240]):
        buffer = io.BytesIO()
        size = 0
        with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as archive:
            for index, chart in enumerate(layout["charts"]):
                image = chart_image(chart, dpi, width * dpi // 120, height * dpi // 120)
                image_of[(chart, dpi)] = image
                bmp = io.BytesIO()
                image.save(bmp, "BMP")
                os.makedirs(os.path.join(outdir, "source"), exist_ok=True)
                image.save(os.path.join(outdir, "source", f"{chart}_{dpi}.bmp"), "BMP")
                date = (2003, 4, 1 + index, 10 + index, 30, 0)
                info = zipfile.ZipInfo(chart + ".zrn", date_time=date)
                info.compress_type = zipfile.ZIP_DEFLATED
                data = zrn_file(chart, edition, bmp.getvalue())
                size += len(bmp.getvalue())
                archive.writestr(info, data)
                dates[f"{chart}_{dpi}"] = list(date)
            prefix = layout["prefix"]
            for aux in (f"{prefix}_{dpi}_2003.chi", f"{prefix}_{dpi}_2003.bds"):
                info = zipfile.ZipInfo(aux, date_time=(2003, 3, 1, 8, 0, 0))
                if layout.get("chi_readonly", True):
                    info.external_attr = (0o444 << 16) | 0x01
                archive.writestr(info, f"calibration {aux}\r\n")
            for extra, text in layout.get("extra", {}).items():
                archive.writestr(zipfile.ZipInfo(extra, (2003, 3, 1, 8, 0, 0)), text)
        data = bytearray(buffer.getvalue())
        damaged = layout.get("damage")
        if damaged:
            # Flip bytes inside the compressed data of that chart entry.
            with zipfile.ZipFile(io.BytesIO(bytes(data))) as archive:
                info = archive.getinfo(damaged + ".zrn")
            start = info.header_offset + 30 + len(info.filename) + len(info.extra)
            for at in range(start + 200, start + 260):
                data[at] ^= 0x5A
        name = layout["name"].encode("cp1252")
        header = b"ZRA2" + struct.pack("<i", len(name)) + name
        header += struct.pack("<iiii", edition, len(layout["charts"]), size, size)
        base = layout["prefix"].upper() if layout.get("upper_prefix") else layout["prefix"]
        with open(os.path.join(outdir, f"{base}_{dpi}.zra"), "wb") as out:
            out.write(header + bytes(b ^ 0xFF for b in data))
    write_updates(outdir, layout, image_of, index_records)


def main():
    outdir, layout_file = sys.argv[1], sys.argv[2]
    with open(layout_file) as f:
        layout = json.load(f)
    os.makedirs(outdir, exist_ok=True)
    dates = {}
    index = []
    for chart_set in layout["sets"]:
        write_set(outdir, chart_set, dates, index)
    if index:
        with open(os.path.join(outdir, "pub", "baz", "2003", "baz.idx"), "wb") as f:
            f.write(b"".join(index))
    with open(os.path.join(outdir, "dates.json"), "w") as f:
        json.dump(dates, f)


if __name__ == "__main__":
    main()
