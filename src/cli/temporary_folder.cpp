#include "cli/temporary_folder.h"

#include "cli/messages.h"

#include <unistd.h>

#include <cstdlib>

namespace fs = std::filesystem;

TemporaryFolder::TemporaryFolder(const std::string& prefix)
{
    std::string name = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    const SignalsHeld held;
    if (::mkdtemp(name.data()) == nullptr)
        fail("can't make a temporary folder in '" + fs::temp_directory_path().string() + "'\n");
    path_ = name;
    removedOnSignal_.emplace(path_, std::make_unique<RemovedOnSignal>(path_));
}

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

fs::path TemporaryFolder::operator/(const std::string& name)
{
    const fs::path file = path_ / name;
    if (!removedOnSignal_.contains(file)) removedOnSignal_.emplace(file, std::make_unique<RemovedOnSignal>(file));
    return file;
}
