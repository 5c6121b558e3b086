#pragma once

#include "vgm_writer.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFile(const std::filesystem::path& path);

struct ProgramResult {
    int status = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs the real regsqueeze binary with the given arguments (argv[0] is the
// binary's path unless invokedAs names another) and collects what it prints.
ProgramResult runRegsqueeze(const std::vector<std::string>& arguments, const std::string& invokedAs = "");

std::string binaryPath();
std::filesystem::path corpusDir();

}  // namespace testing_support
