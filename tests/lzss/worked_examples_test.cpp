// The format's worked examples, byte for byte.
#include "lzss/compressed_file.h"
#include "songs.h"

#include <gtest/gtest.h>

using namespace testing_support;

TEST(WorkedExamples, SixFrameSongAndOneFrameSongs)
{
    const RegisterStreamSet six = toStreams(sixFrameSong());
    const RegisterStreamSet one = toStreams({vgm::Frame{1, 0xA1, 2, 0, 3, 0, 4, 0, 5}});
    const std::vector<uint8_t> header = {0x7F, 0x28, 0, 0, 0, 0, 0, 0, 0xA4, 0x10};
    auto withHeader = [&](std::vector<uint8_t> steps) {
        steps.insert(steps.begin(), header.begin(), header.end());
        return steps;
    };
    struct Case {
        const RegisterStreamSet& song;
        LzssSettings settings;
        bool oldFormat;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {six, {8, 8, 1}, false, withHeader({0x7A, 0xFE, 0x02, 0x20, 0xFE, 0x03, 0xA6, 0xA6, 0xA8, 0x30})},
        {six, {8, 8, 1}, true,
         {0x7F, 0x28, 0, 0, 0, 0, 0, 0, 0xEB, 0xA4, 0x10, 0xFF, 0x02, 0x20, 0xFF, 0x03, 0xA6, 0xA6, 0xA8, 0x01, 0x30}},
        {six, {7, 5, 1}, false, withHeader({0x7A, 0xFD, 0x10, 0x20, 0xFC, 0xA6, 0xA6, 0xA8, 0x30})},
        {six, {4, 4, 1}, false, withHeader({0x7A, 0xE1, 0x20, 0xE2, 0xA6, 0xA6, 0xA8, 0x30})},
        {one, {8, 8, 1}, false, {0xFF, 5, 0, 4, 0, 3, 0, 2, 0xA1, 1}},
        {one, {8, 8, 1}, true, {0xFF, 5, 0, 4, 0, 3, 0, 2, 0xA1, 0x01, 1}},
    };
    for (const Case& c : cases) {
        Notices notices;
        const CompressedFile file = writeCompressedFile(c.song, c.settings, {c.oldFormat, true}, notices);
        EXPECT_EQ(file.bytes, c.bytes) << c.settings.offsetBits << " old " << c.oldFormat;
        if (&c.song == &six && c.settings.offsetBits == 8) {
            EXPECT_EQ(file.bits[0], 44);
            EXPECT_EQ(file.bits[1], 53);
        }
    }
}
