#!/usr/bin/env python3
"""Counts the pixels in which two pictures differ once both are reduced to 5-6-5.

    tools/compare565.py A.png B.png [--region X0,Y0,X1,Y1] [--exclude X0,Y0,X1,Y1]...

Our runner widens a 16-bit pixel to 8 bits a channel by repeating its bits; Wine (through
Mesa) rounds v * 255 / max instead, so about one value in eight differs by one. Both come
from the same 16-bit pixel when they agree in their top 5, 6 and 5 bits. Rectangles are
half open (X1 and Y1 are outside); --region limits the comparison, --exclude leaves a
rectangle out (painted black in both). Prints the count; with --diff FILE also writes a
picture (of the region) of where the pixels differ. Reads what ImageMagick's convert reads
(PNG, xwd screen dumps). Exits 0 when no pixel differs, 1 otherwise.
"""
import argparse
import subprocess
import sys


def read_rgb(path):
    """The picture's size and its 8-bit RGB bytes, row after row (any format ImageMagick reads)."""
    data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True,
                          capture_output=True).stdout
    fields = []
    i = 0
    while len(fields) < 4:
        while data[i:i + 1].isspace():
            i += 1
        if data[i:i + 1] == b"#":
            i = data.index(b"\n", i) + 1
            continue
        j = i
        while not data[j:j + 1].isspace():
            j += 1
        fields.append(data[i:j])
        i = j
    if fields[0] != b"P6" or fields[3] != b"255":
        sys.exit(f"compare565: cannot read {path}")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[i + 1:]
    if len(pixels) != width * height * 3:
        sys.exit(f"compare565: {path} is cut short")
    return width, height, pixels


def cut(width, pixels, region, excludes):
    """The region's bytes, with the left-out rectangles black."""
    x0, y0, x1, y1 = region
    out = bytearray()
    for y in range(y0, y1):
        row = bytearray(pixels[(y * width + x0) * 3:(y * width + x1) * 3])
        for ex0, ey0, ex1, ey1 in excludes:
            if ey0 <= y < ey1:
                a, b = max(ex0, x0), min(ex1, x1)
                if a < b:
                    row[(a - x0) * 3:(b - x0) * 3] = bytes((b - a) * 3)
        out += row
    return bytes(out)


def rect(text):
    parts = [int(p) for p in text.split(",")]
    if len(parts) != 4 or parts[2] < parts[0] or parts[3] < parts[1]:
        raise argparse.ArgumentTypeError("a rectangle is X0,Y0,X1,Y1")
    return parts


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("a")
    parser.add_argument("b")
    parser.add_argument("--region", type=rect)
    parser.add_argument("--exclude", type=rect, action="append", default=[])
    parser.add_argument("--diff")
    args = parser.parse_args()
    wa, ha, pa = read_rgb(args.a)
    wb, hb, pb = read_rgb(args.b)
    if (wa, ha) != (wb, hb):
        print(f"compare565: sizes differ: {args.a} {wa}x{ha}, {args.b} {wb}x{hb}")
        return 1
    region = args.region or (0, 0, wa, ha)
    if region[2] > wa or region[3] > ha:
        print(f"compare565: the region is not inside the {wa}x{ha} pictures")
        return 1
    a = cut(wa, pa, region, args.exclude)
    b = cut(wb, pb, region, args.exclude)
    # Each channel reduced to its 5, 6 or 5 top bits.
    top5 = bytes(v >> 3 for v in range(256))
    top6 = bytes(v >> 2 for v in range(256))
    tables = (top5, top6, top5)
    reduced_a = [a[c::3].translate(tables[c]) for c in range(3)]
    reduced_b = [b[c::3].translate(tables[c]) for c in range(3)]
    width = region[2] - region[0]
    marks = bytearray(len(a) // 3)
    if reduced_a != reduced_b:
        for c in range(3):
            for i, (p, q) in enumerate(zip(reduced_a[c], reduced_b[c])):
                if p != q:
                    marks[i] = 255
    differ = marks.count(255)
    if args.diff:
        height = region[3] - region[1]
        subprocess.run(["convert", "-size", f"{width}x{height}", "-depth", "8", "gray:-",
                        args.diff], input=bytes(marks), check=True)
    print(differ)
    return 0 if differ == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
