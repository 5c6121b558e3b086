#!/usr/bin/env python3
"""The Atari example is a loadable executable: the $FFFF header, segments
whose lengths match their data, and a run address inside the loaded code."""
import sys

data = open(sys.argv[1], "rb").read()
assert data[:2] == b"\xff\xff", "no $FFFF header"
at, loaded, run = 2, [], None
while at < len(data):
    if data[at:at + 2] == b"\xff\xff":
        at += 2
    assert at + 4 <= len(data), f"segment header cut short at {at}"
    start, end = int.from_bytes(data[at:at + 2], "little"), int.from_bytes(data[at + 2:at + 4], "little")
    assert start <= end, f"segment ${start:04x}-${end:04x} ends before it starts"
    body = data[at + 4:at + 5 + end - start]
    assert len(body) == end - start + 1, f"segment ${start:04x}-${end:04x} has {len(body)} bytes"
    if (start, end) == (0x2E0, 0x2E1):
        run = int.from_bytes(body, "little")
    else:
        loaded.append((start, end))
    at += 5 + end - start
assert run is not None, "no run address"
assert any(s <= run <= e for s, e in loaded), f"run address ${run:04x} outside the loaded segments"
print(f"{len(loaded)} segment(s), run at ${run:04x}")
