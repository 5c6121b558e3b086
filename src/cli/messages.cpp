#include "cli/messages.h"

#include <cstdio>
#include <exception>
#include <iostream>

std::string invocationName;

void usageError(const char* message)
{
    throw Failure{invocationName + ": error, " + message + "\nTry '" + invocationName + " -h' for help.\n"};
}

void fail(const std::string& message) { throw Failure{invocationName + ": " + message}; }

void failAbout(const std::string& file, const std::string& text) { fail("'" + file + "' " + text + "\n"); }

void warnAbout(const std::string& file, const std::string& text)
{
    std::fputs((invocationName + ": warning: '" + file + "' " + text + "\n").c_str(), stderr);
}

void noteAbout(const std::string& file, const std::string& text)
{
    std::fputs((invocationName + ": '" + file + "' " + text + "\n").c_str(), stderr);
}

void printNotices(const Notices& notices, bool trimming, int verbosity)
{
    for (const Notice& notice : notices) {
        if ((notice.kind == Notice::Kind::Trimming) != trimming) continue;
        if (notice.kind == Notice::Kind::Trimming)
            std::fprintf(stderr, "%s: %s", invocationName.c_str(), notice.text.c_str());
        else if (notice.kind == Notice::Kind::Warning || verbosity != 0)
            std::fputs(describe(notice).c_str(), stderr);
    }
}

int runReportingErrors(const std::function<void()>& work)
{
    try {
        work();
        return 0;
    } catch (const Failure& failure) {
        std::fputs(failure.text.c_str(), stderr);
    } catch (const std::exception& e) {
        std::cerr << "error: " << e.what() << "\n";
    } catch (...) {
        // Nothing of ours throws anything else, but a failure must never end with success.
        std::cerr << "Exception of unknown type!\n";
    }
    return 1;
}
