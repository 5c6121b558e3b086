#include "cli/run.h"
#include "cli/top_level_handler.h"

int main(int argc, char** argv)
{
    return runReportingErrors([&] { runConversion(argc, argv); });
}
