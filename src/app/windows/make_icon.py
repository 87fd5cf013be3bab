#!/usr/bin/env python3
"""Writes torvane.ico, the window icon of Torvane.exe, from the artwork's icon set.

Every size in assets/window-icon-<size>.png (16 to 256 pixels) goes into the icon as it is: an
icon image may be a whole PNG file, which Windows reads at every size. Run it again after the
artwork changes and commit both.
"""
import pathlib
import struct
import sys

SIZES = (16, 24, 32, 48, 64, 128, 256)
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def png_size(data):
    # The IHDR chunk follows the signature: length, type, then width and height.
    if data[:8] != PNG_SIGNATURE or data[12:16] != b"IHDR":
        raise ValueError("not a PNG file")
    return struct.unpack(">II", data[16:24])


def icon_file(images):
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    directory = b""
    for size, data in images:
        # A width or height of 256 is written as 0.
        side = size % 256
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return header + directory + b"".join(data for _, data in images)


def main():
    here = pathlib.Path(__file__).resolve().parent
    assets = here.parents[2] / "assets"
    images = []
    for size in SIZES:
        data = (assets / f"window-icon-{size}.png").read_bytes()
        if png_size(data) != (size, size):
            sys.exit(f"window-icon-{size}.png is not {size} x {size}")
        images.append((size, data))
    output = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else here / "torvane.ico"
    output.write_bytes(icon_file(images))


if __name__ == "__main__":
    main()
