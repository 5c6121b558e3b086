#pragma once

#include "lzss/lzss_settings.h"

#include <cstdint>
#include <cstdio>
#include <vector>

// Packs flags, data bytes and match codes into one buffer and hands it to
// the output file at every flush. Control bytes and the half-byte slots of
// 9-to-12-bit codes are opened inside the data, so a decoder reads them in
// the order they were put.
class BitStreamWriter {
public:
    // The file is not owned; with no file the bytes are only kept in memory.
    // Throws std::invalid_argument for code widths that no packing holds:
    // above 16 bits, or 9 to 12 bits with more than 8 offset bits.
    explicit BitStreamWriter(const LzssSettings& settings, std::FILE* file = nullptr);

    void putFlag(int bit);
    void putByte(uint8_t byte);
    // offsetCode in 0 .. 2^offsetBits - 1, lengthCode in 0 .. 2^lengthBits - 1.
    void putMatchCode(int32_t offsetCode, int32_t lengthCode);

    // Writes the bytes in use to the file and starts afresh: control bytes
    // and half-bytes are not continued after a flush. Returns false when the
    // file did not take every byte. Between two flushes the buffer grows as
    // needed, since a flush would break the control bytes and half-bytes.
    bool flush();

    // Bytes handed to the file so far.
    int32_t bytesWritten() const { return total_; }
    // Everything flushed so far, as handed to the file.
    const std::vector<uint8_t>& flushedBytes() const { return flushed_; }
    // The system's error number for the first write the file refused; 0 while none was.
    int writeError() const { return writeError_; }

private:
    LzssSettings settings_;
    std::vector<uint8_t> buffer_;
    int32_t flagCount_ = 0;
    int32_t controlIndex_ = -1;
    int32_t halfByteIndex_ = -1;
    int32_t total_ = 0;
    std::FILE* file_ = nullptr;
    std::vector<uint8_t> flushed_;
    int writeError_ = 0;
};
