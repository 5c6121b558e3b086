#pragma once

#include "lzss/lzss_settings.h"

#include <string>

// The settings users pick most, and the extremes, shared by the benchmarks
// so that their tables line up.
inline constexpr LzssSettings benchSettings[] = {{8, 8, 1},  {4, 4, 1},  {7, 5, 1}, {12, 4, 1},
                                                 {2, 14, 1}, {0, 16, 1}, {8, 8, 4}, {4, 12, 16}};

// offset bits/length bits/minimum match, as the tables name a setting.
inline std::string settingName(const LzssSettings& s)
{
    return std::to_string(s.offsetBits) + "/" + std::to_string(s.lengthBits) + "/" + std::to_string(s.minMatchLength);
}
