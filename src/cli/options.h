#pragma once

#include "lzss/file_format.h"
#include "lzss/lzss_settings.h"
#include "sap/sap_choices.h"

#include <cstdint>
#include <filesystem>
#include <optional>

// The flags and file names of one run.
struct RunOptions {
    int verbosity = 1;     // 0 quiet, 1 default, 2 verbose
    FormatChoices format;  // "old" and "end"
    bool trim = false;
    bool loop = false;                  // --loop, or implied by --loop-frame
    std::optional<int32_t> loopFrame;  // --loop-frame
    SapChoices sap;
    std::filesystem::path inputPath;
    std::filesystem::path outputPath;
};

// Reads and validates the command line into the settings and the run
// options, storing the invocation name first. Returns false when the help
// was printed and the run should end. A rule broken ends the process through
// usageError; the option library's own errors are thrown.
bool readCommandLine(int argc, char** argv, LzssSettings& settings, RunOptions& options);

// The settings of -o, -l and -m as regsqueeze takes them: a width not given
// follows from the other and 16 bits, and the defaults fill the rest. A rule
// broken ends the run through usageError.
LzssSettings settingsFromWidths(std::optional<int> offset, std::optional<int> length, std::optional<int> minimum);
