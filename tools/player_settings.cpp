// Prints the symbols the 6502 player is assembled with, one "NAME=VALUE" a
// line, for the scripts that build it (scripts/simulate-player and
// scripts/player-cost), or the reason the program refuses the settings.
//
//   player_settings [--old] [--stereo] [--loop] [--pokey ADDRESS --pokey2 ADDRESS] OFFSET LENGTH MIN
//
// Exit status 1, with the program's message, for settings it does not accept.
#include "atari/player_defines.h"
#include "lzss/file_format.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    PlayerBuild build;
    int numbers[3], count = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--old") == 0) build.oldFormat = true;
        else if (std::strcmp(argv[i], "--stereo") == 0) build.stereo = true;
        else if (std::strcmp(argv[i], "--loop") == 0) build.loop = true;
        else if (std::strcmp(argv[i], "--pokey") == 0 && i + 1 < argc)
            build.pokey = static_cast<uint16_t>(std::strtol(argv[++i], nullptr, 0));
        else if (std::strcmp(argv[i], "--pokey2") == 0 && i + 1 < argc)
            build.pokey2 = static_cast<uint16_t>(std::strtol(argv[++i], nullptr, 0));
        else if (count < 3 && argv[i][0] != '-') numbers[count++] = std::atoi(argv[i]);
        else count = 4;
    }
    if (count != 3) {
        std::fprintf(stderr, "usage: %s [--old] [--stereo] [--loop] [--pokey A --pokey2 A] OFFSET LENGTH MIN\n", argv[0]);
        return 2;
    }
    const LzssSettings settings{numbers[0], numbers[1], numbers[2]};
    if (const char* fault = settingsFault(settings, "the code should be at most 16 bits")) {
        std::fprintf(stderr, "%s\n", fault);
        return 1;
    }
    build.offsetBits = settings.offsetBits;
    build.lengthBits = settings.lengthBits;
    build.minMatchLength = settings.minMatchLength;
    for (const std::string& define : playerDefines(build)) std::printf("%s\n", define.c_str());
    return 0;
}
