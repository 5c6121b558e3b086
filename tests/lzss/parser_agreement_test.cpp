// The parser against the plain reference parse on thousands of streams, and
// whole files written from its tables against files written from the
// reference's, under every setting the command line accepts.

#include "lzss/bit_stream_writer.h"
#include "lzss/compressed_file.h"
#include "lzss/optimal_parser.h"
#include "lzss/reference_parser.h"
#include "stream_shapes.h"
#include "support/in_memory_conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

using stream_shapes::Shape;

namespace {

// Every combination of offset bits, length bits and minimum match length
// that the command line accepts.
std::vector<LzssSettings> everyValidSetting()
{
    std::vector<LzssSettings> settings;
    for (int32_t minMatch = 1; minMatch <= 16; ++minMatch) {
        const std::vector<LzssSettings> widths = testing_support::validSettings(minMatch);
        settings.insert(settings.end(), widths.begin(), widths.end());
    }
    return settings;
}

// The reference compares every candidate over the whole run, so a stream of
// long runs costs it n * window * longest match steps. Streams are as long as
// that allows within a fixed budget, and at most long enough to pass both the
// window and the longest match twice.
int32_t longestAffordable(const LzssSettings& settings, Shape shape)
{
    const bool longRuns = shape == Shape::Constant || shape == Shape::Periodic || shape == Shape::SongLike;
    const double budget = 6e5;
    const int32_t window = settings.windowSize();
    const int32_t longest = settings.longestMatch();
    const int32_t enough = 2 * std::max(window, longest) + 40;
    int32_t n = 1;
    for (int32_t step = 1 << 14; step > 0; step /= 2) {
        const int32_t next = n + step;
        const double work = double(next) * std::min(next, window) * (longRuns ? std::min(next, longest) : 2);
        if (next <= enough && work <= budget)
            n = next;
    }
    return n;
}

struct Tables {
    std::vector<int32_t> length, distance, cost;
};

Tables tablesOf(const OptimalParser& parser)
{
    Tables tables;
    for (int32_t i = 0; i < parser.size(); ++i) {
        tables.length.push_back(parser.length(i));
        tables.distance.push_back(parser.distance(i));
        tables.cost.push_back(parser.cost(i));
    }
    return tables;
}

bool referenceEndsInMatch(const ReferenceParse& parse, const LzssSettings& settings)
{
    bool lastWasMatch = false;
    for (size_t i = 0; i < parse.length.size();) {
        lastWasMatch = parse.length[i] >= settings.minMatchLength;
        i += lastWasMatch ? static_cast<size_t>(parse.length[i]) : 1;
    }
    return lastWasMatch;
}

// Every entry of the three tables, the ones off the emitted parse included,
// since later positions' costs feed earlier choices.
void expectSameTables(const OptimalParser& parser, const ReferenceParse& reference, const LzssSettings& settings)
{
    const Tables tables = tablesOf(parser);
    for (size_t i = 0; i < reference.length.size(); ++i) {
        if (tables.length[i] != reference.length[i] || tables.distance[i] != reference.distance[i] ||
            tables.cost[i] != reference.cost[i]) {
            ADD_FAILURE() << "first difference at position " << i << ": length " << tables.length[i] << " distance "
                          << tables.distance[i] << " cost " << tables.cost[i] << ", reference "
                          << reference.length[i] << " " << reference.distance[i] << " " << reference.cost[i];
            return;
        }
    }
    EXPECT_EQ(parser.endsInMatch(), referenceEndsInMatch(reference, settings));
}

// Parses twice on one parser, so that the forced run also shows that nothing
// of the first one is left behind.
void expectAgreement(const std::vector<uint8_t>& stream, const LzssSettings& settings)
{
    OptimalParser parser(settings);
    parser.build(stream, static_cast<int32_t>(stream.size()));
    for (bool forceFinalLiteral : {false, true}) {
        SCOPED_TRACE(forceFinalLiteral ? "with a forced final literal" : "without a forced final literal");
        parser.parse(forceFinalLiteral);
        expectSameTables(parser, referenceParse(stream, settings, forceFinalLiteral), settings);
    }
}

testing::Message describe(const LzssSettings& settings, Shape shape, size_t n)
{
    return testing::Message() << "O=" << settings.offsetBits << " L=" << settings.lengthBits
                              << " M=" << settings.minMatchLength << ", " << stream_shapes::name(shape) << ", n=" << n;
}

TEST(ParserAgreement, EveryShapeUnderEverySetting)
{
    std::mt19937 random(8);
    int32_t streams = 0;
    int32_t setting = 0;
    for (const LzssSettings& settings : everyValidSetting()) {
        for (int32_t k = 0; k < 3; ++k, ++streams) {
            const Shape shape = stream_shapes::allShapes[(setting + 3 * k) % std::size(stream_shapes::allShapes)];
            const int32_t n = 1 + stream_shapes::below(random, longestAffordable(settings, shape));
            const int32_t period = 1 + stream_shapes::below(random, k == 0 ? 8 : 300);
            const std::vector<uint8_t> stream = stream_shapes::make(shape, random, n, period);
            SCOPED_TRACE(describe(settings, shape, stream.size()) << ", period " << period);
            expectAgreement(stream, settings);
            if (HasFailure())
                return;
        }
        ++setting;
    }
    EXPECT_EQ(streams, 5472);
}

TEST(ParserAgreement, StreamsPastTheWidestWindowsAndLongestMatches)
{
    struct Case {
        LzssSettings settings;
        Shape shape;
        int32_t n;
        int32_t period;
    };
    const Case cases[] = {
        {{12, 4, 1}, Shape::RandomOf4, 4400, 0},   {{12, 4, 16}, Shape::RandomOf256, 4300, 0},
        {{12, 2, 3}, Shape::Periodic, 4200, 300},  {{11, 5, 2}, Shape::RandomOf2, 2300, 0},
        {{10, 6, 1}, Shape::SongLike, 1300, 0},    {{9, 7, 5}, Shape::Periodic, 700, 97},
        {{8, 8, 1}, Shape::Constant, 600, 0},      {{8, 8, 4}, Shape::Periodic, 700, 3},
        {{8, 8, 16}, Shape::SongLike, 800, 0},     {{7, 5, 1}, Shape::Ramps, 3000, 0},
        {{4, 12, 16}, Shape::Constant, 4200, 0},   {{2, 14, 1}, Shape::Periodic, 3000, 2},
        {{0, 16, 1}, Shape::RandomOf2, 5000, 0},   {{4, 4, 1}, Shape::SongLike, 5000, 0},
        // Wider than the command line allows, but the parser takes them:
        // runs beyond 16 bits in a window of more than a few distances.
        {{5, 16, 1}, Shape::SongLike, 1500, 0},    {{5, 16, 2}, Shape::Constant, 400, 0},
    };
    std::mt19937 random(12);
    for (const Case& c : cases) {
        const std::vector<uint8_t> stream = stream_shapes::make(c.shape, random, c.n, c.period);
        SCOPED_TRACE(describe(c.settings, c.shape, stream.size()));
        expectAgreement(stream, c.settings);
    }
}

TEST(ParserAgreement, RunsBeyondSixteenBitsAreCutAtTheLongestMatch)
{
    // 0 offset bits and 16 length bits: one candidate, at distance 1, and
    // matches of up to 65536 bytes. The reference would take minutes here.
    const LzssSettings settings{0, 16, 1};
    std::vector<uint8_t> stream(70'000, 0x42);
    stream[68'000] = 0x43;
    OptimalParser parser(settings);
    parser.build(stream, static_cast<int32_t>(stream.size()));
    parser.parse(false);
    EXPECT_EQ(parser.length(0), 0);
    EXPECT_EQ(parser.length(1), 65'536);
    EXPECT_EQ(parser.distance(1), 1);
    // 65,537 .. 67,999 copy on; 68,000 differs, and so does the byte after it.
    EXPECT_EQ(parser.length(65'537), 68'000 - 65'537);
    EXPECT_EQ(parser.length(68'000), 0);
    EXPECT_EQ(parser.length(68'001), 0);
    EXPECT_EQ(parser.length(68'002), 70'000 - 68'002);
    EXPECT_EQ(parser.cost(0), 9 + 17 + 17 + 9 + 9 + 17);
    EXPECT_TRUE(parser.endsInMatch());
}

// ---- Whole files ----

// Writes the file the way the layout defines it, from reference tables: the
// channel mask, the initial values, the end rule and the frame-interleaved
// steps.
std::vector<uint8_t> fileFromReference(const RegisterStreamSet& song, const LzssSettings& settings, bool oldFormat,
                                       bool forceEndLiteral, std::array<int32_t, registersPerFrame>& bits)
{
    const int32_t n = song.frameCount;
    const auto& streams = song.streams;
    BitStreamWriter writer(settings);
    std::array<bool, registersPerFrame> skipped{};
    for (int c = registersPerFrame - 1; c >= 1; --c) {
        skipped[c] = std::all_of(streams[c].begin(), streams[c].begin() + n, [&](uint8_t v) { return v == streams[c][0]; });
        writer.putFlag(skipped[c] ? 1 : 0);
    }
    writer.flush();
    for (int c = registersPerFrame - 1; c >= 0; --c)
        if (!oldFormat || skipped[c])
            writer.putByte(streams[c][0]);
    writer.flush();

    std::array<ReferenceParse, registersPerFrame> parses;
    bool allEndInMatch = true;
    for (int c = 0; c < registersPerFrame; ++c) {
        if (skipped[c])
            continue;
        parses[c] = referenceParse(std::span(streams[c]).first(n), settings, false);
        allEndInMatch = allEndInMatch && referenceEndsInMatch(parses[c], settings);
    }
    if (allEndInMatch && forceEndLiteral)
        parses[0] = referenceParse(std::span(streams[0]).first(n), settings, true);

    std::array<int32_t, registersPerFrame> nextStep{};
    for (int32_t f = oldFormat ? 0 : 1; f < n; ++f) {
        for (int c = registersPerFrame - 1; c >= 0; --c) {
            if (skipped[c] || f < nextStep[c])
                continue;
            const int32_t length = parses[c].length[f];
            if (length < settings.minMatchLength) {
                writer.putFlag(1);
                writer.putByte(streams[c][f]);
                nextStep[c] = f + 1;
            } else {
                const int32_t source = f - parses[c].distance[f] - (oldFormat ? 1 : 2);
                writer.putFlag(0);
                writer.putMatchCode(source & (settings.windowSize() - 1), length - settings.minMatchLength);
                nextStep[c] = f + length;
            }
        }
    }
    writer.flush();
    for (int c = 0; c < registersPerFrame; ++c)
        bits[c] = skipped[c] ? 0 : parses[c].cost[0];
    return writer.flushedBytes();
}

std::vector<uint8_t> writtenFile(const RegisterStreamSet& song, const LzssSettings& settings, bool oldFormat,
                                 bool forceEndLiteral, std::array<int32_t, registersPerFrame>& bits)
{
    MatchHistograms histograms = makeHistograms(settings);
    BitStreamWriter writer(settings);
    testing::internal::CaptureStderr();
    const CompressionResult result =
        writeCompressedFile(song, song.frameCount, writer, settings, histograms, 0, forceEndLiteral, oldFormat);
    testing::internal::GetCapturedStderr();
    bits = result.bits;
    return writer.flushedBytes();
}

// Nine channels of mixed shapes; now and then a channel holds one value and
// is left out. Songs whose channels all repeat end in a match everywhere and
// bring in the end rule.
RegisterStreamSet mixedSong(std::mt19937& random, const LzssSettings& settings)
{
    const bool allRepeat = stream_shapes::below(random, 4) == 0;
    int32_t n = 1 + stream_shapes::below(random, std::min(longestAffordable(settings, Shape::Constant), 300));
    RegisterStreamSet song;
    song.frameCount = n;
    for (auto& stream : song.streams) {
        Shape shape = stream_shapes::allShapes[stream_shapes::below(random, std::size(stream_shapes::allShapes))];
        if (allRepeat)
            shape = stream_shapes::below(random, 2) == 0 ? Shape::Constant : Shape::Periodic;
        stream = stream_shapes::make(shape, random, n, 1 + stream_shapes::below(random, 12));
    }
    return song;
}

TEST(ParserAgreement, FilesMatchFilesWrittenFromTheReferenceUnderEverySetting)
{
    std::mt19937 random(88);
    int32_t songs = 0;
    for (const LzssSettings& settings : everyValidSetting()) {
        const RegisterStreamSet song = mixedSong(random, settings);
        const bool oldFormat = songs % 2 == 1;
        const bool forceEndLiteral = songs % 4 < 2;
        SCOPED_TRACE(testing::Message() << "O=" << settings.offsetBits << " L=" << settings.lengthBits
                                        << " M=" << settings.minMatchLength << ", " << song.frameCount
                                        << " frames, old format " << oldFormat << ", forced end " << forceEndLiteral);
        std::array<int32_t, registersPerFrame> expectedBits{}, bits{};
        const std::vector<uint8_t> expected = fileFromReference(song, settings, oldFormat, forceEndLiteral, expectedBits);
        ASSERT_EQ(writtenFile(song, settings, oldFormat, forceEndLiteral, bits), expected);
        ASSERT_EQ(bits, expectedBits);
        ++songs;
    }
    EXPECT_EQ(songs, 1824);
}

}  // namespace
