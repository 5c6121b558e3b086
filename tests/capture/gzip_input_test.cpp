#include "capture/gzip_input.h"

#include "support/gzip_bytes.h"

#include <gtest/gtest.h>

#include <random>

using testing_support::gzipBytes;
using testing_support::gzipZeros;

namespace {

std::vector<uint8_t> randomBytes(size_t size)
{
    std::mt19937 rng(3);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(rng() % 7);
    return bytes;
}

}  // namespace

TEST(GzipInput, InflatesOneOrMoreMembers)
{
    const std::vector<uint8_t> data = randomBytes(200000);
    const std::vector<uint8_t> packed = gzipBytes(data);
    EXPECT_TRUE(isGzip(packed));
    EXPECT_FALSE(isGzip(data));
    EXPECT_EQ(inflateGzip(packed, 1 << 20), data);

    std::vector<uint8_t> twoMembers = gzipBytes({1, 2, 3});
    const std::vector<uint8_t> second = gzipBytes({4, 5});
    twoMembers.insert(twoMembers.end(), second.begin(), second.end());
    EXPECT_EQ(inflateGzip(twoMembers, 100), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
}

TEST(GzipInput, EveryTruncationAndCorruptionIsRejected)
{
    const std::vector<uint8_t> packed = gzipBytes(randomBytes(3000));
    for (size_t length = 2; length < packed.size(); ++length) {
        const std::vector<uint8_t> cut(packed.begin(), packed.begin() + length);
        EXPECT_THROW(inflateGzip(cut, 1 << 20), GzipError) << length;
    }
    std::vector<uint8_t> corrupt = packed;
    corrupt[corrupt.size() - 6] ^= 0x55;  // the checksum no longer matches
    EXPECT_THROW(inflateGzip(corrupt, 1 << 20), GzipError);
    corrupt = packed;
    corrupt[3] = 0xE0;  // reserved header flags
    EXPECT_THROW(inflateGzip(corrupt, 1 << 20), GzipError);
    std::vector<uint8_t> trailing = packed;
    trailing.push_back(0x42);
    EXPECT_THROW(inflateGzip(trailing, 1 << 20), GzipError);
}

TEST(GzipInput, StopsAtTheLimit)
{
    const std::vector<uint8_t> bomb = gzipZeros(50u << 20);
    EXPECT_LT(bomb.size(), 60000u);
    EXPECT_THROW(inflateGzip(bomb, 1 << 20), GzipTooLarge);
    const std::vector<uint8_t> exact = gzipZeros(1 << 20);
    EXPECT_EQ(inflateGzip(exact, 1 << 20).size(), 1u << 20);
    EXPECT_THROW(inflateGzip(exact, (1 << 20) - 1), GzipTooLarge);
}
