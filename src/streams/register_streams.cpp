#include "streams/register_streams.h"

#include <cstddef>

uint8_t normaliseAudc(uint8_t value)
{
    if (!channelSounds(value)) return 0;
    if (value & 0x10) return value & 0x1F;
    if (value & 0x20) return value & 0xBF;
    return value;
}

RegisterStreamSet buildRegisterStreams(const FrameCaptures& captures)
{
    const std::vector<uint8_t>& frameSequence = captures.bytes;
    const size_t frameCount = frameSequence.size() / registersPerFrame;
    RegisterStreamSet song;
    song.chips = captures.chips;
    song.ownLoopFrame = captures.ownLoopFrame;
    song.ownLoopFault = captures.ownLoopFault;
    for (auto& stream : song.streams) stream.reserve(frameCount);
    for (size_t i = 0; i < frameCount; ++i) {
        const uint8_t* frame = frameSequence.data() + i * registersPerFrame;
        for (int r = 0; r < registersPerFrame; ++r) song.streams[r].push_back(frame[r]);
    }
    for (RegisterIndex audc : audcRegisters) {
        for (uint8_t& value : song.streams[audc]) value = normaliseAudc(value);
    }
    return song;
}
