#!/usr/bin/env python3
"""Each SAP tune converted with -t --loop plays in sim65, with the player
built for loops, exactly as its own 6502 code does for 15 minutes (the
program's capture of it, with --seconds 900): equal frame by frame from the
first sounding frame on, as the loop search compares frames (a silent
channel's AUDF, and AUDCTL while every channel is silent, left out). A tune
that the conversion refuses (no loop shown whole in 15 minutes), or too
large for the 6502, is listed as not played.

    sap_loops.py BUILD_DIR SAP_DIR [TUNE...]
"""
import concurrent.futures
import os
import subprocess
import sys
import tempfile

build, folder = sys.argv[1], sys.argv[2]
root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
simulate = os.path.join(root, "scripts", "simulate-player")
SECONDS = 900


def heard(line):
    """A frame line (one chip or two) as the loop search compares it."""
    regs = [int(x, 16) for x in line.split()]
    entry = []
    for chip in range(0, len(regs), 9):
        sounding = [regs[chip + 2 * c + 1] & 0x0F != 0 for c in range(4)]
        for c in range(4):
            entry += regs[chip + 2 * c:chip + 2 * c + 2] if sounding[c] else [0, 0]
        entry.append(regs[chip + 8] if any(sounding) else 0)
    return entry


def check(tune):
    with tempfile.TemporaryDirectory() as work:
        song, reference = os.path.join(work, "song.lz16"), os.path.join(work, "reference.lz16")
        convert = [os.path.join(build, "regsqueeze"), "-q"]
        looped = subprocess.run(convert + ["-t", "--loop", tune, song], capture_output=True, text=True)
        subprocess.run(convert + ["--seconds", str(SECONDS), tune, reference], check=True, capture_output=True)
        stereo = b"\nSTEREO" in open(tune, "rb").read().split(b"\xff\xff")[0]
        flags = ["--stereo"] * stereo
        captured = subprocess.run([os.path.join(build, "tools", "decode_frames"), *flags, "8", "8", "1", reference],
                                  capture_output=True, text=True, check=True).stdout.splitlines()
        first = next(i for i, line in enumerate(captured) if any(heard(line)))
        name = os.path.basename(tune)
        if looped.returncode or not os.path.exists(os.path.join(work, "song.inc")):
            why = [line for line in looped.stderr.splitlines() if "error" in line or "warning" in line]
            return f"{name}: not played ({why[0] if why else looped.stderr.strip()})"
        calls = len(captured) - first - 1
        played = subprocess.run([simulate, *flags, "--loop", os.path.join(work, "song.inc"), "--calls", str(calls),
                                 "8", "8", "1", song], capture_output=True, text=True).stdout.splitlines()[:-1]
        if len(played) != len(captured) - first:
            return f"{name}: the player played {len(played)} lines, the capture has {len(captured) - first}"
        for i, (a, b) in enumerate(zip(played, captured[first:])):
            if heard(a) != heard(b):
                return f"{name}: frame {i} differs: player {a}, the tune's own code {b}"
    return f"{name}: {len(played)} lines equal"


if not os.path.isdir(folder):
    print(f"{folder} is missing: skipped")
    sys.exit(77)
tunes = sys.argv[3:] or sorted(os.path.join(folder, n) for n in os.listdir(folder) if n.lower().endswith(".sap"))
with concurrent.futures.ThreadPoolExecutor(int(os.environ.get("PLAYER_TEST_JOBS", "2"))) as pool:
    results = list(pool.map(check, tunes))
failed = [r for r in results if "differs" in r or "played" in r and "not played" not in r]
for r in results:
    print(r)
print(f"{len(tunes)} tunes, {len(failed)} failed")
sys.exit(1 if failed else 0)
