#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The bytes as one gzip member, as .vgz files are stored. Throws
// std::runtime_error if the compressor fails.
std::vector<uint8_t> gzipBytes(std::span<const uint8_t> bytes);
