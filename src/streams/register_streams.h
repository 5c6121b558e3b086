#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The most frames a song may have: about 93 hours at 50 frames a second. A
// wait command is a single byte and every frame costs tens of bytes to
// compress, so without a bound a small hostile file could exhaust memory.
inline constexpr int32_t maximumFrames = 1 << 24;

// Registers 0 to 8 of one POKEY chip at one wait command.
inline constexpr int registersPerFrame = 9;

enum RegisterIndex : int {
    AUDF1 = 0, AUDC1, AUDF2, AUDC2, AUDF3, AUDC3, AUDF4, AUDC4, AUDCTL,
};

inline constexpr int audioChannels = 4;
inline constexpr RegisterIndex audcRegisters[audioChannels] = {AUDC1, AUDC2, AUDC3, AUDC4};

using RegisterFrame = std::array<uint8_t, registersPerFrame>;

// A channel is heard exactly when the volume in the low half of its AUDC is not 0.
inline bool channelSounds(uint8_t audc) { return (audc & 0x0F) != 0; }

// Registers 0 to 8 of every chip at every capture, one after another: with
// two chips, chip 1's nine bytes and then chip 2's.
struct FrameCaptures {
    std::vector<uint8_t> bytes;
    int32_t chips = 1;
    // The loop that the input names itself (a VGM header's), as the frame
    // it starts at, or -1; when it names one that cannot be used, why not.
    int32_t ownLoopFrame = -1;
    std::string ownLoopFault;
};

// One byte stream per register: streams[r][i] is register r of frame i.
// All nine streams are as long as the song.
struct RegisterStreamSet {
    std::array<std::vector<uint8_t>, registersPerFrame> streams;
    // 2 for a song of two POKEY chips, whose frames alternate chip 1's and
    // chip 2's registers and come in whole pairs.
    int32_t chips = 1;
    // The input's own loop, as in FrameCaptures.
    int32_t ownLoopFrame = -1;
    std::string ownLoopFault;

    int32_t frameCount() const { return static_cast<int32_t>(streams[0].size()); }

    // The register holds one value in every frame.
    bool isConstant(int r) const
    {
        const std::vector<uint8_t>& stream = streams[r];
        for (uint8_t value : stream) {
            if (value != stream[0]) return false;
        }
        return true;
    }

    // No channel can be heard in the frame.
    bool isSilent(int32_t frame) const
    {
        for (RegisterIndex audc : audcRegisters) {
            if (channelSounds(streams[audc][frame])) return false;
        }
        return true;
    }
};

// Cuts the captures into 9-byte frames and splits them into the nine
// register streams, with their AUDC values normalised.
RegisterStreamSet buildRegisterStreams(const FrameCaptures& captures);

// Makes AUDC values that differ only in bits the chip ignores equal; a
// silent channel's control value becomes 0.
uint8_t normaliseAudc(uint8_t value);
