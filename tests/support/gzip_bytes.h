#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testing_support {

// The bytes of a gzip file holding the given data.
std::vector<uint8_t> gzipBytes(const std::vector<uint8_t>& data);

// A gzip file holding zeroBytes zero bytes, made without holding them all.
std::vector<uint8_t> gzipZeros(size_t zeroBytes);

}  // namespace testing_support
