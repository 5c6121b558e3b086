#include "lzss/optimal_parser.h"

#include "lzss/reference_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

constexpr LzssSettings defaults{8, 8, 1};

// One step of the parse as the emission sees it; a literal has length 0.
struct Step {
    int32_t length = 0;
    int32_t distance = 0;
    bool operator==(const Step&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Step& step)
{
    if (step.length == 0)
        return out << "literal";
    return out << "match " << step.length << "@" << step.distance;
}

const Step literal{};

std::vector<Step> walk(const OptimalParser& parser, const LzssSettings& settings)
{
    std::vector<Step> steps;
    for (int32_t i = 0; i < parser.size();) {
        if (parser.length(i) >= settings.minMatchLength) {
            steps.push_back({parser.length(i), parser.distance(i)});
            i += parser.length(i);
        } else {
            steps.push_back(literal);
            ++i;
        }
    }
    return steps;
}

// The parser keeps a view of the stream: parse again only while the stream lives.
struct Parsed {
    OptimalParser parser;
    std::vector<Step> steps;
};

Parsed parsed(const std::vector<uint8_t>& stream, const LzssSettings& settings, bool forceFinalLiteral = false)
{
    Parsed result{OptimalParser(settings), {}};
    result.parser.build(stream, static_cast<int32_t>(stream.size()));
    result.parser.parse(forceFinalLiteral);
    result.steps = walk(result.parser, settings);
    return result;
}

TEST(OptimalParser, WorkedExamplesGiveTheirParsesAndCosts)
{
    const std::vector<uint8_t> alternating{0x10, 0x20, 0x10, 0x20, 0x10, 0x30};
    Parsed a = parsed(alternating, defaults);
    EXPECT_EQ(a.steps, (std::vector<Step>{literal, literal, {3, 2}, literal}));
    EXPECT_EQ(a.parser.cost(0), 44);
    // 10 at position 4 matches one byte at distances 2 and 4: the farther is reported.
    EXPECT_EQ(a.parser.distance(4), 4);
    EXPECT_FALSE(a.parser.endsInMatch());

    const std::vector<uint8_t> envelope{0xA4, 0xA4, 0xA4, 0xA6, 0xA6, 0xA8};
    Parsed e = parsed(envelope, defaults);
    EXPECT_EQ(e.steps, (std::vector<Step>{literal, {2, 1}, literal, literal, literal}));
    EXPECT_EQ(e.parser.cost(0), 53);

    Parsed one = parsed({0x42}, defaults);
    EXPECT_EQ(one.steps, (std::vector<Step>{literal}));
    EXPECT_EQ(one.parser.cost(0), 9);
}

TEST(OptimalParser, ConstantStreamCopiesFromTheFarthestCandidate)
{
    Parsed p = parsed(std::vector<uint8_t>(300, 0x55), defaults);
    EXPECT_EQ(p.steps, (std::vector<Step>{literal, {256, 1}, {43, 256}}));
    // The final match reaches the end of the stream and is charged its 17 bits only.
    EXPECT_EQ(p.parser.cost(0), 9 + 17 + 17);
    EXPECT_TRUE(p.parser.endsInMatch());
}

TEST(OptimalParser, MatchReplacesLiteralsOnlyWhenStrictlyCheaper)
{
    const std::vector<uint8_t> oneByteRepeat{0xAA, 0xBB, 0xAA, 0xCC};
    const std::vector<uint8_t> twoByteRepeat{0xAA, 0xBB, 0xAA, 0xBB, 0xCC};

    // A match costs 17 bits: one byte (9) loses, two bytes (18) win.
    EXPECT_EQ(parsed(oneByteRepeat, defaults).steps, std::vector<Step>(4, literal));
    Parsed two = parsed(twoByteRepeat, defaults);
    EXPECT_EQ(two.steps, (std::vector<Step>{literal, literal, {2, 2}, literal}));
    EXPECT_EQ(two.parser.cost(0), 44);

    // A match costs 9 bits: a one-byte match ties with the literal, which stays.
    const LzssSettings nineBitMatch{4, 4, 1};
    Parsed tie = parsed(oneByteRepeat, nineBitMatch);
    EXPECT_EQ(tie.steps, std::vector<Step>(4, literal));
    EXPECT_EQ(tie.parser.cost(0), 36);
}

TEST(OptimalParser, MatchEndingTheRangeIsChargedOnlyItsOwnBits)
{
    Parsed p = parsed({0xAA, 0xBB, 0xAA, 0xBB}, {4, 4, 1});
    EXPECT_EQ(p.steps, (std::vector<Step>{literal, literal, {2, 2}}));
    EXPECT_EQ(p.parser.cost(0), 9 + 9 + 9);
    EXPECT_TRUE(p.parser.endsInMatch());
}

TEST(OptimalParser, WindowReachesExactlyTwoToTheOffsetBitsBack)
{
    const LzssSettings windowOfTwo{1, 2, 1};  // a match costs 4 bits
    EXPECT_EQ(parsed({0xAA, 0xBB, 0xAA, 0xBB, 0xCC}, windowOfTwo).steps,
              (std::vector<Step>{literal, literal, {2, 2}, literal}));
    EXPECT_EQ(parsed({0xAA, 0xBB, 0xCC, 0xAA, 0xBB, 0xCC, 0xDD}, windowOfTwo).steps,
              std::vector<Step>(7, literal));
}

TEST(OptimalParser, MatchLengthsRunFromMinimumToLongest)
{
    const LzssSettings longestSix{0, 2, 3};  // lengths 3 to 2^2 + 3 - 1 = 6
    EXPECT_EQ(parsed(std::vector<uint8_t>(7, 1), longestSix).steps, (std::vector<Step>{literal, {6, 1}}));
    EXPECT_EQ(parsed(std::vector<uint8_t>(8, 1), longestSix).steps,
              (std::vector<Step>{literal, {4, 1}, {3, 1}}));
    // Two bytes repeat, but two is below the minimum.
    EXPECT_EQ(parsed({5, 6, 5, 6, 7}, longestSix).steps, std::vector<Step>(5, literal));
}

TEST(OptimalParser, ForcedFinalLiteralReplacesTheWholeFirstParse)
{
    const std::vector<uint8_t> repeat{0xAA, 0xBB, 0xAA, 0xBB};
    Parsed p = parsed(repeat, defaults);
    ASSERT_TRUE(p.parser.endsInMatch());
    ASSERT_EQ(p.parser.length(2), 2);

    p.parser.parse(true);
    EXPECT_EQ(walk(p.parser, defaults), std::vector<Step>(4, literal));
    EXPECT_EQ(p.parser.length(2), 0);
    EXPECT_FALSE(p.parser.endsInMatch());
    // The forced literal is left out of the cost.
    EXPECT_EQ(p.parser.cost(0), 27);

    const std::vector<uint8_t> constantStream(300, 0x55);
    Parsed constant = parsed(constantStream, defaults);
    constant.parser.parse(true);
    EXPECT_EQ(walk(constant.parser, defaults), (std::vector<Step>{literal, {256, 1}, {42, 256}, literal}));
    EXPECT_EQ(constant.parser.cost(0), 43);
}

TEST(OptimalParser, EmptyAndSingleForcedStreams)
{
    Parsed empty = parsed({}, defaults);
    EXPECT_EQ(empty.parser.size(), 0);
    EXPECT_FALSE(empty.parser.endsInMatch());
    empty.parser.parse(true);
    EXPECT_FALSE(empty.parser.endsInMatch());

    Parsed single = parsed({7}, defaults, true);
    EXPECT_EQ(single.steps, (std::vector<Step>{literal}));
    EXPECT_EQ(single.parser.cost(0), 0);
}

TEST(OptimalParser, ParsesOnlyTheFirstNPositionsOfALongerStream)
{
    const std::vector<uint8_t> stream{1, 2, 1, 2, 1, 2, 1, 2};
    OptimalParser parser(defaults);
    parser.build(stream, 3);
    parser.parse(false);
    EXPECT_EQ(parser.size(), 3);
    EXPECT_EQ(walk(parser, defaults), std::vector<Step>(3, literal));
}

TEST(OptimalParser, RejectsRangesAndSettingsItCannotServe)
{
    const std::vector<uint8_t> stream{1, 2, 3};
    OptimalParser parser(defaults);
    EXPECT_THROW(parser.build(stream, 4), std::invalid_argument);
    EXPECT_THROW(parser.build(stream, -1), std::invalid_argument);
    EXPECT_THROW(OptimalParser({8, 8, 0}), std::invalid_argument);
    EXPECT_THROW(OptimalParser({-1, 8, 1}), std::invalid_argument);
}

// ---- Optimality, checked independently of the backward tables ----

// The least cost over every valid parse, found forwards and without any tie
// rule.
int32_t cheapestCost(const std::vector<uint8_t>& stream, const LzssSettings& settings)
{
    const auto n = static_cast<int32_t>(stream.size());
    std::vector<int32_t> best(n + 1, std::numeric_limits<int32_t>::max());
    best[0] = 0;
    for (int32_t i = 0; i < n; ++i) {
        best[i + 1] = std::min(best[i + 1], best[i] + literalCost);
        if (i == n - 1)
            break;  // the last position always holds a literal
        const int32_t maxLength = std::min(settings.longestMatch(), n - i);
        for (int32_t d = 1; d <= std::min(i, settings.windowSize()); ++d)
            for (int32_t j = 1; j <= maxLength && stream[i - d + j - 1] == stream[i + j - 1]; ++j)
                if (j >= settings.minMatchLength)
                    best[i + j] = std::min(best[i + j], best[i] + settings.matchCost());
    }
    return best[n];
}

// The steps walked from position 0 rebuild the stream and cost exactly cost(0),
// and no parse of the stream is cheaper.
TEST(OptimalParser, WalkedStepsRebuildTheStreamAtTheLeastCost)
{
    std::mt19937 random(20240601);
    const LzssSettings settingsToTry[] = {{8, 8, 1}, {4, 4, 1}, {7, 5, 2}, {0, 16, 1}, {12, 4, 3}, {3, 5, 16}};
    for (const LzssSettings& settings : settingsToTry) {
        for (int repeat = 0; repeat < 40; ++repeat) {
            std::vector<uint8_t> stream(1 + random() % 300);
            const uint32_t alphabet = 1 + random() % 4;
            for (uint8_t& byte : stream) byte = static_cast<uint8_t>(random() % alphabet);
            OptimalParser parser(settings);
            parser.build(stream, static_cast<int32_t>(stream.size()));
            parser.parse(false);

            std::vector<uint8_t> rebuilt;
            int32_t bits = 0;
            for (const Step& step : walk(parser, settings)) {
                if (step.length == 0) {
                    rebuilt.push_back(stream[rebuilt.size()]);
                    bits += literalCost;
                    continue;
                }
                for (int32_t k = 0; k < step.length; ++k) rebuilt.push_back(rebuilt[rebuilt.size() - step.distance]);
                bits += settings.matchCost();
            }
            ASSERT_EQ(rebuilt, stream);
            EXPECT_EQ(parser.cost(0), bits);
            EXPECT_EQ(parser.cost(0), cheapestCost(stream, settings));
        }
    }
}

} // namespace
