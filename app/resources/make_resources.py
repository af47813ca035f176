#!/usr/bin/env python3
"""Makes the watcher's embedded artwork: the idle and alert icons and the alert chime.

Writes IconIdle.ico (also the executable's own icon, read by forumwatch.rc), IconNew.ico and
AlertSound.wav; the build turns the kept files into byte arrays (cmake/Embed.cmake). The icons
are integer arithmetic and come out the same everywhere. The chime is computed with the
platform's floating point, so another machine may round a sample differently: the kept file is
the reference, and `--check` allows each of its samples to differ by one step.

    python3 make_resources.py            # rewrite the files beside this script
    python3 make_resources.py --out DIR  # write them into DIR
    python3 make_resources.py --check    # exit 1 when the kept files differ from a fresh run
"""
import argparse
import math
import os
import struct
import sys

ICON_SIZE = 16
ICON_FILE_BYTES = 1150
SAMPLE_RATE = 22050
SAMPLE_COUNT = 52984
WAVE_FILE_BYTES = 53028
SILENCE = 128


# --- icons -----------------------------------------------------------------------------------

def disc_coverage(x, y):
    """How much of pixel (x, y) a disc of radius 6.75 centred in the icon covers, 0..255.

    Sampled on a 4 x 4 grid per pixel with exact integer arithmetic, so the edge is smooth and
    the bytes never depend on the platform's floating point."""
    inside = 0
    for sy in range(4):
        for sx in range(4):
            # Sub-sample centres in units of 1/8 pixel, relative to the icon centre (8, 8).
            dx = (x * 8 + sx * 2 + 1) - 64
            dy = (y * 8 + sy * 2 + 1) - 64
            if dx * dx + dy * dy <= 54 * 54:  # radius 6.75 px = 54/8
                inside += 1
    return (inside * 255 + 8) // 16


def icon_pixel(x, y, base, light):
    """BGRA of pixel (x, y), y counted from the top: a disc in `base` with a lit upper left."""
    alpha = disc_coverage(x, y)
    if alpha == 0:
        return (0, 0, 0, 0)
    # A small highlight up and to the left gives the flat disc some depth.
    d2 = (x - 5) ** 2 + (y - 5) ** 2
    mix = max(0, 12 - d2)  # 0..12
    r = (base[0] * (12 - mix) + light[0] * mix) // 12
    g = (base[1] * (12 - mix) + light[1] * mix) // 12
    b = (base[2] * (12 - mix) + light[2] * mix) // 12
    return (b, g, r, alpha)


def make_icon(base, light):
    pixels = [[icon_pixel(x, y, base, light) for x in range(ICON_SIZE)] for y in range(ICON_SIZE)]
    colour = bytearray()
    for y in reversed(range(ICON_SIZE)):  # bottom row first
        for x in range(ICON_SIZE):
            colour += bytes(pixels[y][x])
    mask = bytearray()
    for y in reversed(range(ICON_SIZE)):
        bits = 0
        for x in range(ICON_SIZE):
            if pixels[y][x][3] == 0:  # transparent where nothing is drawn
                bits |= 1 << (15 - x)
        mask += struct.pack(">H", bits) + b"\0\0"  # rows padded to 32 bits
    header = struct.pack("<IiiHHIIiiII", 40, ICON_SIZE, ICON_SIZE * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    image = header + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", ICON_SIZE, ICON_SIZE, 0, 0, 1, 32, len(image), 22)
    data = directory + entry + image
    assert len(image) == 1128 and len(data) == ICON_FILE_BYTES
    return bytes(data)


# --- sound -----------------------------------------------------------------------------------

# A two-note chime: each note is a bell-like mix of partials (frequency ratio, relative level,
# decay rate per second), struck at its start time.
NOTES = [
    # start (s), fundamental (Hz), level
    (0.00, 1318.51, 0.55),  # E6
    (0.28, 1046.50, 0.60),  # C6
]
PARTIALS = [(1.0, 1.00, 3.0), (2.0, 0.30, 5.0), (3.0, 0.12, 8.0)]
ATTACK_SECONDS = 0.006  # soft enough not to click
FADE_SECONDS = 0.35     # the last stretch fades to exact silence
PEAK = 100.0            # of the 127 available above and below the midpoint


def chime_sample(n):
    t = n / SAMPLE_RATE
    value = 0.0
    for start, freq, level in NOTES:
        local = t - start
        if local < 0:
            continue
        attack = min(1.0, local / ATTACK_SECONDS)
        for ratio, weight, decay in PARTIALS:
            value += level * weight * attack * math.exp(-decay * local) * \
                math.sin(2 * math.pi * freq * ratio * local)
    end = SAMPLE_COUNT / SAMPLE_RATE
    left = end - t
    if left < FADE_SECONDS:
        value *= max(0.0, left / FADE_SECONDS - 0.02)  # reaches zero a little before the end
    return value


def make_wave():
    raw = [chime_sample(n) for n in range(SAMPLE_COUNT)]
    scale = PEAK / max(abs(v) for v in raw)
    samples = bytes(max(0, min(255, SILENCE + int(math.floor(v * scale + 0.5)))) for v in raw)
    fmt = struct.pack("<HHIIHH", 1, 1, SAMPLE_RATE, SAMPLE_RATE, 1, 8)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + \
        b"data" + struct.pack("<I", len(samples)) + samples
    data = b"RIFF" + struct.pack("<I", len(body)) + body
    assert len(data) == WAVE_FILE_BYTES and samples[-1] == SILENCE
    return data


# --- output ----------------------------------------------------------------------------------

def make_all():
    return {
        "IconIdle.ico": make_icon(base=(210, 30, 30), light=(255, 170, 160)),  # a red disc
        "IconNew.ico": make_icon(base=(30, 70, 220), light=(170, 200, 255)),   # the same in blue
        "AlertSound.wav": make_wave(),
    }


def matches(name, fresh, kept):
    if name.endswith(".wav") and len(fresh) == len(kept):
        header = 44
        return fresh[:header] == kept[:header] and \
            all(abs(a - b) <= 1 for a, b in zip(fresh[header:], kept[header:]))
    return fresh == kept


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", help="folder to write into (default: beside this script)")
    parser.add_argument("--check", action="store_true", help="compare a fresh run with the kept files")
    args = parser.parse_args()
    here = os.path.dirname(os.path.abspath(__file__))
    made = make_all()
    if args.check:
        differing = []
        for name, data in made.items():
            with open(os.path.join(here, name), "rb") as f:
                if not matches(name, data, f.read()):
                    differing.append(name)
        if differing:
            print("out of date: " + ", ".join(differing))
            return 1
        print("resources are up to date")
        return 0
    for name, data in made.items():
        with open(os.path.join(args.out or here, name), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
