#!/usr/bin/env python3
"""Checks a thumbnail: pngcheck.py FILE SIZE [--station]

A valid 8-bit RGBA PNG of SIZE x SIZE (chunk CRCs, zlib stream, filters), with
something drawn, and transparent corners where the free border around the model
(5 % of the width) is a pixel or more. --station also wants opaque pixels in
the sample station's colours, in the right channels: the blue of its solar cells
and the gold of their blankets, lit, with the nearer wing lower down, and the
station centred with that border on its wider side. Prints what is wrong and exits 1."""
import struct
import sys
import zlib


def decode(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, header, idat, ended = 8, None, b"", False
    while pos < len(data) and not ended:
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        (crc,) = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        if zlib.crc32(kind + body) != crc:
            raise ValueError("bad CRC in chunk %r" % kind)
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        ended = kind == b"IEND"
        pos += 12 + length
    if header is None or not ended:
        raise ValueError("no IHDR or no IEND")
    width, height, depth, colour, _, _, interlace = header
    if (depth, colour, interlace) != (8, 6, 0):
        raise ValueError("depth %d, colour type %d, interlace %d: not 8-bit RGBA" % (depth, colour, interlace))
    raw = zlib.decompress(idat)
    stride = width * 4
    if len(raw) != height * (stride + 1):
        raise ValueError("image data is %d bytes, not %d" % (len(raw), height * (stride + 1)))
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for x in range(stride):
            a = line[x - 4] if x >= 4 else 0
            b = previous[x]
            c = previous[x - 4] if x >= 4 else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
            elif kind != 0:
                raise ValueError("filter type %d in row %d" % (kind, y))
        rows.append(line)
        previous = line
    return width, height, rows


def main():
    path, size = sys.argv[1], int(sys.argv[2])
    station = "--station" in sys.argv[3:]
    try:
        width, height, rows = decode(path)
    except (OSError, ValueError, zlib.error) as e:
        print("%s: %s" % (path, e))
        return 1
    problems = []
    if (width, height) != (size, size):
        problems.append("%d x %d, not %d x %d" % (width, height, size, size))
    else:
        corners = ((0, 0), (size - 1, 0), (0, size - 1), (size - 1, size - 1)) if size >= 20 else ()
        for x, y in corners:
            if rows[y][4 * x + 3] != 0:
                problems.append("corner (%d, %d) is not transparent" % (x, y))
        pixels = [tuple(row[i:i + 4]) for row in rows for i in range(0, len(row), 4)]
        if not any(p[3] for p in pixels):
            problems.append("nothing drawn")
        elif station and size >= 20:
            # The station's projected bounds are fitted centred: equal borders on
            # each axis (to a pixel), 5 % of the width on the tighter one. (A model
            # whose outermost parts are too thin to be drawn would look off centre.)
            xs = [x for y in range(size) for x in range(size) if rows[y][4 * x + 3]]
            ys = [y for y in range(size) for x in range(size) if rows[y][4 * x + 3]]
            left, right, top, bottom = min(xs), size - 1 - max(xs), min(ys), size - 1 - max(ys)
            if abs(left - right) > 1 or abs(top - bottom) > 1:
                problems.append("not centred: borders left %d, right %d, top %d, bottom %d"
                                % (left, right, top, bottom))
            if not int(0.05 * size) - 1 <= min(left, right, top, bottom) <= int(0.05 * size) + 2:
                problems.append("the tighter border is %d pixels, not 5 %% of %d"
                                % (min(left, right, top, bottom), size))
        if station:
            opaque = [p for p in pixels if p[3] == 255]
            # Solar cells (30, 45, 120) and blankets (200, 155, 60), lit: shading scales
            # the channels together, so their order and rough ratios stay.
            blue = [p for p in opaque if p[2] > 2.2 * p[1] and p[1] > 1.2 * p[0]]
            gold = [p for p in opaque if p[0] > p[1] > p[2] and p[1] > 0.6 * p[0] and p[1] > 1.4 * p[2]]
            if len(blue) < len(opaque) // 10:
                problems.append("%d of %d opaque pixels have the solar cells' blue" % (len(blue), len(opaque)))
            if len(gold) < 20:
                problems.append("%d opaque pixels have the blankets' gold" % len(gold))
            # Seen from the front right and above, the starboard (+x) wing is the
            # nearer and so lies lower in the picture: rows run top to bottom.
            rows_of = {"left": [], "right": []}
            for y, row in enumerate(rows):
                for x in range(size):
                    r, g, b, a = row[4 * x:4 * x + 4]
                    if a == 255 and b > 2.2 * g and g > 1.2 * r:
                        rows_of["left" if x < size // 2 else "right"].append(y)
            if rows_of["left"] and rows_of["right"]:
                left = sum(rows_of["left"]) / len(rows_of["left"])
                right = sum(rows_of["right"]) / len(rows_of["right"])
                if not left + size / 20 < right:
                    problems.append("the left wing (row %.0f) is not above the right one (row %.0f)" % (left, right))
            else:
                problems.append("solar cells on one side only")
    for problem in problems:
        print("%s: %s" % (path, problem))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
