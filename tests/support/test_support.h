#pragma once

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

// Runs the real regsqueeze binary, invoked as "regsqueeze", in the given
// directory with the given arguments, and collects what it prints.
ProgramResult runRegsqueeze(const std::filesystem::path& directory, const std::vector<std::string>& arguments);

inline std::filesystem::path corpusDir() { return REGSQUEEZE_CORPUS_DIR; }

}  // namespace testing_support
