#pragma once

#include <string>

// The program's name as the process received it (its first argument);
// usage errors and several messages begin with it.
extern std::string invocationName;

// A run that ends with status 1 and this exact text on standard error. It
// travels up to the top-level handler, which prints it.
struct Failure {
    std::string text;
};

// Ends the run with the message in the program's usage-error form.
[[noreturn]] void usageError(const char* message);

// Ends the run with "<program name>: <message>".
[[noreturn]] void fail(const std::string& message);
