"""report.html of speclink modsearch in a real browser: Debian's Chromium, headless, renders the
page to a screenshot that is not blank, and the modifications' names are on the page."""
import os
import pathlib
import shutil
import struct
import subprocess
import zlib

import pytest

SPECLINK = os.environ.get("SPECLINK", "speclink")
UNIMOD = pathlib.Path(__file__).resolve().parents[1] / "cli" / "golden" / "unimod-small.xml"
CHROMIUM = shutil.which("chromium")


def chromium(page, *arguments, profile):
    """Chromium headless, started as this machine allows (no sandbox as root, nothing fetched)."""
    command = [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
               "--disable-background-networking", "--disable-component-update", "--disable-sync",
               f"--user-data-dir={profile}", *arguments, page.as_uri()]
    return subprocess.run(command, capture_output=True, text=True, timeout=120, check=True).stdout


def png_pixels(path):
    """Width, height and rows of RGB(A) bytes of an 8-bit RGB or RGBA PNG."""
    data = path.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    position, compressed = 8, b""
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and colour in (2, 6)
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            compressed += body
        position += 12 + length
    raw = zlib.decompress(compressed)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - channels] if x >= channels else 0
            up = previous[x]
            corner = previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + left) & 255
            elif kind == 2:
                line[x] = (line[x] + up) & 255
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 255
            elif kind == 4:
                guess = left + up - corner
                nearest = min((abs(guess - left), 0, left), (abs(guess - up), 1, up), (abs(guess - corner), 2, corner))
                line[x] = (line[x] + nearest[2]) & 255
        rows.append(bytes(line))
        previous = line
    return width, height, channels, rows


@pytest.mark.skipif(CHROMIUM is None, reason="Debian's chromium is not installed")
def test_report_renders_with_the_modifications_named(tmp_path):
    subprocess.run([SPECLINK, "simulate", "-n", "2000", "--seed", "8", "-o", tmp_path / "in.mgf",
                    "--truth", tmp_path / "truth.tsv"], check=True, capture_output=True)
    subprocess.run([SPECLINK, "modsearch", tmp_path / "in.mgf", "-o", tmp_path / "out", "--unimod", UNIMOD],
                   check=True, capture_output=True)
    page = tmp_path / "out" / "report.html"

    dom = chromium(page, "--dump-dom", profile=tmp_path / "profile-dom")
    for name in ("Oxidation", "Phospho", "Acetyl"):
        assert name in dom
    assert "<svg" in dom

    shot = tmp_path / "report.png"
    chromium(page, f"--screenshot={shot}", "--window-size=1200,1400", "--hide-scrollbars",
             profile=tmp_path / "profile-shot")
    width, height, channels, rows = png_pixels(shot)
    assert (width, height) == (1200, 1400)
    inked = sum(1 for row in rows for x in range(0, width * channels, channels)
                if row[x] < 200 or row[x + 1] < 200 or row[x + 2] < 200)
    # Text, axes, bars and the table: far more than a blank page's nothing.
    assert inked > 5000
