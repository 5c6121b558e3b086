#pragma once

#include "lzss/file_format.h"
#include "lzss/lzss_settings.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

// What the 6502 player, assembled with LZ_LOOP=1, restarts a looping song
// from: lz_init takes, after the song's start, end and rings, the address of
// these 82 bytes. At the end of the song the next call plays the loop's
// first frame (with two chips its first pair) from the record, without
// decoding, and leaves the player as it is after that frame: the record
// holds the decoder's state before the next one, f = loop + chips.
//
// Frame t is kept at ring index (t - base) mod 2^offset bits (base 2, or 1
// in the old format). P is loopStepBits(settings): the bits of the index
// at which the player compares its steps.
//
//   offset  bytes  field
//   0       2      the next data byte to read, counted from the file's first byte
//   2       1      the control byte: 0 when the next flag opens one; else its
//                  flags not yet read, shifted down, with a 1 above them
//   3       1      0 when no half-byte waits, else $10 + the waiting high half
//   4       2      (f - 1 - base) mod 2^P up to 8 offset bits (the ring index, or a
//                  frame count), the ring index past 8
//   6       2      the call counter at lz_init
//   8       2      the call counter at the restart
//   10+8k   8      channel 8 - k (k = 0: AUDCTL ... k = 8: AUDF1):
//     +0    1        the ring index of its next step, f + r, in P bits
//                    (r: the frames its copy still runs before frame f)
//     +1    2        the ring index its copy reads next (0 at 0 offset bits)
//     +3    2        ~(r >> P): the times the copy passes its step's index first
//     +5    1        its value in the loop's first frame
//     +6    1        with two chips, its value in the second (else 0)
//     +7    1        0
// Words are little endian. A channel the file leaves out has only its values.
//
// A call plays a frame (a pair with two chips); lz_init is call 0, and it
// plays frame 0 (frames 0 and 1) in the new format and nothing in the old.
// After lz_init, every lz_frame and the restart, once the whole data is read,
// the player arms the restart when its counter is 0, else counts it down. So
// the counter starts at the calls from the one that reads the last byte to
// the song's last, and at the restart at the calls from the later of that
// call and the restart's own.
inline constexpr size_t loopRecordSize = 82;

// The offset bits from 1 to 7 offset bits, except where the player counts
// frames modulo 256 (field 4 then holds that count rather than the ring
// index): with at most 5 offset bits when a copy would pass its step's
// ring index, if counting spares it every pass or the pass count's second
// byte. Else 8.
int32_t loopStepBits(const LzssSettings& settings);

struct LoopRecord {
    std::array<uint8_t, loopRecordSize> bytes{};
    std::string error;  // why the file cannot loop there; empty when the bytes are made
};

// The record of a file that loops from loopFrame to its end, worked out by
// the decoder. The error, worded to follow the file's name, when the file
// does not decode, holds no whole pairs for two chips, ends with bytes that
// make no whole frame (the player would never read to its end), when
// loopFrame lies outside the song or inside a pair, or when the file is
// beyond the record's 16 bits.
LoopRecord makeLoopRecord(std::span<const uint8_t> file, const LzssSettings& settings, const FormatChoices& format,
                          int32_t chips, int32_t loopFrame);

// What the player needs from regsqueeze --loop, as ca65 source: the
// settings as equates, the loop frame, and unless LZ_SETTINGS_ONLY is
// defined, the record at lz_loop. name is the song file's, without folders;
// frames the song's.
std::string loopInclude(const std::string& name, const LzssSettings& settings, const FormatChoices& format,
                        int32_t chips, int32_t loopFrame, int32_t frames, const LoopRecord& record);
