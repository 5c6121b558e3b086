#pragma once

#include <cstdint>

// The Atari's timing, which SAP files count in: a scan line is 114 CPU
// cycles, a TV frame 312 scan lines (PAL) or 262 (NTSC), and a SAP player
// is called once a frame unless FASTPLAY says otherwise.
inline constexpr int cyclesPerScanLine = 114;
inline constexpr int palScanLines = 312, ntscScanLines = 262;
// The PAL machines' clock, which drives both the CPU and POKEY, in hertz.
inline constexpr uint32_t palClockHz = 1773447;
// The CPU clocks in half hertz, exact in integers (NTSC's is 1,789,772.5 Hz).
inline constexpr int64_t palClockHalfHz = 2 * int64_t{palClockHz}, ntscClockHalfHz = 3579545;
inline constexpr double palClock = palClockHalfHz / 2.0, ntscClock = ntscClockHalfHz / 2.0;  // cycles a second
