#include "cli/input_file.h"

#include "common/ex.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>

namespace {

// A pipe, a terminal or standard input, read to its end.
bool readToTheEnd(int fd, std::vector<uint8_t>& bytes)
{
    constexpr size_t chunk = 64 * 1024;
    for (;;) {
        const size_t had = bytes.size();
        bytes.resize(had + chunk);
        const ssize_t got = ::read(fd, bytes.data() + had, chunk);
        bytes.resize(had + static_cast<size_t>(std::max<ssize_t>(got, 0)));
        if (got == 0) return true;
        if (got < 0 && errno != EINTR) return false;
    }
}

}  // namespace

bool isStandardInput(const std::filesystem::path& path) { return path == "-" || path == "/dev/stdin"; }

std::vector<uint8_t> loadInputFile(const std::filesystem::path& path)
{
    std::vector<uint8_t> bytes;
    const bool standardInput = path == "-";
    if (!standardInput && !std::filesystem::exists(path))
        throw Ex() << "File '" << path.string() << "' does not exist\n";
    if (standardInput || !std::filesystem::is_regular_file(path)) {
        const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const bool read = fd >= 0 && readToTheEnd(fd, bytes);
        if (fd > STDIN_FILENO) ::close(fd);
        if (!read) throw Ex() << "File '" << path.string() << "' cannot be read\n";
        if (bytes.empty()) throw Ex() << "File '" << path.string() << "' is empty\n";
        bytes.shrink_to_fit();
        return bytes;
    }
    const auto size = std::filesystem::file_size(path);
    if (size == 0) throw Ex() << "File '" << path.string() << "' is empty\n";

    bytes.resize(size);
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    // A file that cannot be read must not pass as zeros.
    if (!in || static_cast<uint64_t>(in.gcount()) != size)
        throw Ex() << "File '" << path.string() << "' cannot be read\n";
    return bytes;
}

void refuseOutputOverInput(const std::filesystem::path& input, const std::filesystem::path& output)
{
    // Same device and inode; an output that does not exist yet is no other file.
    std::error_code unknown;
    if (std::filesystem::equivalent(input, output, unknown))
        throw Ex() << "Output file '" << output.string() << "' is the input file\n";
}
