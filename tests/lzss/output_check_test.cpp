#include "lzss/output_check.h"

#include "lzss/compressed_file.h"
#include "lzss/decoder.h"
#include "support/compress_quietly.h"
#include "songs.h"

#include <gtest/gtest.h>

#include <algorithm>

using testing_support::compressQuietly;
using testing_support::makeSong;
using testing_support::SongShape;
using testing_support::toStreams;

// A broken encoder shows as bytes that differ from what the song needs;
// each kind of damage must be caught.
TEST(OutputCheck, CatchesEveryKindOfDamage)
{
    std::mt19937 rng(17);
    const RegisterStreamSet song = toStreams(makeSong(rng, 300, SongShape::Music));
    const LzssSettings settings{7, 5, 1};
    const std::vector<uint8_t> good = compressQuietly(song, settings, false);
    ASSERT_TRUE(decodesToSong(good, song, song.frameCount, settings, false));

    EXPECT_FALSE(decodesToSong(good, song, song.frameCount, settings, true));
    EXPECT_FALSE(decodesToSong(good, song, song.frameCount, LzssSettings{8, 4, 1}, false));
    EXPECT_FALSE(decodesToSong(good, song, song.frameCount - 1, settings, false));

    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_FALSE(decodesToSong(longer, song, song.frameCount, settings, false));
    EXPECT_FALSE(decodesToSong({good.begin(), good.end() - 1}, song, song.frameCount, settings, false));

    int caught = 0;
    for (size_t at = 0; at < good.size(); ++at) {
        std::vector<uint8_t> damaged = good;
        damaged[at] ^= 0x01;
        if (!decodesToSong(damaged, song, song.frameCount, settings, false)) {
            ++caught;
            continue;
        }
        // A flip the check lets through must be harmless: an unused flag or
        // half-byte bit, or a match whose other source holds the same values.
        const DecodedSong decoded = decodeCompressedFile(damaged, settings, false);
        ASSERT_EQ(decoded.streams.frameCount, song.frameCount) << at;
        for (int c = 0; c < registersPerFrame; ++c)
            EXPECT_TRUE(std::equal(decoded.streams.streams[c].begin(), decoded.streams.streams[c].end(),
                                   song.streams[c].begin()))
                << at;
    }
    EXPECT_GT(caught, static_cast<int>(good.size()) * 9 / 10);
}

TEST(OutputCheck, SkippedChannelsAreCheckedToo)
{
    RegisterStreamSet song = toStreams(testing_support::sixFrameSong());
    const std::vector<uint8_t> bytes = compressQuietly(song, LzssSettings{}, false);
    ASSERT_TRUE(decodesToSong(bytes, song, 6, LzssSettings{}, false));
    song.streams[AUDCTL][5] = 0x29;
    EXPECT_FALSE(decodesToSong(bytes, song, 6, LzssSettings{}, false));
}
