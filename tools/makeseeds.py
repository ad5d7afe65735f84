#!/usr/bin/env python3
"""Writes the seed pictures of the .gfx fuzz target: small PCX files of every plane and bit
layout the loader knows, and a few it does not, each well under 4 KB.

Usage: tools/makeseeds.py [folder]   (default: fuzz/corpus/gfx beside this script's parent)
"""
import os
import struct
import sys


def header(width, height, bpp, planes, bytes_per_line, colour_map=b"", xmin=0, ymin=0):
    h = bytearray(128)
    h[0] = 10       # manufacturer
    h[1] = 5        # version
    h[2] = 1        # run-length encoding
    h[3] = bpp
    struct.pack_into("<HHHHHH", h, 4, xmin, ymin, xmin + width - 1, ymin + height - 1, 72, 72)
    cm = (bytes(colour_map) + bytes(48))[:48]
    h[16:64] = cm
    h[65] = planes
    struct.pack_into("<HH", h, 66, bytes_per_line, 1)
    return bytes(h)


def encode_line(line):
    out = bytearray()
    i = 0
    while i < len(line):
        run = 1
        while i + run < len(line) and run < 63 and line[i + run] == line[i]:
            run += 1
        if run == 1 and line[i] < 0xC0:
            out.append(line[i])
        else:
            out += bytes([0xC0 | run, line[i]])
        i += run
    return bytes(out)


def picture(width, height, bpp, planes, bytes_per_line, pixel, colour_map=b"", palette=None,
            marker=12, xmin=0, ymin=0):
    """pixel(plane, y, i) gives byte i of the plane's part of scan line y."""
    data = bytearray(header(width, height, bpp, planes, bytes_per_line, colour_map, xmin, ymin))
    for y in range(height):
        line = bytes(pixel(p, y, i) & 0xFF for p in range(planes) for i in range(bytes_per_line))
        data += encode_line(line)
    if palette is not None:
        data.append(marker)
        data += palette
    return bytes(data)


def ramp_palette():
    return bytes(v for i in range(256) for v in (i, (7 * i) & 0xFF, 255 - i))


def colour_map():
    return bytes(v for i in range(16) for v in (16 * i, 255 - 16 * i, (8 * i + 7) & 0xFF))


def bits(width, seed):
    """A bit plane: byte i of line y, set bits following a simple pattern."""
    def plane_byte(p, y, i):
        value = 0
        for b in range(8):
            x = 8 * i + b
            if x < width and ((x * 7 + y * 3 + p * 5 + seed) % 5) < 2:
                value |= 0x80 >> b
        return value
    return plane_byte


def seeds():
    s = {}
    s["1bit_21x5.gfx"] = picture(21, 5, 1, 1, 4, bits(21, 0), colour_map=bytes([200, 0, 0] * 16))
    s["4bit_1plane_5x4.gfx"] = picture(5, 4, 4, 1, 4, lambda p, y, i: (i * 0x21 + y * 0x13),
                                       colour_map=colour_map())
    s["1bit_4planes_19x4.gfx"] = picture(19, 4, 1, 4, 4, bits(19, 1), colour_map=colour_map())
    s["1bit_2planes_10x3.gfx"] = picture(10, 3, 1, 2, 2, bits(10, 2), colour_map=colour_map())
    s["1bit_3planes_10x3.gfx"] = picture(10, 3, 1, 3, 2, bits(10, 3), colour_map=colour_map())
    s["8bit_palette_16x8.gfx"] = picture(16, 8, 8, 1, 16, lambda p, y, i: 3 * i + 17 * y,
                                         palette=ramp_palette())
    s["8bit_nomarker_16x8.gfx"] = picture(16, 8, 8, 1, 16, lambda p, y, i: 3 * i + 17 * y,
                                          palette=ramp_palette(), marker=0)
    s["8bit_nopalette_16x8.gfx"] = picture(16, 8, 8, 1, 16, lambda p, y, i: 200 + i + y)
    s["8bit_palette_odd_33x3.gfx"] = picture(33, 3, 8, 1, 34, lambda p, y, i: 0xC0 + i + y,
                                             palette=ramp_palette(), xmin=100, ymin=50)
    s["8bit_palette_641x1.gfx"] = picture(641, 1, 8, 1, 642, lambda p, y, i: i // 3,
                                          palette=ramp_palette())
    s["24bit_3planes_5x3.gfx"] = picture(5, 3, 8, 3, 6,
                                         lambda p, y, i: (200 + 10 * y + i, 40 * i + 3, 250 - 60 * y)[p])
    s["32bit_4planes_5x3.gfx"] = picture(5, 3, 8, 4, 6,
                                         lambda p, y, i: (200 + 10 * y + i, 40 * i + 3, 250 - 60 * y, 255)[p])
    s["16bit_2planes_7x3.gfx"] = picture(7, 3, 8, 2, 8, lambda p, y, i: 30 * p + 11 * i + y)
    s["2bit_1plane_7x3.gfx"] = picture(7, 3, 2, 1, 2, lambda p, y, i: 0x1B * (i + 1) + y,
                                       colour_map=colour_map())
    s["2bit_4planes_7x3.gfx"] = picture(7, 3, 2, 4, 2, lambda p, y, i: 0x35 * (p + 1) + i,
                                        colour_map=colour_map())
    s["1bit_5planes_7x3.gfx"] = picture(7, 3, 1, 5, 2, bits(7, 4))
    s["24bit_1plane_7x3.gfx"] = picture(7, 3, 24, 1, 22, lambda p, y, i: 9 * i + y)
    s["0bit_7x3.gfx"] = picture(7, 3, 0, 1, 2, lambda p, y, i: i)

    # Run-length edge cases, written by hand: a run of count 0, a run crossing the line end.
    h = header(4, 3, 8, 1, 4)
    s["8bit_run_c0.gfx"] = h + bytes([0xC0, 0x07, 0x01, 0x02, 0xC2, 0x03] * 3) + b"\x0c" + ramp_palette()
    s["8bit_run_crossing.gfx"] = h + bytes([0xC6, 0x09, 0x01, 0x02, 0x03, 0x04, 0xC4, 0x05]) + \
        b"\x0c" + ramp_palette()
    s["8bit_run_long.gfx"] = h + bytes([0xFF, 0x42]) + b"\x0c" + ramp_palette()

    # Truncated files: in the data, in a run, and a header alone.
    full = picture(16, 8, 8, 3, 16, lambda p, y, i: (p * 50 + i * 3 + y) % 0xC0)
    s["24bit_truncated_16x8.gfx"] = full[:128 + 3 * 48 + 5]
    s["1bit_truncated_in_run.gfx"] = picture(16, 8, 1, 1, 2, lambda p, y, i: 0xFF)[:128 + 7]
    s["header_only_8bit_4x2.gfx"] = header(4, 2, 8, 1, 4)
    # Line lengths that do not fit the width.
    s["8bit_short_lines_9x3.gfx"] = picture(9, 3, 8, 1, 2, lambda p, y, i: i + y)
    s["8bit_long_lines_3x3.gfx"] = picture(3, 3, 8, 1, 40, lambda p, y, i: i + y)
    s["8bit_zero_lines_3x3.gfx"] = header(3, 3, 8, 1, 0) + bytes(range(40))
    return s


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "fuzz", "corpus", "gfx")
    os.makedirs(folder, exist_ok=True)
    for name, data in sorted(seeds().items()):
        assert len(data) < 4096, name
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main()
