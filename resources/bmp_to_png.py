#!/usr/bin/env python3
"""Converts the gauge's 8-bit bitmaps to PNG pictures for the documentation.

    bmp_to_png.py OUTPUT_DIRECTORY FILE.bmp...

Each FILE.bmp becomes OUTPUT_DIRECTORY/FILE.png, an RGB picture of the same
pixels, scaled up by an optional whole factor (--scale N, default 3) so that
the 73x75 images can be read on a page. Standard library only.
"""
import argparse
import os
import struct
import sys
import zlib


def read_bmp(path):
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        raise ValueError(f"{path}: not a BMP file")
    pixel_offset, = struct.unpack_from("<I", data, 10)
    (header_size, width, height, _planes, bpp, compression, _size, _xppm, _yppm,
     colours_used, _important) = struct.unpack_from("<IiiHHIIiiII", data, 14)
    if bpp != 8 or compression != 0:
        raise ValueError(f"{path}: only uncompressed 8-bit bitmaps are handled")
    colours = colours_used or 256
    palette_at = 14 + header_size
    palette = [tuple(data[palette_at + 4 * i + 2 - c] for c in range(3)) for i in range(colours)]
    row_bytes = (width + 3) // 4 * 4
    bottom_up = height > 0
    height = abs(height)
    rows = []
    for y in range(height):
        stored = height - 1 - y if bottom_up else y
        start = pixel_offset + stored * row_bytes
        rows.append([palette[i] for i in data[start:start + width]])
    return width, height, rows


def png_chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body +
            struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))


def write_png(path, width, height, rows, scale):
    raw = bytearray()
    for row in rows:
        line = bytearray([0])  # filter: none
        for rgb in row:
            line += bytes(rgb) * scale
        for _ in range(scale):
            raw += line
    header = struct.pack(">IIBBBBB", width * scale, height * scale, 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(png_chunk(b"IHDR", header))
        f.write(png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        f.write(png_chunk(b"IEND", b""))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output_directory")
    parser.add_argument("bitmaps", nargs="+")
    parser.add_argument("--scale", type=int, default=3)
    args = parser.parse_args()
    os.makedirs(args.output_directory, exist_ok=True)
    for path in args.bitmaps:
        width, height, rows = read_bmp(path)
        name = os.path.splitext(os.path.basename(path))[0] + ".png"
        write_png(os.path.join(args.output_directory, name), width, height, rows, args.scale)
    return 0


if __name__ == "__main__":
    sys.exit(main())
