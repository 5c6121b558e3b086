#include "cli/run.h"

void runConversion(int, char**) {}
