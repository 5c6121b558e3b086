#include "lz16/song_input.h"

#include "cli/input_file.h"
#include "cli/messages.h"
#include "cli/options.h"
#include "cli/sap_options.h"
#include "conversion/conversion.h"
#include "lzss/decoder.h"
#include "lzss/output_check.h"
#include "lzss/setting_fit.h"
#include "sap/sap_file.h"
#include "vgm/gzip_input.h"

#include <cstdio>
#include <optional>

namespace po = boost::program_options;

namespace {

constexpr uint8_t vgmSignature[] = {'V', 'g', 'm', ' '};

// A song is told by its first bytes: a VGM file, a gzip-compressed one or a
// SAP file. Anything else is taken for a .lz16 file, which has no signature.
bool isSong(std::span<const uint8_t> file)
{
    const bool vgm = file.size() >= 4 && std::equal(std::begin(vgmSignature), std::end(vgmSignature), file.begin());
    const bool sapLine = file.size() >= 4 && file[0] == 'S' && file[1] == 'A' && file[2] == 'P' &&
                         (file[3] == '\r' || file[3] == '\n');
    return vgm || sapLine || isGzip(file);
}

std::optional<int> givenInt(const po::variables_map& given, const char* name)
{
    if (!given.count(name)) return std::nullopt;
    return given[name].as<int>();
}

// The options only a song takes.
bool songOptionsGiven(const po::variables_map& given)
{
    for (const char* name : {"trim", "song", "seconds", "tv-frames", "loop"})
        if (given.count(name)) return true;
    return false;
}

FileSettings readFileSettings(const po::variables_map& given)
{
    if (!given.count("offset") || !given.count("length") || !given.count("min"))
        usageError("the file's settings are needed: --offset, --length and --min");
    FileSettings settings;
    settings.lzss = {given["offset"].as<int>(), given["length"].as<int>(), given["min"].as<int>()};
    if (const char* fault = settingsFault(settings.lzss, "offset and length bits should add up to at most 16"))
        usageError(fault);
    settings.format.oldFormat = given.count("old") != 0;
    return settings;
}

// The song converted in memory as regsqueeze converts it, its notices printed.
// --loop-frame's frame, if given.
std::optional<int32_t> givenLoopFrame(const po::variables_map& given)
{
    if (!given.count("loop-frame")) return std::nullopt;
    const long long frame = given["loop-frame"].as<long long>();
    if (frame < 0 || frame >= maximumFrames) usageError("the loop frame should be a frame of the song, from 0");
    return static_cast<int32_t>(frame);
}

LoadedSong convertGivenSong(std::vector<uint8_t> input, const std::string& in, const po::variables_map& given,
                            bool quiet)
{
    ConversionRequest request;
    request.loopFrame = givenLoopFrame(given);
    request.loop = given.count("loop") != 0 || request.loopFrame.has_value();
    request.settings = settingsFromWidths(givenInt(given, "offset"), givenInt(given, "length"), givenInt(given, "min"));
    request.format.oldFormat = given.count("old") != 0;
    request.trim = given.count("trim") != 0;
    request.inputName = in;
    request.sap = readSapChoices(given);
    refuseSapChoicesForOtherInput(request.sap, input, in);

    LoadedSong song;
    if (isSap(input)) {
        const SapFile sap = readSapFile(input, in);
        song.sap = SapFacts{request.sap.tvFrames ? scanLinesPerTvFrame(sap) : sap.fastplay, sap.ntsc, sap.name,
                            sap.author};
    }
    Notices captureNotices;
    RegisterStreamSet frames = captureSong(input, in, sapChoicesFor(request), captureNotices);
    std::vector<uint8_t>().swap(input);
    Conversion conversion = convertFrames(std::move(frames), std::move(captureNotices), request);
    // What trimming did, a line each, and the warnings about the input; the
    // compression's own notes are regsqueeze's to show.
    for (const Notice& notice : quiet ? Notices{} : conversion.notices) {
        if (notice.kind == Notice::Kind::Trimming)
            std::fputs((invocationName + ": " + notice.text + (notice.text.ends_with('\n') ? "" : "\n")).c_str(), stderr);
        else if (notice.kind == Notice::Kind::Warning && !notice.file.empty())
            std::fputs(describe(notice).c_str(), stderr);
    }
    if (conversion.song.frameCount() == 0) failAbout(in, "is completely silent once trimmed: nothing to play");
    if (!conversion.decodesBack) fail("internal error: the conversion does not decode to the song; nothing written\n");
    song.file = std::move(conversion.file.bytes);
    song.chips = conversion.song.chips;
    song.frames = std::move(conversion.song);
    song.settings = {request.settings, request.format};
    song.converted = true;
    song.loopFrame = conversion.loopFrame;
    return song;
}

// The .lz16 file decoded as a player built for the settings would.
LoadedSong decodeGivenFile(std::vector<uint8_t> file, const std::string& in, const FileSettings& settings,
                           std::optional<int32_t> loopFrame)
{
    LoadedSong song;
    song.file = std::move(file);
    song.settings = settings;
    song.loopFrame = loopFrame;
    // One frame more than a song may have shows a file that would go on.
    DecodedSong decoded = decodeCompressedFile(song.file, settings.lzss, settings.format, maximumFrames + 1);
    const std::string with = settings.described();
    if (!decoded.error.empty()) failAbout(in, "does not decode" + with + ": " + decoded.error);
    const int32_t frames = decoded.streams.frameCount();
    if (frames == 0) failAbout(in, "holds no whole frame" + with);
    if (frames > maximumFrames)
        failAbout(in, "decodes" + with + " to more than " + std::to_string(maximumFrames) + " frames");
    // A file that decodes may still have been made with another setting: it
    // then plays other music. Only a file that fits no setting at all, as
    // another program's may not, is played as it decodes.
    const FileSetting given{settings.lzss, settings.format.oldFormat};
    // A file made without the loop asked for fits its setting without it,
    // and is then refused for its restart.
    if (fitsDecoded(song.file, decoded, given, loopFrame) || (loopFrame && fitsDecoded(song.file, decoded, given))) {
        song.frames = std::move(decoded.streams);
        return song;
    }
    if (const std::optional<FileSetting> made = settingOfSamePacking(song.file, given, loopFrame))
        failAbout(in, "was made with " + made->options() + ", not " + given.options());
    warnAbout(in, "fits no setting that regsqueeze accepts: played as it decodes" + with);
    if (decoded.unreadBytes > 0)
        warnAbout(in, formatText("ends with %lld byte%s that make%s no whole frame%s",
                                 static_cast<long long>(decoded.unreadBytes), decoded.unreadBytes == 1 ? "" : "s",
                                 decoded.unreadBytes == 1 ? "s" : "", with.c_str()));
    song.frames = std::move(decoded.streams);
    return song;
}

}  // namespace

std::string FileSettings::described() const
{
    return " with offset " + std::to_string(lzss.offsetBits) + ", length " + std::to_string(lzss.lengthBits) +
           ", min " + std::to_string(lzss.minMatchLength) + (format.oldFormat ? ", old format" : "");
}

void addFileSettingOptions(po::options_description& options)
{
    options.add_options()
        ("offset,o", po::value<int>()->value_name("O"), "Match offset bits the file was written with (a song: regsqueeze's)")
        ("length,l", po::value<int>()->value_name("L"), "Match length bits the file was written with (a song: regsqueeze's)")
        ("min,m", po::value<int>()->value_name("M"), "Minimum match length the file was written with (a song: regsqueeze's)")
        ("old,x", "The file is in the old format (regsqueeze -x)");
}

void addLoopOptions(po::options_description& options)
{
    options.add_options()
        ("loop", "A song: converts it to loop, as regsqueeze --loop does")
        ("loop-frame", po::value<long long>()->value_name("N"),
         "The song loops from frame N to its end: a song is converted so, a .lz16 file must restart there");
}

void addSongOptions(po::options_description& options)
{
    options.add_options()("trim,t", "A song: trims silence and cuts it at its first loop (regsqueeze -t)");
    addSapInputOptions(options);
}

std::pair<std::string, std::string> inputAndOutput(const po::variables_map& given)
{
    const auto files =
        given.count("files") ? given["files"].as<std::vector<std::string>>() : std::vector<std::string>{};
    if (files.size() != 2) usageError("one input file and one output file expected");
    return {files[0], files[1]};
}

LoadedSong loadSong(const std::string& in, const std::string& out, const po::variables_map& given, bool quiet)
{
    std::vector<uint8_t> file = loadInputFile(in);
    refuseOutputOverInput(in, out);
    if (isSong(file)) return convertGivenSong(std::move(file), in, given, quiet);
    if (songOptionsGiven(given))
        usageError(("-t, --loop, --song, --seconds and --tv-frames are for songs, and '" + in + "' is a .lz16 file").c_str());
    return decodeGivenFile(std::move(file), in, readFileSettings(given), givenLoopFrame(given));
}

bool playsOnTwoChips(const LoadedSong& song, const std::string& in, const po::variables_map& given)
{
    const bool stereo = song.converted ? song.chips == 2 : given.count("stereo") != 0;
    if (song.converted && song.chips == 1 && given.count("stereo"))
        failAbout(in, "is a song for one chip: --stereo is for a song for two");
    const int32_t frames = song.frames.frameCount();
    if (stereo && frames % 2 != 0)
        failAbout(in, "has an odd number of frames (" + std::to_string(frames) +
                          "), so it holds no whole pairs of chip 1 and chip 2 frames for --stereo");
    return stereo;
}

std::optional<int32_t> loopFrameOf(const LoadedSong& song, const std::string& in, bool stereo)
{
    if (!song.loopFrame || song.converted) return song.loopFrame;  // a conversion checks its own loop
    const int32_t frame = *song.loopFrame, frames = song.frames.frameCount();
    if (frame >= frames) failAbout(in, formatText("has %d frames: --loop-frame %d lies outside the song", frames, frame));
    if (stereo && frame % 2 != 0)
        failAbout(in, formatText("is for two chips, whose frames come in pairs: --loop-frame %d is not the first frame "
                                 "of a pair",
                                 frame));
    const FileSettings& settings = song.settings;
    const std::optional<LoopRestart> restart = findLoopRestart(song.file, settings.lzss, settings.format, frame);
    if (!restart || !loopsToSong(song.file, song.frames, settings.lzss, settings.format, *restart))
        failAbout(in, formatText("does not restart right at frame %d: the frames after the restart differ. Convert "
                                 "the song with regsqueeze --loop-frame %d (or --loop)",
                                 frame, frame));
    return frame;
}

std::optional<LoopRecord> loopRecordOf(const LoadedSong& song, const std::string& in, bool stereo)
{
    const std::optional<int32_t> frame = loopFrameOf(song, in, stereo);
    if (!frame) return std::nullopt;
    LoopRecord record = makeLoopRecord(song.file, song.settings.lzss, song.settings.format, stereo ? 2 : 1, *frame);
    if (!record.error.empty()) failAbout(in, record.error);
    return record;
}
