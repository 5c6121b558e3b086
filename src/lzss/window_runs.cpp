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
//
// g++ keeps a vector wider than the processor's registers on the stack and
// compares it one lane at a time, so its vectors are as wide as the
// registers. clang spreads a wider vector over several registers, and there
// the fewer trips round the loops pay. The run table is padded to whole
// vectors of the widest kind, which are whole vectors of every narrower kind
// too, since the window is a power of two.
constexpr int32_t widestVectorBytes = 64;

#if defined(__clang__)
template <int32_t registerBytes>
constexpr int32_t vectorBytesFor = widestVectorBytes;
#else
template <int32_t registerBytes>
constexpr int32_t vectorBytesFor = registerBytes;
#endif

template <typename Lane, int32_t bytes>
struct VectorOf {
    typedef Lane Type __attribute__((vector_size(bytes)));
};

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
    // A looping song's limits on copies, read only by the looping pass: from
    // loopStart on, allowed + x holds for the lanes of position x whether
    // their source may be copied (1) or not (0); before it, ones does.
    int32_t loopStart;
    const uint8_t* allowed;
    const uint8_t* ones;
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

// Lane by lane all ones where the test holds, else 0.
enum class LaneTest { Equal, Below, AtLeast };

template <LaneTest test, typename V>
[[gnu::always_inline]] inline V compareWhole(const V& a, const V& b)
{
    if constexpr (test == LaneTest::Equal)
        return (V)(a == b);
    else if constexpr (test == LaneTest::Below)
        return (V)(a < b);
    else
        return (V)(a >= b);
}

// A vector wider than a register is compared a register's width at a time,
// which clang turns into better code than the whole comparison.
template <LaneTest test, int32_t registerBytes, typename V>
[[gnu::always_inline]] inline V compareLanes(const V& a, const V& b)
{
    if constexpr (sizeof(V) > static_cast<std::size_t>(registerBytes)) {
        typedef std::remove_cvref_t<decltype(a[0])> Half __attribute__((vector_size(sizeof(V) / 2)));
        Half halves[2][2];
        std::memcpy(halves[0], &a, sizeof a);
        std::memcpy(halves[1], &b, sizeof b);
        const Half result[2] = {compareLanes<test, registerBytes>(halves[0][0], halves[1][0]),
                                compareLanes<test, registerBytes>(halves[0][1], halves[1][1])};
        V v;
        std::memcpy(&v, result, sizeof v);
        return v;
    } else {
        return compareWhole<test>(a, b);
    }
}

// Lane by lane the larger value.
template <typename V>
[[gnu::always_inline]] inline V larger(const V& a, const V& b)
{
    return a > b ? a : b;
}

// Halves the vector until one lane is left, each step a single extract and
// maximum. The halves are taken by shuffles, which stay in registers: g++
// copies halves taken through memory out and back, and the wide read that
// follows two narrow writes stalls.
template <typename Lane, typename V, std::size_t... low>
[[gnu::always_inline]] inline Lane largestLane(const V& v, std::index_sequence<low...>)
{
    if constexpr (sizeof...(low) == 0) {
        return v[0];
    } else {
        return largestLane<Lane>(larger(__builtin_shufflevector(v, v, low...),
                                        __builtin_shufflevector(v, v, (low + sizeof...(low))...)),
                                 std::make_index_sequence<sizeof...(low) / 2>());
    }
}

template <typename Lane, typename V>
[[gnu::always_inline]] inline Lane largestLane(const V& v)
{
    return largestLane<Lane>(v, std::make_index_sequence<sizeof(V) / sizeof(Lane) / 2>());
}

// The first lane of a comparison result that is set, or -1: the result is
// read as 64-bit words, whose lowest set bit gives the lane.
template <typename Lane, typename V>
[[gnu::always_inline]] inline int32_t firstSetLane(const V& hits)
{
    using Words = typename VectorOf<uint64_t, sizeof(V)>::Type;
    const Words words = (Words)hits;
    // Unrolled, so that each word comes straight from the register rather
    // than from a copy in memory.
#pragma GCC unroll 8
    for (int32_t w = 0; w < static_cast<int32_t>(sizeof(V) / 8); ++w)
        if (words[w] != 0)
            return (w * 8 + __builtin_ctzll(words[w]) / 8) / static_cast<int32_t>(sizeof(Lane));
    return -1;
}

// The bytes in lanes as wide as the runs'. g++ widens fourfold one lane at
// a time but twofold in a few instructions, so words are reached by way of
// shorts.
template <typename Runs, typename Bytes>
[[gnu::always_inline]] inline Runs widen(const Bytes& bytes)
{
    if constexpr (sizeof(Runs) == 4 * sizeof(Bytes)) {
        using Shorts = typename VectorOf<uint16_t, 2 * sizeof(Bytes)>::Type;
        return __builtin_convertvector(__builtin_convertvector(bytes, Shorts), Runs);
    } else {
        return __builtin_convertvector(bytes, Runs);
    }
}

// Vector v of the runs one position further back, at x: one more where the
// bytes at x and x - distance are equal, saturating at the cap; 0 elsewhere.
// current holds the byte at x in every lane; it is made once per position,
// since a broadcast may cost one instruction per lane.
// Written as a function rather than a lambda since only functions can be
// forced inline, and vectors must not cross a call between builds for
// different instruction sets.
template <typename Lane, int32_t registerBytes, bool looped, typename Runs>
[[gnu::always_inline]] inline Runs extendRuns(const SearchArea& area, uint8_t* runs, int32_t x, int32_t v,
                                              const Runs& current, const Runs& cap)
{
    constexpr int32_t perVector = sizeof(Runs) / sizeof(Lane);
    using Bytes = typename VectorOf<uint8_t, perVector>::Type;
    const uint8_t* before = x >= area.lanes ? area.stream + (x - area.lanes) : area.head + x;
    Runs run = load<Runs>(runs + v * sizeof(Runs));
    const Runs earlier = widen<Runs>(load<Bytes>(before + v * perVector));
    run = (run - compareLanes<LaneTest::Below, registerBytes>(run, cap)) &
          compareLanes<LaneTest::Equal, registerBytes>(earlier, current);
    if constexpr (looped) {
        const uint8_t* allowed = x >= area.loopStart ? area.allowed + x : area.ones;
        run &= -widen<Runs>(load<Bytes>(allowed + v * perVector));
    }
    store(runs + v * sizeof(Runs), run);
    return run;
}

// The vectors of one position of the pass: which ones are in reach, and
// the first lane in reach.
template <typename Runs>
struct Reach {
    int32_t firstVector;  // the vector holding the first lane in reach
    int32_t vectors;      // one past the last vector
    Runs valid;           // the lanes of the first vector that are in reach
};

// The farthest lane among the vectors below farVectors whose run, extended to
// position i, reaches the longest match; -1 when none does.
template <typename Lane, int32_t registerBytes, bool looped, typename Runs>
[[gnu::always_inline]] inline int32_t farthestAtLongest(const SearchArea& area, uint8_t* runs, int32_t i,
                                                        const Reach<Runs>& reach, int32_t farVectors,
                                                        const Runs& current, const Runs& cap)
{
    constexpr int32_t perVector = sizeof(Runs) / sizeof(Lane);
    int32_t farthest = -1;
    for (int32_t v = reach.firstVector; v < farVectors; ++v) {
        Runs hits = compareLanes<LaneTest::AtLeast, registerBytes>(
            extendRuns<Lane, registerBytes, looped>(area, runs, i, v, current, cap), cap);
        if (v == reach.firstVector)
            hits &= reach.valid;
        if (farthest < 0) {
            const int32_t lane = firstSetLane<Lane>(hits);
            if (lane >= 0)
                farthest = v * perVector + lane;
        }
    }
    return farthest;
}

// Brings the vectors from farVectors on up to position i, where they were
// left at nearCurrentAt, and returns the longest run of every lane in reach.
// Replaying the last longest-match positions sets every run anew, whatever
// it held: it either saturates or meets a difference.
template <typename Lane, int32_t registerBytes, bool looped, typename Runs>
[[gnu::always_inline]] inline Runs catchUp(const SearchArea& area, uint8_t* runs, int32_t i, const Reach<Runs>& reach,
                                           int32_t farVectors, int32_t nearCurrentAt, const Runs& cap)
{
    const int32_t from = std::min(nearCurrentAt, i + area.longest);
    for (int32_t x = from - 1; x >= i; --x) {
        const Runs then = splat<Runs>(static_cast<Lane>(area.stream[x]));
        for (int32_t v = std::max(farVectors, reach.firstVector); v < reach.vectors; ++v)
            extendRuns<Lane, registerBytes, looped>(area, runs, x, v, then, cap);
    }
    Runs most{};
    for (int32_t v = reach.firstVector; v < reach.vectors; ++v) {
        Runs run = load<Runs>(runs + v * sizeof(Runs));
        if (v == reach.firstVector)
            run &= reach.valid;
        most = larger(most, run);
    }
    return most;
}

// Extends every vector in reach to position i and returns the longest run of
// every lane.
template <typename Lane, int32_t registerBytes, bool looped, typename Runs>
[[gnu::always_inline]] inline Runs extendAll(const SearchArea& area, uint8_t* runs, int32_t i, const Reach<Runs>& reach,
                                             const Runs& current, const Runs& cap)
{
    Runs most{};
    // Two vectors a trip: with one, g++ spends nearly as much on the loop as
    // on the lanes.
#pragma GCC unroll 2
    for (int32_t v = reach.firstVector; v < reach.vectors; ++v) {
        Runs run = extendRuns<Lane, registerBytes, looped>(area, runs, i, v, current, cap);
        if (v == reach.firstVector)
            run &= reach.valid;
        most = larger(most, run);
    }
    return most;
}

// Records at position i the farthest distance whose run reaches found: a far
// run cut at the longest match ties with a longer near one, and the far one
// wins. Returns the vectors to keep current from now on: up to that one when
// found is the longest match, else 0.
template <typename Lane, int32_t registerBytes, bool looped, typename Runs>
[[gnu::always_inline]] inline int32_t recordFarthest(const SearchArea& area, const uint8_t* runs, int32_t i,
                                                     const Reach<Runs>& reach, int32_t found)
{
    constexpr int32_t perVector = sizeof(Runs) / sizeof(Lane);
    const Runs reaches = splat<Runs>(static_cast<Lane>(found));
    for (int32_t v = reach.firstVector; v < reach.vectors; ++v) {
        Runs hits = compareLanes<LaneTest::AtLeast, registerBytes>(load<Runs>(runs + v * sizeof(Runs)), reaches);
        if (v == reach.firstVector)
            hits &= reach.valid;
        const int32_t lane = firstSetLane<Lane>(hits);
        if (lane < 0)
            continue;
        area.length[i] = found;
        area.distance[i] = area.lanes - (v * perVector + lane);
        return found == area.longest ? v + 1 : 0;
    }
    return 0;
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
//
// The area comes by value: the runs are written through a byte pointer,
// which may point anywhere, and the compiler would otherwise read the
// area's fields again after every store.
template <typename Lane, int32_t registerBytes, bool looped>
[[gnu::always_inline]] inline void findAll(const SearchArea area)
{
    constexpr int32_t vectorBytes = vectorBytesFor<registerBytes>;
    using Runs = typename VectorOf<Lane, vectorBytes>::Type;
    constexpr int32_t perVector = vectorBytes / sizeof(Lane);
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
        Reach<Runs> reach{firstLane / perVector, area.lanes / perVector, {}};
        reach.valid = compareLanes<LaneTest::AtLeast, registerBytes>(
            laneIndex, splat<Runs>(static_cast<Lane>(firstLane - reach.firstVector * perVector)));
        area.length[i] = 0;
        area.distance[i] = 0;

        const Runs current = splat<Runs>(static_cast<Lane>(area.stream[i]));
        Runs most;
        if (farVectors > 0) {
            const int32_t farthest =
                farthestAtLongest<Lane, registerBytes, looped>(area, runs, i, reach, farVectors, current, cap);
            if (farthest >= 0) {
                area.length[i] = area.longest;
                area.distance[i] = area.lanes - farthest;
                continue;
            }
            most = catchUp<Lane, registerBytes, looped>(area, runs, i, reach, farVectors, nearCurrentAt, cap);
            farVectors = 0;
        } else {
            most = extendAll<Lane, registerBytes, looped>(area, runs, i, reach, current, cap);
        }
        nearCurrentAt = i;

        if (i == area.rangeEnd - 1)
            continue;
        // Runs stop at the end of the range, since the first position of the
        // pass starts every run at 0, and at the longest match by saturation.
        const int32_t found = largestLane<Lane>(most);
        if (found != 0)
            farVectors = recordFarthest<Lane, registerBytes, looped>(area, runs, i, reach, found);
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
            const bool equal =
                stream[i] == stream[i - d] && (i < area.loopStart || area.allowed[i + area.lanes - d] != 0);
            const int32_t run = equal ? std::min(runs[d] + 1, area.longest) : 0;
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

// The pass is built for each width of register, with AVX-512, with AVX2
// and with the baseline instruction set, and the processor picks at run time.
#if defined(__x86_64__) && defined(__GNUC__)
template <typename Lane, bool looped>
[[gnu::target("avx512bw")]] void findAllWithAvx512(const SearchArea& area)
{
    findAll<Lane, 64, looped>(area);
}

template <typename Lane, bool looped>
[[gnu::target("avx2")]] void findAllWithAvx2(const SearchArea& area)
{
    findAll<Lane, 32, looped>(area);
}

template <typename Lane, bool looped>
void findAllInLanes(const SearchArea& area)
{
    if (__builtin_cpu_supports("avx512bw"))
        findAllWithAvx512<Lane, looped>(area);
    else if (__builtin_cpu_supports("avx2"))
        findAllWithAvx2<Lane, looped>(area);
    else
        findAll<Lane, 16, looped>(area);
}
#else
template <typename Lane, bool looped>
void findAllInLanes(const SearchArea& area)
{
    findAll<Lane, 16, looped>(area);
}
#endif

// The unlooping pass is built apart, so that it pays nothing for loops.
template <bool looped>
void findAllInWindow(const SearchArea& area, int32_t laneBytes)
{
    if (area.window <= smallWindow)
        findAllInSmallWindow(area);
    else if (laneBytes == 1)
        findAllInLanes<uint8_t, looped>(area);
    else if (laneBytes == 2)
        findAllInLanes<uint16_t, looped>(area);
    else
        findAllInLanes<uint32_t, looped>(area);
}

}  // namespace

void WindowRuns::prepare(const LzssSettings& settings, std::span<const uint8_t> stream, std::optional<int32_t> loopStart)
{
    stream_ = stream;
    window_ = settings.windowSize();
    longest_ = settings.longestMatch();
    laneBytes_ = longest_ <= 0xFF ? 1 : longest_ <= 0xFFFF ? 2 : 4;
    lanes_ = std::max(window_, widestVectorBytes / laneBytes_);
    runs_.assign(static_cast<std::size_t>(lanes_) * laneBytes_, 0);
    head_.assign(2 * static_cast<std::size_t>(lanes_), 0);
    const std::size_t headBytes = std::min(stream.size(), static_cast<std::size_t>(lanes_));
    std::copy_n(stream.begin(), headBytes, head_.begin() + lanes_);

    // After the song's end the player goes back to the loop start with its
    // rings as the first pass left them: a slot then holds the last frame
    // before the end that used it, not the one a copy named on the first
    // pass. From the loop start on, a source before it is allowed only
    // where the two hold the same byte; a source at or after the loop start
    // is rewritten on every pass before it is read again.
    const auto n = static_cast<int32_t>(stream.size());
    loopStart_ = loopStart.value_or(INT32_MAX);
    allowed_.clear();
    ones_.clear();
    if (loopStart_ >= n) return;
    allowed_.assign(static_cast<std::size_t>(lanes_) + stream.size(), 1);
    ones_.assign(static_cast<std::size_t>(lanes_), 1);
    for (int32_t q = 0; q < loopStart_; ++q) {
        const int32_t lastInSlot = q + window_ * ((n - 1 - q) / window_);
        allowed_[static_cast<std::size_t>(lanes_ + q)] = stream[q] == stream[lastInSlot] ? 1 : 0;
    }
}

void WindowRuns::findLongestMatches(int32_t rangeEnd, int32_t* length, int32_t* distance)
{
    const bool looped = loopStart_ < rangeEnd;
    const SearchArea area{stream_.data(), head_.data(), runs_.data(), rangeEnd, window_,
                          longest_,       lanes_,       length,       distance, looped ? loopStart_ : INT32_MAX,
                          allowed_.data(), ones_.data()};
    if (looped)
        findAllInWindow<true>(area, laneBytes_);
    else
        findAllInWindow<false>(area, laneBytes_);
}
