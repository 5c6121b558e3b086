#include "cli/output_file.h"

#include "cli/usage_error.h"
#include "lzss/output_check.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

void removeIfRegularFile(const std::filesystem::path& path)
{
    std::error_code ignored;
    if (std::filesystem::is_regular_file(path, ignored)) std::filesystem::remove(path, ignored);
}

[[noreturn]] void failOutput(const char* what, const std::filesystem::path& path, int error)
{
    std::fprintf(stderr, "%s: %s output file '%s': %s\n", invocationName.c_str(), what, path.string().c_str(),
                 std::strerror(error));
    std::exit(1);
}

}  // namespace

std::FILE* openOutputOrExit(const std::filesystem::path& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) failOutput("can't open", path, errno);
    return file;
}

void closeOutputOrExit(std::FILE* file, int writeError, const std::filesystem::path& path)
{
    int error = writeError;
    errno = 0;
    if (std::fclose(file) != 0 && error == 0) error = errno != 0 ? errno : EIO;
    if (error == 0) return;
    removeIfRegularFile(path);
    failOutput("can't write", path, error);
}

void requireDecodableOutput(std::span<const uint8_t> bytes, const RegisterStreamSet& streams, int32_t frameCount,
                            const LzssSettings& settings, bool oldFormat, const std::filesystem::path& path)
{
    if (decodesToSong(bytes, streams, frameCount, settings, oldFormat)) return;
    removeIfRegularFile(path);
    std::fprintf(stderr, "%s: internal error: output does not decode to the input; nothing written\n",
                 invocationName.c_str());
    std::exit(1);
}
