#pragma once

#include "cli/removed_on_signal.h"

#include <filesystem>
#include <map>
#include <memory>
#include <string>

// A folder of its own under the system's temporary folder, named from
// prefix and six random characters, and removed with everything in it when
// the object goes, or when a signal ends the program: every file in it is
// named through the object first. A folder that cannot be made ends the run.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::string& prefix);
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    std::filesystem::path operator/(const std::string& name);

private:
    std::filesystem::path path_;
    std::map<std::filesystem::path, std::unique_ptr<RemovedOnSignal>> removedOnSignal_;
};
