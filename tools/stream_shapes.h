#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

// Register streams of the shapes that stress a parser in different ways:
// long runs that every candidate matches, periodic ones that a few
// candidates match, slowly changing ones, noise over a few or many values,
// and the held notes, envelopes and repeated bars of music. Shared by the
// parser tests and the benchmarks.
namespace stream_shapes {

enum class Shape { Constant, Periodic, Ramps, RandomOf2, RandomOf4, RandomOf256, SongLike };

inline constexpr Shape allShapes[] = {Shape::Constant,  Shape::Periodic,    Shape::Ramps,   Shape::RandomOf2,
                                      Shape::RandomOf4, Shape::RandomOf256, Shape::SongLike};

inline const char* name(Shape shape)
{
    switch (shape) {
    case Shape::Constant: return "constant";
    case Shape::Periodic: return "periodic";
    case Shape::Ramps: return "ramps";
    case Shape::RandomOf2: return "random-2";
    case Shape::RandomOf4: return "random-4";
    case Shape::RandomOf256: return "random-256";
    case Shape::SongLike: return "song-like";
    }
    return "?";
}

inline uint8_t randomByte(std::mt19937& random) { return static_cast<uint8_t>(random()); }

inline int32_t below(std::mt19937& random, int32_t bound)
{
    return static_cast<int32_t>(random() % static_cast<uint32_t>(bound));
}

// A pattern of random bytes repeated to the end.
inline std::vector<uint8_t> periodic(std::mt19937& random, int32_t n, int32_t period)
{
    std::vector<uint8_t> pattern(static_cast<size_t>(period));
    for (uint8_t& byte : pattern)
        byte = randomByte(random);
    std::vector<uint8_t> stream(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        stream[i] = pattern[i % period];
    return stream;
}

// Rising and falling slides of random slope, each step held a few frames,
// as pitch bends and volume fades make them.
inline std::vector<uint8_t> ramps(std::mt19937& random, int32_t n)
{
    std::vector<uint8_t> stream;
    stream.reserve(static_cast<size_t>(n));
    while (static_cast<int32_t>(stream.size()) < n) {
        int32_t value = randomByte(random);
        const int32_t slope = (1 + below(random, 3)) * (below(random, 2) == 0 ? 1 : -1);
        const int32_t hold = 1 + below(random, 4);
        for (int32_t left = 8 + below(random, 200); left > 0; --left) {
            stream.push_back(static_cast<uint8_t>(value));
            if (left % hold == 0)
                value += slope;
        }
    }
    stream.resize(static_cast<size_t>(n));
    return stream;
}

// Bars of held notes, each note with a decaying volume or a fixed pitch,
// played one to three times, with now and then a note changed on a repeat.
inline std::vector<uint8_t> songLike(std::mt19937& random, int32_t n)
{
    const bool volume = below(random, 2) == 0;
    const int32_t noteFrames = 2 + below(random, 6);
    const int32_t notesPerBar = 4 << below(random, 3);
    std::vector<uint8_t> stream;
    stream.reserve(static_cast<size_t>(n));
    while (static_cast<int32_t>(stream.size()) < n) {
        std::vector<uint8_t> bar;
        for (int32_t note = 0; note < notesPerBar; ++note) {
            const auto pitch = static_cast<uint8_t>(40 + below(random, 200));
            const bool rest = below(random, 6) == 0;
            for (int32_t f = 0; f < noteFrames; ++f) {
                if (rest)
                    bar.push_back(0);
                else if (volume)
                    bar.push_back(static_cast<uint8_t>(0xA0 | std::max(1, 12 - f)));
                else
                    bar.push_back(pitch);
            }
        }
        for (int32_t repeat = 1 + below(random, 3); repeat > 0; --repeat) {
            if (below(random, 4) == 0)
                bar[below(random, static_cast<int32_t>(bar.size()))] ^= 0x10;
            stream.insert(stream.end(), bar.begin(), bar.end());
        }
    }
    stream.resize(static_cast<size_t>(n));
    return stream;
}

// A stream of n bytes of the shape; period is used by Periodic only.
inline std::vector<uint8_t> make(Shape shape, std::mt19937& random, int32_t n, int32_t period = 16)
{
    std::vector<uint8_t> stream(static_cast<size_t>(n));
    switch (shape) {
    case Shape::Constant:
        std::fill(stream.begin(), stream.end(), randomByte(random));
        break;
    case Shape::Periodic:
        return periodic(random, n, period);
    case Shape::Ramps:
        return ramps(random, n);
    case Shape::RandomOf2:
    case Shape::RandomOf4:
    case Shape::RandomOf256: {
        const int32_t values = shape == Shape::RandomOf2 ? 2 : shape == Shape::RandomOf4 ? 4 : 256;
        const uint8_t first = randomByte(random);
        for (uint8_t& byte : stream)
            byte = static_cast<uint8_t>(first + below(random, values));
        break;
    }
    case Shape::SongLike:
        return songLike(random, n);
    }
    return stream;
}

}  // namespace stream_shapes
