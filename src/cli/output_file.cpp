#include "cli/output_file.h"

#include "cli/messages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace fs = std::filesystem;

namespace {

[[noreturn]] void failOutput(const char* what, const fs::path& path, int error)
{
    fail(std::string(what) + " output file '" + path.string() + "': " + std::strerror(error) + "\n");
}

// The rename is only lasting once the folder that holds the name is on the disk.
void syncFolder(const fs::path& file)
{
    const fs::path folder = file.parent_path().empty() ? "." : file.parent_path();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

OutputFile::OutputFile(const fs::path& path) : path_(path), target_(path)
{
    // Links are followed, a link that names no file yet too, up to the
    // system's limit.
    std::error_code error;
    for (int links = 0; links < 40 && fs::is_symlink(target_, error); ++links) {
        const fs::path named = fs::read_symlink(target_, error);
        if (error) break;
        target_ = named.is_absolute() ? named : target_.parent_path() / named;
    }
    struct stat existing {};
    const bool exists = ::stat(target_.c_str(), &existing) == 0;
    // A file that may not be written is not replaced either.
    if (exists && ::access(target_.c_str(), W_OK) != 0) failOutput("can't open", path, errno);
    if (!exists || S_ISREG(existing.st_mode)) openTemporary(exists ? &existing : nullptr);
    if (file_ == nullptr) file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) failOutput("can't open", path, errno);
}

void OutputFile::openTemporary(const struct stat* existing)
{
    // Hidden, beside the target; built piece by piece, as g++ 12 warns falsely about "literal" + string.
    std::string hidden = ".";
    hidden += target_.filename().string();
    hidden += ".XXXXXX";
    std::string name = (target_.parent_path() / hidden).string();
    int fd = -1, reason = 0;
    {
        const SignalsHeld held;
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        reason = errno;
        if (fd >= 0) removedOnSignal_ = std::make_unique<RemovedOnSignal>(name);
    }
    if (fd < 0) {
        // A folder that may not be written in: the file is written in place.
        if (reason == EACCES || reason == EPERM || reason == EROFS) return;
        failOutput("can't open", path_, reason);
    }
    temporary_ = name;
    mode_t mode = 0;
    if (existing != nullptr) {
        mode = existing->st_mode & 07777;
        if (existing->st_gid != ::getegid() || existing->st_uid != ::geteuid()) {
            [[maybe_unused]] const int kept = ::fchown(fd, existing->st_uid, existing->st_gid);
        }
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
        const int reason = errno;
        ::close(fd);
        ::unlink(name.c_str());  // no destructor runs for a constructor that throws
        failOutput("can't open", path_, reason);
    }
}

OutputFile::~OutputFile()
{
    if (file_ != nullptr) std::fclose(file_);
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

void OutputFile::write(std::span<const uint8_t> bytes)
{
    errno = 0;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    // Without the flush a full disk would only show when the file is closed.
    written = std::fflush(file_) == 0 && written;
    // The bytes must be on the disk before the name is theirs.
    if (written && !temporary_.empty()) written = ::fsync(::fileno(file_)) == 0;
    int error = written ? 0 : errno != 0 ? errno : EIO;
    errno = 0;
    if (std::fclose(file_) != 0 && error == 0) error = errno != 0 ? errno : EIO;
    file_ = nullptr;
    if (temporary_.empty()) {
        if (error == 0) return;
        std::error_code ignored;
        if (fs::is_regular_file(path_, ignored)) fs::remove(path_, ignored);
        failOutput("can't write", path_, error);
    }
    if (error != 0) failOutput("can't write", path_, error);  // the destructor removes the temporary file
}

void OutputFile::putInPlace()
{
    if (temporary_.empty()) return;  // written directly
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) failOutput("can't write", path_, errno);
    temporary_.clear();
    removedOnSignal_.reset();
    syncFolder(target_);
}
