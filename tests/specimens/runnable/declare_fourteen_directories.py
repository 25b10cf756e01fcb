#!/usr/bin/env python3
"""Rewrites a 64-bit PE image to declare 14 data directories instead of 16.

The worm check reads the section table at a fixed distance from the PE header, where it lies in
32-bit images (after a 224-byte optional header). A 64-bit image as the linker writes it has a
240-byte optional header. Dropping the last two directories, which must be empty, makes the
optional header 224 bytes long and moves the section table to where the check reads it. The image
still loads and runs.
"""
import struct
import sys

PE32_PLUS = 0x20B
DIRECTORY_SIZE = 8


def rewrite(image: bytearray) -> None:
    header = struct.unpack_from("<I", image, 60)[0]
    if image[header:header + 4] != b"PE\0\0":
        raise SystemExit("not a PE image")
    sections = struct.unpack_from("<H", image, header + 6)[0]
    optional_size = struct.unpack_from("<H", image, header + 20)[0]
    optional = header + 24
    if struct.unpack_from("<H", image, optional)[0] != PE32_PLUS:
        raise SystemExit("not a 64-bit image")
    count = struct.unpack_from("<I", image, optional + 108)[0]
    if count == 14 and optional_size == 224:
        return  # already rewritten
    if count != 16 or optional_size != 240:
        raise SystemExit(f"unexpected layout: {count} directories, optional header {optional_size}")
    unused = optional + 112 + 14 * DIRECTORY_SIZE
    if any(image[unused:unused + 2 * DIRECTORY_SIZE]):
        raise SystemExit("the last two data directories are in use")

    table = optional + 240
    table_size = sections * 40
    moved = bytes(image[table:table + table_size])
    struct.pack_into("<H", image, header + 20, 224)
    struct.pack_into("<I", image, optional + 108, 14)
    image[table - 16:table - 16 + table_size] = moved
    image[table - 16 + table_size:table + table_size] = bytes(16)


def main() -> None:
    path = sys.argv[1]
    with open(path, "rb") as file:
        image = bytearray(file.read())
    rewrite(image)
    with open(path, "wb") as file:
        file.write(image)


if __name__ == "__main__":
    main()
