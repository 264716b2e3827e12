#!/usr/bin/python3
"""Compares an installed chart bitmap with its source image, decoded by
Pillow: every pixel must have the source colour except in the stamp line at
the bottom-left corner.

    check_installed.py INSTALLED.bmp SOURCE.bmp

Prints "ok" or what differs; exit status 0 only for "ok".
"""
import sys

from PIL import Image

STAMP_HEIGHT = 20  # rows at the bottom that the notice may cover


def main():
    installed = Image.open(sys.argv[1])
    source = Image.open(sys.argv[2])
    if installed.info.get("compression") != 1:
        print(f"not RLE8 compressed: {installed.info.get('compression')}")
        return 1
    if installed.mode != "P" or installed.size != source.size:
        print(f"mode {installed.mode} size {installed.size}, source {source.size}")
        return 1
    a = installed.convert("RGB").load()
    b = source.convert("RGB").load()
    width, height = source.size
    stamp_right = -1
    for y in range(height):
        for x in range(width):
            if a[x, y] == b[x, y]:
                continue
            if y < height - STAMP_HEIGHT:
                print(f"pixel {x},{y}: {a[x, y]} instead of {b[x, y]}")
                return 1
            stamp_right = max(stamp_right, x)
    if stamp_right < 0:
        print("no stamp")
        return 1
    print("ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
