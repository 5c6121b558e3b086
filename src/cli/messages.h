#pragma once

#include "common/notice.h"

#include <functional>
#include <string>

// The one place that words and prints what the programs tell the user,
// besides their reports and help: failures, warnings and notes, each about
// a file where there is one.

// The program's name as the process received it (its first argument);
// usage errors and several messages begin with it.
extern std::string invocationName;

// A run that ends with status 1 and this exact text on standard error. It
// travels up to runReportingErrors, which prints it.
struct Failure {
    std::string text;
};

// Ends the run with the message in the program's usage-error form.
[[noreturn]] void usageError(const char* message);

// Ends the run with "<program name>: <message>".
[[noreturn]] void fail(const std::string& message);

// Ends the run with "<program name>: '<file>' <text>" and a line break.
[[noreturn]] void failAbout(const std::string& file, const std::string& text);

// "<program name>: warning: '<file>' <text>" and a line break.
void warnAbout(const std::string& file, const std::string& text);

// "<program name>: '<file>' <text>" and a line break; the run goes on.
void noteAbout(const std::string& file, const std::string& text);

// Prints the conversion's notices in order: with trimming set only the
// trimming notices (which come before anything about the output file),
// otherwise the others, the skipped channels only at a verbosity above 0.
void printNotices(const Notices& notices, bool trimming, int verbosity);

// Runs the work and turns whatever it throws into a message on standard
// error and exit status 1; returns 0 when the work returns normally. This is
// the only place where a run's outcome becomes an exit status.
int runReportingErrors(const std::function<void()>& work);
