#pragma once

#include "conversion/conversion.h"
#include "lzss/lzss_settings.h"

#include <string>

// Prints the compression report on standard error: the settings and the
// ratio always, each compressed stream's share from verbosity 1, and the
// table of match lengths and distances at verbosity 2. A looping song's
// report names the .inc file written for the player, if any.
void printReport(const LzssSettings& settings, int verbosity, const Conversion& conversion,
                 const std::string& includeFile = "");
