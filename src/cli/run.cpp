#include "cli/run.h"

#include "atari/loop_record.h"
#include "cli/input_file.h"
#include "cli/options.h"
#include "cli/output_file.h"
#include "cli/report.h"
#include "cli/sap_options.h"
#include "cli/messages.h"
#include "conversion/conversion.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace {

// What a looping song's .inc file holds and where it goes: beside the
// output, under its name with .inc. None for a song that ends, for an
// output to "-", a device or a FIFO, and (with a warning) for a file whose
// loop the record cannot hold.
struct LoopInclude {
    std::filesystem::path path;
    std::string text;
};

LoopInclude loopIncludeFor(const Conversion& conversion, const ConversionRequest& request,
                           const std::filesystem::path& output)
{
    std::error_code error;
    const auto status = std::filesystem::status(output, error);
    if (!conversion.loopFrame || output == "-" || (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)))
        return {};
    LoopInclude include{std::filesystem::path(output).replace_extension(".inc"), ""};
    if (include.path == output)
        fail("the output file '" + output.string() + "' has the name of its loop's .inc file: give the output another "
             "name, such as one ending in .lz16\n");
    const int32_t chips = conversion.song.chips, loopFrame = *conversion.loopFrame;
    const LoopRecord record = makeLoopRecord(conversion.file.bytes, request.settings, request.format, chips, loopFrame);
    if (!record.error.empty()) {
        warnAbout(output.string(), record.error + "; no .inc file is written for the 6502 player");
        return {};
    }
    include.text = loopInclude(output.filename().string(), request.settings, request.format, chips, loopFrame,
                               conversion.song.frameCount(), record);
    return include;
}

}  // namespace

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
    const LoopInclude include = loopIncludeFor(conversion, request, options.outputPath);
    OutputFile output(options.outputPath);
    std::optional<OutputFile> includeFile;
    if (!include.path.empty()) includeFile.emplace(include.path);
    printNotices(conversion.notices, false, options.verbosity);
    // Both files are written before either is put in place.
    output.write(conversion.file.bytes);
    if (includeFile) includeFile->write(std::span(reinterpret_cast<const uint8_t*>(include.text.data()), include.text.size()));
    output.putInPlace();
    if (includeFile) includeFile->putInPlace();
    printReport(request.settings, options.verbosity, conversion, include.path.string());
}
