#include "conversion/conversion.h"

#include "common/ex.h"
#include "vgm/gzip_input.h"
#include "streams/trim_silence_and_loop.h"
#include "vgm/vgm_reader.h"
#include "lzss/output_check.h"
#include "sap/sap_capture.h"
#include "sap/sap_file.h"

#include <vector>

namespace {

// No POKEY song comes near this; a larger result is a broken or hostile file.
constexpr size_t inflatedLimit = 256u * 1024 * 1024;

std::vector<uint8_t> inflated(std::span<const uint8_t> input, const std::string& inputName, Notices& notices)
{
    try {
        size_t leftOver = 0;
        std::vector<uint8_t> bytes = inflateGzip(input, inflatedLimit, &leftOver);
        if (leftOver > 0)
            notices.push_back({Notice::Kind::Warning,
                               formatText("has %zu byte%s after its gzip data: left out\n", leftOver,
                                          leftOver == 1 ? "" : "s"),
                               inputName});
        return bytes;
    } catch (const GzipTooLarge&) {
        throw Ex() << "File '" << inputName << "' is too large when decompressed\n";
    } catch (const GzipError&) {
        throw Ex() << "File '" << inputName << "' is not a valid gzip stream\n";
    }
}

}  // namespace

RegisterStreamSet captureSong(std::span<const uint8_t> input, const std::string& inputName, const SapChoices& sap,
                              Notices& notices)
{
    RegisterStreamSet song =
        isSap(input)    ? buildRegisterStreams(captureSapFrames(input, sap, inputName, notices))
        : isGzip(input) ? buildRegisterStreams(readVgmFrames(inflated(input, inputName, notices)))
                        : buildRegisterStreams(readVgmFrames(input));
    if (song.frameCount() == 0) throw Ex() << "File '" << inputName << "' has no POKEY frames\n";
    return song;
}

RegisterStreamSet captureSong(std::span<const uint8_t> input, const std::string& inputName)
{
    Notices ignored;
    return captureSong(input, inputName, {}, ignored);
}

Conversion convertFrames(RegisterStreamSet song, Notices notices, const ConversionRequest& request)
{
    Conversion conversion;
    conversion.song = std::move(song);
    conversion.notices = std::move(notices);
    if (request.trim) trimSilenceAndLoop(conversion.song, conversion.notices);
    if (conversion.song.frameCount() == 0) return conversion;

    conversion.file = writeCompressedFile(conversion.song, request.settings, request.format, conversion.notices);
    conversion.decodesBack = decodesToSong(conversion.file.bytes, conversion.song, request.settings, request.format);
    return conversion;
}

Conversion convertSong(std::span<const uint8_t> input, const ConversionRequest& request)
{
    Notices notices;
    RegisterStreamSet song = captureSong(input, request.inputName, request.sap, notices);
    return convertFrames(std::move(song), std::move(notices), request);
}
