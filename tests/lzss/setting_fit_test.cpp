// A file tells the settings it was made with: among those it fits is its
// own, first or beside others that decode to the same frames.
#include "lzss/compressed_file.h"
#include "lzss/decoder.h"
#include "lzss/setting_fit.h"
#include "songs.h"

#include <gtest/gtest.h>

#include <random>

using namespace testing_support;

TEST(SettingFit, FilesFitTheirOwnSettingAndRankItFirst)
{
    std::mt19937 rng(11);
    const std::vector<LzssSettings> all = acceptedSettings();
    int rankedFirst = 0;
    const int cases = 20;
    for (int k = 0; k < cases; ++k) {
        const FileSetting made{all[rng() % all.size()], k % 3 == 0};
        const RegisterStreamSet song = toStreams(makeSong(rng, 120, k % 2 ? SongShape::Music : SongShape::SmallAlphabet));
        Notices notices;
        const std::vector<uint8_t> file =
            writeCompressedFile(song, made.lzss, {.oldFormat = made.oldFormat, .forceEndLiteral = k % 4 != 1}, notices)
                .bytes;
        SCOPED_TRACE(made.options());
        const std::vector<FileSetting> fitting = fittingSettings(file);
        ASSERT_NE(std::find(fitting.begin(), fitting.end(), made), fitting.end());
        const auto frames = [&](const FileSetting& s) {
            return decodeCompressedFile(file, s.lzss, {.oldFormat = s.oldFormat}).streams.streams;
        };
        rankedFirst += fitting[0] == made || frames(fitting[0]) == song.streams;
        // A file cut short fits nothing it did before.
        EXPECT_FALSE(fitsSetting(std::span(file).first(file.size() - 1), made));
    }
    EXPECT_GE(rankedFirst, cases - 1);
}
