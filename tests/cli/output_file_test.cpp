#include "cli/output_file.h"

#include "lzss/compressed_file.h"
#include "support/compress_quietly.h"
#include "songs.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace testing_support;

// Simulates an encoder that puts one wrong byte into the file: the check
// must stop the run with status 1 and leave no output behind.
TEST(OutputFileDeathTest, UndecodableOutputIsRemovedAndReported)
{
    TempDir dir;
    const auto path = dir / "song.lz16";
    std::mt19937 rng(23);
    const RegisterStreamSet song = toStreams(makeSong(rng, 200, SongShape::SmallAlphabet));
    const std::vector<uint8_t> good = compressQuietly(song, LzssSettings{}, false);
    std::vector<uint8_t> corrupted = good;
    corrupted[corrupted.size() / 2] ^= 0x10;
    writeFile(path, corrupted);

    requireDecodableOutput(good, song, song.frameCount, LzssSettings{}, false, path);
    EXPECT_TRUE(std::filesystem::exists(path));  // sound output stays

    EXPECT_EXIT(requireDecodableOutput(corrupted, song, song.frameCount, LzssSettings{}, false, path),
                testing::ExitedWithCode(1), ": internal error: output does not decode to the input; nothing written\n");
    EXPECT_FALSE(std::filesystem::exists(path));
}
