#!/usr/bin/env python3
"""An Atari executable is loadable: the $FFFF header, segments whose lengths
match their data and which neither overlap nor load into the chips at
$D000-$D7FF, and a run address (RUNAD, $02E0) and any init addresses
(INITAD, $02E2) inside the loaded code."""
import sys

for name in sys.argv[1:]:
    data = open(name, "rb").read()
    assert data[:2] == b"\xff\xff", f"{name}: no $FFFF header"
    at, loaded, run, inits = 2, [], None, []
    while at < len(data):
        if data[at:at + 2] == b"\xff\xff":
            at += 2
        assert at + 4 <= len(data), f"{name}: segment header cut short at {at}"
        start, end = int.from_bytes(data[at:at + 2], "little"), int.from_bytes(data[at + 2:at + 4], "little")
        where = f"{name}: segment ${start:04x}-${end:04x}"
        assert start <= end, f"{where} ends before it starts"
        body = data[at + 4:at + 5 + end - start]
        assert len(body) == end - start + 1, f"{where} has {len(body)} bytes"
        assert end < 0xD000 or start > 0xD7FF, f"{where} loads into the chips"
        assert all(end < s or start > e for s, e in loaded), f"{where} overlaps another"
        if (start, end) == (0x2E0, 0x2E1):
            run = int.from_bytes(body, "little")
        elif (start, end) == (0x2E2, 0x2E3):
            inits.append(int.from_bytes(body, "little"))
        else:
            loaded.append((start, end))
        at += 5 + end - start
    assert run is not None, f"{name}: no run address"
    for address in [run] + inits:
        assert any(s <= address <= e for s, e in loaded), f"{name}: ${address:04x} outside the loaded segments"
    print(f"{name}: {len(loaded)} segment(s), run at ${run:04x}")
