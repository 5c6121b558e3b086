#include "support/test_support.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {
namespace {

std::string shellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    quoted += '\'';
    return quoted;
}

std::string slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<uint8_t> readFile(const std::filesystem::path& path)
{
    const std::string text = slurp(path);
    return {text.begin(), text.end()};
}

ProgramResult runRegsqueeze(const std::filesystem::path& directory, const std::vector<std::string>& arguments)
{
    TempDir captures;
    // Appended piece by piece: g++ 12 warns falsely about "literal" + string.
    std::string command = "cd ";
    command += shellQuote(directory.string());
    command += " && exec -a regsqueeze ";
    command += shellQuote(REGSQUEEZE_BINARY);
    for (const std::string& argument : arguments) {
        command += ' ';
        command += shellQuote(argument);
    }
    command += " </dev/null >";
    command += shellQuote((captures / "out").string());
    command += " 2>";
    command += shellQuote((captures / "err").string());
    std::string shell = "bash -c ";
    shell += shellQuote(command);
    const int status = std::system(shell.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(captures / "out"), slurp(captures / "err")};
}

}  // namespace testing_support
