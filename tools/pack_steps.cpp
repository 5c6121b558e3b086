// Packs steps as the program's writer does, for scripts that build songs step
// by step (scripts/simulate-player's worst-case songs): reads one step part
// a line from standard input and writes the packed bytes to OUT.
//
//   pack_steps OFFSET LENGTH OUT
//     f BIT               a flag
//     b BYTE              a data byte
//     c OFFSET LENGTH     a match code
//     m                   prints the bytes packed so far (where a frame starts)
#include "lzss/bit_stream_writer.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s OFFSET LENGTH OUT < steps\n", argv[0]);
        return 2;
    }
    BitStreamWriter writer({std::atoi(argv[1]), std::atoi(argv[2]), 1});
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream part(line);
        char kind = 0;
        int a = 0, b = 0;
        part >> kind >> a >> b;
        if (kind == 'f') writer.putFlag(a);
        else if (kind == 'b') writer.putByte(static_cast<uint8_t>(a));
        else if (kind == 'c') writer.putMatchCode(a, b);
        else if (kind == 'm') std::printf("%zu\n", writer.bytes().size());
    }
    const std::vector<uint8_t> bytes = writer.takeBytes();
    std::ofstream(argv[3], std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                   static_cast<std::streamsize>(bytes.size()));
    return 0;
}
