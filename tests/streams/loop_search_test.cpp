// The linear loop search against the ordered search it replaces, and what
// trimming cuts and says.
#include "streams/loop_search.h"
#include "streams/plain_loop_search.h"
#include "streams/trim_silence_and_loop.h"
#include "songs.h"

#include <gtest/gtest.h>

#include <random>

using namespace testing_support;


TEST(LoopSearch, AgreesWithTheOrderedSearch)
{
    std::mt19937 rng(1);
    for (int round = 0; round < 400; ++round) {
        // Few distinct entries and planted repeats make near-loops common.
        const int32_t m = 90 + static_cast<int32_t>(rng() % 260);
        std::vector<ComparisonEntry> entries(static_cast<size_t>(m));
        for (auto& entry : entries) entry[AUDF1] = static_cast<uint8_t>(rng() % 3);
        const int32_t start = static_cast<int32_t>(rng() % m), period = 1 + static_cast<int32_t>(rng() % 120);
        for (int32_t i = start + period; i < m; ++i) entries[i] = entries[i - period];
        if (rng() % 3 == 0) entries[rng() % m][AUDF1] = 7;
        ASSERT_EQ(findFirstLoop(entries), findFirstLoopPlainly(entries)) << "round " << round;
    }
}

TEST(Trimming, CutsAndNotices)
{
    const RegisterFrame silent{}, a{10, 0xA8}, b{20, 0xA8}, mutedButSet{30, 0xA0, 40, 0xC0, 0, 0, 0, 0, 0x28};
    struct Case {
        std::vector<RegisterFrame> frames;
        int32_t framesLeft;
        std::vector<std::string> notices;
        int32_t chips = 1;
    };
    std::vector<RegisterFrame> looping(5, silent), everyThird;
    for (int i = 0; i < 300; ++i) looping.push_back(i % 60 < 30 ? a : b);
    for (int i = 0; i < 300; ++i) everyThird.push_back(i % 3 == 0 ? a : b);
    const Case cases[] = {
        {{silent, mutedButSet, silent}, 0, {"song is completely silent, skipping."}},
        {{silent, silent, a, b, mutedButSet}, 2,
         {"skipping 1 frames from the end.", "skipping 2 frames from the start."}},
        {{a, silent, b}, 3, {}},
        {looping, 60, {"skipping 5 frames from the start.", "loop detected from frame 60 to 0 (of 300)\n"}},
        // Two chips: cut in whole pairs, and a loop of whole pairs.
        {{silent, a, b, silent, silent, silent}, 4, {"skipping 2 frames from the end."}, 2},
        {everyThird, 3, {"loop detected from frame 3 to 0 (of 300)\n"}},
        {everyThird, 6, {"loop detected from frame 6 to 0 (of 300)\n"}, 2},
    };
    for (const Case& c : cases) {
        RegisterStreamSet song = toStreams({c.frames.begin(), c.frames.end()});
        song.chips = c.chips;
        Notices notices;
        trimSilenceAndLoop(song, notices);
        EXPECT_EQ(song.frameCount(), c.framesLeft);
        std::vector<std::string> texts;
        for (const Notice& notice : notices) texts.push_back(notice.text);
        EXPECT_EQ(texts, c.notices);
        for (const auto& stream : song.streams) EXPECT_EQ(stream.size(), song.streams[0].size());
    }
}
