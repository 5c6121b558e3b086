#include "cli/input_file.h"

#include "capture/gzip_input.h"
#include "cli/ex.h"

#include <fstream>

namespace {

// No POKEY song comes near this; a larger result is a broken or hostile file.
constexpr size_t inflatedLimit = 256u * 1024 * 1024;

}  // namespace

std::vector<uint8_t> loadInputFile(const std::filesystem::path& path)
{
    if (!std::filesystem::exists(path)) throw Ex() << "File '" << path.string() << "' does not exist\n";
    const auto size = std::filesystem::file_size(path);
    if (size == 0) throw Ex() << "File '" << path.string() << "' is empty\n";

    std::vector<uint8_t> bytes(size);
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    // A file that cannot be read must not pass as zeros.
    if (!in || static_cast<uint64_t>(in.gcount()) != size)
        throw Ex() << "File '" << path.string() << "' cannot be read\n";

    if (!isGzip(bytes)) return bytes;
    try {
        return inflateGzip(bytes, inflatedLimit);
    } catch (const GzipTooLarge&) {
        throw Ex() << "File '" << path.string() << "' is too large when decompressed\n";
    } catch (const GzipError&) {
        throw Ex() << "File '" << path.string() << "' is not a valid gzip stream\n";
    }
}
