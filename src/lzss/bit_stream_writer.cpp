#include "lzss/bit_stream_writer.h"

#include "lzss/file_format.h"

#include <stdexcept>

BitStreamWriter::BitStreamWriter(const LzssSettings& settings) : settings_(settings)
{
    if (!isAccepted(settings)) throw std::invalid_argument("settings the program does not accept");
}

void BitStreamWriter::putFlag(int bit)
{
    if (controlIndex_ < 0) {
        controlIndex_ = static_cast<int32_t>(buffer_.size());
        buffer_.push_back(0);
        flagCount_ = 0;
    }
    if (bit != 0)
        buffer_[controlIndex_] |= static_cast<uint8_t>(1u << flagCount_);
    if (++flagCount_ == 8) {
        controlIndex_ = -1;
        flagCount_ = 0;
    }
}

void BitStreamWriter::putByte(uint8_t byte)
{
    buffer_.push_back(byte);
}

void BitStreamWriter::putMatchCode(int32_t offsetCode, int32_t lengthCode)
{
    // Unsigned arithmetic wraps, which is exactly the modulo 256 and 65536
    // that the packings ask for.
    const uint32_t offset = static_cast<uint32_t>(offsetCode);
    const uint32_t length = static_cast<uint32_t>(lengthCode);
    const int32_t offsetBits = settings_.offsetBits;
    const Packing packing = packingOf(settings_);

    if (packing == Packing::OneByte) {
        putByte(static_cast<uint8_t>((offset << settings_.lengthBits) + length));
        return;
    }

    if (packing == Packing::ByteAndHalf) {
        const int32_t lowLengthBits = 8 - offsetBits;
        const uint32_t lowLengthMask = (1u << lowLengthBits) - 1;
        putByte(static_cast<uint8_t>((offset << lowLengthBits) + (length & lowLengthMask)));
        const uint32_t highLength = length >> lowLengthBits;
        // Two codes share one half-byte slot, opened by the first of them
        // right after its own byte.
        if (halfByteIndex_ < 0) {
            halfByteIndex_ = static_cast<int32_t>(buffer_.size());
            putByte(static_cast<uint8_t>(highLength & 0x0F));
        } else {
            buffer_[halfByteIndex_] |= static_cast<uint8_t>(highLength << 4);
            halfByteIndex_ = -1;
        }
        return;
    }

    // The length field holds length code + 1; at the largest length code
    // that carries into the bit above the field, or out of the 16 bits.
    const uint32_t code = ((length + 1) << offsetBits) + offset;
    putByte(static_cast<uint8_t>(code));
    putByte(static_cast<uint8_t>(code >> 8));
}
