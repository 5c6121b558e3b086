#include "cli/usage_error.h"

std::string invocationName;

void usageError(const char* message)
{
    throw Failure{invocationName + ": error, " + message + "\nTry '" + invocationName + " -h' for help.\n"};
}

void fail(const std::string& message) { throw Failure{invocationName + ": " + message}; }
