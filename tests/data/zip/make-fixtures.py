#!/usr/bin/python3
"""Writes the small malformed archives of the zip tests, one per defect.

Run it in this folder: ./make-fixtures.py. Every archive is built byte by
byte here, so each defect is exactly the one its name says.
"""
import struct
import zlib


def local_header(name, method, crc, csize, usize, flags=0):
    return struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, flags, method, 0, 0x5A21, crc, csize,
                       usize, len(name), 0) + name


def central_header(name, method, crc, csize, usize, offset, flags=0):
    return struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 20, 20, flags, method, 0, 0x5A21, crc,
                       csize, usize, len(name), 0, 0, 0, 0, 0x20, offset) + name


def end_record(count, cd_size, cd_offset, total=None):
    return struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, count,
                       count if total is None else total, cd_size, cd_offset, 0)


class Entry:
    def __init__(self, name, data, method=8, usize=None, crc=None, packed=None, flags=0):
        self.name = name.encode('latin-1')
        self.method = method
        self.data = packed if packed is not None else (
            raw_deflate(data) if method == 8 else data)
        self.usize = len(data) if usize is None else usize
        self.crc = zlib.crc32(data) if crc is None else crc
        self.flags = flags


def raw_deflate(data):
    c = zlib.compressobj(6, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


def archive(entries, offsets=None, total=None, cd_offset_delta=0, cd_size_delta=0):
    """The archive of the entries; offsets may replace the recorded local offsets."""
    body, central = b'', b''
    for i, e in enumerate(entries):
        offset = len(body)
        body += local_header(e.name, e.method, e.crc, len(e.data), e.usize, e.flags) + e.data
        if offsets is not None:
            offset = offsets[i]
        central += central_header(e.name, e.method, e.crc, len(e.data), e.usize, offset, e.flags)
    return body + central + end_record(len(entries), len(central) + cd_size_delta,
                                       len(body) + cd_offset_delta, total)


def bits_lsb(fields):
    """Packs (value, width) fields, lowest bit first, into bytes."""
    acc, n, out = 0, 0, bytearray()
    for value, width in fields:
        acc |= value << n
        n += width
        while n >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            n -= 8
    if n:
        out.append(acc & 0xFF)
    return bytes(out)


TEXT = b'Chart 1811 update notice. ' * 40
fixtures = {}

good = archive([Entry('first.txt', TEXT), Entry('second.txt', TEXT[:300])])
fixtures['not-a-zip.zip'] = b'This is a text file, not an archive.\n' * 3
fixtures['truncated-archive.zip'] = good[:len(good) // 2]
fixtures['bad-central-offset.zip'] = archive([Entry('a.txt', TEXT)], cd_offset_delta=5000)
fixtures['bad-central-size.zip'] = archive([Entry('a.txt', TEXT)], cd_size_delta=40)
fixtures['bad-entry-count.zip'] = archive([Entry('a.txt', TEXT)], total=3)
fixtures['bad-local-offset.zip'] = archive([Entry('a.txt', TEXT), Entry('b.txt', TEXT)],
                                           offsets=[0, 7])
fixtures['bad-local-signature.zip'] = b'XX' + archive([Entry('a.txt', TEXT)])[2:]
fixtures['overlapping-entries.zip'] = archive([Entry('a.txt', TEXT), Entry('b.txt', TEXT)],
                                              offsets=[0, 0])
fixtures['size-smaller-than-data.zip'] = archive([Entry('a.txt', TEXT, usize=100)])
fixtures['stored-larger-than-size.zip'] = archive([Entry('a.txt', TEXT, method=0, usize=10)])
fixtures['size-larger-than-data.zip'] = archive([Entry('a.txt', TEXT, usize=len(TEXT) + 500)])
fixtures['truncated-deflate-data.zip'] = archive(
    [Entry('a.txt', TEXT, packed=raw_deflate(bytes(range(256)) * 20)[:40], usize=5120)])
fixtures['bad-deflate-data.zip'] = archive([Entry('a.txt', TEXT, packed=b'\x07\x00\x00\x00')])
fixtures['bad-crc.zip'] = archive([Entry('a.txt', TEXT, crc=0x12345678)])
fixtures['unknown-method.zip'] = archive([Entry('a.txt', TEXT, method=12, packed=TEXT)])
fixtures['encrypted-entry.zip'] = archive([Entry('a.txt', TEXT, method=0, flags=1)])

# Shrunk (method 1): 9-bit codes, lowest bit first.
fixtures['shrunk-bad-first-code.zip'] = archive(
    [Entry('a.txt', b'A' * 10, method=1, packed=bits_lsb([(300, 9), (65, 9)]))])
fixtures['shrunk-unused-code.zip'] = archive(
    [Entry('a.txt', b'A' * 10, method=1, packed=bits_lsb([(65, 9), (400, 9)]))])
fixtures['shrunk-bad-control-code.zip'] = archive(
    [Entry('a.txt', b'A' * 10, method=1, packed=bits_lsb([(65, 9), (256, 9), (7, 9)]))])
fixtures['shrunk-truncated.zip'] = archive(
    [Entry('a.txt', b'A' * 10, method=1, packed=bits_lsb([(65, 9)]))])

# Reduced (methods 2 to 5): follower sets of 6-bit counts, last byte first.
fixtures['reduced-bad-follower-count.zip'] = archive(
    [Entry('a.txt', b'A' * 10, method=5, packed=bits_lsb([(63, 6)] + [(0, 8)] * 4))])
fixtures['reduced-truncated.zip'] = archive(
    [Entry('a.txt', b'A' * 10, method=3, packed=bytes(10))])
fixtures['reduced-bad-follower-index.zip'] = archive([Entry(
    'a.txt', b'A' * 10, method=2,
    packed=bits_lsb([(0, 6)] * 255 + [(3, 6), (97, 8), (98, 8), (99, 8), (0, 1), (3, 2)] +
                    [(0, 8)] * 4))])

# Imploded (method 6): trees as (bytes - 1) and bytes of (repeat - 1) << 4 | (length - 1).
even_tree = bytes([3]) + bytes([0xF5]) * 4  # 64 codes of 6 bits
fixtures['imploded-tree-overflow.zip'] = archive(
    [Entry('a.txt', b'A' * 10, method=6, packed=bytes([4]) + bytes([0xF5]) * 5 + even_tree)])
fixtures['imploded-oversubscribed-tree.zip'] = archive(
    [Entry('a.txt', b'A' * 10, method=6, packed=bytes([3]) + bytes([0xF0]) * 4 + even_tree)])
fixtures['imploded-truncated.zip'] = archive(
    [Entry('a.txt', b'A' * 100, method=6, packed=even_tree + even_tree + b'\xff')])

# Names that try to leave the destination folder, and names that are none.
fixtures['unsafe-names.zip'] = archive([
    Entry('../evil1.txt', b'1'), Entry('/tmp/evil2.txt', b'2'), Entry('C:\\evil3.txt', b'3'),
    Entry('a\\..\\..\\evil4.txt', b'4'), Entry('..', b'5'), Entry('dir/.', b'6'),
    Entry('.', b'7'), Entry('folder/', b'')])

for name, data in sorted(fixtures.items()):
    with open(name, 'wb') as f:
        f.write(data)
