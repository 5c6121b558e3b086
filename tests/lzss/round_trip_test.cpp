#include "lzss/compressed_file.h"
#include "lzss/decoder.h"
#include "support/in_memory_conversion.h"
#include "support/compress_quietly.h"
#include "songs.h"

#include <gtest/gtest.h>

#include <random>

using testing_support::compressQuietly;
using testing_support::makeSong;
using testing_support::SongShape;
using testing_support::toStreams;

namespace {

void expectRoundTrip(const std::vector<vgm::Frame>& frames, const LzssSettings& settings, bool oldFormat,
                     bool forceEndLiteral)
{
    const RegisterStreamSet song = toStreams(frames);
    const std::vector<uint8_t> bytes = compressQuietly(song, settings, oldFormat, forceEndLiteral);
    const DecodedSong decoded = decodeCompressedFile(bytes, settings, oldFormat);
    SCOPED_TRACE(::testing::Message() << "O=" << settings.offsetBits << " L=" << settings.lengthBits
                                      << " M=" << settings.minMatchLength << " old=" << oldFormat
                                      << " force=" << forceEndLiteral << " frames=" << frames.size());
    EXPECT_EQ(decoded.error, "");
    EXPECT_EQ(decoded.unreadBytes, 0);
    ASSERT_EQ(decoded.streams.frameCount, song.frameCount);
    EXPECT_EQ(decoded.streams.streams, song.streams);
}

}  // namespace

TEST(RoundTrip, GeneratedSongsUnderPresetsAndOtherSettings)
{
    const LzssSettings settingsToTry[] = {{8, 8, 1}, {7, 5, 1}, {4, 4, 1}, {6, 10, 1}, {10, 6, 3},
                                          {8, 4, 2}, {2, 6, 4},  {12, 4, 1}, {0, 16, 1}, {5, 3, 16}};
    std::mt19937 rng(2026);
    int songs = 0;
    for (const LzssSettings& settings : settingsToTry) {
        for (SongShape shape : {SongShape::Constant, SongShape::Music, SongShape::SmallAlphabet, SongShape::Noise}) {
            for (int i = 0; i < 8; ++i, ++songs) {
                const int32_t frames = 1 + static_cast<int32_t>(rng() % (i < 4 ? 40 : 700));
                const auto song = makeSong(rng, frames, shape);
                expectRoundTrip(song, settings, (songs & 1) != 0, (songs & 2) == 0);
            }
        }
    }
    EXPECT_EQ(songs, 320);
}

TEST(RoundTrip, EverySongEndingInAMatchStillDecodesWhole)
{
    // Constant and repeating songs end in a match in every stream. Without the
    // forced literal, the data ends with the code of the last match, read
    // while that copy still has frames to play: a player that stops as soon
    // as its input runs out loses the rest of the copy, and nothing in the
    // data tells it how many frames that is. This decoder keeps playing until
    // a step needs a byte that is not there; every step of the song ends by
    // the last frame, so that happens exactly at the song's end. With the
    // forced literal the last byte of the data is channel 0's value for the
    // last frame, so even a player that stops when its input runs out stops
    // there.
    std::mt19937 rng(5);
    for (int i = 0; i < 20; ++i) {
        const auto song = makeSong(rng, 50 + i * 37, i % 2 ? SongShape::Constant : SongShape::Music);
        for (bool force : {false, true}) {
            expectRoundTrip(song, LzssSettings{}, i % 3 == 0, force);
            expectRoundTrip(song, LzssSettings{4, 4, 1}, i % 3 == 1, force);
        }
    }
}

TEST(RoundTrip, EveryValidSettingFormatAndEndRule)
{
    std::mt19937 rng(42);
    const SongShape shapes[] = {SongShape::Constant, SongShape::Music, SongShape::SmallAlphabet, SongShape::Noise};
    int tried = 0;
    for (int32_t minMatch = 1; minMatch <= 16; ++minMatch) {
        for (const LzssSettings& settings : testing_support::validSettings(minMatch)) {
            // Mostly short songs, with an occasional long one, so that every
            // combination is covered in a few seconds.
            const int32_t frames = rng() % 16 == 0 ? 1000 + static_cast<int32_t>(rng() % 2000)
                                                   : 1 + static_cast<int32_t>(rng() % 120);
            const auto song = makeSong(rng, frames, shapes[rng() % 4]);
            expectRoundTrip(song, settings, tried % 2 == 1, tried % 4 < 2);
            ++tried;
        }
    }
    EXPECT_EQ(tried, 16 * 114);
}
