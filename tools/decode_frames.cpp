// Prints the frames that the program's decoder reads from a .lz16 file, one
// line a frame: the nine registers AUDF1 ... AUDCTL in hexadecimal. The
// player's simulation prints the same lines, so the two can be compared.
//
//   decode_frames [--old] OFFSET LENGTH MIN FILE.lz16
#include "lzss/decoder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv)
{
    const bool old = argc > 1 && std::strcmp(argv[1], "--old") == 0;
    if (argc != 5 + old) {
        std::fprintf(stderr, "usage: %s [--old] OFFSET LENGTH MIN FILE.lz16\n", argv[0]);
        return 1;
    }
    char** args = argv + 1 + old;
    const LzssSettings settings{std::atoi(args[0]), std::atoi(args[1]), std::atoi(args[2])};
    std::ifstream in(args[3], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], args[3]);
        return 1;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    const DecodedSong song = decodeCompressedFile(bytes, settings, FormatChoices{.oldFormat = old});
    for (int32_t f = 0; f < song.streams.frameCount(); ++f) {
        for (int r = 0; r < registersPerFrame; ++r)
            std::printf(r == 0 ? "%02x" : " %02x", song.streams.streams[r][f]);
        std::printf("\n");
    }
    if (!song.error.empty()) {
        std::fprintf(stderr, "%s: %s\n", argv[0], song.error.c_str());
        return 1;
    }
    return 0;
}
