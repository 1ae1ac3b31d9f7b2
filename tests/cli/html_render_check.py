#!/usr/bin/env python3
"""An --html page rendered by headless Chromium: the drawings are not blank, and the colour of
the marks shows only over the rewritten piece. Exits 77 (skipped) without Chromium.

    html_render_check.py TRELVO_CLI
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib


def read_png(path):
    """(width, height, rows of (r, g, b)) of an 8-bit RGB or RGBA PNG."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and colour in (2, 6) and interlace == 0
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    bpp = 4 if colour == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * bpp
    rows, prev = [], bytearray(stride)
    for y in range(height):
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
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * bpp:x * bpp + 3]) for x in range(width)])
        prev = line
    return width, height, rows


def runs(xs):
    """Contiguous runs [first, last] of the sorted distinct values."""
    out = []
    for x in sorted(set(xs)):
        if out and x <= out[-1][1] + 2:
            out[-1][1] = x
        else:
            out.append([x, x])
    return out


def main():
    cli = os.path.abspath(sys.argv[1])
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        print("chromium not installed: skipped")
        return 77
    with tempfile.TemporaryDirectory() as tmp:
        # Piece A (layer 26, to be rewritten) on the left, piece B (layer 20) on the right.
        lib = b"\r\n".join([
            b"*PADS-LIBRARY-PCB-DECALS-V9*", b"",
            b"TWO I 0 0 0 0 2 0 0 0 0", b"TIMESTAMP 2020.1.1.0.0.0",
            b"OPEN 2 4 26 -1", b"0 0", b"0 100",
            b"OPEN 2 4 20 -1", b"100 0", b"100 100", b""])
        open(os.path.join(tmp, "two.d"), "wb").write(lib)
        r = subprocess.run([cli, "--layer", "26:1", "--dry-run", "--html", "two.html", "two.d"],
                           cwd=tmp, capture_output=True)
        if r.returncode != 0:
            print("FAIL trelvo-cli:", r.stderr)
            return 1
        shot = os.path.join(tmp, "two.png")
        subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                        f"--user-data-dir={tmp}/profile", "--window-size=900,700",
                        f"--screenshot={shot}", "file://" + os.path.join(tmp, "two.html")],
                       capture_output=True, timeout=120)
        _, _, rows = read_png(shot)
    mark, piece_b, piece_a = [], [], []
    for y, row in enumerate(rows):
        for x, (r_, g, b) in enumerate(row):
            if r_ >= 245 and b >= 245 and 90 <= g <= 190:
                mark.append(x)
            elif (r_, g, b) == (0x94, 0x67, 0xbd):  # layer 20
                piece_b.append(x)
            elif (r_, g, b) in ((0x2c, 0xa0, 0x2c), (0xd6, 0x27, 0x28)):  # layer 26 before, 1 after
                piece_a.append(x)
    failures = []
    mark_runs, b_runs, a_runs = runs(mark), runs(piece_b), runs(piece_a)
    # Two drawings, each with piece A marked and piece B plain.
    if len(b_runs) != 2 or len(a_runs) != 2:
        failures.append(f"blank or wrong drawings: piece A at {a_runs}, piece B at {b_runs}")
    if len(mark_runs) != 2:
        failures.append(f"marks at {mark_runs}, expected one band per drawing")
    for lo, hi in mark_runs:
        if not any(lo <= a_lo and a_hi <= hi for a_lo, a_hi in a_runs):
            failures.append(f"mark {lo}..{hi} is not around piece A {a_runs}")
        if any(not (b_hi < lo or hi < b_lo) for b_lo, b_hi in b_runs):
            failures.append(f"mark {lo}..{hi} touches piece B {b_runs}")
    for f in failures:
        print("FAIL", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
