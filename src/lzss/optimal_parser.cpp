#include "lzss/optimal_parser.h"

#include "lzss/file_format.h"
#include "lzss/window_runs.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

OptimalParser::OptimalParser(const LzssSettings& settings) : settings_(settings)
{
    // A minimum match length of 0 would let a walk stand still.
    if (!isAccepted(settings))
        throw std::invalid_argument("LZSS settings out of range for the parser");
}

void OptimalParser::build(std::span<const uint8_t> stream, std::optional<int32_t> loopStart)
{
    // Every cost must fit in its signed 32-bit entry, even for all literals.
    if (stream.size() > std::numeric_limits<int32_t>::max() / literalCost)
        throw std::invalid_argument("stream too long for the parser's cost table");
    const auto n = static_cast<int32_t>(stream.size());
    stream_ = stream;
    n_ = n;
    cost_.assign(n, 0);
    length_.assign(n, 0);
    distance_.assign(n, 0);
    // The working space is taken here so that parse allocates nothing.
    runs_.prepare(settings_, stream, loopStart);
    if (settings_.minMatchLength > 1)
        minimumStack_.assign(static_cast<std::size_t>(n) + 1, 0);
}

void OptimalParser::parse(bool forceFinalLiteral)
{
    if (n_ == 0)
        return;

    int32_t rangeEnd = n_;
    if (forceFinalLiteral) {
        // The forced literal lies outside the parsed range, so it costs
        // nothing there; the caller accounts for it.
        rangeEnd = n_ - 1;
        cost_[rangeEnd] = 0;
        length_[rangeEnd] = 0;
        distance_[rangeEnd] = 0;
        if (rangeEnd == 0)
            return;
    }

    // First every position's longest match, left in the length and distance
    // tables; the costs below then replace each length by the one chosen.
    runs_.findLongestMatches(rangeEnd, length_.data(), distance_.data());
    chooseLengths(settings_, rangeEnd, cost_.data(), length_.data(), minimumStack_.data());
}

namespace {

// With a minimum match length of 1 the cost never rises along the stream,
// up to the range's last position: cost[i + 1] <= cost[i] for i + 1 <= N - 2,
// where N is the end of the range. The table holds the true least costs,
// since every length from the minimum to the longest is tried at each
// position and any shorter match is a prefix of the longest. Take the
// cheapest parse from i <= N - 3. If it starts with a literal or a match of
// length 1, it costs 9 or O + L + 1 more than a parse from i + 1, so more
// than cost[i + 1]. If it starts with a match of length j >= 2 at distance
// d, the same copy without its first byte, length j - 1 at distance d, is a
// match that the search finds at i + 1 (its bytes are a suffix of the run,
// it is no longer than the first, d <= i < i + 1 is in the window, and i + 1
// is not the last position), followed by the same steps: a parse from i + 1
// of the same cost.
//
// The last position N - 1 is the exception: it always holds a literal and
// costs 9, while N - 2 may end the range with a match of length 2 costing
// O + L + 1 < 9. Everything after the range costs 0, less than any entry.
// So among the ends i + 1 .. i + longest of the matches at i, the largest
// one has the least cost, unless it is N - 1 and cost[N - 2] is lower; then
// N - 2 is the largest end of the least cost. That choice is exactly what
// trying every length, longest first with a strict comparison, keeps.
// With a longer minimum the shortened copy may fall below it and the
// argument fails: chooseLengthsByLeastCost handles that.
void chooseLengthsFromLongest(const LzssSettings& settings, int32_t rangeEnd, int32_t* costs, int32_t* lengths)
{
    const int32_t matchCost = settings.matchCost();
    const int32_t longestMatch = settings.longestMatch();
    const int32_t last = rangeEnd - 1;
    for (int32_t i = rangeEnd - 2; i >= 0; --i) {
        const int32_t literal = costs[i + 1] + literalCost;
        int32_t length = std::min({lengths[i], longestMatch, rangeEnd - i});
        if (length >= 2 && i + length == last && costs[last - 1] < costs[last])
            --length;
        int32_t best = literal;
        int32_t bestLength = 0;
        if (length >= 1) {
            // A match that reaches the end of the range is charged only its own bits.
            const int32_t match = (i + length < rangeEnd ? costs[i + length] : 0) + matchCost;
            if (match < literal) {
                best = match;
                bestLength = length;
            }
        }
        costs[i] = best;
        lengths[i] = bestLength;
    }
}

// The lengths that can follow position i end at i + M .. i + longest, so
// the best match ends at the largest index of the least cost in that span,
// taken only when strictly cheaper than the literal. The span's left end
// moves down by one with every position, so a stack of the non-strict
// running minima from the left answers each query: it holds, from its top
// (the left end) downwards, every index whose cost is no higher than any
// cost between it and the left end. The last such index at or before the
// right end has the least cost in the span, and any index after it up to
// the right end costs strictly more, so it is the largest index of that
// least cost. The end of the range, costing 0 after a match that reaches
// it, lies at the bottom and is never popped.
void chooseLengthsByLeastCost(const LzssSettings& settings, int32_t rangeEnd, int32_t* costs, int32_t* lengths,
                              int32_t* stack)
{
    const int32_t matchCost = settings.matchCost();
    const int32_t minLength = settings.minMatchLength;
    const int32_t longestMatch = settings.longestMatch();
    int32_t* const bottom = stack;
    int32_t* top = bottom;  // one past the top
    *top++ = rangeEnd;
    for (int32_t i = rangeEnd - 2; i >= 0; --i) {
        const int32_t leftEnd = i + minLength;
        if (leftEnd < rangeEnd) {
            const int32_t leftCost = costs[leftEnd];
            while (top - bottom > 1 && costs[top[-1]] > leftCost)
                --top;
            *top++ = leftEnd;
        }
        const int32_t literal = costs[i + 1] + literalCost;
        const int32_t longest = std::min({lengths[i], longestMatch, rangeEnd - i});
        int32_t best = literal;
        int32_t bestLength = 0;
        if (longest >= minLength) {
            // Indices fall from the bottom to the top: find the first at or
            // before the right end.
            const int32_t rightEnd = i + longest;
            const int32_t end = *std::partition_point(bottom, top, [&](int32_t index) { return index > rightEnd; });
            const int32_t match = (end < rangeEnd ? costs[end] : 0) + matchCost;
            if (match < literal) {
                best = match;
                bestLength = end - i;
            }
        }
        costs[i] = best;
        lengths[i] = bestLength;
    }
}

}  // namespace

void chooseLengths(const LzssSettings& settings, int32_t rangeEnd, int32_t* cost, int32_t* length, int32_t* stack)
{
    const int32_t last = rangeEnd - 1;
    cost[last] = literalCost;
    length[last] = 0;
    if (settings.minMatchLength == 1)
        chooseLengthsFromLongest(settings, rangeEnd, cost, length);
    else
        chooseLengthsByLeastCost(settings, rangeEnd, cost, length, stack);
}

bool OptimalParser::endsInMatch() const
{
    bool lastWasMatch = false;
    for (int32_t i = 0; i < n_;) {
        lastWasMatch = length_[i] >= settings_.minMatchLength;
        i += lastWasMatch ? length_[i] : 1;
    }
    return lastWasMatch;
}
