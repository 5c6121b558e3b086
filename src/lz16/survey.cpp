// lz16 survey: the exact file size of every accepted setting for a set of
// songs, and the settings worth choosing for each player buffer size.
#include "streams/trim_silence_and_loop.h"
#include "common/ex.h"
#include "cli/input_file.h"
#include "cli/sap_options.h"
#include "cli/messages.h"
#include "lz16/commands.h"
#include "conversion/conversion.h"
#include "lzss/size_survey.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace po = boost::program_options;

namespace {

constexpr const char* about =
    "Usage: lz16 survey [OPTION]... SONG...\n"
    "Works out the exact size of the file that regsqueeze would write for each SONG\n"
    "(.vgm, .vgz or .sap) at every setting that it accepts, with the same -t, -x,\n"
    "-e, --song, --seconds and --tv-frames, and writes no file. A player is built\n"
    "for one setting, so the songs are ranked together, by their total size. The\n"
    "table shows, for each size of player buffer (2^offset bytes for each compressed\n"
    "channel, the most that any one song needs), the setting with the smallest total\n"
    "where it beats every smaller buffer, then the three presets, and marks the best\n"
    "setting with '*'. With --csv the columns are\n"
    "offset,length,min,song,bytes,buffer_bytes.\n";

struct Song {
    std::string name;
    int32_t frames = 0;
    int32_t channels = 0;  // compressed channels
};

// One setting's figures over all songs.
struct Row {
    LzssSettings settings;
    size_t index = 0;  // in the list of accepted settings
    int64_t total = 0;
    int64_t buffer = 0;  // the largest buffer that one of the songs needs
};

int64_t bufferBytes(const LzssSettings& settings, int32_t channels)
{
    return (int64_t{1} << settings.offsetBits) * channels;
}

// The order of the ranking: smaller total, then smaller buffer, then the
// narrower settings.
bool ranksBefore(const Row& a, const Row& b)
{
    const auto key = [](const Row& r) {
        return std::tuple(r.total, r.buffer, r.settings.offsetBits, r.settings.lengthBits, r.settings.minMatchLength);
    };
    return key(a) < key(b);
}

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// Reads the songs, trimmed when asked, into their streams; a song that
// trimming leaves silent has no file and is left out.
std::vector<Song> loadSongs(const std::vector<std::string>& names, bool trim, const SapChoices& sap,
                            std::vector<RegisterStreamSet>& streams)
{
    std::vector<Song> songs;
    for (const std::string& name : names) {
        const std::vector<uint8_t> input = loadInputFile(name);
        refuseSapChoicesForOtherInput(sap, input, name);
        Notices notices;
        RegisterStreamSet song;
        try {
            song = captureSong(input, name, sap, notices);
        } catch (const Ex& e) {
            // Of several songs, the one at fault must be named; the VGM reader's messages do not.
            const std::string text = e.what();
            if (text.find("'" + name + "'") != std::string::npos) throw;
            throw Ex() << "File '" << name << "': " << text;
        }
        printNotices(notices, false, 0);
        if (trim) {
            Notices ignored;  // the survey shows what remains, not what was cut
            trimSilenceAndLoop(song, ignored);
            if (song.frameCount() == 0) {
                noteAbout(name, "is completely silent once trimmed: left out");
                continue;
            }
        }
        songs.push_back({name, song.frameCount(), compressedChannelCount(song)});
        streams.push_back(std::move(song));
    }
    if (songs.empty()) fail("every song is completely silent once trimmed: nothing to survey\n");
    return songs;
}

// A line on a terminal that the next one overwrites; nothing elsewhere.
class Progress {
public:
    Progress() : shown_(isatty(STDERR_FILENO) == 1) {}
    ~Progress() { clear(); }

    void show(int32_t done, int32_t total)
    {
        const int percent = static_cast<int>(int64_t{100} * done / total);
        if (!shown_ || percent == lastPercent_) return;
        lastPercent_ = percent;
        std::fprintf(stderr, "\r%s: %d%%", invocationName.c_str(), percent);
        std::fflush(stderr);
    }

    void clear()
    {
        if (!shown_ || lastPercent_ < 0) return;
        std::fprintf(stderr, "\r%*s\r", static_cast<int>(invocationName.size()) + 8, "");
        lastPercent_ = -1;
    }

private:
    bool shown_;
    int lastPercent_ = -1;
};

void printCsv(const std::vector<Row>& rows, const std::vector<Song>& songs,
              const std::vector<std::vector<int64_t>>& sizes)
{
    std::printf("offset,length,min,song,bytes,buffer_bytes\n");
    for (const Row& row : rows) {
        for (size_t s = 0; s < songs.size(); ++s) {
            const LzssSettings& x = row.settings;
            std::printf("%d,%d,%d,%s,%lld,%lld\n", x.offsetBits, x.lengthBits, x.minMatchLength,
                        csvField(songs[s].name).c_str(), static_cast<long long>(sizes[s][row.index]),
                        static_cast<long long>(bufferBytes(x, songs[s].channels)));
        }
    }
}

void printRow(const char* label, const Row& row, const Row& reference, bool best)
{
    const LzssSettings& s = row.settings;
    const std::string widths = std::to_string(s.offsetBits) + "/" + std::to_string(s.lengthBits) + "/" +
                               std::to_string(s.minMatchLength);
    const double change =
        100.0 * static_cast<double>(row.total - reference.total) / static_cast<double>(reference.total);
    std::printf("%c %-4s %8lld  %-8s %10lld  %+6.1f%%  -o %d -l %d -m %d\n", best ? '*' : ' ', label,
                static_cast<long long>(row.buffer), widths.c_str(), static_cast<long long>(row.total), change,
                s.offsetBits, s.lengthBits, s.minMatchLength);
}

void printTable(const std::vector<Row>& rows, const std::vector<Song>& songs, const Row& reference, size_t surveyed)
{
    std::printf("%zu settings surveyed on %zu song%s:\n", surveyed, songs.size(), songs.size() == 1 ? "" : "s");
    for (const Song& song : songs)
        std::printf("  %s: %d frame%s, %d compressed channel%s\n", song.name.c_str(), song.frames,
                    song.frames == 1 ? "" : "s", song.channels, song.channels == 1 ? "" : "s");

    const Row& best = rows.front();
    std::printf("\nFor each player buffer size, the smallest total where it beats every smaller buffer:\n");
    std::printf("  %-4s %8s  %-8s %10s  %7s  %s\n", "", "buffer", "o/l/m", "bytes", "vs -6", "regsqueeze options");
    std::vector<Row> front;
    for (const Row& row : rows) {
        // Ranked by total, a row is on the front when no row before it needs
        // a buffer as small.
        if (front.empty() || row.buffer < front.back().buffer) front.push_back(row);
    }
    for (auto row = front.rbegin(); row != front.rend(); ++row)
        printRow("", *row, reference, row->settings == best.settings);

    std::printf("\nThe presets:\n");
    for (const Preset& preset : presets) {
        const auto row =
            std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r.settings == preset.settings; });
        const char label[] = {'-', preset.letter, '\0'};
        if (row != rows.end()) printRow(label, *row, reference, row->settings == best.settings);
    }
    const LzssSettings& s = best.settings;
    std::printf("\nBest: regsqueeze -o %d -l %d -m %d, %lld bytes, a buffer of %lld bytes.\n", s.offsetBits,
                s.lengthBits, s.minMatchLength, static_cast<long long>(best.total),
                static_cast<long long>(best.buffer));
}

}  // namespace

void addSurveyOptions(po::options_description& options)
{
    options.add_options()
        ("trim,t", "Trims silence and cuts each song at its first loop (regsqueeze -t)")
        ("old,x", "Old format with initial data only for skipped channels (regsqueeze -x)")
        ("end,e", "Don't force a literal at end of stream (regsqueeze -e)")
        ("max-buffer", po::value<long long>()->value_name("BYTES"),
         "Keeps only the settings whose player buffer fits in BYTES")
        ("csv", "Prints one CSV line per setting and song instead, best setting first, after a header line");
    addSapInputOptions(options);
}

void runSurvey(int argc, char** argv)
{
    po::variables_map given;
    if (!parseCommandLine(argc, argv, {addSurveyOptions}, about, given)) return;
    const long long maxBuffer = given.count("max-buffer") ? given["max-buffer"].as<long long>() : -1;
    if (given.count("max-buffer") && maxBuffer < 1) usageError("the largest buffer should be at least 1 byte");
    if (!given.count("files")) usageError("at least one song is needed");
    FormatChoices format;
    format.oldFormat = given.count("old") != 0;
    format.forceEndLiteral = given.count("end") == 0;

    std::vector<RegisterStreamSet> streams;
    const std::vector<Song> songs =
        loadSongs(given["files"].as<std::vector<std::string>>(), given.count("trim") != 0, readSapChoices(given), streams);
    const std::vector<LzssSettings> all = acceptedSettings();
    std::vector<std::vector<int64_t>> sizes;
    {
        Progress progress;
        const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        sizes = surveyFileSizes(streams, all, format, threads,
                                [&](int32_t done, int32_t total) { progress.show(done, total); });
    }

    std::vector<Row> rows;
    Row reference;
    int64_t smallestBuffer = INT64_MAX;
    for (size_t k = 0; k < all.size(); ++k) {
        Row row{all[k], k};
        for (size_t s = 0; s < songs.size(); ++s) {
            row.total += sizes[s][k];
            row.buffer = std::max(row.buffer, bufferBytes(all[k], songs[s].channels));
        }
        if (all[k] == defaultSettings) reference = row;
        smallestBuffer = std::min(smallestBuffer, row.buffer);
        if (maxBuffer < 0 || row.buffer <= maxBuffer) rows.push_back(row);
    }
    if (rows.empty())
        fail("no setting's buffer fits in " + std::to_string(maxBuffer) + " bytes; the smallest needs " +
             std::to_string(smallestBuffer) + "\n");
    std::sort(rows.begin(), rows.end(), ranksBefore);
    if (given.count("csv")) printCsv(rows, songs, sizes);
    else printTable(rows, songs, reference, all.size());
}
