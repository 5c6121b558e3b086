#include "cli/run.h"

#include "capture/vgm_reader.h"
#include "cli/input_file.h"
#include "cli/options.h"
#include "cli/usage_error.h"

#include <cstdio>

LzssSettings lzssSettings;

void runConversion(int argc, char** argv)
{
    RegisterStreamSet streams;
    RunOptions options;
    if (!readCommandLine(argc, argv, lzssSettings, options)) return;

    const std::vector<uint8_t> input = loadInputFile(options.inputPath);
    streams.frameCount = buildRegisterStreams(readVgmFrames(input), streams);
    std::fprintf(stderr, "%s: read %d frames\n", invocationName.c_str(), streams.frameCount);
}
