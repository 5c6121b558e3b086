#include "cli/run.h"

#include "cli/input_file.h"
#include "cli/options.h"
#include "cli/output_file.h"
#include "cli/report.h"
#include "cli/sap_options.h"
#include "cli/messages.h"
#include "conversion/conversion.h"

#include <cstdio>

void runConversion(int argc, char** argv)
{
    ConversionRequest request;
    RunOptions options;
    if (!readCommandLine(argc, argv, request.settings, options)) return;
    request.format = options.format;
    request.trim = options.trim;
    request.loop = options.loop;
    request.loopFrame = options.loopFrame;
    request.inputName = options.inputPath.string();
    request.sap = options.sap;

    std::vector<uint8_t> input = loadInputFile(options.inputPath);
    refuseSapChoicesForOtherInput(request.sap, input, request.inputName);
    refuseOutputOverInput(options.inputPath, options.outputPath);
    Notices captureNotices;
    RegisterStreamSet song = captureSong(input, request.inputName, sapChoicesFor(request), captureNotices);
    std::vector<uint8_t>().swap(input);  // the file's bytes are not needed once its frames are read
    const Conversion conversion = convertFrames(std::move(song), std::move(captureNotices), request);
    printNotices(conversion.notices, true, options.verbosity);
    if (conversion.song.frameCount() == 0) return;  // trimmed to silence: nothing to write

    if (!conversion.decodesBack) {
        printNotices(conversion.notices, false, options.verbosity);
        fail("internal error: output does not decode to the input; nothing written\n");
    }
    OutputFile output(options.outputPath);
    printNotices(conversion.notices, false, options.verbosity);
    output.writeAndClose(conversion.file.bytes);
    printReport(request.settings, options.verbosity, conversion);
}
