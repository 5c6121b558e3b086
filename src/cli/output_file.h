#pragma once

#include "capture/register_streams.h"
#include "lzss/lzss_settings.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>

// Opens the output for binary writing, or reports why not and ends the
// process with status 1.
std::FILE* openOutputOrExit(const std::filesystem::path& path);

// Closes the output. When the file did not take every byte (writeError, the
// system's error number for a refused write, is not 0, or the close fails),
// removes it, reports the system's reason and ends the process with status 1:
// a file that was not written whole must never be reported as converted.
void closeOutputOrExit(std::FILE* file, int writeError, const std::filesystem::path& path);

// Decodes the bytes handed to the output file and compares them with the
// song. When they differ, removes the file, reports an internal error and
// ends the process with status 1.
void requireDecodableOutput(std::span<const uint8_t> bytes, const RegisterStreamSet& streams, int32_t frameCount,
                            const LzssSettings& settings, bool oldFormat, const std::filesystem::path& path);
