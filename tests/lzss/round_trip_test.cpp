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
