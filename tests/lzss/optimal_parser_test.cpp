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

// ---- Agreement with the reference parse on many streams and settings ----

// Every width combination the command line accepts.
std::vector<LzssSettings> validWidths()
{
    std::vector<LzssSettings> widths;
    for (int32_t o = 0; o <= 12; ++o)
        for (int32_t l = 2; o + l <= 16; ++l)
            if (o + l < 9 || o + l > 12 || o <= 8)
                widths.push_back({o, l, 1});
    return widths;
}

class StreamMaker {
public:
    explicit StreamMaker(uint32_t seed) : random_(seed) {}

    int32_t below(int32_t bound) { return static_cast<int32_t>(random_() % static_cast<uint32_t>(bound)); }

    std::vector<uint8_t> make(int32_t kind, int32_t n)
    {
        std::vector<uint8_t> stream(n);
        switch (kind) {
        case 0:  // constant
            std::fill(stream.begin(), stream.end(), static_cast<uint8_t>(below(256)));
            break;
        case 1: {  // periodic over a small alphabet
            const int32_t period = 1 + below(std::max(1, n / 2));
            for (int32_t i = 0; i < n; ++i)
                stream[i] = i < period ? static_cast<uint8_t>(below(4)) : stream[i - period];
            break;
        }
        case 2: {  // slowly varying, like a volume envelope
            int32_t value = below(256);
            for (int32_t i = 0; i < n; ++i) {
                if (below(6) == 0)
                    value = (value + (below(2) == 0 ? 1 : 255)) % 256;
                stream[i] = static_cast<uint8_t>(value);
            }
            break;
        }
        default: {  // random over an alphabet of 2 to 4 values
            const int32_t alphabet = 2 + below(3);
            for (auto& byte : stream)
                byte = static_cast<uint8_t>(0x30 + below(alphabet));
            break;
        }
        }
        return stream;
    }

private:
    std::mt19937 random_;
};

// The least cost over every valid parse, found forwards and without any tie
// rule, so that it checks optimality independently of the backward tables.
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

// Checks the entries that the emission reads, and that the steps they
// describe reproduce the stream and cost exactly cost(0).
void expectAgreesWithReference(const OptimalParser& parser, const std::vector<uint8_t>& stream,
                               const LzssSettings& settings, bool forceFinalLiteral)
{
    const ReferenceParse reference = referenceParse(stream, settings, forceFinalLiteral);
    const auto n = static_cast<int32_t>(stream.size());
    ASSERT_EQ(parser.size(), n);
    if (n == 0)
        return;
    ASSERT_EQ(parser.cost(0), reference.cost[0]);

    std::vector<uint8_t> decoded;
    int32_t bits = 0;
    bool lastWasMatch = false;
    for (int32_t i = 0; i < n;) {
        ASSERT_EQ(parser.length(i), reference.length[i]) << "at " << i;
        lastWasMatch = parser.length(i) >= settings.minMatchLength;
        if (!lastWasMatch) {
            decoded.push_back(stream[i]);
            bits += literalCost;
            ++i;
            continue;
        }
        const int32_t distance = parser.distance(i);
        ASSERT_EQ(distance, reference.distance[i]) << "at " << i;
        ASSERT_LE(parser.length(i), settings.longestMatch());
        ASSERT_TRUE(distance >= 1 && distance <= std::min(i, settings.windowSize())) << "at " << i;
        for (int32_t k = 0; k < parser.length(i); ++k)
            decoded.push_back(decoded[i - distance + k]);
        bits += settings.matchCost();
        i += parser.length(i);
    }
    EXPECT_EQ(decoded, stream);
    EXPECT_EQ(parser.endsInMatch(), lastWasMatch);
    if (forceFinalLiteral) {
        EXPECT_FALSE(lastWasMatch);
        bits -= literalCost;
    }
    EXPECT_EQ(parser.cost(0), bits);
}

// Parses twice on one parser, so the forced run also shows that nothing of
// the first run leaks into it.
void checkStream(const std::vector<uint8_t>& stream, const LzssSettings& settings)
{
    OptimalParser parser(settings);
    parser.build(stream, static_cast<int32_t>(stream.size()));
    parser.parse(false);
    expectAgreesWithReference(parser, stream, settings, false);
    if (!stream.empty()) {
        EXPECT_EQ(parser.cost(0), cheapestCost(stream, settings));
    }
    parser.parse(true);
    expectAgreesWithReference(parser, stream, settings, true);
}

testing::Message describe(const LzssSettings& settings, int32_t kind, size_t n)
{
    return testing::Message() << "O=" << settings.offsetBits << " L=" << settings.lengthBits
                              << " M=" << settings.minMatchLength << " kind=" << kind << " n=" << n;
}

TEST(OptimalParserAgainstReference, AgreesOnStructuredAndRandomStreamsUnderEveryWidth)
{
    StreamMaker maker(20240601);
    for (LzssSettings settings : validWidths()) {
        // Long enough to pass the window and the longest match where that is
        // cheap, short for the widest windows.
        const int32_t longestN = settings.offsetBits <= 8 ? (2 << std::min(settings.offsetBits, 7)) + 40 : 120;
        for (int32_t minimum : {1, 2, 3 + maker.below(13), 16}) {
            settings.minMatchLength = minimum;
            for (int32_t kind = 0; kind < 4; ++kind) {
                for (int32_t repeat = 0; repeat < 2; ++repeat) {
                    const std::vector<uint8_t> stream = maker.make(kind, maker.below(longestN + 1));
                    SCOPED_TRACE(describe(settings, kind, stream.size()));
                    checkStream(stream, settings);
                    if (HasFatalFailure() || HasNonfatalFailure())
                        return;
                }
            }
        }
    }
}

TEST(OptimalParserAgainstReference, AgreesBeyondTheWidestWindows)
{
    StreamMaker maker(7);
    for (const LzssSettings settings : {LzssSettings{12, 4, 1}, LzssSettings{12, 2, 16}, LzssSettings{11, 5, 2}}) {
        const std::vector<uint8_t> stream = maker.make(3, settings.windowSize() + 200);
        SCOPED_TRACE(describe(settings, 3, stream.size()));
        checkStream(stream, settings);
    }
}

} // namespace
