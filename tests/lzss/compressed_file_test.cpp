#include "lzss/compressed_file.h"

#include "lzss/decoder.h"
#include "songs.h"

#include <gtest/gtest.h>

#include <string>

using testing_support::sixFrameSong;
using testing_support::toStreams;

namespace {

struct Written {
    std::vector<uint8_t> bytes;
    std::string messages;
    CompressionResult result;
    MatchHistograms histograms;
};

Written compress(const RegisterStreamSet& streams, const LzssSettings& settings, bool oldFormat = false,
                 bool forceEndLiteral = true, int verbosity = 1)
{
    Written written;
    written.histograms = makeHistograms(settings);
    BitStreamWriter writer(settings);
    testing::internal::CaptureStderr();
    written.result = writeCompressedFile(streams, streams.frameCount, writer, settings, written.histograms,
                                         verbosity, forceEndLiteral, oldFormat);
    written.messages = testing::internal::GetCapturedStderr();
    written.bytes = writer.flushedBytes();
    EXPECT_EQ(writer.bytesWritten(), static_cast<int32_t>(written.bytes.size()));
    return written;
}

const std::vector<uint8_t> sixFrameHeader = {0x7F, 0x28, 0, 0, 0, 0, 0, 0, 0xA4, 0x10};

std::vector<uint8_t> withHeader(std::vector<uint8_t> steps)
{
    steps.insert(steps.begin(), sixFrameHeader.begin(), sixFrameHeader.end());
    return steps;
}

const std::string sixFrameNotices = "Skipping channel #8, set with $28.\nSkipping channel #7, set with $00.\n"
                                    "Skipping channel #6, set with $00.\nSkipping channel #5, set with $00.\n"
                                    "Skipping channel #4, set with $00.\nSkipping channel #3, set with $00.\n"
                                    "Skipping channel #2, set with $00.\n";

RegisterStreamSet constantSong(int32_t frames, uint8_t audf1)
{
    return toStreams(std::vector<vgm::Frame>(frames, vgm::Frame{audf1, 0, 0, 0, 0, 0, 0, 0, 0x28}));
}

}  // namespace

TEST(CompressedFile, SixFrameSongWithDefaultSettings)
{
    const Written written = compress(toStreams(sixFrameSong()), LzssSettings{});
    EXPECT_EQ(written.bytes, withHeader({0x7A, 0xFE, 0x02, 0x20, 0xFE, 0x03, 0xA6, 0xA6, 0xA8, 0x30}));
    EXPECT_EQ(written.messages, sixFrameNotices);
    EXPECT_EQ(written.result.bits[0], 44);
    EXPECT_EQ(written.result.bits[1], 53);
    EXPECT_TRUE(written.result.skipped[2]);
    EXPECT_FALSE(written.result.skipped[1]);
    EXPECT_EQ(written.histograms.len[0], 5);
    EXPECT_EQ(written.histograms.len[2], 1);
    EXPECT_EQ(written.histograms.len[3], 1);
    EXPECT_EQ(written.histograms.pos[1], 1);
    EXPECT_EQ(written.histograms.pos[2], 1);
    EXPECT_EQ(written.histograms.len.size(), 257u);
    EXPECT_EQ(written.histograms.pos.size(), 257u);
}

TEST(CompressedFile, SixFrameSongInTheOldFormat)
{
    const Written written = compress(toStreams(sixFrameSong()), LzssSettings{}, true);
    EXPECT_EQ(written.bytes, (std::vector<uint8_t>{0x7F, 0x28, 0, 0, 0, 0, 0, 0, 0xEB, 0xA4, 0x10, 0xFF, 0x02, 0x20,
                                                   0xFF, 0x03, 0xA6, 0xA6, 0xA8, 0x01, 0x30}));
}

TEST(CompressedFile, SixFrameSongWithNarrowerCodes)
{
    EXPECT_EQ(compress(toStreams(sixFrameSong()), LzssSettings{7, 5, 1}).bytes,
              withHeader({0x7A, 0xFD, 0x10, 0x20, 0xFC, 0xA6, 0xA6, 0xA8, 0x30}));
    EXPECT_EQ(compress(toStreams(sixFrameSong()), LzssSettings{4, 4, 1}).bytes,
              withHeader({0x7A, 0xE1, 0x20, 0xE2, 0xA6, 0xA6, 0xA8, 0x30}));
}

TEST(CompressedFile, QuietDropsOnlyTheSkipNotices)
{
    EXPECT_EQ(compress(toStreams(sixFrameSong()), LzssSettings{}, false, true, 0).messages, "");
    const Written quiet = compress(constantSong(3, 0), LzssSettings{}, false, true, 0);
    EXPECT_EQ(quiet.messages, "WARNING: stream #0 is empty, should not be included in output!\n"
                              "LZSS: fixing up stream #0 to end in a literal\n");
}

TEST(CompressedFile, OneFrameSongsInBothFormats)
{
    const RegisterStreamSet song = toStreams({vgm::Frame{0x3C, 0xA4, 1, 0, 2, 0, 3, 0, 0x28}});
    const Written latest = compress(song, LzssSettings{}, false, true, 0);
    EXPECT_EQ(latest.bytes, (std::vector<uint8_t>{0xFF, 0x28, 0, 3, 0, 2, 0, 1, 0xA4, 0x3C}));
    EXPECT_EQ(latest.messages, "WARNING: stream #0 contains only $3C, should not be included in output!\n");
    const Written old = compress(song, LzssSettings{}, true, true, 0);
    EXPECT_EQ(old.bytes, (std::vector<uint8_t>{0xFF, 0x28, 0, 3, 0, 2, 0, 1, 0xA4, 0x01, 0x3C}));
}

TEST(CompressedFile, EndRuleForcesALiteralOnChannelZero)
{
    // A constant stream parses into matches to its very end.
    const RegisterStreamSet song = constantSong(40, 0x11);
    const Written forced = compress(song, LzssSettings{}, false, true, 0);
    EXPECT_EQ(forced.messages, "WARNING: stream #0 contains only $11, should not be included in output!\n"
                               "LZSS: fixing up stream #0 to end in a literal\n");
    EXPECT_EQ(forced.bytes.back(), 0x11);  // the last frame's literal ends the data
    const DecodedSong decoded = decodeCompressedFile(forced.bytes, LzssSettings{}, false);
    EXPECT_EQ(decoded.streams.frameCount, 40);

    const Written unforced = compress(song, LzssSettings{}, false, false, 0);
    EXPECT_EQ(unforced.messages, "WARNING: stream #0 contains only $11, should not be included in output!\n"
                                 "WARNING: stream does not end in a literal.\n"
                                 "WARNING: this can produce errors at the end of decoding.\n");
    EXPECT_NE(unforced.bytes, forced.bytes);
}

TEST(CompressedFile, OneStreamEndingInALiteralLeavesTheParsesAlone)
{
    std::vector<vgm::Frame> frames(40, vgm::Frame{0x11, 0xA2, 0, 0, 0, 0, 0, 0, 0});
    frames[0][AUDC1] = 0xA3;    // channel 1 is compressed and ends in a match
    frames[39][AUDF1] = 0x12;   // channel 0 ends in a literal
    const Written written = compress(toStreams(frames), LzssSettings{}, false, true, 0);
    EXPECT_EQ(written.messages, "");
}

TEST(CompressedFile, MaskFfWhenOnlyChannelZeroVaries)
{
    std::vector<vgm::Frame> frames = std::vector<vgm::Frame>(10, vgm::Frame{0, 0xA1, 2, 0xA2, 3, 0xA3, 4, 0xA4, 0x50});
    for (int i = 0; i < 10; ++i) frames[i][AUDF1] = static_cast<uint8_t>(i);
    const Written written = compress(toStreams(frames), LzssSettings{}, false, true, 0);
    ASSERT_GE(written.bytes.size(), 10u);
    EXPECT_EQ(written.bytes[0], 0xFF);
    // Nine literals after the header: two control bytes and nine values.
    EXPECT_EQ(written.bytes.size(), 10u + 2u + 9u);
}

TEST(CompressedFile, LongSongsStayWholeAcrossTheWritersBuffer)
{
    std::mt19937 rng(7);
    const auto frames = testing_support::makeSong(rng, 20000, testing_support::SongShape::Noise);
    const Written written = compress(toStreams(frames), LzssSettings{}, false, true, 0);
    EXPECT_GT(written.bytes.size(), 65536u * 2);
    const DecodedSong decoded = decodeCompressedFile(written.bytes, LzssSettings{}, false);
    EXPECT_EQ(decoded.streams.frameCount, 20000);
    EXPECT_EQ(decoded.streams.streams, toStreams(frames).streams);
}
