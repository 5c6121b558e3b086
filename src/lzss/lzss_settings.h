#pragma once

#include <cstdint>

// The widths of the LZSS match code and the shortest match. The output file
// records none of them: a decoder must be built for the same values.
struct LzssSettings {
    int32_t offsetBits = 8;      // the window reaches 2^offsetBits frames back
    int32_t lengthBits = 8;      // the longest match is 2^lengthBits + minMatchLength - 1
    int32_t minMatchLength = 1;  // the shortest match

    int32_t windowSize() const { return int32_t{1} << offsetBits; }
    int32_t longestMatch() const { return (int32_t{1} << lengthBits) + minMatchLength - 1; }
    int32_t codeBits() const { return offsetBits + lengthBits; }
    // Bits a match costs in the parse: its flag and its code, whatever packing writes it.
    int32_t matchCost() const { return codeBits() + 1; }

    bool operator==(const LzssSettings&) const = default;
};

// What a run uses when no width or minimum is given: 16-bit codes.
inline constexpr LzssSettings defaultSettings{};

// The options that set both widths at once. Only the 16-bit one also puts
// the minimum match back to 1; the others keep any minimum given with them.
struct Preset {
    const char* name;       // the long option
    char letter;            // the short option
    LzssSettings settings;  // with the minimum match a run has by default
    bool setsMinimum;
};
inline constexpr Preset presets[] = {
    {"eight", '8', {4, 4, 1}, false}, {"twelve", '2', {7, 5, 1}, false}, {"sixteen", '6', defaultSettings, true}};

// The widths and minimum match lengths the program accepts.
inline constexpr int32_t maxOffsetBits = 12;
inline constexpr int32_t minLengthBits = 2, maxLengthBits = 16;
inline constexpr int32_t minCodeBits = 8, maxCodeBits = 16;
inline constexpr int32_t maxMinMatchLength = 16;

// A literal costs its flag bit and its byte, whatever the settings.
inline constexpr int32_t literalCost = 9;
