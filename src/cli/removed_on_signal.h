#pragma once

#include <csignal>
#include <filesystem>

// A temporary file or folder that SIGINT, SIGTERM, SIGHUP or SIGXFSZ must
// not leave behind. While the object lives, a signal that ends the program
// first removes the path (a folder after the files in it that are
// registered too), then ends the program as the signal would have. The
// owner removes the path itself on every other way out.
class RemovedOnSignal {
public:
    explicit RemovedOnSignal(const std::filesystem::path& path);
    ~RemovedOnSignal();
    RemovedOnSignal(const RemovedOnSignal&) = delete;
    RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

private:
    int slot_;
};

// Holds those signals back for the life of the object, so that a path can
// be made and registered with no signal in between.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t before_;
};
