#include "cli/input_file.h"

#include "common/ex.h"

#include <fstream>

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
    return bytes;
}

void refuseOutputOverInput(const std::filesystem::path& input, const std::filesystem::path& output)
{
    // Same device and inode; an output that does not exist yet is no other file.
    std::error_code unknown;
    if (std::filesystem::equivalent(input, output, unknown))
        throw Ex() << "Output file '" << output.string() << "' is the input file\n";
}
