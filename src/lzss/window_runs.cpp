#include "lzss/window_runs.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <utility>

// The vector helpers below are inlined into one function per instruction
// set; none of them crosses a call, so the warning that vector arguments
// change the calling convention between instruction sets does not apply.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wunknown-warning-option"
#endif
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace {

// Runs are kept in the narrowest lane that holds the longest match, since
// the window pass is bound by how many lanes one instruction takes. A run
// longer than the longest match is stored as the longest match: every
// comparison caps it there anyway, and one more equal byte keeps it there.
constexpr int32_t vectorBytes = 64;

typedef uint8_t U8x64 __attribute__((vector_size(64)));
typedef uint16_t U16x32 __attribute__((vector_size(64)));
typedef uint32_t U32x16 __attribute__((vector_size(64)));
typedef uint8_t U8x32 __attribute__((vector_size(32)));
typedef uint8_t U8x16 __attribute__((vector_size(16)));

template <typename Lane>
struct LaneVectors;
template <>
struct LaneVectors<uint8_t> {
    using Runs = U8x64;
    using Bytes = U8x64;
};
template <>
struct LaneVectors<uint16_t> {
    using Runs = U16x32;
    using Bytes = U8x32;
};
template <>
struct LaneVectors<uint32_t> {
    using Runs = U32x16;
    using Bytes = U8x16;
};

template <typename Lane>
constexpr int32_t lanesPerVector = vectorBytes / static_cast<int32_t>(sizeof(Lane));

struct SearchArea {
    const uint8_t* stream;
    const uint8_t* head;
    uint8_t* runs;
    int32_t rangeEnd;
    int32_t window;
    int32_t longest;
    int32_t lanes;
    int32_t* length;
    int32_t* distance;
};

template <typename V>
[[gnu::always_inline]] inline V load(const uint8_t* from)
{
    V v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

template <typename V>
[[gnu::always_inline]] inline void store(uint8_t* to, const V& v)
{
    std::memcpy(to, &v, sizeof v);
}

template <typename V, typename Lane>
[[gnu::always_inline]] inline V splat(Lane value)
{
    // Each compiler turns a different spelling into one broadcast; the
    // other spelling costs one instruction per lane.
#if defined(__clang__)
    return V{} + value;
#else
    V v;
    for (std::size_t lane = 0; lane < sizeof(V) / sizeof(Lane); ++lane)
        v[lane] = value;
    return v;
#endif
}

// Lane by lane all ones where the test holds, else 0. g++ 12 turns a
// comparison of 64-byte vectors into one instruction per lane unless the
// processor has AVX-512, but each 32-byte half into one instruction, so the
// halves are compared one by one; other compilers join them again.
enum class LaneTest { Equal, Below, AtLeast };

template <LaneTest test, typename V>
[[gnu::always_inline]] inline V compareLanes(const V& a, const V& b)
{
    using Lane = std::decay_t<decltype(std::declval<V>()[0])>;
    typedef Lane Half __attribute__((vector_size(sizeof(V) / 2)));
    Half halves[2][2];
    std::memcpy(halves[0], &a, sizeof a);
    std::memcpy(halves[1], &b, sizeof b);
    Half result[2];
    for (int h = 0; h < 2; ++h) {
        if constexpr (test == LaneTest::Equal)
            result[h] = (Half)(halves[0][h] == halves[1][h]);
        else if constexpr (test == LaneTest::Below)
            result[h] = (Half)(halves[0][h] < halves[1][h]);
        else
            result[h] = (Half)(halves[0][h] >= halves[1][h]);
    }
    V v;
    std::memcpy(&v, result, sizeof v);
    return v;
}

// Lane by lane the larger value.
template <typename V>
[[gnu::always_inline]] inline V larger(const V& a, const V& b)
{
    return a > b ? a : b;
}

// Halves the vector until one lane is left; the compiler turns each step
// into a single extract and maximum.
template <typename Lane, typename V>
[[gnu::always_inline]] inline Lane largestLane(const V& v)
{
    if constexpr (sizeof(V) == sizeof(Lane)) {
        return v[0];
    } else {
        typedef Lane Half __attribute__((vector_size(sizeof(V) / 2)));
        Half low, high;
        std::memcpy(&low, &v, sizeof low);
        std::memcpy(&high, reinterpret_cast<const uint8_t*>(&v) + sizeof low, sizeof high);
        return largestLane<Lane>(larger(low, high));
    }
}

// The first lane of a comparison result that is set, or -1: the result is
// read as 64-bit words, whose lowest set bit gives the lane.
template <typename Lane, typename V>
[[gnu::always_inline]] inline int32_t firstSetLane(const V& hits)
{
    uint64_t words[sizeof(V) / 8];
    std::memcpy(words, &hits, sizeof hits);
    for (int32_t w = 0; w < static_cast<int32_t>(sizeof(V) / 8); ++w)
        if (words[w] != 0)
            return (w * 8 + __builtin_ctzll(words[w]) / 8) / static_cast<int32_t>(sizeof(Lane));
    return -1;
}

// Vector v of the runs one position further back, at x: one more where the
// bytes at x and x - distance are equal, saturating at the cap; 0 elsewhere.
// current holds the byte at x in every lane; it is made once per position,
// since a broadcast may cost one instruction per lane.
// Written as a function rather than a lambda since only functions can be
// forced inline, and vectors must not cross a call between builds for
// different instruction sets.
template <typename Lane, typename Runs, typename Bytes>
[[gnu::always_inline]] inline Runs extendRuns(const SearchArea& area, uint8_t* runs, int32_t x, int32_t v,
                                              const Runs& current, const Runs& cap)
{
    constexpr int32_t perVector = lanesPerVector<Lane>;
    const uint8_t* before = x >= area.lanes ? area.stream + (x - area.lanes) : area.head + x;
    Runs run = load<Runs>(runs + v * vectorBytes);
    const Runs earlier = __builtin_convertvector(load<Bytes>(before + v * perVector), Runs);
    run = (run - compareLanes<LaneTest::Below>(run, cap)) & compareLanes<LaneTest::Equal>(earlier, current);
    store(runs + v * vectorBytes, run);
    return run;
}

// Lane k of the run table compares position i with position i - (lanes - k),
// so lanes below lanes - min(window, i) look before the stream or beyond the
// window. Their runs are never read: a distance that is out of reach at i
// stays out of reach at every earlier position.
//
// Once some run reaches the longest match, only the lanes up to the vector
// holding the farthest such run are kept current. As long as one of them
// still reaches the longest match, the farthest of them is the answer, since
// nothing is longer and every other lane is nearer. When none does, the
// nearer lanes catch up by replaying the positions they missed, and never
// more than the longest match of them: a run is only ever counted up to it,
// so older positions cannot change it. The catching up costs at most what
// keeping every lane current would have, and in constant and periodic
// streams it is hardly ever needed.
template <typename Lane>
[[gnu::always_inline]] inline void findAll(const SearchArea& area)
{
    using Runs = typename LaneVectors<Lane>::Runs;
    using Bytes = typename LaneVectors<Lane>::Bytes;
    constexpr int32_t perVector = lanesPerVector<Lane>;
    const int32_t vectors = area.lanes / perVector;
    uint8_t* const runs = area.runs;
    std::memset(runs, 0, static_cast<std::size_t>(area.lanes) * sizeof(Lane));

    const Runs cap = splat<Runs>(static_cast<Lane>(area.longest));
    Runs laneIndex;
    for (int32_t lane = 0; lane < perVector; ++lane)
        laneIndex[lane] = static_cast<Lane>(lane);


    // Vectors below farVectors are current at every position; the others
    // hold the runs at position nearCurrentAt. All are current outside a
    // stretch of long matches, when farVectors is 0.
    int32_t farVectors = 0;
    int32_t nearCurrentAt = area.rangeEnd;

    for (int32_t i = area.rangeEnd - 1; i >= 0; --i) {
        const int32_t firstLane = area.lanes - std::min(area.window, i);
        const int32_t firstVector = firstLane / perVector;
        const Runs valid = compareLanes<LaneTest::AtLeast>(
            laneIndex, splat<Runs>(static_cast<Lane>(firstLane - firstVector * perVector)));
        area.length[i] = 0;
        area.distance[i] = 0;

        Runs most{};
        const Runs current = splat<Runs>(static_cast<Lane>(area.stream[i]));
        if (farVectors > 0) {
            int32_t farthest = -1;
            for (int32_t v = firstVector; v < farVectors; ++v) {
                Runs hits = compareLanes<LaneTest::AtLeast>(
                    extendRuns<Lane, Runs, Bytes>(area, runs, i, v, current, cap), cap);
                if (v == firstVector)
                    hits &= valid;
                if (farthest < 0) {
                    const int32_t lane = firstSetLane<Lane>(hits);
                    if (lane >= 0)
                        farthest = v * perVector + lane;
                }
            }
            if (farthest >= 0) {
                area.length[i] = area.longest;
                area.distance[i] = area.lanes - farthest;
                continue;
            }
            // Replaying the last longest-match positions sets every run anew,
            // whatever it held: it either saturates or meets a difference.
            const int32_t from = std::min(nearCurrentAt, i + area.longest);
            for (int32_t x = from - 1; x >= i; --x) {
                const Runs then = splat<Runs>(static_cast<Lane>(area.stream[x]));
                for (int32_t v = std::max(farVectors, firstVector); v < vectors; ++v)
                    extendRuns<Lane, Runs, Bytes>(area, runs, x, v, then, cap);
            }
            farVectors = 0;
            for (int32_t v = firstVector; v < vectors; ++v) {
                Runs run = load<Runs>(runs + v * vectorBytes);
                if (v == firstVector)
                    run &= valid;
                most = larger(most, run);
            }
        } else {
            for (int32_t v = firstVector; v < vectors; ++v) {
                Runs run = extendRuns<Lane, Runs, Bytes>(area, runs, i, v, current, cap);
                if (v == firstVector)
                    run &= valid;
                most = larger(most, run);
            }
        }
        nearCurrentAt = i;

        if (i == area.rangeEnd - 1)
            continue;
        // Runs stop at the end of the range, since the first position of the
        // pass starts every run at 0, and at the longest match by saturation.
        const int32_t found = largestLane<Lane>(most);
        if (found == 0)
            continue;

        // The farthest distance whose run reaches that length: a far run cut
        // at the longest match ties with a longer near one, and the far one
        // wins.
        const Runs reaches = splat<Runs>(static_cast<Lane>(found));
        for (int32_t v = firstVector; v < vectors; ++v) {
            Runs hits = compareLanes<LaneTest::AtLeast>(load<Runs>(runs + v * vectorBytes), reaches);
            if (v == firstVector)
                hits &= valid;
            const int32_t lane = firstSetLane<Lane>(hits);
            if (lane < 0)
                continue;
            area.length[i] = found;
            area.distance[i] = area.lanes - (v * perVector + lane);
            if (found == area.longest)
                farVectors = v + 1;
            break;
        }
    }
}

// For a window of a few distances the vector machinery costs more than it
// saves; the same runs are kept in plain integers.
constexpr int32_t smallWindow = 8;

void findAllInSmallWindow(const SearchArea& area)
{
    int32_t runs[smallWindow + 1] = {};
    const uint8_t* stream = area.stream;
    for (int32_t i = area.rangeEnd - 1; i >= 0; --i) {
        int32_t longest = 0;
        int32_t farthest = 0;
        for (int32_t d = std::min(area.window, i); d >= 1; --d) {
            const int32_t run = stream[i] == stream[i - d] ? std::min(runs[d] + 1, area.longest) : 0;
            runs[d] = run;
            if (run > longest) {
                longest = run;
                farthest = d;
            }
        }
        const bool last = i == area.rangeEnd - 1;
        area.length[i] = last ? 0 : longest;
        area.distance[i] = last ? 0 : farthest;
    }
}

// The pass is compiled once per instruction set and the widest one that the
// processor has is picked at load time: 64-byte vectors are four SSE2
// instructions but one AVX-512 instruction.
#if defined(__x86_64__) && defined(__GNUC__)
#define WINDOW_PASS_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define WINDOW_PASS_CLONES
#endif

WINDOW_PASS_CLONES void findAllInBytes(const SearchArea& area) { findAll<uint8_t>(area); }
WINDOW_PASS_CLONES void findAllInShorts(const SearchArea& area) { findAll<uint16_t>(area); }
WINDOW_PASS_CLONES void findAllInWords(const SearchArea& area) { findAll<uint32_t>(area); }

}  // namespace

void WindowRuns::prepare(const LzssSettings& settings, std::span<const uint8_t> stream)
{
    stream_ = stream;
    window_ = settings.windowSize();
    longest_ = settings.longestMatch();
    laneBytes_ = longest_ <= 0xFF ? 1 : longest_ <= 0xFFFF ? 2 : 4;
    lanes_ = std::max(window_, vectorBytes / laneBytes_);
    runs_.assign(static_cast<std::size_t>(lanes_) * laneBytes_, 0);
    head_.assign(2 * static_cast<std::size_t>(lanes_), 0);
    const std::size_t headBytes = std::min(stream.size(), static_cast<std::size_t>(lanes_));
    std::copy_n(stream.begin(), headBytes, head_.begin() + lanes_);
}

void WindowRuns::findLongestMatches(int32_t rangeEnd, int32_t* length, int32_t* distance)
{
    const SearchArea area{stream_.data(), head_.data(), runs_.data(), rangeEnd, window_, longest_,
                          lanes_,         length,       distance};
    if (window_ <= smallWindow)
        findAllInSmallWindow(area);
    else if (laneBytes_ == 1)
        findAllInBytes(area);
    else if (laneBytes_ == 2)
        findAllInShorts(area);
    else
        findAllInWords(area);
}
