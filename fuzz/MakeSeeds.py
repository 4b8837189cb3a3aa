#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/.

Every seed is made here, small, and the same from one run to the next.
Run it again after changing it and commit what it writes."""

import io
import os
import re
import struct
import sys
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")
FIXED_TIME = (2020, 1, 2, 3, 4, 6)


def package_password():
    text = open(os.path.join(HERE, "..", "app", "PackagePassword.h")).read()
    return re.search(r'PackagePassword = "([^"]*)"', text).group(1).encode()


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


def python_zip(entries, method=zipfile.ZIP_DEFLATED):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", method) as archive:
        for name, data, mode in entries:
            info = zipfile.ZipInfo(name, FIXED_TIME)
            info.compress_type = zipfile.ZIP_STORED if name.endswith("/") else method
            info.external_attr = mode << 16 | (0x10 if name.endswith("/") else 0)
            archive.writestr(info, data)
    return buffer.getvalue()


class Cipher:
    """The traditional PKWARE stream cipher."""

    def __init__(self, password):
        self.keys = [0x12345678, 0x23456789, 0x34567890]
        for byte in password:
            self.update(byte)

    @staticmethod
    def crc(value, byte):
        return zlib.crc32(bytes([byte]), value ^ 0xFFFFFFFF) ^ 0xFFFFFFFF

    def update(self, byte):
        self.keys[0] = self.crc(self.keys[0], byte)
        self.keys[1] = (self.keys[1] + (self.keys[0] & 0xFF)) & 0xFFFFFFFF
        self.keys[1] = (self.keys[1] * 134775813 + 1) & 0xFFFFFFFF
        self.keys[2] = self.crc(self.keys[2], self.keys[1] >> 24)

    def encrypt(self, data):
        out = bytearray()
        for byte in data:
            temp = (self.keys[2] | 2) & 0xFFFF
            out.append(byte ^ (((temp * (temp ^ 1)) >> 8) & 0xFF))
            self.update(byte)
        return bytes(out)


def encrypted_zip(entries, password):
    """Deflated entries under traditional encryption, written by hand."""
    body, central = bytearray(), bytearray()
    for name, data in entries:
        packer = zlib.compressobj(6, zlib.DEFLATED, -15)
        packed = packer.compress(data) + packer.flush()
        crc = zlib.crc32(data)
        header = bytes(range(1, 12)) + bytes([crc >> 24])
        payload = Cipher(password).encrypt(header + packed)
        raw = name.encode()
        offset = len(body)
        fields = (20, 1, 8, 0x1823, 0x5022, crc, len(payload), len(data), len(raw), 0)
        body += struct.pack("<IHHHHHIIIHH", 0x04034B50, *fields) + raw + payload
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, *fields, 0, 0, 0, 0x20, offset) + raw
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central), len(body), 0)
    return bytes(body + central + end)


def resource_image(resources, stub=b"\x7fELF seed stub\x00"):
    """An executable stand-in with resources appended, as the packager lays them out."""
    image = bytearray(stub)
    table = bytearray()
    for kind, rid, data in resources:
        offset = len(image)
        image += data
        if isinstance(kind, str):
            text = kind.encode()
            table += struct.pack("<HHIIHQQ", 1, len(text), 0, rid, 0, offset, len(data)) + text
        else:
            table += struct.pack("<HHIIHQQ", 0, 0, kind, rid, 0, offset, len(data))
    table_offset = len(image)
    image += table
    image += b"QRVLRES1" + struct.pack("<QII", table_offset, len(table), len(resources))
    return bytes(image)


def movie(signature, body, version=8):
    declared = 8 + len(body)
    if signature == b"CWS":
        body = zlib.compress(body)
    return signature + bytes([version]) + struct.pack("<I", declared) + body


def main():
    password = package_password()
    ini = b"[SETTINGS]\r\nfullscreen=false\r\nmainmovie=logo.swf\r\n"
    # A frame rectangle of 5 bits per field (550 x 400), rate, count, background colour tag.
    frame = bytes([0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00, 0x00, 0x18, 0x01, 0x00])
    swf_body = frame + struct.pack("<H", 0x4302) + b"\x11\x22\x33" + b"\x40\x00"

    # Packages.
    files = [("package.ini", ini, 0o100644), ("logo.swf", movie(b"FWS", swf_body), 0o100644)]
    write("package", "deflated.zip", python_zip(files))
    write("package", "stored.zip", python_zip(files, zipfile.ZIP_STORED))
    write("package", "folders.zip",
          python_zip([("movies/", b"", 0o40755), ("movies/a.swf", b"FWS", 0o100444)] + files))
    write("package", "encrypted.zip", encrypted_zip([("package.ini", ini), ("logo.swf", b"FWS\x08" * 8)], password))
    write("package", "packaged.exe", resource_image([("ZIP", 129, python_zip(files))]))

    # Movie headers.
    write("movie-header", "stored.swf", movie(b"FWS", swf_body))
    write("movie-header", "compressed.swf", movie(b"CWS", swf_body))
    write("movie-header", "no-colour.swf", movie(b"FWS", frame))
    write("movie-header", "huge-length.swf", b"CWS\x08\xff\xff\xff\xff" + zlib.compress(frame))
    write("movie-header", "short.swf", b"FWS\x08\x03\x00")

    # Settings files.
    write("profile-string", "sample.ini", ini)
    write("profile-string", "every-key.ini",
          b"; comment\n[other]\ntype=x\n[ settings ]\n FullScreen = TRUE \nmainmovie=\"quoted name.swf\"\ntype=\n"
          b"[SETTINGS]\ntype=resource\n")
    write("profile-string", "long-value.ini", b"[SETTINGS]\nmainmovie=" + b"m" * 400 + b"\n")
    write("profile-string", "no-newline.ini", b"[SETTINGS]\rtype=all")

    # Resource tables.
    write("resources", "package-and-control.exe",
          resource_image([("ZIP", 129, b"PK\x05\x06" + b"\x00" * 18), ("OCX", 1091, b"MZ control")]))
    write("resources", "integer-types.exe", resource_image([(3, 1, b"icon"), (14, 128, b"group"), (6, 1, b"str")]))
    write("resources", "empty-table.exe", resource_image([]))

    # The writer's input is any bytes; a few of different lengths start it off.
    for n, length in enumerate((16, 200, 1500)):
        write("writer-round-trip", "bytes-%d" % n, bytes((i * 37 + n) & 0xFF for i in range(length)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
