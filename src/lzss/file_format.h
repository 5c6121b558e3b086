#pragma once

#include "streams/register_streams.h"
#include "lzss/lzss_settings.h"

#include <cstdint>
#include <vector>

// The layout of a compressed file, shared by the writer and the reader. The
// file records none of the settings or choices: a player is built for them.
//
//   channel mask   one byte; bit 8 - c set when channel c (1 to 8) is constant
//                  and left out of the steps; channel 0 is never left out
//   initial values channel 8 first, down to channel 0: frame 0 of every
//                  channel, or in the old format only the left-out channels'
//   steps          frame by frame, each frame's channels 8 down to 0; a flag
//                  (1 literal, 0 match) in a shared control byte, then the
//                  literal byte or the match code

// How a run lays out the file.
struct FormatChoices {
    bool oldFormat = false;       // initial values for left-out channels only; steps from frame 0
    bool forceEndLiteral = true;  // end channel 0 in a literal when every stream ends in a match
};

// Channels are scanned, stored and interleaved from AUDCTL down to AUDF1.
inline constexpr int firstChannel = registersPerFrame - 1;

inline int maskBit(int channel) { return 8 - channel; }

// The frame that a match's offset code 0 names.
inline int32_t offsetBase(const FormatChoices& format) { return format.oldFormat ? 1 : 2; }

// The first frame with steps: frame 0 of the new format is in the header.
inline int32_t firstStepFrame(const FormatChoices& format) { return format.oldFormat ? 0 : 1; }

// How a match code of offsetBits + lengthBits bits is packed:
//   one byte        up to 8 bits: offset code high, length code low;
//   byte and a half 9 to 12 bits: the offset code and the low bits of the
//                   length code in one byte, the high bits in a half-byte
//                   slot that two codes share, opened by the first of them;
//   two bytes       13 to 16 bits, low byte first: the offset code low and
//                   length code + 1 above it.
enum class Packing { OneByte, ByteAndHalf, TwoBytes };

inline Packing packingOf(const LzssSettings& settings)
{
    const int32_t width = settings.codeBits();
    return width <= 8 ? Packing::OneByte : width <= 12 ? Packing::ByteAndHalf : Packing::TwoBytes;
}

// The bytes that count match codes take in their packing, half-bytes included.
inline int64_t matchCodeBytes(const LzssSettings& settings, int64_t count)
{
    switch (packingOf(settings)) {
    case Packing::OneByte: return count;
    case Packing::ByteAndHalf: return count + (count + 1) / 2;
    case Packing::TwoBytes: break;
    }
    return 2 * count;
}

// Whether a code of these widths fits its packing: two bytes at most, and
// a whole offset code in the first byte when a half-byte holds the rest.
inline bool hasPacking(const LzssSettings& settings)
{
    if (settings.offsetBits < 0 || settings.lengthBits < 0 || settings.codeBits() > 16) return false;
    return packingOf(settings) != Packing::ByteAndHalf || settings.offsetBits <= 8;
}

// The first rule of the program's settings that these break, worded for a
// usage message, or null when it accepts them: the bounds of lzss_settings.h
// and a packing. tooWide is the message for codes wider than 16 bits, which
// each program words after its own options.
inline const char* settingsFault(const LzssSettings& settings, const char* tooWide)
{
    if (settings.offsetBits < 0 || settings.offsetBits > maxOffsetBits) return "match offset bits should be from 0 to 12";
    if (settings.lengthBits < minLengthBits || settings.lengthBits > maxLengthBits)
        return "match length bits should be from 2 to 16";
    if (settings.minMatchLength < 1 || settings.minMatchLength > maxMinMatchLength)
        return "minimum match length should be from 1 to 16";
    if (!hasPacking(settings))
        return settings.codeBits() > maxCodeBits ? tooWide : "match offset bits should be from 0 to 8 for 9 to 12 total bits";
    return nullptr;
}

inline bool isAccepted(const LzssSettings& settings) { return settingsFault(settings, "") == nullptr; }

// Every setting the program accepts. Offset and length bits given together
// may make a code narrower than the smallest total the options take on
// their own.
inline std::vector<LzssSettings> acceptedSettings()
{
    std::vector<LzssSettings> all;
    for (int32_t offset = 0; offset <= maxOffsetBits; ++offset) {
        for (int32_t length = minLengthBits; length <= maxLengthBits; ++length) {
            for (int32_t minimum = 1; minimum <= maxMinMatchLength; ++minimum) {
                const LzssSettings settings{offset, length, minimum};
                if (isAccepted(settings)) all.push_back(settings);
            }
        }
    }
    return all;
}
