#include "capture/loop_search.h"

#include "support/plain_loop_search.h"
#include "songs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <random>
#include <vector>

using testing_support::silentFrame;
using testing_support::toneFrame;
using testing_support::toStreams;

namespace {

std::vector<ComparisonEntry> comparisonOf(const std::vector<RegisterFrame>& frames)
{
    return buildComparisonCopy(toStreams(frames), static_cast<int32_t>(frames.size()));
}

using Random = std::mt19937;

int uniform(Random& random, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(random);
}

bool audible(uint8_t audc)
{
    return (audc & 0x0F) != 0;
}

// Each channel sounds with a chance of one in three.
RegisterFrame randomSound(Random& random)
{
    RegisterFrame sound{};
    for (int audc : {AUDC1, AUDC2, AUDC3, AUDC4}) {
        if (uniform(random, 0, 2) == 0) {
            sound[audc - 1] = static_cast<uint8_t>(uniform(random, 0, 255));
            sound[audc] = static_cast<uint8_t>(uniform(random, 1, 15) | uniform(random, 0, 7) << 5);
            sound[AUDCTL] = static_cast<uint8_t>(uniform(random, 0, 3));
        }
    }
    return sound;
}

// Fills what the search must not hear: silent channels, and AUDCTL while
// every channel is silent.
void addInaudibleNoise(RegisterFrame& frame, Random& random)
{
    bool anyAudible = false;
    for (int audc : {AUDC1, AUDC2, AUDC3, AUDC4}) {
        if (audible(frame[audc])) {
            anyAudible = true;
        } else {
            frame[audc - 1] = static_cast<uint8_t>(uniform(random, 0, 255));
            frame[audc] = static_cast<uint8_t>(uniform(random, 0, 15) << 4);
        }
    }
    if (!anyAudible) {
        frame[AUDCTL] = static_cast<uint8_t>(uniform(random, 0, 255));
    }
}

void changeOneAudibleByte(RegisterFrame& sound, Random& random)
{
    for (int audc : {AUDC1, AUDC2, AUDC3, AUDC4}) {
        if (audible(sound[audc])) {
            sound[audc - 1] ^= static_cast<uint8_t>(uniform(random, 1, 255));
            return;
        }
    }
    sound[AUDC1] = 0x01;
}

enum Break { noBreak, breakAtLoopStart, breakAtLastFrame };

// An intro and then a pattern repeated to the end, both drawn from a small
// palette so that accidental repeats are common; optionally one byte off at
// the first frame of the pattern or at the last frame of the song.
struct SongShape {
    int length;
    int introLength;
    int period;
    int paletteSize;
    Break breakAt;
};

std::vector<RegisterFrame> makeSong(const SongShape& shape, Random& random)
{
    std::vector<RegisterFrame> palette;
    for (int i = 0; i < shape.paletteSize; ++i) {
        palette.push_back(randomSound(random));
    }
    const auto pick = [&] { return palette[uniform(random, 0, shape.paletteSize - 1)]; };
    std::vector<RegisterFrame> intro, pattern, song;
    std::generate_n(std::back_inserter(intro), shape.introLength, pick);
    std::generate_n(std::back_inserter(pattern), shape.period, pick);
    for (int i = 0; i < shape.length; ++i) {
        song.push_back(i < shape.introLength ? intro[i] : pattern[(i - shape.introLength) % shape.period]);
    }
    if (shape.breakAt == breakAtLoopStart && shape.introLength < shape.length) {
        changeOneAudibleByte(song[shape.introLength], random);
    } else if (shape.breakAt == breakAtLastFrame) {
        changeOneAudibleByte(song.back(), random);
    }
    for (RegisterFrame& frame : song) {
        addInaudibleNoise(frame, random);
    }
    return song;
}

// Counts the outcomes so that a generator that stopped making loops, or
// made nothing else, would be noticed.
struct Outcomes {
    int loops = 0;
    int noLoops = 0;
};

void expectSearchesAgree(const SongShape& shape, Random& random, Outcomes& outcomes)
{
    const std::vector<ComparisonEntry> entries = comparisonOf(makeSong(shape, random));
    const std::optional<LoopPair> expected = findFirstLoopPlainly(entries);
    EXPECT_EQ(findFirstLoop(entries), expected)
        << "length " << shape.length << ", intro " << shape.introLength << ", period " << shape.period
        << ", palette " << shape.paletteSize << ", break " << shape.breakAt;
    ++(expected ? outcomes.loops : outcomes.noLoops);
}

}  // namespace

TEST(ComparisonCopy, KeepsOnlyWhatCanBeHeard)
{
    const RegisterStreamSet set = toStreams({
        {0x11, 0xA5, 0x22, 0xB0, 0x33, 0x00, 0x44, 0x1F, 0x05},  // channels 1 and 4 sound
        {0x11, 0xA0, 0x22, 0xC0, 0x33, 0x10, 0x44, 0x00, 0x05},  // all silent
        toneFrame(3),                                            // not counted
    });
    const std::vector<ComparisonEntry> expected = {
        {0x11, 0xA5, 0x00, 0x00, 0x00, 0x00, 0x44, 0x1F, 0x05},
        {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
    };
    EXPECT_EQ(buildComparisonCopy(set, 2), expected);
}

TEST(LoopSearch, SearchesOnlySongsOfMoreThanHundredFrames)
{
    EXPECT_EQ(findFirstLoop({}), std::nullopt);
    EXPECT_EQ(findFirstLoop(comparisonOf(std::vector<RegisterFrame>(100, toneFrame(1)))), std::nullopt);
    EXPECT_EQ(findFirstLoop(comparisonOf(std::vector<RegisterFrame>(101, toneFrame(1)))), (LoopPair{0, 1}));
}

TEST(LoopSearch, AgreesWithThePlainSearch)
{
    Random random(20261206);
    Outcomes outcomes;
    // Loops starting anywhere, mostly short periods, some as long as the song.
    for (int i = 0; i < 2000; ++i) {
        const int length = uniform(random, 95, 360);
        const int period = uniform(random, 0, 3) == 0 ? uniform(random, 1, length) : uniform(random, 1, 12);
        const int paletteSize = uniform(random, 0, 4) == 0 ? 40 : uniform(random, 1, 3);
        expectSearchesAgree({length, uniform(random, 0, length), period, paletteSize, Break(uniform(random, 0, 2))},
                            random, outcomes);
    }
    // Periods of several hundred frames.
    for (int i = 0; i < 60; ++i) {
        const int period = uniform(random, 150, 450);
        const int introLength = uniform(random, 0, 300);
        const int length = introLength + period + uniform(random, 40, 200);
        expectSearchesAgree({length, introLength, period, uniform(random, 2, 40), Break(i % 3)}, random, outcomes);
    }
    // Every intro length around the shortest searched song and the tightest
    // bounds on loop start and repeat length.
    for (int length : {100, 101, 102, 151, 152}) {
        for (int introLength = 0; introLength <= length; introLength += 3) {
            for (int period : {1, 2, 5, 49, 50, 51, 52, 100}) {
                expectSearchesAgree({length, introLength, period, 3, Break((introLength + period) % 3)}, random,
                                    outcomes);
            }
        }
    }
    EXPECT_GT(outcomes.loops, 800);
    EXPECT_GT(outcomes.noLoops, 1000);
}
