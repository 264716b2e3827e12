#!/usr/bin/python3
"""Checks installed chart bitmaps after an update run without the program's
code: each chart is taken from its set's archive on the CD (the header
skipped, every byte complemented back, Python's zipfile), and the update of
the server folder is applied to it by the independent record parser of
tests/charts/verify_charts.py, then compared with Pillow.

    check_updated.py CELL CD/ SERVER/ INSTALLED/ NAME_DPI_2003.bmp...

CELL is the height of the stamp line. Archive entries and update files are
found whatever the letter case of their names, as the program finds them.
Prints "ok" or what differs.
"""
import io
import os
import struct
import subprocess
import sys
import tempfile
import zipfile

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
VERIFY = os.path.join(HERE, "..", "charts", "verify_charts.py")


def same_name(names, wanted):
    """The name of names that equals wanted without regard to case."""
    return next(n for n in sorted(names) if n.lower() == wanted.lower())


def set_code(chart):
    return "NNZK" if chart.upper().startswith("NNZK_") else chart[:4]


def chart_entry(cd, chart, dpi):
    with open(os.path.join(cd, f"{set_code(chart)}_{dpi}.zra"), "rb") as f:
        data = f.read()
    assert data[:4] == b"ZRA2"
    name_length = struct.unpack("<i", data[4:8])[0]
    body = bytes(b ^ 0xFF for b in data[8 + max(name_length, 0) + 16:])
    with zipfile.ZipFile(io.BytesIO(body)) as archive:
        return archive.read(same_name(archive.namelist(), chart + ".zrn"))


def main():
    cell, cd, server, installed = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
    problems = []
    with tempfile.TemporaryDirectory() as work:
        for bitmap in sys.argv[5:]:
            chart, dpi, _ = bitmap[:-4].rsplit("_", 2)
            zrn = os.path.join(work, chart + ".zrn")
            with open(zrn, "wb") as f:
                f.write(chart_entry(cd, chart, dpi))
            with open(zrn, "rb") as f:
                raw = f.read()
            length = struct.unpack("<i", raw[10:14])[0]
            height = Image.open(io.BytesIO(raw[14:14 + length])).size[1]
            result = subprocess.run(
                ["/usr/bin/python3", VERIFY, "update", zrn,
                 os.path.join(server, same_name(os.listdir(server), f"{chart}.{dpi}")),
                 os.path.join(installed, bitmap),
                 str(height - cell)],
                capture_output=True, text=True)
            if result.stdout.strip() != "ok":
                problems.append(f"{bitmap}: {result.stdout.strip()} {result.stderr.strip()}")
    print("\n".join(problems) if problems else "ok")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
