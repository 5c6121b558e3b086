#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

// Most VGM files are distributed gzip-compressed (.vgz).
bool isGzip(std::span<const uint8_t> bytes);

struct GzipError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct GzipTooLarge : GzipError {
    using GzipError::GzipError;
};

// Inflates a gzip file (one or more members). Zeros after the last member
// are padding; other bytes after it are not read, and their count goes to
// leftOver. Throws GzipTooLarge when the result would exceed limit bytes,
// without ever holding more than limit + 1 of them, and GzipError when the
// stream is corrupt or cut short.
std::vector<uint8_t> inflateGzip(std::span<const uint8_t> bytes, size_t limit, size_t* leftOver = nullptr);
