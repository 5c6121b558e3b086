#include "cli/output_file.h"

#include "cli/messages.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

[[noreturn]] void failOutput(const char* what, const std::filesystem::path& path, int error)
{
    fail(std::string(what) + " output file '" + path.string() + "': " + std::strerror(error) + "\n");
}

}  // namespace

OutputFile::OutputFile(const std::filesystem::path& path) : path_(path), file_(std::fopen(path.c_str(), "wb"))
{
    if (file_ == nullptr) failOutput("can't open", path, errno);
}

OutputFile::~OutputFile()
{
    if (file_ != nullptr) std::fclose(file_);
}

void OutputFile::writeAndClose(std::span<const uint8_t> bytes)
{
    errno = 0;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    // Without the flush a full disk would only show when the file is closed.
    written = std::fflush(file_) == 0 && written;
    int error = written ? 0 : errno != 0 ? errno : EIO;
    errno = 0;
    if (std::fclose(file_) != 0 && error == 0) error = errno != 0 ? errno : EIO;
    file_ = nullptr;
    if (error == 0) return;
    std::error_code ignored;
    if (std::filesystem::is_regular_file(path_, ignored)) std::filesystem::remove(path_, ignored);
    failOutput("can't write", path_, error);
}
