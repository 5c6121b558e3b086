// Prints the frames that the program's decoder reads from a .lz16 file, one
// line a frame: the nine registers AUDF1 ... AUDCTL in hexadecimal. The
// player's simulation prints the same lines, so the two can be compared.
//
//   decode_frames [--old] [--stereo] [--loop-frame N --passes P] OFFSET LENGTH MIN FILE.lz16
//
// With --loop-frame, the song plays as a looping one: to its end, then from
// frame N to its end P more times.
//
// With --stereo, one line a pair of frames as the player built for two chips
// plays them: chip 1's nine registers (the even frame), then chip 2's. A
// last frame without its pair is not played; in the new format a file
// without a first pair is an error, as the player's lz_init reports it.
#include "lzss/decoder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    bool old = false, stereo = false;
    int32_t loopFrame = -1, passes = 0;
    int first = 1;
    for (; first < argc && argv[first][0] == '-' && argv[first][1] == '-'; ++first) {
        if (std::strcmp(argv[first], "--old") == 0) old = true;
        else if (std::strcmp(argv[first], "--stereo") == 0) stereo = true;
        else if (std::strcmp(argv[first], "--loop-frame") == 0 && first + 1 < argc) loopFrame = std::atoi(argv[++first]);
        else if (std::strcmp(argv[first], "--passes") == 0 && first + 1 < argc) passes = std::atoi(argv[++first]);
        else break;
    }
    if (argc - first != 4) {
        std::fprintf(stderr, "usage: %s [--old] [--stereo] [--loop-frame N --passes P] OFFSET LENGTH MIN FILE.lz16\n",
                     argv[0]);
        return 1;
    }
    char** args = argv + first;
    const LzssSettings settings{std::atoi(args[0]), std::atoi(args[1]), std::atoi(args[2])};
    std::ifstream in(args[3], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], args[3]);
        return 1;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    const FormatChoices format{.oldFormat = old};
    DecodedSong song;
    if (loopFrame < 0) {
        song = decodeCompressedFile(bytes, settings, format);
    } else if (const auto restart = findLoopRestart(bytes, settings, format, loopFrame)) {
        song = decodeLooping(bytes, settings, format, *restart, passes);
    } else {
        song.error = "the file does not restart at frame " + std::to_string(loopFrame);
    }
    const int32_t frames = song.streams.frameCount();
    const int32_t chips = stereo ? 2 : 1;
    if (stereo && !old && frames < 2 && song.error.empty()) song.error = "no complete first pair";
    for (int32_t f = 0; f + chips <= frames; f += chips) {
        for (int32_t i = 0; i < chips * registersPerFrame; ++i)
            std::printf(i == 0 ? "%02x" : " %02x", song.streams.streams[i % registersPerFrame][f + i / registersPerFrame]);
        std::printf("\n");
    }
    if (!song.error.empty()) {
        std::fprintf(stderr, "%s: %s\n", argv[0], song.error.c_str());
        return 1;
    }
    return 0;
}
