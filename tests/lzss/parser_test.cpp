// The fast parse against the plain reference, table for table, under every
// setting the program accepts.
#include "lzss/file_format.h"
#include "lzss/optimal_parser.h"
#include "lzss/reference_parser.h"
#include "stream_shapes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

using stream_shapes::Shape;

namespace {

// The reference compares every candidate over its whole run: a stream costs
// it about n * window * (run length) steps. Streams are as long as a fixed
// budget allows, and no longer than needed to pass the window and the
// longest match twice.
int32_t affordableLength(const LzssSettings& settings, Shape shape, double budget)
{
    const bool longRuns = shape != Shape::RandomOf4;
    const int32_t enough = 2 * std::max(settings.windowSize(), settings.longestMatch()) + 40;
    int32_t n = 2;
    while (n < enough) {
        const double next = n + 1.0;
        if (next * std::min(next, 1.0 * settings.windowSize()) * (longRuns ? std::min(next, 1.0 * settings.longestMatch()) : 2) > budget)
            break;
        ++n;
    }
    return n;
}

void expectSameTables(std::span<const uint8_t> stream, const LzssSettings& settings, bool forceFinalLiteral,
                      std::optional<int32_t> loopStart = std::nullopt)
{
    OptimalParser parser(settings);
    parser.build(stream, loopStart);
    parser.parse(forceFinalLiteral);
    const ReferenceParse reference = referenceParse(stream, settings, forceFinalLiteral, loopStart.value_or(INT32_MAX));
    for (int32_t i = 0; i < parser.size(); ++i) {
        ASSERT_EQ(parser.cost(i), reference.cost[i]) << "at " << i << " of " << stream.size();
        ASSERT_EQ(parser.length(i), reference.length[i]) << "at " << i;
        if (parser.length(i) >= settings.minMatchLength) {
            ASSERT_EQ(parser.distance(i), reference.distance[i]) << "at " << i;
        }
    }
}

}  // namespace

TEST(Parser, AgreesWithTheReferenceUnderEveryAcceptedSetting)
{
    std::mt19937 rng(11);
    const Shape shapes[] = {Shape::Constant, Shape::Periodic, Shape::SongLike, Shape::RandomOf4};
    for (const LzssSettings& settings : acceptedSettings()) {
        SCOPED_TRACE(testing::Message() << settings.offsetBits << "/" << settings.lengthBits << "/"
                                        << settings.minMatchLength);
        for (int k = 0; k < 6; ++k) {
            // The last two parse a looping song, with the loop anywhere.
            const Shape shape = shapes[k < 4 ? k : k - 2];
            const int32_t n = affordableLength(settings, shape, 3e5);
            const std::vector<uint8_t> stream = stream_shapes::make(shape, rng, n, 1 + k * 3);
            const std::optional<int32_t> loop = k < 4 ? std::nullopt : std::optional<int32_t>(rng() % n);
            expectSameTables(stream, settings, k % 2 == 1, loop);
        }
    }
}

TEST(Parser, AgreesWithTheReferenceOnRunsLongerThanAByteCounts)
{
    std::mt19937 rng(5);
    for (const LzssSettings& settings : {LzssSettings{8, 8, 1}, LzssSettings{4, 12, 16}, LzssSettings{12, 4, 1},
                                         LzssSettings{0, 16, 1}, LzssSettings{2, 14, 3}}) {
        for (Shape shape : {Shape::Constant, Shape::Periodic, Shape::SongLike}) {
            const std::vector<uint8_t> stream = stream_shapes::make(shape, rng, 1200, 5);
            expectSameTables(stream, settings, false);
            expectSameTables(stream, settings, true);
        }
    }
}
