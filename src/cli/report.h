#pragma once

#include "conversion/conversion.h"
#include "lzss/lzss_settings.h"


// Prints the compression report on standard error: the settings and the
// ratio always, each compressed stream's share from verbosity 1, and the
// table of match lengths and distances at verbosity 2.
void printReport(const LzssSettings& settings, int verbosity, const Conversion& conversion);
