#include "cli/run.h"
#include "cli/messages.h"

int main(int argc, char** argv)
{
    return runReportingErrors([&] { runConversion(argc, argv); });
}
