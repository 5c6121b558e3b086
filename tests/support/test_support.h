#pragma once

#include "cli/temporary_folder.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes: the programs' own.
struct TempDir : TemporaryFolder {
    TempDir() : TemporaryFolder("regsqueeze-test") {}
};

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFile(const std::filesystem::path& path);

struct ProgramResult {
    int status = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs the real regsqueeze binary, invoked as "regsqueeze", in the given
// directory with the given arguments, and collects what it prints.
ProgramResult runRegsqueeze(const std::filesystem::path& directory, const std::vector<std::string>& arguments);

inline std::filesystem::path corpusDir() { return REGSQUEEZE_CORPUS_DIR; }

}  // namespace testing_support
