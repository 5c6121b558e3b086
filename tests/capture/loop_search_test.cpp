#include "capture/loop_search.h"

#include "support/plain_loop_search.h"
#include "support/register_songs.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<ComparisonEntry> comparisonOf(const std::vector<RegisterFrame>& frames)
{
    return buildComparisonCopy(streamsFromFrames(frames), static_cast<int32_t>(frames.size()));
}

enum class Break { none, atLoopStart, atLastFrame };

// A song that plays an intro and then repeats a pattern to its end, both
// drawn from a small palette of sounds so that accidental repeats are common.
// Silent channels, and AUDCTL in silent frames, get random values that the
// search must not hear.
struct SongShape {
    int32_t length = 0;
    int32_t introLength = 0;
    int32_t period = 1;
    int paletteSize = 1;
    Break breakAt = Break::none;
};

std::string describe(const SongShape& shape)
{
    std::ostringstream text;
    text << "length " << shape.length << ", intro " << shape.introLength << ", period " << shape.period
         << ", palette " << shape.paletteSize << ", break " << static_cast<int>(shape.breakAt);
    return text.str();
}

class SongMaker {
public:
    explicit SongMaker(uint32_t seed) : random_(seed) {}

    int32_t uniform(int32_t low, int32_t high)
    {
        return std::uniform_int_distribution<int32_t>(low, high)(random_);
    }

    std::vector<RegisterFrame> make(const SongShape& shape)
    {
        std::vector<RegisterFrame> palette;
        for (int i = 0; i < shape.paletteSize; ++i) {
            palette.push_back(randomSound());
        }
        const auto pick = [&] { return palette[uniform(0, shape.paletteSize - 1)]; };

        std::vector<RegisterFrame> sounds;
        for (int32_t i = 0; i < shape.introLength && i < shape.length; ++i) {
            sounds.push_back(pick());
        }
        std::vector<RegisterFrame> pattern;
        for (int32_t i = 0; i < shape.period; ++i) {
            pattern.push_back(pick());
        }
        for (size_t i = 0; sounds.size() < static_cast<size_t>(shape.length); ++i) {
            sounds.push_back(pattern[i % pattern.size()]);
        }

        if (shape.breakAt == Break::atLoopStart && shape.introLength < shape.length) {
            changeOneAudibleByte(sounds[shape.introLength]);
        } else if (shape.breakAt == Break::atLastFrame && shape.length > 0) {
            changeOneAudibleByte(sounds.back());
        }
        for (RegisterFrame& frame : sounds) {
            fillInaudibleRegisters(frame);
        }
        return sounds;
    }

private:
    static bool audible(uint8_t audc) { return (audc & 0x0F) != 0; }

    RegisterFrame randomSound()
    {
        RegisterFrame sound{};
        for (int audc : {AUDC1, AUDC2, AUDC3, AUDC4}) {
            if (uniform(0, 2) == 0) {
                sound[audc - 1] = static_cast<uint8_t>(uniform(0, 255));
                sound[audc] = static_cast<uint8_t>(uniform(1, 15) | (uniform(0, 7) << 5));
                sound[AUDCTL] = static_cast<uint8_t>(uniform(0, 3));
            }
        }
        return sound;
    }

    void changeOneAudibleByte(RegisterFrame& sound)
    {
        for (int audc : {AUDC1, AUDC2, AUDC3, AUDC4}) {
            if (audible(sound[audc])) {
                sound[audc - 1] ^= static_cast<uint8_t>(uniform(1, 255));
                return;
            }
        }
        sound[AUDC1] = 0x01;
    }

    void fillInaudibleRegisters(RegisterFrame& frame)
    {
        bool anyAudible = false;
        for (int audc : {AUDC1, AUDC2, AUDC3, AUDC4}) {
            if (audible(frame[audc])) {
                anyAudible = true;
            } else {
                frame[audc - 1] = static_cast<uint8_t>(uniform(0, 255));
                frame[audc] = static_cast<uint8_t>(uniform(0, 15) << 4);
            }
        }
        if (!anyAudible) {
            frame[AUDCTL] = static_cast<uint8_t>(uniform(0, 255));
        }
    }

    std::mt19937 random_;
};

// Counts how the songs came out so that a generator which stopped making
// loops (or made nothing else) would be noticed.
struct Outcomes {
    int loops = 0;
    int noLoops = 0;
};

void expectSearchesAgree(const std::vector<RegisterFrame>& frames, const SongShape& shape, Outcomes& outcomes)
{
    const std::vector<ComparisonEntry> entries = comparisonOf(frames);
    const std::optional<LoopPair> expected = findFirstLoopPlainly(entries);
    EXPECT_EQ(findFirstLoop(entries), expected) << describe(shape);
    ++(expected ? outcomes.loops : outcomes.noLoops);
}

const Break allBreaks[] = {Break::none, Break::atLoopStart, Break::atLastFrame};

}  // namespace

TEST(ComparisonCopy, KeepsOnlyWhatCanBeHeard)
{
    const std::vector<RegisterFrame> frames = {
        {0x11, 0xA5, 0x22, 0xB0, 0x33, 0x00, 0x44, 0x1F, 0x05},  // channels 1 and 4 sound
        {0x11, 0xA0, 0x22, 0xC0, 0x33, 0x10, 0x44, 0x00, 0x05},  // all silent
    };
    const std::vector<ComparisonEntry> expected = {
        {0x11, 0xA5, 0x00, 0x00, 0x00, 0x00, 0x44, 0x1F, 0x05},
        {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
    };
    EXPECT_EQ(comparisonOf(frames), expected);
}

TEST(ComparisonCopy, CoversOnlyTheCountedFrames)
{
    const RegisterStreamSet set = streamsFromFrames({toneFrame(1), toneFrame(2), toneFrame(3)});
    const std::vector<ComparisonEntry> entries = buildComparisonCopy(set, 2);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1], toneFrame(2));
}

TEST(LoopSearch, AgreesWithThePlainSearchOnPatternSongs)
{
    SongMaker maker(20261206);
    Outcomes outcomes;
    for (int song = 0; song < 3000; ++song) {
        SongShape shape;
        shape.length = maker.uniform(95, 360);
        shape.introLength = maker.uniform(0, shape.length);
        shape.period = maker.uniform(0, 3) == 0 ? maker.uniform(1, shape.length) : maker.uniform(1, 12);
        shape.paletteSize = maker.uniform(0, 4) == 0 ? 40 : maker.uniform(1, 3);
        shape.breakAt = allBreaks[maker.uniform(0, 2)];
        expectSearchesAgree(maker.make(shape), shape, outcomes);
    }
    EXPECT_GT(outcomes.loops, 1000);
    EXPECT_GT(outcomes.noLoops, 500);
}

TEST(LoopSearch, AgreesWithThePlainSearchOnLongPeriods)
{
    SongMaker maker(74);
    Outcomes outcomes;
    for (int song = 0; song < 60; ++song) {
        SongShape shape;
        shape.period = maker.uniform(150, 450);
        shape.introLength = maker.uniform(0, 300);
        shape.length = shape.introLength + shape.period + maker.uniform(40, 200);
        shape.paletteSize = maker.uniform(2, 40);
        shape.breakAt = allBreaks[song % 3];
        expectSearchesAgree(maker.make(shape), shape, outcomes);
    }
    EXPECT_GT(outcomes.loops, 20);
    EXPECT_GT(outcomes.noLoops, 10);
}

TEST(LoopSearch, AgreesWithThePlainSearchAtTheSearchBounds)
{
    // Around the shortest song that is searched and the tightest bounds on
    // loop start and repeat length, every intro length and a range of periods.
    SongMaker maker(101);
    Outcomes outcomes;
    for (int32_t length : {100, 101, 102, 151, 152}) {
        for (int32_t introLength = 0; introLength <= length; introLength += 3) {
            for (int32_t period : {1, 2, 5, 49, 50, 51, 52, 100}) {
                SongShape shape{length, introLength, period, 3, allBreaks[(introLength + period) % 3]};
                expectSearchesAgree(maker.make(shape), shape, outcomes);
            }
        }
    }
    EXPECT_GT(outcomes.loops, 100);
    EXPECT_GT(outcomes.noLoops, 100);
}

TEST(LoopSearch, NeverSearchesHundredFramesOrFewer)
{
    EXPECT_EQ(findFirstLoop(comparisonOf(std::vector<RegisterFrame>(100, toneFrame(1)))), std::nullopt);
    EXPECT_EQ(findFirstLoop(comparisonOf(std::vector<RegisterFrame>(101, toneFrame(1)))), (LoopPair{0, 1}));
    EXPECT_EQ(findFirstLoop({}), std::nullopt);
}
