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
    RegisterStreamSet& frames = conversion.song;
    const std::string& name = request.inputName;

    // The input's own loop counts only for a looping song, and not when trimming.
    const bool ownLoopAsked = request.loop && !request.loopFrame && !request.trim;
    if (ownLoopAsked && !frames.ownLoopFault.empty())
        conversion.notices.push_back({Notice::Kind::Warning, frames.ownLoopFault + ": it is not used\n", name});
    const bool ownLoop = ownLoopAsked && frames.ownLoopFrame >= 0;
    std::optional<FoundLoop> found;
    if (request.trim || (request.loop && !request.loopFrame && !ownLoop))
        found = trimSilenceAndLoop(frames, conversion.notices);
    const int32_t frameCount = frames.frameCount();
    if (frameCount == 0) return conversion;

    if (request.loopFrame) {
        if (*request.loopFrame >= frameCount)
            throw Ex() << "File '" << name << "' has " << std::to_string(frameCount) << " frames"
                       << (request.trim ? " once trimmed" : "") << ": --loop-frame "
                       << std::to_string(*request.loopFrame) << " lies outside the song\n";
        if (frames.chips == 2 && *request.loopFrame % 2 != 0)
            throw Ex() << "File '" << name << "' is for two chips, whose frames come in pairs: --loop-frame "
                       << std::to_string(*request.loopFrame) << " is not the first frame of a pair\n";
        conversion.loopFrame = request.loopFrame;
    } else if (ownLoop) {
        conversion.loopFrame = frames.ownLoopFrame;
    } else if (request.loop) {
        // A loop that the player repeats forever must be one the input shows:
        // after the cut, at least one whole loop body.
        if (!found)
            throw Ex() << "File '" << name << "' shows no loop to repeat; give --loop-frame N to choose where the song "
                       << "starts again, or for a SAP file --seconds S to capture more of it\n";
        const int32_t body = found->cut - found->loopStart;
        if (found->framesAfterCut < body)
            throw Ex() << "File '" << name << "' does not show its loop whole: a repeat of "
                       << std::to_string(found->framesAfterCut) << " frames after frame " << std::to_string(found->cut)
                       << "; the loop body is " << std::to_string(body) << " frames. Give --loop-frame N to choose "
                       << "where the song starts again, or for a SAP file --seconds S to capture more of it\n";
        conversion.loopFrame = found->loopStart;
    }

    conversion.file =
        writeCompressedFile(frames, request.settings, request.format, conversion.notices, conversion.loopFrame);
    conversion.decodesBack = decodesToSong(conversion.file.bytes, frames, request.settings, request.format);
    if (conversion.loopFrame)
        conversion.decodesBack = conversion.decodesBack && conversion.file.restart &&
                                 loopsToSong(conversion.file.bytes, frames, request.settings, request.format,
                                             *conversion.file.restart);
    return conversion;
}

SapChoices sapChoicesFor(const ConversionRequest& request)
{
    SapChoices sap = request.sap;
    sap.forLoopSearch = request.loop && !request.loopFrame;
    return sap;
}

Conversion convertSong(std::span<const uint8_t> input, const ConversionRequest& request)
{
    Notices notices;
    RegisterStreamSet song = captureSong(input, request.inputName, sapChoicesFor(request), notices);
    return convertFrames(std::move(song), std::move(notices), request);
}
