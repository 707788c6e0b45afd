"""Shared fixtures of the Python binding and command-line tests.

The tests run against a built tree: QUENDRIL_IMGRESIZE_LIBRARY names the
shared library, IMGRESIZE_CLI the imgresize program (CTest sets both).
"""
import os
import struct
import sys
import zlib

import pytest

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPOSITORY, "python"))


def _required_environment(name):
    value = os.environ.get(name)
    if not value:
        pytest.fail("%s is not set; run these tests through ctest" % name)
    return value


@pytest.fixture(scope="session")
def library_path():
    return _required_environment("QUENDRIL_IMGRESIZE_LIBRARY")


@pytest.fixture(scope="session")
def cli_path():
    return _required_environment("IMGRESIZE_CLI")


def pattern_pixels(width, height):
    """An RGB pattern with detail in both directions, so every filter gives
    a different result."""
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            row += bytes(((x * 255) // max(width - 1, 1),
                          255 if (x // 3 + y // 3) % 2 else 0,
                          (y * 255) // max(height - 1, 1)))
        rows.append(bytes(row))
    return rows


def write_ppm(path, width, height):
    with open(path, "wb") as file:
        file.write(b"P6\n%d %d\n255\n" % (width, height))
        file.write(b"".join(pattern_pixels(width, height)))
    return path


def write_png(path, width, height):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + row for row in pattern_pixels(width, height))
    with open(path, "wb") as file:
        file.write(b"\x89PNG\r\n\x1a\n")
        file.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        file.write(chunk(b"IDAT", zlib.compress(raw)))
        file.write(chunk(b"IEND", b""))
    return path


def write_corrupt(path):
    """A file with an image's name whose content no decoder recognises."""
    with open(path, "wb") as file:
        file.write(b"this is not an image at all")
    return path


def png_size(path):
    """Width and height from a PNG's IHDR, read without the library."""
    with open(path, "rb") as file:
        header = file.read(24)
    assert header[:8] == b"\x89PNG\r\n\x1a\n", "%s is not a PNG" % path
    return struct.unpack(">II", header[16:24])
