#pragma once

#include <string>

// The program's name as the process received it (its first argument);
// usage errors and several messages begin with it.
extern std::string invocationName;

// Prints the message in the program's usage-error form on standard error and
// ends the process with status 1. Never returns.
[[noreturn]] void usageError(const char* message);
