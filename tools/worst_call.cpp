// Searches for the costliest call of the 6502 player, measured in sim65.
//
//   worst_call [--old] [--stereo] [--verbose] OFFSET LENGTH MIN FOLDER
//
// FOLDER holds the two harness builds that scripts/simulate-player makes
// for these settings: a.bin, the harness calling lz_frame, and b.bin,
// calling a two-instruction stub instead. Prints the most cycles one call
// took (from its jsr to its return), and with --verbose the song shape of
// every new maximum.
//
// The search is directed at what a call's cost depends on. The songs keep
// all nine channels and, after a run of literal frames, repeat a period: a
// number of literal frames (gap) and a frame in which every stream starts
// a new match, which then runs on. Over these it varies
//   - the step kinds: the match's offset code (the source at either end of
//     the ring, for the ring's page turn) and length code (the shortest, and
//     where a copy can pass its ring slot, the shortest that does), the gap;
//   - the control-byte alignment: the measured frame's first flag opens a
//     control byte, so that the frame reads two;
//   - the half-byte alignment (9 to 12 bit codes): the frame's first code
//     opens a half-byte, or the one before did;
//   - the ring index: past 8 offset bits, the measured frame enters a new
//     ring page, as frame numbers 0, 1 or 2 modulo 256 do in the players;
//     with two chips, the frame is the first or the second of its pair;
//   - the distance to the end: the song is cut at every byte from the
//     measured frame's start on, and the last calls before the end are
//     measured, which covers the call that switches into an end mode, the
//     calls played in it and the one that reports the end;
//   - and the measured frame's data starts on the last byte of a page (the
//     harness leaves padding after the song's end), so that every later
//     read crosses a page.
// A call's cycles come from runs stopped after k - 1 and k calls.
#include "lzss/bit_stream_writer.h"
#include "lzss/file_format.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int64_t stubCall = 14;     // the stub's jsr, clc and rts
constexpr uint32_t top = 0xFFE0;     // where the harness ends the file
constexpr uint32_t unlimited = 0xFFFFFF;

[[noreturn]] void fail(const std::string& message)
{
    std::fprintf(stderr, "worst_call: %s\n", message.c_str());
    std::exit(1);
}

struct Run {
    int lines = 0;       // frame lines printed
    int status = 0;      // the harness's exit status
    int64_t cycles = 0;  // the whole run's
};

// Runs the harness builds on songs, from a folder of its own.
class Simulator {
public:
    explicit Simulator(const fs::path& folder) : a_(fs::absolute(folder / "a.bin")), b_(fs::absolute(folder / "b.bin"))
    {
        if (!fs::exists(a_) || !fs::exists(b_)) fail("no harness builds in " + folder.string());
        std::string name = (fs::temp_directory_path() / "worst-call-XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr) fail("can't make a temporary folder");
        work_ = name;
    }
    ~Simulator()
    {
        std::error_code ignored;
        fs::remove_all(work_, ignored);
    }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    Run player(const std::vector<uint8_t>& song, uint32_t limit, uint8_t pad) { return run(a_, song, limit, pad); }
    Run stub(const std::vector<uint8_t>& song, uint32_t limit, uint8_t pad) { return run(b_, song, limit, pad); }

private:
    Run run(const fs::path& binary, const std::vector<uint8_t>& song, uint32_t limit, uint8_t pad)
    {
        std::vector<uint8_t> file = song;
        file.insert(file.end(), pad, 0);
        write(work_ / "song", file);
        write(work_ / "limit", {uint8_t(limit), uint8_t(limit >> 8), uint8_t(limit >> 16), pad});
        const std::string out = (work_ / "out").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const std::string song_dir = work_.string();
        std::vector<std::string> arguments{"sim65", "-c", binary.string()};
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        const fs::path here = fs::current_path();
        fs::current_path(work_);
        pid_t child = 0;
        int status = 0;
        const bool started = posix_spawnp(&child, "sim65", &actions, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        fs::current_path(here);
        if (!started || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) fail("sim65 did not run");
        std::ifstream in(out);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        Run result;
        result.status = WEXITSTATUS(status);
        // "... N cycles": the digits before the word.
        const size_t word = text.find(" cycles");
        size_t digits = word;
        while (digits != std::string::npos && digits > 0 && std::isdigit(static_cast<unsigned char>(text[digits - 1])))
            --digits;
        if (word == std::string::npos || digits == word) fail("sim65 printed no cycle count");
        result.cycles = std::stoll(text.substr(digits, word - digits));
        for (char c : text) result.lines += c == '\n';
        result.lines -= 1;  // the cycle count's line
        return result;
    }

    static void write(const fs::path& path, const std::vector<uint8_t>& bytes)
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) fail("can't write " + path.string());
    }

    fs::path a_, b_, work_;
};

// The steps of a generated song's period.
struct Shape {
    int gap = 0;             // literal frames before each frame of new matches
    int32_t offsetCode = 0;
    int32_t lengthCode = 0;
    bool openerFirst = true; // 9 to 12 bit codes: the frame's first code opens a half-byte
    int pageTurn = -1;       // past 8 offset bits: the frame number modulo 256 to measure at, or -1
    int chipFrame = 0;       // with two chips: the measured frame is the first (0) or second (1) of its pair
};

struct Song {
    std::vector<uint8_t> bytes;
    std::vector<size_t> start;        // per frame from the first step frame: where its data starts
    std::vector<int> flagsBefore, codesBefore;
    std::vector<size_t> matchFrames;  // the frames of new matches
};

constexpr uint8_t literal = 0x5A;

// A song of all nine channels: frames skipped by long copies at the start
// (shift), prefix frames of literals (the first one with a match code in
// channel 8 when opener is false), then periods.
Song makeSong(const LzssSettings& settings, bool old, const Shape& shape, int shift, int prefix, int periods)
{
    Song song;
    std::vector<uint8_t> header(old ? 1 : 1 + registersPerFrame, literal);
    header[0] = 0;  // no channel left out
    BitStreamWriter writer(settings);
    std::array<int32_t, registersPerFrame> copying{};
    int flags = 0, codes = 0;
    // One frame; match(c) says whether channel c, when it takes a step, starts
    // a match (with its codes) rather than a literal.
    auto frame = [&](auto match) {
        song.start.push_back(header.size() + writer.bytes().size());
        song.flagsBefore.push_back(flags);
        song.codesBefore.push_back(codes);
        for (int c = firstChannel; c >= 0; --c) {
            if (copying[c] > 0) {
                --copying[c];
                continue;
            }
            ++flags;
            int32_t offsetCode = 0, lengthCode = 0;
            if (match(c, offsetCode, lengthCode)) {
                writer.putFlag(0);
                writer.putMatchCode(offsetCode, lengthCode);
                ++codes;
                copying[c] = lengthCode + settings.minMatchLength - 1;
            } else {
                writer.putFlag(1);
                writer.putByte(static_cast<uint8_t>(literal ^ c));
            }
        }
    };
    auto copiesRun = [&] {
        while (copying[0] > 0) frame([](int, int32_t&, int32_t&) { return false; });
    };
    const int32_t longest = settings.longestMatch();
    while (shift > 0) {
        const int32_t length = std::max(std::min(shift, longest), settings.minMatchLength);
        frame([&](int, int32_t& offset, int32_t& lengthCode) {
            offset = 0;
            lengthCode = length - settings.minMatchLength;
            return true;
        });
        copiesRun();
        shift -= length;
    }
    for (int i = 0; i < prefix; ++i) {
        frame([&](int c, int32_t& offset, int32_t& lengthCode) {
            offset = 0;
            lengthCode = 0;
            return !shape.openerFirst && i == 0 && c == firstChannel;
        });
    }
    copiesRun();
    for (int p = 0; p < periods; ++p) {
        for (int g = 0; g < shape.gap; ++g) frame([](int, int32_t&, int32_t&) { return false; });
        song.matchFrames.push_back(song.start.size());
        frame([&](int, int32_t& offset, int32_t& lengthCode) {
            offset = shape.offsetCode;
            lengthCode = shape.lengthCode;
            return true;
        });
        copiesRun();
    }
    song.bytes = header;
    song.bytes.insert(song.bytes.end(), writer.bytes().begin(), writer.bytes().end());
    return song;
}

struct Search {
    LzssSettings settings;
    bool old = false;
    int chips = 1;
    bool verbose = false;
    Simulator& simulator;
    int64_t step = 0;  // the harness's own cycles per call
    int64_t worst = 0;

    // Frames and periods for a shape whose measured frame meets its
    // alignments; false when none is found.
    bool lineUp(const Shape& shape, int periods, int measured, Song& out) const
    {
        const int firstStep = old ? 0 : 1;
        const bool halves = packingOf(settings) == Packing::ByteAndHalf;
        const int shifts = shape.pageTurn >= 0 ? 256 : 1;
        for (int prefix = 2; prefix < 2 + 16 * chips; ++prefix) {
            for (int shift = 0; shift < shifts; ++shift) {
                if (shift > 0 && shift < settings.minMatchLength) continue;
                Song song = makeSong(settings, old, shape, shift, prefix, periods);
                const size_t frame = song.matchFrames[song.matchFrames.size() - 1 - measured];
                const int64_t number = firstStep + static_cast<int64_t>(frame);
                if (song.flagsBefore[frame] % 8 != 0) continue;
                if (halves && song.codesBefore[frame] % 2 != 0) continue;
                if (shape.pageTurn >= 0 && number % 256 != shape.pageTurn) continue;
                if (number % chips != shape.chipFrame) continue;
                out = std::move(song);
                return true;
            }
        }
        return false;
    }

    // Cuts the song at every byte from the measured frame on and measures
    // the calls before the end.
    void measure(const Shape& shape)
    {
        const int tail = 3;  // periods after the measured frame
        const int periods = tail + 6;
        Song song;
        if (!lineUp(shape, periods, tail, song)) return;
        const size_t frame = song.matchFrames[song.matchFrames.size() - 1 - tail];
        const size_t from = song.start[frame];
        // Past the frame, its period and the bytes a call may read, the end
        // no longer reaches the frame's call.
        const size_t last = song.matchFrames.size() - 1;
        const size_t period = song.start[song.matchFrames[last]] - song.start[song.matchFrames[last - 1]];
        const size_t reach = from + 3 * period + 40 * static_cast<size_t>(chips);
        for (size_t cut = from; cut <= std::min(song.bytes.size(), reach); ++cut) {
            const std::vector<uint8_t> bytes(song.bytes.begin(), song.bytes.begin() + static_cast<long>(cut));
            // The frame's first byte at the last of a page.
            const uint8_t pad = static_cast<uint8_t>((top - cut + from - 0xFF) & 0xFF);
            const Run whole = simulator.player(bytes, unlimited, pad);
            if (whole.status != 0) continue;
            const int calls = whole.lines - (old ? 0 : 1) + 1;
            int64_t after = whole.cycles;
            const int measuredCalls = 4;
            for (int k = calls; k >= 1 && k > calls - measuredCalls; --k) {
                const int64_t before = simulator.player(bytes, static_cast<uint32_t>(k - 1), pad).cycles;
                // The last call ends the harness's loop by its carry, one
                // branch earlier than the limit ends it.
                const int64_t cost = k == calls ? after - before - 2 : after - before - step + stubCall;
                if (cost > worst) {
                    worst = cost;
                    if (verbose)
                        std::fprintf(stderr,
                                     "%lld: gap %d offset %d length %d opener %d page %d chip %d, cut %zu of %zu, "
                                     "call %d of %d\n",
                                     static_cast<long long>(cost), shape.gap, shape.offsetCode, shape.lengthCode,
                                     shape.openerFirst, shape.pageTurn, shape.chipFrame, cut - from,
                                     song.bytes.size() - from, k, calls);
                }
                after = before;
            }
        }
    }

    void run()
    {
        const int32_t window = settings.windowSize();
        const int32_t base = offsetBase(FormatChoices{.oldFormat = old});
        Shape shape;
        Song sample = makeSong(settings, old, shape, 0, 4, 2);
        step = simulator.stub(sample.bytes, 1, 0).cycles - simulator.stub(sample.bytes, 0, 0).cycles;

        std::vector<int32_t> offsets{window - 1};
        if (settings.offsetBits > 8) offsets.push_back((window - 1 - base + window) % window);
        std::vector<int32_t> lengths{0};
        // A copy that passes its ring slot costs the same on every pass
        // whatever its length: the shortest such copy keeps the songs short.
        const int32_t period = settings.offsetBits >= 1 && settings.offsetBits < 8 ? window : 256;
        if (settings.longestMatch() > period + 1)
            lengths.push_back(std::max(0, period + 1 - settings.minMatchLength));
        std::vector<int> pages{-1};
        if (settings.offsetBits > 8) pages = {0, 1, 2};
        std::vector<int> openers{1};
        if (packingOf(settings) == Packing::ByteAndHalf) openers.push_back(0);
        for (int gap = 0; gap < chips + (settings.minMatchLength > 1 ? 1 : 0) && gap < 3; ++gap)
            for (int32_t offset : offsets)
                for (int32_t length : lengths)
                    for (int opener : openers)
                        for (int page : pages)
                            for (int chip = 0; chip < chips; ++chip)
                                // A frame number fixes the frame's place in its pair.
                                if (page < 0 || page % chips == chip)
                                    measure({gap, offset, length, opener == 1, page, chip});
    }
};

}  // namespace

int main(int argc, char** argv)
{
    bool old = false, stereo = false, verbose = false;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--old") == 0) old = true;
        else if (std::strcmp(argv[i], "--stereo") == 0) stereo = true;
        else if (std::strcmp(argv[i], "--verbose") == 0) verbose = true;
        else args.emplace_back(argv[i]);
    }
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: %s [--old] [--stereo] [--verbose] OFFSET LENGTH MIN FOLDER\n", argv[0]);
        return 2;
    }
    const LzssSettings settings{std::atoi(args[0].c_str()), std::atoi(args[1].c_str()), std::atoi(args[2].c_str())};
    if (!isAccepted(settings)) fail("settings the program does not accept");
    Simulator simulator(args[3]);
    Search search{settings, old, stereo ? 2 : 1, verbose, simulator};
    search.run();
    std::printf("%lld\n", static_cast<long long>(search.worst));
    return 0;
}
