#include "atari/atari_binary.h"

LoadSegment vectorSegment(uint16_t vector, uint16_t address)
{
    return {vector, {static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8)}};
}

std::vector<uint8_t> atariBinary(std::span<const LoadSegment> segments)
{
    std::vector<uint8_t> out{0xFF, 0xFF};
    for (const LoadSegment& segment : segments) {
        const uint16_t last = static_cast<uint16_t>(segment.start + segment.bytes.size() - 1);
        for (uint16_t word : {segment.start, last}) {
            out.push_back(static_cast<uint8_t>(word));
            out.push_back(static_cast<uint8_t>(word >> 8));
        }
        out.insert(out.end(), segment.bytes.begin(), segment.bytes.end());
    }
    return out;
}
