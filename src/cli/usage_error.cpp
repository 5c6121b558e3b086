#include "cli/usage_error.h"

#include <cstdio>
#include <cstdlib>

std::string invocationName;

void usageError(const char* message)
{
    std::fprintf(stderr, "%s: error, %s\nTry '%s -h' for help.\n", invocationName.c_str(), message,
                 invocationName.c_str());
    std::exit(1);
}
