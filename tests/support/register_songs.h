#pragma once

#include "capture/register_streams.h"

#include <vector>

// A stream set holding the frames as given (no AUDC normalisation).
inline RegisterStreamSet streamsFromFrames(const std::vector<RegisterFrame>& frames)
{
    RegisterStreamSet set;
    for (const RegisterFrame& frame : frames) {
        for (int r = 0; r < registersPerFrame; ++r) {
            set.streams[r].push_back(frame[r]);
        }
    }
    set.frameCount = static_cast<int32_t>(frames.size());
    return set;
}

// A frame in which only channel 1 sounds, told apart from others by its AUDF.
inline RegisterFrame toneFrame(uint8_t audf1, uint8_t audc1 = 0xA8)
{
    return RegisterFrame{audf1, audc1, 0, 0, 0, 0, 0, 0, 0};
}

inline RegisterFrame silentFrame()
{
    return RegisterFrame{};
}
