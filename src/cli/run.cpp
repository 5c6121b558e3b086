#include "cli/run.h"

#include "capture/trim_silence_and_loop.h"
#include "capture/vgm_reader.h"
#include "cli/ex.h"
#include "cli/input_file.h"
#include "cli/options.h"
#include "cli/output_file.h"
#include "cli/report.h"
#include "cli/usage_error.h"
#include "lzss/bit_stream_writer.h"
#include "lzss/compressed_file.h"

LzssSettings lzssSettings;
MatchHistograms matchHistograms;

void runConversion(int argc, char** argv)
{
    RegisterStreamSet streams;
    RunOptions options;
    if (!readCommandLine(argc, argv, lzssSettings, options)) return;
    matchHistograms = makeHistograms(lzssSettings);

    {
        const std::vector<uint8_t> input = loadInputFile(options.inputPath);
        streams.frameCount = buildRegisterStreams(readVgmFrames(input), streams);
    }
    if (streams.frameCount == 0) throw Ex() << "File '" << options.inputPath.string() << "' has no POKEY frames\n";
    if (options.trim) {
        streams.frameCount = trimSilenceAndLoop(streams, streams.frameCount, invocationName);
        if (streams.frameCount == 0) return;
    }

    std::FILE* file = openOutputOrExit(options.outputPath);
    BitStreamWriter writer(lzssSettings, file);
    const CompressionResult result =
        writeCompressedFile(streams, streams.frameCount, writer, lzssSettings, matchHistograms, options.verbosity,
                            options.forceEndLiteral, options.oldFormat);
    closeOutputOrExit(file, writer.writeError(), options.outputPath);
    requireDecodableOutput(writer.flushedBytes(), streams, streams.frameCount, lzssSettings, options.oldFormat,
                           options.outputPath);

    printReport(lzssSettings, options.verbosity, streams.frameCount, writer.bytesWritten(), result, matchHistograms);
}
