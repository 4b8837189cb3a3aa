#!/usr/bin/env python3
"""Walks a movie file tag by tag and checks that its structure adds up.

Written apart from the C++ authoring library on purpose: it reads the bit
fields of rectangles, matrices and shape records itself, so a writer that
packs them wrongly is caught. Prints a summary; exits 1 on the first fault.
"""
import sys
import zlib


class Bits:
    def __init__(self, data, pos=0):
        self.data, self.pos = data, pos * 8

    def u(self, n):
        value = 0
        for _ in range(n):
            byte = self.pos // 8
            if byte >= len(self.data):
                raise ValueError("bit field runs past its tag")
            value = value << 1 | (self.data[byte] >> (7 - self.pos % 8)) & 1
            self.pos += 1
        return value

    def s(self, n):
        value = self.u(n)
        return value - (1 << n) if n and value >> (n - 1) else value

    def align(self):
        self.pos = (self.pos + 7) // 8 * 8
        return self.pos // 8


def rect(bits):
    n = bits.u(5)
    fields = [bits.s(n) for _ in range(4)]
    bits.align()
    return fields


def matrix(bits):
    if bits.u(1):
        n = bits.u(5)
        bits.s(n), bits.s(n)
    if bits.u(1):
        n = bits.u(5)
        bits.s(n), bits.s(n)
    n = bits.u(5)
    bits.s(n), bits.s(n)
    return bits.align()


def shape(payload):
    bits = Bits(payload, 2)
    rect(bits)
    at = bits.align()
    fills = payload[at]
    at += 1 + 4 * fills  # solid fills only: type and RGB
    lines = payload[at]
    at += 1 + 5 * lines
    bits = Bits(payload, at)
    fill_bits, line_bits = bits.u(4), bits.u(4)
    x = y = 0
    start = None
    edges = 0
    while True:
        if bits.u(1):  # edge
            if bits.u(1):
                n = bits.u(4) + 2
                if bits.u(1):
                    x, y = x + bits.s(n), y + bits.s(n)
                elif bits.u(1):
                    y += bits.s(n)
                else:
                    x += bits.s(n)
            else:
                n = bits.u(4) + 2
                for _ in range(2):
                    x, y = x + bits.s(n), y + bits.s(n)
            edges += 1
            continue
        flags = bits.u(5)
        if flags == 0:
            break
        if start is not None and (x, y) != start:
            raise ValueError("an outline of the shape is not closed")
        if flags & 0x01:
            n = bits.u(5)
            x, y = bits.s(n), bits.s(n)
            start = (x, y)
        if flags & 0x02:
            bits.u(fill_bits)
        if flags & 0x04:
            bits.u(fill_bits)
        if flags & 0x08:
            bits.u(line_bits)
        if flags & 0x10:
            raise ValueError("new styles are not expected")
    if start is not None and (x, y) != start:
        raise ValueError("the last outline of the shape is not closed")
    if bits.align() != len(payload):
        raise ValueError("shape records do not fill their tag")
    return edges


def walk(path):
    data = open(path, "rb").read()
    if data[:3] not in (b"FWS", b"CWS"):
        raise ValueError("not a movie signature")
    length = int.from_bytes(data[4:8], "little")
    body = zlib.decompress(data[8:]) if data[0:1] == b"C" else data[8:]
    if 8 + len(body) != length:
        raise ValueError("file length %d, body says %d" % (length, 8 + len(body)))
    bits = Bits(body)
    frame = rect(bits)
    at = bits.align()
    rate = int.from_bytes(body[at:at + 2], "little") / 256
    count = int.from_bytes(body[at + 2:at + 4], "little")
    at += 4
    tags, shown, shapes, edges = [], 0, 0, 0
    while True:
        if at + 2 > len(body):
            raise ValueError("no End tag")
        header = int.from_bytes(body[at:at + 2], "little")
        code, size = header >> 6, header & 0x3F
        at += 2
        if size == 0x3F:
            size = int.from_bytes(body[at:at + 4], "little")
            at += 4
        payload = body[at:at + size]
        if len(payload) != size:
            raise ValueError("tag %d runs past the body" % code)
        at += size
        tags.append(code)
        if code == 0:
            break
        if code == 1:
            shown += 1
        elif code == 2:
            shapes += 1
            edges += shape(payload)
        elif code == 26:
            flags = payload[0]
            offset = 3 + (2 if flags & 0x02 else 0)
            if flags & 0x04 and matrix(Bits(payload, offset)) != len(payload):
                raise ValueError("PlaceObject2 carries bytes beyond its matrix")
        elif code == 12 and payload[-1:] != b"\0":
            raise ValueError("DoAction without its end marker")
    if at != len(body):
        raise ValueError("bytes after the End tag")
    if shown != count:
        raise ValueError("header counts %d frames, %d shown" % (count, shown))
    size = ((frame[1] - frame[0]) // 20, (frame[3] - frame[2]) // 20)
    print("size %dx%d rate %g frames %d shapes %d edges %d first-tag %d"
          % (size + (rate, count, shapes, edges, tags[0])))


if __name__ == "__main__":
    try:
        walk(sys.argv[1])
    except (ValueError, IndexError, zlib.error) as error:
        print("walk_movie: %s" % error, file=sys.stderr)
        sys.exit(1)
