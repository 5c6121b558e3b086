#include "atari/loop_record.h"

#include "lzss/decoder.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

void putWord(LoopRecord& record, size_t at, uint32_t value)
{
    record.bytes[at] = static_cast<uint8_t>(value & 0xFF);
    record.bytes[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

}  // namespace

int32_t loopStepBits(const LzssSettings& settings)
{
    // The frames the longest copy runs after its first, and its passes over slots at ring indexes or at counts.
    const int32_t offsetBits = settings.offsetBits, longestOn = settings.longestMatch() - 1;
    if (offsetBits == 0 || offsetBits >= 8) return 8;
    const int32_t ringPasses = longestOn >> offsetBits, countPasses = longestOn >> 8;
    const bool counted = offsetBits <= 5 && ringPasses > 0 && (countPasses == 0 || ringPasses > 255);
    return counted ? 8 : offsetBits;
}

LoopRecord makeLoopRecord(std::span<const uint8_t> file, const LzssSettings& settings, const FormatChoices& format,
                          int32_t chips, int32_t loopFrame)
{
    LoopRecord record;
    const auto refuse = [&record](std::string why) {
        record.error = std::move(why);
        return record;
    };
    const DecodedSong song = decodeCompressedFile(file, settings, format);
    if (!song.error.empty()) return refuse("does not decode: " + song.error);
    const int32_t frames = song.streams.frameCount();
    if (frames == 0) return refuse("holds no whole frame");
    if (frames % chips != 0)
        return refuse("has an odd number of frames (" + std::to_string(frames) +
                      "): it holds no whole pairs to loop on two chips");
    if (loopFrame < 0 || loopFrame >= frames)
        return refuse("has " + std::to_string(frames) + " frames: the loop frame " + std::to_string(loopFrame) +
                      " lies outside the song");
    if (loopFrame % chips != 0)
        return refuse("is for two chips, whose frames come in pairs: the loop frame " + std::to_string(loopFrame) +
                      " is not the first frame of a pair");
    if (song.unreadBytes > 0)
        return refuse("ends with " + std::to_string(song.unreadBytes) +
                      " bytes that make no whole frame: the player would never finish reading it, so it cannot loop");
    if (file.size() > 0xFFFF)
        return refuse("has " + std::to_string(file.size()) + " bytes, more than the loop record can point into (65535)");

    // Calls: call c has played framesThrough(c) frames; lz_init is call 0.
    const int32_t lead = format.oldFormat ? 0 : 1;
    const auto framesThrough = [&](int32_t call) { return chips * (call + lead); };
    const int32_t next = loopFrame + chips;  // the first frame after the restart call
    const int32_t lastCall = frames / chips - lead, loopCall = next / chips - lead;
    // The first call after which the whole data is read; the reader's
    // position only grows from frame to frame.
    int32_t endCall = 0;
    for (int32_t high = lastCall; endCall < high;) {
        const int32_t middle = endCall + (high - endCall) / 2;
        if (measureCompressedFile(file, settings, format, framesThrough(middle)).unreadBytes == 0) high = middle;
        else endCall = middle + 1;
    }
    const int32_t counterAtInit = lastCall - endCall, counterAtRestart = lastCall - std::max(loopCall, endCall);
    if (counterAtInit > 0xFFFF)
        return refuse("reads its last byte " + std::to_string(counterAtInit) +
                      " calls before its end, more than the player's call counter holds (65535)");

    const std::optional<LoopRestart> restart = findLoopRestart(file, settings, format, next);
    if (!restart) return refuse("does not decode up to frame " + std::to_string(next));
    const int32_t base = offsetBase(format), offsetBits = settings.offsetBits;
    const int32_t ringMask = settings.windowSize() - 1;
    const int32_t stepBits = loopStepBits(settings);
    putWord(record, 0, static_cast<uint32_t>(restart->dataOffset));
    if (restart->controlOffset >= 0) {
        const int32_t used = restart->flagsUsed;
        record.bytes[2] = static_cast<uint8_t>((file[restart->controlOffset] >> used) | (1 << (8 - used)));
    }
    if (restart->halfByteOffset >= 0)
        record.bytes[3] = static_cast<uint8_t>(0x10 + (file[restart->halfByteOffset] >> 4));
    putWord(record, 4, static_cast<uint32_t>((next - 1 - base) & (offsetBits <= 8 ? (1 << stepBits) - 1 : ringMask)));
    putWord(record, 6, static_cast<uint32_t>(counterAtInit));
    putWord(record, 8, static_cast<uint32_t>(counterAtRestart));
    for (int k = 0; k < registersPerFrame; ++k) {
        const int channel = firstChannel - k;
        const size_t at = 10 + 8 * static_cast<size_t>(k);
        const std::vector<uint8_t>& values = song.streams.streams[channel];
        record.bytes[at + 5] = values[loopFrame];
        if (chips == 2) record.bytes[at + 6] = values[loopFrame + 1];
        if (channel != 0 && ((file[0] >> maskBit(channel)) & 1) != 0) continue;  // left out: its values only
        const LoopRestart::RunningCopy& copy = restart->copies[channel];
        record.bytes[at] = static_cast<uint8_t>((next + copy.remaining - base) & ((1 << stepBits) - 1));
        if (offsetBits > 0) putWord(record, at + 1, static_cast<uint32_t>((copy.sourceSlot - base) & ringMask));
        putWord(record, at + 3, ~static_cast<uint32_t>(copy.remaining >> stepBits) & 0xFFFF);
    }
    return record;
}

std::string loopInclude(const std::string& name, const LzssSettings& settings, const FormatChoices& format,
                        int32_t chips, int32_t loopFrame, int32_t frames, const LoopRecord& record)
{
    // A comment starts in column 36, as in the player's sources.
    const auto line = [](const std::string& text, const std::string& comment) {
        return text + std::string(std::max<size_t>(36, text.size() + 1) - text.size(), ' ') + "; " + comment + "\n";
    };
    std::string text = "; " + name + ": the settings and the loop, for the 6502 player\n";
    text += "LZ_OFFSET_BITS = " + std::to_string(settings.offsetBits) + "\n";
    text += "LZ_LENGTH_BITS = " + std::to_string(settings.lengthBits) + "\n";
    text += "LZ_MIN_MATCH   = " + std::to_string(settings.minMatchLength) + "\n";
    text += "LZ_OLD_FORMAT  = " + std::to_string(int{format.oldFormat}) + "\n";
    text += "LZ_STEREO      = " + std::to_string(int{chips == 2}) + "\n";
    text += "LZ_LOOP        = 1\n";
    text += line("LZ_LOOP_FRAME  = " + std::to_string(loopFrame),
                 "frames " + std::to_string(loopFrame) + " to " + std::to_string(frames - 1) + " play again and again");
    text += ".ifndef LZ_SETTINGS_ONLY\n        .segment \"RODATA\"\n";
    text += line("lz_loop:", "the loop record: lz_init's fourth word");
    for (size_t at = 0; at < record.bytes.size(); at += 16) {
        text += "        .byte   ";
        for (size_t i = at; i < std::min(at + 16, record.bytes.size()); ++i) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%s$%02X", i == at ? "" : ",", record.bytes[i]);
            text += hex;
        }
        text += "\n";
    }
    return text + ".endif\n";
}
