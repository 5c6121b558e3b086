#pragma once

#include <functional>

// Runs the work and turns whatever it throws into a message on standard
// error and exit status 1; returns 0 when the work returns normally. This is
// the only place where a run's outcome becomes an exit status.
int runReportingErrors(const std::function<void()>& work);
