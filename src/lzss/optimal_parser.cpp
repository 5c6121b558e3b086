#include "lzss/optimal_parser.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace {

struct LongestMatch {
    int32_t length = 0;
    int32_t distance = 0;
};

// Compares every candidate in the window, farthest first, and keeps a
// candidate only when it is strictly longer, so that among equally long
// matches the farthest one wins. Copies may overlap position i: a decoder
// copying byte by byte reproduces them.
LongestMatch findLongestMatch(std::span<const uint8_t> stream, int32_t i, int32_t rangeEnd,
                              const LzssSettings& settings)
{
    const int32_t maxLength = std::min(settings.longestMatch(), rangeEnd - i);
    const int32_t start = std::max(0, i - settings.windowSize());
    const uint8_t* bytes = stream.data();
    LongestMatch best;
    // Once a candidate reaches maxLength no nearer one can be strictly
    // longer, so stopping there changes nothing but the time taken; it is
    // what keeps long constant runs affordable.
    for (int32_t p = start; p < i && best.length < maxLength; ++p) {
        int32_t k = 0;
        while (k < maxLength && bytes[p + k] == bytes[i + k])
            ++k;
        if (k > best.length)
            best = {k, i - p};
    }
    return best;
}

} // namespace

OptimalParser::OptimalParser(const LzssSettings& settings) : settings_(settings)
{
    // Below these bounds the window or the longest match cannot be computed,
    // and a minimum match length of 0 would let a walk stand still.
    if (settings.offsetBits < 0 || settings.offsetBits > 16 || settings.lengthBits < 0 ||
        settings.lengthBits > 16 || settings.minMatchLength < 1 || settings.minMatchLength > 16)
        throw std::invalid_argument("LZSS settings out of range for the parser");
}

void OptimalParser::build(std::span<const uint8_t> stream, int32_t n)
{
    if (n < 0 || static_cast<std::size_t>(n) > stream.size())
        throw std::invalid_argument("parser range exceeds its stream");
    // Every cost must fit in its signed 32-bit entry, even for all literals.
    if (n > std::numeric_limits<int32_t>::max() / literalCost)
        throw std::invalid_argument("stream too long for the parser's cost table");
    stream_ = stream;
    n_ = n;
    cost_.assign(n, 0);
    length_.assign(n, 0);
    distance_.assign(n, 0);
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

    const int32_t last = rangeEnd - 1;
    cost_[last] = literalCost;
    length_[last] = 0;
    distance_[last] = 0;

    const int32_t matchCost = settings_.matchCost();
    const int32_t minLength = settings_.minMatchLength;
    for (int32_t i = last - 1; i >= 0; --i) {
        const LongestMatch longest = findLongestMatch(stream_, i, rangeEnd, settings_);
        int32_t best = cost_[i + 1] + literalCost;
        int32_t bestLength = 0;
        // Longest first with a strict comparison: the literal keeps ties
        // with every match, and among equally cheap matches the longest
        // stays. A shorter match is a prefix of the longest, so it copies
        // from the same distance.
        for (int32_t j = longest.length; j >= minLength; --j) {
            // A match that reaches the end of the range is charged only its own bits.
            const int32_t after = i + j < rangeEnd ? cost_[i + j] : 0;
            if (after + matchCost < best) {
                best = after + matchCost;
                bestLength = j;
            }
        }
        cost_[i] = best;
        length_[i] = bestLength;
        distance_[i] = longest.distance;
    }
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
