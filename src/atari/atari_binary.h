#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The Atari's binary load format, which executables and the binary part of
// a SAP file share: $FF $FF, then segments of a start address, an end
// address (the last byte's, inclusive, both low byte first) and the bytes.
struct LoadSegment {
    uint16_t start = 0;
    std::vector<uint8_t> bytes;  // not empty; start + size stays within 64 KB
};

// The address that DOS jumps to once the file is loaded.
inline constexpr uint16_t runAddressVector = 0x02E0;

// A segment that sets a two-byte vector such as runAddressVector.
LoadSegment vectorSegment(uint16_t vector, uint16_t address);

std::vector<uint8_t> atariBinary(std::span<const LoadSegment> segments);
