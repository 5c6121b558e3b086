#pragma once

#include <cstdint>
#include <span>

// A source file that the build put inside the program, named by its path
// under player/.
struct EmbeddedFile {
    const char* name;
    std::span<const unsigned char> bytes;
};
