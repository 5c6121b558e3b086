#include "lz16/song_input.h"

#include "cli/input_file.h"
#include "cli/messages.h"
#include "lzss/decoder.h"
#include "lzss/setting_fit.h"


namespace po = boost::program_options;

std::string FileSettings::described() const
{
    return " with offset " + std::to_string(lzss.offsetBits) + ", length " + std::to_string(lzss.lengthBits) +
           ", min " + std::to_string(lzss.minMatchLength) + (format.oldFormat ? ", old format" : "");
}

void addFileSettingOptions(po::options_description& options)
{
    options.add_options()
        ("offset,o", po::value<int>()->value_name("O"), "Match offset bits the file was written with")
        ("length,l", po::value<int>()->value_name("L"), "Match length bits the file was written with")
        ("min,m", po::value<int>()->value_name("M"), "Minimum match length the file was written with")
        ("old,x", "The file is in the old format (regsqueeze -x)");
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

std::pair<std::string, std::string> inputAndOutput(const po::variables_map& given)
{
    const auto files =
        given.count("files") ? given["files"].as<std::vector<std::string>>() : std::vector<std::string>{};
    if (files.size() != 2) usageError("one input file and one output file expected");
    return {files[0], files[1]};
}

LoadedSong loadSong(const std::string& in, const std::string& out, const FileSettings& settings)
{
    LoadedSong song{loadInputFile(in), {}};
    refuseOutputOverInput(in, out);
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
    if (fitsSetting(song.file, given)) {
        song.frames = std::move(decoded.streams);
        return song;
    }
    if (const std::optional<FileSetting> made = settingOfSamePacking(song.file, given))
        failAbout(in, "was made with " + made->options() + ", not " + given.options());
    warnAbout(in, "fits no setting that regsqueeze accepts: played as it decodes" + with);
    if (decoded.unreadBytes > 0)
        warnAbout(in, formatText("ends with %lld byte%s that make%s no whole frame%s",
                                 static_cast<long long>(decoded.unreadBytes), decoded.unreadBytes == 1 ? "" : "s",
                                 decoded.unreadBytes == 1 ? "s" : "", with.c_str()));
    song.frames = std::move(decoded.streams);
    return song;
}

void requireWholePairs(const LoadedSong& song, const std::string& in)
{
    const int32_t frames = song.frames.frameCount();
    if (frames % 2 != 0)
        failAbout(in, "has an odd number of frames (" + std::to_string(frames) +
                          "), so it holds no whole pairs of chip 1 and chip 2 frames for --stereo");
}
