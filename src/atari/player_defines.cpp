#include "atari/player_defines.h"

#include <cstdio>

std::string hexAddress(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "$%04X", value);
    return text;
}

std::vector<std::string> playerDefines(const PlayerBuild& build)
{
    std::vector<std::string> defines{"LZ_OFFSET_BITS=" + std::to_string(build.offsetBits),
                                     "LZ_LENGTH_BITS=" + std::to_string(build.lengthBits),
                                     "LZ_MIN_MATCH=" + std::to_string(build.minMatchLength),
                                     "LZ_OLD_FORMAT=" + std::to_string(int{build.oldFormat}),
                                     "LZ_STEREO=" + std::to_string(int{build.stereo}),
                                     "LZ_POKEY=" + hexAddress(build.pokey),
                                     "LZ_POKEY2=" + hexAddress(build.pokey2)};
    if (build.loop) defines.push_back("LZ_LOOP=1");
    return defines;
}
