#pragma once

#include "cli/removed_on_signal.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>

#include <sys/stat.h>

// The output file, opened before anything is written to it; an output that
// cannot be opened ends the run with the system's reason.
//
// A regular file, or a name that is free, is written atomically: the bytes
// go to a temporary file beside it, which is flushed to the disk and then
// renamed over the target, so that the target is always either the old file
// or the whole new one. An existing target keeps its mode, a new one gets
// the permissions the umask gives. A link is followed and the file it names
// replaced. What cannot be replaced that way is written directly: a device
// or a FIFO, and a file that may be written in a folder that may not.
class OutputFile {
public:
    explicit OutputFile(const std::filesystem::path& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Writes the bytes and puts the file in place. When the file does not take
    // them all, leaves the target as it was (a file written directly is
    // removed) and ends the run with the system's reason: a file that was not
    // written whole must never be reported as converted.
    void writeAndClose(std::span<const uint8_t> bytes)
    {
        write(bytes);
        putInPlace();
    }

    // The same in two steps, so that two files can be written before either
    // is put in place: write fails as above and leaves the target as it was.
    void write(std::span<const uint8_t> bytes);
    void putInPlace();

private:
    void openTemporary(const struct stat* existing);

    std::filesystem::path path_;       // as given, for messages
    std::filesystem::path target_;     // the file replaced: the path, or what its links name
    std::filesystem::path temporary_;  // empty when the target is written directly
    std::unique_ptr<RemovedOnSignal> removedOnSignal_;
    std::FILE* file_ = nullptr;
};
