#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>

// The output file, opened for binary writing before anything is written to
// it; an output that cannot be opened ends the run with the system's reason.
class OutputFile {
public:
    explicit OutputFile(const std::filesystem::path& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Writes the bytes and closes the file. When the file does not take them
    // all, removes it and ends the run with the system's reason: a file that
    // was not written whole must never be reported as converted.
    void writeAndClose(std::span<const uint8_t> bytes);

private:
    std::filesystem::path path_;
    std::FILE* file_;
};
