#!/usr/bin/env python3
"""lz16 pack's routes into a game, played in sim65 against the decoder:
NAME.obx with NAME.equ (pack_obx_game.s, which assembles nothing of the player:
two songs, a switch through lz_request, channel 4 muted and given back,
lz_stop) and NAME.h with NAME.s (pack_game.c, built with cl65 -t sim6502).

    pack_routes.py BUILD_DIR
"""
import os
import subprocess
import sys
import tempfile

build = sys.argv[1]
here = os.path.dirname(os.path.abspath(__file__))
PROGRAM = 0x2000  # below NAME.obx, which starts at $3000


def run(command, **options):
    return subprocess.run(command, check=True, capture_output=True, **options)


def frames(path):
    out = run([os.path.join(build, "tools", "decode_frames"), "8", "8", "1", path], text=True).stdout
    return [bytes.fromhex(line.replace(" ", "")) for line in out.splitlines()]


def obx_segments(data):
    """(address, bytes) of an Atari binary-load file's segments."""
    segments, at = [], 0
    while at < len(data):
        if data[at:at + 2] == b"\xff\xff":
            at += 2
        first, last = int.from_bytes(data[at:at + 2], "little"), int.from_bytes(data[at + 2:at + 4], "little")
        segments.append((first, data[at + 4:at + 5 + last - first]))
        at += 5 + last - first
    return segments


def compare(route, played, expected):
    if played != expected:
        first = next((i for i, (a, b) in enumerate(zip(played, expected)) if a != b), min(len(played), len(expected)))
        sys.exit(f"{route}: {len(played)} frames played, {len(expected)} expected, first difference at {first}")
    print(f"{route}: {len(played)} frames equal")


with tempfile.TemporaryDirectory() as work:
    run([os.path.join(build, "tools", "make_test_songs"), work, "8", "5"])
    songs = sorted((os.path.join(work, n) for n in os.listdir(work)), key=os.path.getsize)[-3:-1]
    name = os.path.join(work, "music")
    run([os.path.join(build, "lz16"), "pack", "-o", "8", "-l", "8", "-m", "1", "--out", name, *songs])
    first, second = frames(name + "-0.lz16"), frames(name + "-1.lz16")
    muted = [f[:6] + b"\xaa\xaa" + f[8:] for f in first[41:81]]
    silenced = bytearray(second[39])
    silenced[1::2] = bytes(4)  # AUDC1 ... AUDC4, and AUDCTL kept
    sixty = [first[n - n // 6] for n in range(13)]  # lz_ntsc: the sixth lz_play of each six plays nothing
    expected = [b"\x55" * 9] + first[:41] + muted + first[81:101] + second[:40] + [bytes(silenced)] + sixty

    # NAME.obx and NAME.equ: the program and the file's segments in one sim65 image.
    config = os.path.join(work, "program.cfg")
    with open(config, "w") as f:
        f.write(f"MEMORY {{ MAIN: file = %O, start = ${PROGRAM:04X}, size = $1000; }}\n"
                "SEGMENTS { CODE: load = MAIN, type = rw; }\n")
    run(["ca65", "-I", work, "-o", os.path.join(work, "game.o"), os.path.join(here, "pack_obx_game.s")])
    run(["ld65", "-C", config, "-o", os.path.join(work, "game.bin"), "-Ln", os.path.join(work, "labels"),
         os.path.join(work, "game.o")])
    start = next(int(line.split()[1], 16) for line in open(os.path.join(work, "labels")) if line.split()[2] == ".start")
    image = bytearray(0x10000)
    program = open(os.path.join(work, "game.bin"), "rb").read()
    image[PROGRAM:PROGRAM + len(program)] = program
    top = PROGRAM + len(program)
    for address, data in obx_segments(open(name + ".obx", "rb").read()):
        if address >= PROGRAM:
            image[address:address + len(data)] = data
            top = max(top, address + len(data))
    binary = os.path.join(work, "game.sim")
    with open(binary, "wb") as f:
        f.write(b"sim65" + bytes([2, 0, 0xF0]) + PROGRAM.to_bytes(2, "little") + start.to_bytes(2, "little") +
                image[PROGRAM:top])
    out = run(["sim65", binary]).stdout
    compare("obx and equ", [out[i:i + 9] for i in range(0, len(out), 9)], expected)

    # NAME.h and NAME.s: a C program.
    program = os.path.join(work, "game_c")
    source = os.path.join(work, "pack_game.c")  # cl65 leaves its .s and .o beside the source
    with open(source, "w") as f:
        f.write(open(os.path.join(here, "pack_game.c")).read())
    run(["cl65", "-t", "sim6502", "-I", work, "-o", program, source, name + ".s"])
    compare("C", [bytes.fromhex(line) for line in run(["sim65", program], text=True).stdout.splitlines()], first[:100])
