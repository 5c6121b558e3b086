#!/usr/bin/env python3
"""The 6502 player, run in sim65, against the program's decoder: the same
frames to the same end, for generated songs at every setting the converter
accepts (minimum matches sampled), both formats, with and without -e, with
one chip and two; for corpus songs, the dual-chip ones played on two chips;
for files cut short; and for looping songs, the intro and three more passes,
with the player built for loops (and for a game). For short songs, the cycles of the calls measured
one by one add up to the song's total and, up to 8 offset bits, none exceeds the
worst call that build/tools/worst_call finds.

    compare_with_decoder.py BUILD_DIR CORPUS_DIR
"""
import concurrent.futures
import gzip
import os
import subprocess
import sys
import tempfile

build, corpus = sys.argv[1], sys.argv[2]
root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
simulate = os.path.join(root, "scripts", "simulate-player")


def frames(command):
    result = subprocess.run(command, capture_output=True, text=True)
    lines = result.stdout.splitlines()
    if lines and lines[-1].startswith("cycles: "):
        lines.pop()
    return lines, result.returncode, "wrote a register" in result.stderr


def compare(case):
    """Converts, compares and checks the cycles; returns a failure or None."""
    song, o, l, m, flags, options, cut = case
    old = "--old" in flags
    with tempfile.TemporaryDirectory() as work:
        packed = os.path.join(work, "song.lz16")
        convert = [os.path.join(build, "regsqueeze"), "-q", "-o", str(o), "-l", str(l), "-m", str(m),
               *(x for x in options if x != "each")]
        if subprocess.run(convert + (["-x"] if old else []) + [song, packed], capture_output=True).returncode:
            return None  # a song the converter refuses (silent after trimming)
        if cut:
            data = open(packed, "rb").read()
            open(packed, "wb").write(data[:cut(len(data))])
        settings = [str(o), str(l), str(m), packed]
        player = frames([simulate, *flags, *settings])
        decoder = frames([os.path.join(build, "tools", "decode_frames"), *flags, *settings])
        if player[0] != decoder[0] or (player[1] == 0) != (decoder[1] == 0) or player[2]:
            first = next((i for i, (a, b) in enumerate(zip(*(player[0], decoder[0]))) if a != b), None)
            return (f"{os.path.basename(song)} {' '.join(flags)} {o}/{l}/{m} {options} cut={cut is not None}: "
                    f"player {len(player[0])} frames (status {player[1]}), decoder {len(decoder[0])} "
                    f"(status {decoder[1]}), first difference at {first}")
        if "each" in options and player[1] == 0:
            # The worst-call search is slow past 8 offset bits: there the sum only.
            search = ["--worst"] * (o <= 8)
            out = subprocess.run([simulate, "--each", *search, *flags, *settings], capture_output=True,
                                 text=True).stdout
            calls = [int(c) for c in out.splitlines()[-2].split()[1:]]
            total, worst = int(out.split()[-5]), out.split()[-1]
            if sum(calls) != total or (worst != "-" and max(calls) > int(worst)):
                return f"{os.path.basename(song)} {' '.join(flags)} {o}/{l}/{m}: calls add up to " \
                       f"{sum(calls)} of {total}, the costliest {max(calls)} against the worst {worst}"
    return None


def compare_loop(case):
    """A looping song: the player's first four passes against the decoder's."""
    song, o, l, m, flags, where = case
    old = "--old" in flags
    with tempfile.TemporaryDirectory() as work:
        packed = os.path.join(work, "song.lz16")
        convert = [os.path.join(build, "regsqueeze"), "-q", "-o", str(o), "-l", str(l), "-m", str(m)] + \
            ["-x"] * old
        subprocess.run(convert + [song, packed], check=True, capture_output=True)
        decode = [os.path.join(build, "tools", "decode_frames"), *(f for f in flags if f != "--game")]
        n = len(frames(decode + [str(o), str(l), str(m), packed])[0])
        n *= 2 if "--stereo" in flags else 1
        start = {"first": 0, "middle": n // 2, "last": n - 1}[where]
        start -= start % (2 if "--stereo" in flags else 1)
        subprocess.run(convert + ["--loop-frame", str(start), song, packed], check=True, capture_output=True)
        settings = [str(o), str(l), str(m), packed]
        expected = frames(decode + ["--loop-frame", str(start), "--passes", "3", *settings])[0]
        calls = len(expected) - (0 if old else 1)
        played = frames([simulate, *flags, "--loop", os.path.join(work, "song.inc"), "--calls", str(calls),
                         *settings])[0]
        if played != expected:
            first = next((i for i, (a, b) in enumerate(zip(played, expected)) if a != b), None)
            return (f"loop {os.path.basename(song)} {' '.join(flags)} {o}/{l}/{m} from {start} of {n}: "
                    f"player {len(played)} lines, decoder {len(expected)}, first difference at {first}")
    return None


with tempfile.TemporaryDirectory() as songs:
    subprocess.run([os.path.join(build, "tools", "make_test_songs"), songs, "40", "12"], check=True)
    generated = sorted(os.path.join(songs, name) for name in os.listdir(songs))
    # The example song leaves channels out, which the long generated ones do not.
    longest = sorted(generated, key=os.path.getsize)[-7:] + [os.path.join(root, "examples", "example.vgm")]
    cases = []
    # The widths the program accepts, by its own rule.
    widths = [(o, l) for o in range(0, 13) for l in range(2, 17)
              if subprocess.run([os.path.join(build, "tools", "player_settings"), str(o), str(l), "1"],
                                capture_output=True).returncode == 0]
    for i, (o, l) in enumerate(widths):
        for variant, options in enumerate([["-t"], ["-t"], ["-e"], ["-e"]]):
            m = 1 + (i * 5 + variant * 3) % 16 if variant % 2 else 1 + (i + variant) % 4
            # Every width in both formats on one chip and on two.
            flags = ["--old"] * (variant % 2) + ["--stereo"] * ((i + variant // 2) % 2)
            # Past 8 offset bits, songs long enough for the ring index to turn pages.
            pool = longest if o > 8 else generated
            cases.append((pool[(4 * i + variant) % len(pool)], o, l, m, flags, options, None))
    corpus_songs = sorted(os.path.join(corpus, n) for n in os.listdir(corpus)
                          if n.endswith((".vgm", ".vgz"))) if os.path.isdir(corpus) else []
    for n, song in enumerate(corpus_songs[:5]):
        for o, l, m in [(4, 4, 1), (7, 5, 1), (8, 8, 1), (9, 7, 2)]:
            cases.append((song, o, l, m, ["--old"] * (n % 2), ["-t"], None))
    # Songs for two chips, whole and trimmed (in pairs, so that their frames still alternate).
    vgm = [open(s, "rb").read() for s in corpus_songs]
    dual = [s for s, v in zip(corpus_songs, vgm) if (gzip.decompress(v) if v[:2] == b"\x1f\x8b" else v)[0xB3] & 0x40]
    for n, song in enumerate(dual):
        o, l, m = [(3, 4, 2), (8, 8, 1), (7, 5, 1), (9, 7, 2), (0, 8, 1), (2, 5, 1), (12, 4, 1), (10, 6, 3)][n % 8]
        cases.append((song, o, l, m, ["--stereo"] + ["--old"] * (n % 2), ["-t"] * (n // 2 % 2), None))
    # Files cut short: the player stops where the decoder does, and a start
    # that fails (cut in the header) writes no register.
    for o, l, m in [(8, 8, 1), (7, 5, 1), (4, 4, 2), (10, 6, 3), (0, 16, 2), (3, 2, 1)]:
        for fraction in (0, 1, 3, 5):
            flags = ["--old"] * (fraction == 3) + ["--stereo"] * (fraction in (1, 3))
            cases.append((generated[7], o, l, m, flags, [], lambda n, f=fraction: n * f // 6 + f))
        for old in (False, True):  # (the example song's header: 10 bytes, or 2 with -x)
            cases.append((longest[-1], o, l, m, ["--old"] * old, [], lambda n, c=3 - 2 * old: c))
    # Cycles call by call, on songs of up to 200 frames.
    short = [g for g in generated if os.path.getsize(g) < 4000][:4]
    for n, (o, l, m) in enumerate([(8, 8, 1), (7, 5, 1), (4, 4, 2), (10, 6, 3), (0, 16, 2), (12, 4, 1), (2, 10, 5),
                                   (2, 5, 3)]):
        flags = ["--old"] * (n % 2) + ["--stereo"] * (n % 3 == 0)
        cases.append((short[n % len(short)], o, l, m, flags, ["-t", "each"], None))
    with concurrent.futures.ThreadPoolExecutor(int(os.environ.get("PLAYER_TEST_JOBS", "2"))) as pool:
        failures = [f for f in pool.map(compare, cases) if f]

loops = []
with tempfile.TemporaryDirectory() as songs:
    subprocess.run([os.path.join(build, "tools", "make_test_songs"), songs, "12", "7"], check=True)
    generated = sorted(os.path.join(songs, name) for name in os.listdir(songs))
    dual = [g for g in generated if open(g, "rb").read()[0xB3] & 0x40]
    mono = [g for g in generated if g not in dual]
    for n, (o, l, m, flags, where) in enumerate([
            (8, 8, 1, [], "first"), (8, 8, 1, [], "middle"), (8, 8, 1, [], "last"),
            (8, 8, 1, ["--stereo"], "middle"), (8, 8, 1, ["--stereo", "--game"], "last"),
            (4, 6, 1, [], "middle"), (4, 6, 1, ["--stereo"], "first"), (7, 5, 1, ["--old"], "middle"),
            (9, 7, 2, ["--game"], "middle"), (12, 4, 1, ["--stereo"], "middle"), (0, 2, 1, [], "middle"),
            (3, 13, 1, ["--old", "--stereo"], "middle")]):
        pool = dual if "--stereo" in flags else mono
        loops.append((pool[n % len(pool)], o, l, m, flags, where))
    with concurrent.futures.ThreadPoolExecutor(int(os.environ.get("PLAYER_TEST_JOBS", "2"))) as pool:
        loop_failures = [f for f in pool.map(compare_loop, loops) if f]

failures += loop_failures
print(f"{len(cases) + len(loops)} comparisons, {len(failures)} failed")
for failure in failures[:20]:
    print(failure)
sys.exit(1 if failures else 0)
