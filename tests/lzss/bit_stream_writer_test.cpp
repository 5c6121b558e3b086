#include "lzss/bit_stream_writer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes contentsOf(std::FILE* file)
{
    std::rewind(file);
    Bytes bytes;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
        bytes.push_back(static_cast<uint8_t>(c));
    return bytes;
}

// The bytes one flush hands over after `put` has filled a new writer.
template <typename Put>
Bytes written(const LzssSettings& settings, Put put)
{
    BitStreamWriter writer(settings);
    put(writer);
    writer.flush();
    return writer.flushedBytes();
}

TEST(BitStreamWriter, PacksFlagsLeastSignificantFirstIntoControlBytesInTheData)
{
    EXPECT_EQ(written({8, 8, 1}, [](BitStreamWriter& w) {
                  for (int bit : {1, 0, 1, 1, 0, 0, 0, 1})
                      w.putFlag(bit);
              }),
              Bytes{0x8D});
    EXPECT_EQ(written({8, 8, 1}, [](BitStreamWriter& w) {
                  w.putFlag(0);
                  w.putByte(0x20);
                  w.putFlag(1);
                  w.putByte(0x30);
              }),
              (Bytes{0x02, 0x20, 0x30}));
    EXPECT_EQ(written({8, 8, 1}, [](BitStreamWriter& w) {
                  for (uint8_t i = 0; i < 9; ++i) {
                      w.putFlag(1);
                      w.putByte(i);
                  }
              }),
              (Bytes{0xFF, 0, 1, 2, 3, 4, 5, 6, 7, 0x01, 8}));
}

TEST(BitStreamWriter, PacksMatchCodesByTheirWidth)
{
    EXPECT_EQ(written({7, 5, 1}, [](BitStreamWriter& w) {
                  w.putMatchCode(0x7E, 1);
                  w.putByte(0x20);
                  w.putMatchCode(0x7E, 2);
              }),
              (Bytes{0xFD, 0x10, 0x20, 0xFC}));
    // The length field holds length code + 1: at the largest code it wraps
    // out of 16 bits, or spills above a narrower field.
    EXPECT_EQ(written({8, 8, 1}, [](BitStreamWriter& w) {
                  w.putMatchCode(0xFE, 1);
                  w.putMatchCode(0xFE, 0xFF);
              }),
              (Bytes{0xFE, 0x02, 0xFE, 0x00}));
    EXPECT_EQ(written({8, 5, 1}, [](BitStreamWriter& w) { w.putMatchCode(0x00, 0x1F); }), (Bytes{0x00, 0x20}));
    EXPECT_EQ(written({4, 4, 1}, [](BitStreamWriter& w) { w.putMatchCode(0xE, 1); }), Bytes{0xE1});
}

TEST(BitStreamWriter, FlushStartsControlBytesAndHalfBytesAfresh)
{
    BitStreamWriter writer({7, 5, 1});
    writer.putFlag(1);
    writer.putMatchCode(0x7E, 0x1F);
    EXPECT_TRUE(writer.flush());
    writer.putFlag(1);
    writer.putMatchCode(0x7E, 0x10);
    writer.flush();
    EXPECT_EQ(writer.flushedBytes(), (Bytes{0x01, 0xFD, 0x0F, 0x01, 0xFC, 0x08}));
    EXPECT_EQ(writer.bytesWritten(), 6);
    EXPECT_TRUE(writer.flush());
    EXPECT_EQ(writer.bytesWritten(), 6);
}

TEST(BitStreamWriter, KeepsMoreThanSixtyFourKilobytesBetweenFlushesWholeAndInOrder)
{
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    BitStreamWriter writer({8, 8, 1}, file);
    Bytes expected;
    for (int32_t i = 0; i < 80000; ++i) {
        if (i % 8 == 0)
            expected.push_back(0xFF);
        writer.putFlag(1);
        writer.putByte(static_cast<uint8_t>(i * 7));
        expected.push_back(static_cast<uint8_t>(i * 7));
    }
    EXPECT_TRUE(writer.flush());
    writer.putFlag(1);
    writer.putByte(0x42);
    EXPECT_TRUE(writer.flush());
    expected.insert(expected.end(), {0x01, 0x42});

    EXPECT_EQ(writer.bytesWritten(), static_cast<int32_t>(expected.size()));
    EXPECT_EQ(writer.flushedBytes(), expected);
    EXPECT_EQ(contentsOf(file), expected);
    std::fclose(file);
}

TEST(BitStreamWriter, ReportsAFileThatDidNotTakeEveryByte)
{
    std::FILE* readOnly = std::fopen("/dev/null", "rb");
    ASSERT_NE(readOnly, nullptr);
    BitStreamWriter writer({8, 8, 1}, readOnly);
    writer.putByte(1);
    writer.putByte(2);
    EXPECT_FALSE(writer.flush());
    EXPECT_EQ(writer.bytesWritten(), 2);  // counted as handed over all the same
    std::fclose(readOnly);

    if (std::FILE* full = std::fopen("/dev/full", "wb")) {
        BitStreamWriter onFullDevice({8, 8, 1}, full);
        onFullDevice.putByte(1);
        EXPECT_EQ(onFullDevice.writeError(), 0);
        EXPECT_FALSE(onFullDevice.flush());
        EXPECT_EQ(onFullDevice.writeError(), ENOSPC);  // the reason, kept for the message
        std::fclose(full);
    }
}

TEST(BitStreamWriter, RejectsWidthsThatNoPackingHolds)
{
    EXPECT_THROW(BitStreamWriter({9, 3, 1}), std::invalid_argument);
    EXPECT_THROW(BitStreamWriter({10, 8, 1}), std::invalid_argument);
    EXPECT_NO_THROW(BitStreamWriter({8, 4, 1}));
    EXPECT_NO_THROW(BitStreamWriter({0, 16, 1}));
    EXPECT_NO_THROW(BitStreamWriter({12, 4, 1}));
}

TEST(BitStreamWriter, PacksTheExtremesOfEveryWidthRange)
{
    struct Case {
        LzssSettings settings;
        std::vector<std::pair<int32_t, int32_t>> codes;  // offset code, length code
        Bytes expected;
    };
    const Case cases[] = {
        {{0, 2, 1}, {{0, 3}}, {0x03}},
        {{6, 2, 1}, {{0x3F, 2}}, {0xFE}},
        {{2, 6, 1}, {{1, 0x3F}}, {0x7F}},
        // No length bits beside an 8-bit offset: the whole length goes to half-bytes.
        {{8, 4, 1}, {{0xAB, 0xF}, {0x01, 0x3}}, {0xAB, 0x3F, 0x01}},
        {{0, 10, 1}, {{0, 0x3FF}}, {0xFF, 0x03}},
        {{1, 12, 1}, {{1, 0xFFF}}, {0x01, 0x20}},
        {{0, 16, 1}, {{0, 0xFFFF}, {0, 0x1233}}, {0x00, 0x00, 0x34, 0x12}},
        {{12, 4, 1}, {{0xFFF, 0xE}, {0xFFF, 0xF}}, {0xFF, 0xFF, 0xFF, 0x0F}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "O=" << c.settings.offsetBits << " L=" << c.settings.lengthBits);
        EXPECT_EQ(written(c.settings,
                          [&](BitStreamWriter& w) {
                              for (auto [offsetCode, lengthCode] : c.codes)
                                  w.putMatchCode(offsetCode, lengthCode);
                          }),
                  c.expected);
    }
}

} // namespace
