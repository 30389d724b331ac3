#!/usr/bin/env python3
"""Helpers of the HTTP proxy's browser test.
  png OUT W H R G B        writes a W x H PNG of one colour with a white cross
  colours PNG R G B ...    exit 0 when the screenshot holds >= 1% pixels of each
                           given colour (each R G B triple, +-24 per channel)
  tls IP PORT CERT KEY DIR serves DIR over HTTPS
"""
import http.server
import ssl
import struct
import sys
import zlib


def write_png(path, w, h, rgb):
    rows = []
    for y in range(h):
        row = bytearray(b"\x00")
        for x in range(w):
            row += bytes((255, 255, 255)) if x == w // 2 or y == h // 2 else bytes(rgb)
        rows.append(bytes(row))

    def chunk(kind, data):
        c = kind + data
        return struct.pack(">I", len(data)) + c + struct.pack(">I", zlib.crc32(c) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(b"".join(rows))))
        f.write(chunk(b"IEND", b""))


def read_png(path):
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat = 8, b""
    while pos < len(data):
        n = struct.unpack(">I", data[pos:pos + 4])[0]
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + n]
        if kind == b"IHDR":
            w, h, depth, ctype = struct.unpack(">IIBB", body[:10])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + n
    assert depth == 8 and ctype in (2, 6), "unexpected PNG type"
    bpp = 3 if ctype == 2 else 4
    raw = zlib.decompress(idat)
    stride = w * bpp
    prev = bytearray(stride)
    pixels = []
    for y in range(h):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 255
        pixels.extend(tuple(line[i:i + 3]) for i in range(0, stride, bpp))
        prev = line
    return pixels


def main():
    cmd = sys.argv[1]
    if cmd == "png":
        write_png(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]),
                  [int(v) for v in sys.argv[5:8]])
    elif cmd == "colours":
        pixels = read_png(sys.argv[2])
        want = [int(v) for v in sys.argv[3:]]
        for i in range(0, len(want), 3):
            r, g, b = want[i:i + 3]
            hits = sum(1 for p in pixels
                       if abs(p[0] - r) <= 24 and abs(p[1] - g) <= 24 and abs(p[2] - b) <= 24)
            print("colour %d,%d,%d: %d of %d pixels" % (r, g, b, hits, len(pixels)))
            if hits * 100 < len(pixels):
                sys.exit(1)
    elif cmd == "tls":
        ip, port, cert, key, folder = sys.argv[2:7]
        handler = lambda *a, **k: http.server.SimpleHTTPRequestHandler(*a, directory=folder, **k)
        server = http.server.ThreadingHTTPServer((ip, int(port)), handler)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
        server.serve_forever()


if __name__ == "__main__":
    main()
