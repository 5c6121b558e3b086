#include "cli/top_level_handler.h"

#include "cli/usage_error.h"

#include <cstdio>
#include <exception>
#include <iostream>

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
