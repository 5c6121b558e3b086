#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

// Checks that the input exists, is not empty and can be read, and loads it
// whole: a regular file at its size, anything else (a FIFO, a device, "-"
// for standard input) to its end. Throws Ex with a message naming the file
// otherwise.
std::vector<uint8_t> loadInputFile(const std::filesystem::path& path);

// Throws Ex when the output path names the input file itself, through any
// spelling or link: converting would destroy the song.
void refuseOutputOverInput(const std::filesystem::path& input, const std::filesystem::path& output);

// "-" or /dev/stdin: an input that gives no name for the output.
bool isStandardInput(const std::filesystem::path& path);
