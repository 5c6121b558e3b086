#include "cli/removed_on_signal.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace {

constexpr int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};

// The handler reads only these: a slot is filled before it is marked used,
// and marked unused before it is freed.
constexpr int slots = 64;
char* paths[slots];
volatile sig_atomic_t used[slots];

// Only unlink and rmdir, which are safe here: the files, then the folders.
extern "C" void removeAndEnd(int signal)
{
    for (int pass = 0; pass < 2; ++pass) {
        for (int slot = slots - 1; slot >= 0; --slot) {
            if (used[slot] == 0) continue;
            if (pass == 0) ::unlink(paths[slot]);
            else ::rmdir(paths[slot]);
        }
    }
    // The handler was reset to the default: the signal ends the program once this returns.
    ::raise(signal);
}

void installHandlers()
{
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int signal : signals) {
        struct sigaction action {};
        // A signal that the program was started to ignore stays ignored.
        if (::sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) continue;
        action = {};
        action.sa_handler = removeAndEnd;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        for (int other : signals) sigaddset(&action.sa_mask, other);
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace

RemovedOnSignal::RemovedOnSignal(const std::filesystem::path& path) : slot_(-1)
{
    installHandlers();
    for (int slot = 0; slot < slots && slot_ < 0; ++slot) {
        if (used[slot] != 0) continue;
        paths[slot] = ::strdup(path.c_str());
        if (paths[slot] == nullptr) throw std::bad_alloc();
        used[slot] = 1;
        slot_ = slot;
    }
    // More temporary paths at once than the program ever makes.
    if (slot_ < 0) throw std::runtime_error("too many temporary files");
}

RemovedOnSignal::~RemovedOnSignal()
{
    used[slot_] = 0;
    std::free(paths[slot_]);
    paths[slot_] = nullptr;
}

SignalsHeld::SignalsHeld()
{
    sigset_t held;
    sigemptyset(&held);
    for (int signal : signals) sigaddset(&held, signal);
    ::sigprocmask(SIG_BLOCK, &held, &before_);
}

SignalsHeld::~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &before_, nullptr); }
