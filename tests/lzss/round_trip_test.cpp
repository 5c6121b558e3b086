// Every file the program writes decodes back to exactly its song, under every
// accepted setting, in both formats and with both end rules, and the survey
// foretells its size.
#include "lzss/compressed_file.h"
#include "lzss/decoder.h"
#include "lzss/size_survey.h"
#include "songs.h"

#include <gtest/gtest.h>

#include <random>

using namespace testing_support;

namespace {

void expectRoundTrip(const RegisterStreamSet& song, const LzssSettings& settings, const FormatChoices& format)
{
    Notices notices;
    const CompressedFile file = writeCompressedFile(song, settings, format, notices);
    const DecodedSong decoded = decodeCompressedFile(file.bytes, settings, format);
    ASSERT_EQ(decoded.error, "");
    ASSERT_EQ(decoded.unreadBytes, 0);
    ASSERT_EQ(decoded.streams.frameCount(), song.frameCount());
    ASSERT_TRUE(decoded.streams.streams == song.streams);
    const auto sizes = surveyFileSizes(std::span(&song, 1), std::span(&settings, 1), format, 1);
    ASSERT_EQ(sizes[0][0], static_cast<int64_t>(file.bytes.size()));
}

}  // namespace

TEST(RoundTrip, EveryAcceptedSettingBothFormatsAndEndRules)
{
    std::mt19937 rng(3);
    const int32_t lengths[] = {1, 2, 17, 90, 400};
    const SongShape shapes[] = {SongShape::Music, SongShape::SmallAlphabet, SongShape::Constant, SongShape::Noise};
    int k = 0;
    for (const LzssSettings& settings : acceptedSettings()) {
        const RegisterStreamSet song = toStreams(makeSong(rng, lengths[k % 5], shapes[k % 4]));
        ++k;
        for (bool oldFormat : {false, true}) {
            for (bool forceEndLiteral : {false, true}) {
                SCOPED_TRACE(testing::Message() << settings.offsetBits << "/" << settings.lengthBits << "/"
                                                << settings.minMatchLength << " old " << oldFormat << " end "
                                                << forceEndLiteral << " frames " << song.frameCount());
                expectRoundTrip(song, settings, {oldFormat, forceEndLiteral});
            }
        }
    }
}

TEST(RoundTrip, SongsLongerThanTheWidestWindow)
{
    std::mt19937 rng(8);
    for (SongShape shape : {SongShape::Music, SongShape::SmallAlphabet}) {
        const RegisterStreamSet song = toStreams(makeSong(rng, 9000, shape));
        for (const LzssSettings& settings : {LzssSettings{12, 4, 1}, LzssSettings{12, 4, 3}, LzssSettings{8, 8, 1}}) {
            expectRoundTrip(song, settings, {false, true});
            expectRoundTrip(song, settings, {true, false});
        }
    }
}

// A looping song's file plays the song and then its loop three more times
// through a decoder that goes back as the player does, rings kept, and its
// parse never beats the one that need not loop. The cases cover a code with
// a half-byte, the old format, a window of one frame, a copy running across
// the loop start (the Music shape's repeated bars), and loops at frame 0,
// at the last frame and of one frame.
TEST(RoundTrip, LoopingSongsRestartRightOnEveryPass)
{
    std::mt19937 rng(23);
    const LzssSettings settings[] = {{8, 8, 1}, {4, 6, 1}, {6, 4, 2}, {0, 8, 1}, {3, 5, 1}, {12, 4, 3}};
    constexpr int32_t extraPasses = 3;
    for (int k = 0; k < 240; ++k) {
        const LzssSettings& setting = settings[k % 6];
        const FormatChoices format{k % 4 == 3, true};
        const int32_t n = 1 + static_cast<int32_t>(rng() % (k % 3 == 0 ? 12 : 700));
        const RegisterStreamSet song = toStreams(makeSong(rng, n, k % 5 == 4 ? SongShape::SmallAlphabet : SongShape::Music));
        const int32_t pick = static_cast<int32_t>(rng() % 4);
        const int32_t loop = pick == 0 ? 0 : pick == 1 ? n - 1 : static_cast<int32_t>(rng() % n);
        SCOPED_TRACE(testing::Message() << setting.offsetBits << "/" << setting.lengthBits << "/"
                                        << setting.minMatchLength << " old " << format.oldFormat << " frames " << n
                                        << " loop " << loop);
        Notices notices;
        const CompressedFile file = writeCompressedFile(song, setting, format, notices, loop);
        ASSERT_TRUE(file.restart.has_value());
        const DecodedSong decoded = decodeLooping(file.bytes, setting, format, *file.restart, extraPasses);
        ASSERT_EQ(decoded.error, "");
        for (int c = 0; c < registersPerFrame; ++c) {
            std::vector<uint8_t> expected = song.streams[c];
            for (int pass = 0; pass < extraPasses; ++pass)
                expected.insert(expected.end(), song.streams[c].begin() + loop, song.streams[c].end());
            ASSERT_EQ(decoded.streams.streams[c], expected) << "channel " << c;
        }
        const CompressedFile plain = writeCompressedFile(song, setting, format, notices);
        ASSERT_GE(file.bytes.size(), plain.bytes.size());
    }
}
