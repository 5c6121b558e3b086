#include "support/test_support.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {
namespace {

std::string shellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "regsqueeze-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary directory");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

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

std::string binaryPath() { return REGSQUEEZE_BINARY; }

std::filesystem::path corpusDir() { return REGSQUEEZE_CORPUS_DIR; }

ProgramResult runRegsqueeze(const std::vector<std::string>& arguments, const std::string& invokedAs)
{
    TempDir captures;
    // exec -a sets the name the program sees as its first argument.
    std::string command = "exec -a " + shellQuote(invokedAs.empty() ? binaryPath() : invokedAs) + " " +
                          shellQuote(binaryPath());
    for (const std::string& argument : arguments) command += " " + shellQuote(argument);
    command += " </dev/null >" + shellQuote((captures / "out").string()) + " 2>" +
               shellQuote((captures / "err").string());

    ProgramResult result;
    const int status = std::system(("bash -c " + shellQuote(command)).c_str());
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = slurp(captures / "out");
    result.err = slurp(captures / "err");
    return result;
}

}  // namespace testing_support
