#pragma once

#include "lzss/lzss_settings.h"

#include <cstdint>
#include <vector>

// Packs flags, data bytes and match codes into one growing buffer. Control
// bytes and the half-byte slots of 9-to-12-bit codes are opened inside the
// data, so a reader finds them in the order they were put.
class BitStreamWriter {
public:
    // Throws std::invalid_argument for code widths that have no packing.
    explicit BitStreamWriter(const LzssSettings& settings);

    void putFlag(int bit);
    void putByte(uint8_t byte);
    // offsetCode in 0 .. 2^offsetBits - 1, lengthCode in 0 .. 2^lengthBits - 1.
    void putMatchCode(int32_t offsetCode, int32_t lengthCode);

    const std::vector<uint8_t>& bytes() const { return buffer_; }
    std::vector<uint8_t> takeBytes() { return std::move(buffer_); }

private:
    LzssSettings settings_;
    std::vector<uint8_t> buffer_;
    int32_t flagCount_ = 0;
    int32_t controlIndex_ = -1;
    int32_t halfByteIndex_ = -1;
};
