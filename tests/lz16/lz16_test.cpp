// lz16 run as a process, checked against regsqueeze run as a process.
#include "sap_songs.h"
#include "songs.h"
#include "vgm_writer.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

const std::string dir = (fs::temp_directory_path() / ("lz16-test-" + std::to_string(::getpid()))).string() + "/";
const std::string corpus = std::string(CORPUS_DIR) + "/";

struct Outcome {
    int status;
    std::string out, err;
};

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

Outcome run(const std::string& program, const std::string& arguments)
{
    const int status = std::system((program + " " + arguments + " >" + dir + "out 2>" + dir + "err").c_str());
    return {WEXITSTATUS(status), slurp(dir + "out"), slurp(dir + "err")};
}

Outcome lz16(const std::string& arguments) { return run(LZ16_BINARY, arguments); }
int regsqueeze(const std::string& arguments) { return run(REGSQUEEZE_BINARY, "-q " + arguments).status; }

void writeFile(const std::string& path, const std::vector<vgm::Frame>& frames, int chips = 1)
{
    const std::vector<uint8_t> bytes = vgm::writeVgm(frames, {.chips = chips});
    std::ofstream(path, std::ios::binary) << std::string(bytes.begin(), bytes.end());
}

// Generated songs of every shape, length and kind of wait, and small songs
// of the corpus when it is there.
std::vector<std::string> songs()
{
    fs::create_directories(dir + "songs");
    if (run(MAKE_TEST_SONGS_BINARY, dir + "songs 12 13").status != 0) return {};
    std::vector<std::string> names;
    for (const char* name : {"ABBUC_20_1", "Spaceball", "Flop_magazin_36_38", "M_U_L_E"})
        if (fs::exists(corpus + name + ".vgm")) names.push_back(corpus + name + ".vgm");
    for (const auto& entry : fs::directory_iterator(dir + "songs")) names.push_back(entry.path().string());
    return names;
}

// Offset bits, length bits and minimum match, as the survey's rows give
// them: the presets, the extremes and settings of every packing.
const std::string sample[] = {"4,4,1", "7,5,1", "8,8,1", "0,16,16", "12,4,1", "9,7,2", "2,2,3", "6,6,5"};

std::string options(std::string s)
{
    s.replace(s.find(','), 1, " -l ");
    return "-o " + s.replace(s.find(','), 1, " -m ") + " ";
}

class Lz16 : public testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
};

// For every song, sample setting and choice of flags: the survey's row
// gives the size of the file regsqueeze writes, and regsqueeze gives back
// that file from the VGM file (gzip-compressed in the old format) that
// lz16 vgm makes of it.
TEST_F(Lz16, SurveyAndVgmAgreeWithRegsqueeze)
{
    const std::vector<std::string> names = songs();
    ASSERT_GE(names.size(), 12u);
    std::string all;
    for (const std::string& name : names) all += " " + name;
    for (const std::string flags : {"", "-t ", "-x -e "}) {
        const std::string format = flags == "-t " ? "" : flags, old = format.empty() ? "" : "-x ";
        const std::string first = dir + "first.lz16", again = dir + "again.lz16";
        const std::string vgm = dir + (old.empty() ? "song.vgm" : "song.vgz");
        const Outcome survey = lz16("survey --csv " + flags + all);
        ASSERT_EQ(survey.status, 0) << survey.err;
        ASSERT_EQ(survey.out.substr(0, 42), "offset,length,min,song,bytes,buffer_bytes\n");
        for (const std::string& s : sample) {
            for (const std::string& name : names) {
                fs::remove(first);
                ASSERT_EQ(regsqueeze(flags + options(s) + name + " " + first), 0);
                // A song trimmed to silence has no file and no row.
                const std::string row = "\n" + s + "," + name + ",";
                if (!fs::exists(first)) {
                    EXPECT_EQ(survey.out.find(row), std::string::npos) << flags << row;
                    continue;
                }
                EXPECT_NE(survey.out.find(row + std::to_string(fs::file_size(first)) + ","), std::string::npos)
                    << flags << row;
                ASSERT_EQ(lz16("vgm " + old + options(s) + first + " " + vgm).status, 0);
                ASSERT_EQ(regsqueeze(format + options(s) + vgm + " " + again), 0);
                EXPECT_EQ(slurp(first), slurp(again)) << flags << row;
            }
        }
    }
}

// Songs for two chips come back from lz16 vgm --stereo, and from the
// register dumps (SAP type R) of lz16 sap --registers for one chip or two,
// as the same files.
TEST_F(Lz16, StereoVgmAndRegisterDumpsGiveBackTheSameFile)
{
    std::mt19937 rng(5);
    std::vector<std::string> names;
    for (int32_t frames : {2, 600, 3000}) {
        names.push_back(dir + std::to_string(frames) + ".vgm");
        writeFile(names.back(), testing_support::makeSong(rng, frames, testing_support::SongShape::Music), 2);
    }
    for (const char* name : {"Yoomp", "Jam_Session", "Unreal_Superhero_3_Stereo"})
        if (fs::exists(corpus + name + ".vgm")) names.push_back(corpus + name + ".vgm");
    const std::string first = dir + "first.lz16", again = dir + "again.lz16", vgm = dir + "stereo.vgm";
    const std::pair<std::string, std::string> back[] = {
        {"vgm --stereo ", vgm}, {"sap --registers --stereo ", dir + "stereo.sap"}, {"sap --registers ", dir + "r.sap"}};
    for (const std::string s : {"4,4,1", "8,8,1", "2,3,1", "9,7,2"}) {
        for (const std::string& name : names) {
            for (const std::string flags : {"", "-x "}) {
                ASSERT_EQ(regsqueeze(flags + options(s) + name + " " + first), 0);
                for (const auto& [command, song] : back) {
                    ASSERT_EQ(lz16(command + flags + options(s) + first + " " + song).status, 0);
                    ASSERT_EQ(regsqueeze(flags + options(s) + song + " " + again), 0);
                    EXPECT_EQ(slurp(first), slurp(again)) << command << flags << s << " " << name;
                }
            }
        }
    }
    // The file is for two chips (bit 30 of the clock) with one wait of 1/50 s a pair.
    ASSERT_EQ(regsqueeze(dir + "3000.vgm " + first), 0);
    ASSERT_EQ(lz16("vgm --stereo -o 8 -l 8 -m 1 " + first + " " + vgm).status, 0);
    const std::string header = slurp(vgm).substr(0, 0x100);
    EXPECT_EQ(header.substr(0xB0, 4), "\x87\x0F\x1B\x40");
    EXPECT_EQ(header.substr(0x18, 4), std::string("\xF8\x2F\x14\x00", 4));  // 1500 x 882 samples
    writeFile(dir + "odd.vgm", {vgm::Frame{}, {1}, {2}});
    ASSERT_EQ(regsqueeze(dir + "odd.vgm " + first), 0);
    EXPECT_EQ(lz16("vgm --stereo -o 8 -l 8 -m 1 " + first + " " + vgm).err,
              std::string(LZ16_BINARY) + " vgm: '" + first +
                  "' has an odd number of frames (3), so it holds no whole pairs of chip 1 and chip 2 frames for "
                  "--stereo\n");
}

TEST_F(Lz16, TheFrontOfTwoSongsByHand)
{
    // Song 0: AUDF1 alternates for 20 frames. A window of 2 frames finds the
    // repeat: a literal, a match, the literal that ends the stream, 10 + 1 +
    // 2 + 1 = 14 bytes with one-byte codes (15 with two-byte ones, as 8/8/1),
    // against 10 + 3 + 19 = 32 with a window of 1. Song 1: all nine registers
    // change once, 10 + 2 + 9 = 21 bytes everywhere, 9 channels to buffer.
    std::vector<vgm::Frame> alternating(20, vgm::Frame{});
    for (size_t i = 0; i < alternating.size(); ++i) alternating[i][0] = i % 2 ? 0x20 : 0x10;
    const std::vector<std::vector<vgm::Frame>> songs{alternating, {vgm::Frame{}, {1, 1, 1, 1, 1, 1, 1, 1, 1}}};
    for (size_t i = 0; i < songs.size(); ++i) writeFile(dir + std::to_string(i) + ".vgm", songs[i]);
    const Outcome survey = lz16("survey " + dir + "0.vgm " + dir + "1.vgm");
    ASSERT_EQ(survey.status, 0) << survey.err;
    EXPECT_NE(survey.out.find("              9  0/2/1            53   +47.2%  -o 0 -l 2 -m 1\n"
                              "*            18  1/2/14           35    -2.8%  -o 1 -l 2 -m 14\n\n"),
              std::string::npos)
        << survey.out;
}

TEST_F(Lz16, BadInputAndBadOptionsGiveTheirMessages)
{
    std::ofstream(dir + "short.lz16") << std::string(5, '\0');
    writeFile(dir + "nine.vgm", {vgm::Frame{}, {1, 1, 1, 1, 1, 1, 1, 1, 1}});
    // Frame 1 of channel 0 copies from 254 frames before the first.
    std::ofstream(dir + "early.lz16") << std::string("\xFF") + std::string(12, '\0');
    // Only channel 0 kept, nearly all literals: about 110,000 bytes, 97,601 frames.
    std::mt19937 rng(5);
    std::vector<vgm::Frame> noise(97601, vgm::Frame{});
    for (vgm::Frame& frame : noise) frame[0] = static_cast<uint8_t>(rng());
    writeFile(dir + "big.vgm", noise);
    ASSERT_EQ(regsqueeze(dir + "big.vgm " + dir + "big.lz16"), 0);
    writeFile(dir + "tune.vgm", testing_support::makeSong(rng, 600, testing_support::SongShape::Music));
    ASSERT_EQ(regsqueeze(dir + "tune.vgm " + dir + "tune.lz16"), 0);
    // 1 2 1 2 ... with a 9 at frame 32: frame 2 copies frame 0, whose ring
    // slot holds the 9 when a player goes back to frame 2.
    std::vector<vgm::Frame> pattern(40, vgm::Frame{});
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i][0] = i == 32 ? 9 : 1 + i % 2;
    writeFile(dir + "pattern.vgm", pattern);
    ASSERT_EQ(regsqueeze("-8 " + dir + "pattern.vgm " + dir + "pattern.lz16"), 0);
    const std::string p = LZ16_BINARY, big_to = " -o 8 -l 8 -m 1 " + dir + "big.lz16 " + dir + "out.";
    const std::string with = "' does not decode with offset 8, length 8, min 1: ";
    const std::string noRestart = ": '" + dir + "pattern.lz16' does not restart right at frame 2: the frames after the "
                                  "restart differ. Convert the song with regsqueeze --loop-frame 2 (or --loop)\n";
    const std::pair<std::string, std::string> cases[] = {
        {"", p + ": error, a command is needed: survey, vgm, sap, xex, info or pack\nTry '" + p + " -h' for help.\n"},
        {"survey --bogus x.vgm", "error: unrecognised option '--bogus'\n"},
        {"survey " + dir + "none.vgm", "error: File '" + dir + "none.vgm' does not exist\n\n"},
        {"survey " + dir + "nine.vgm " + dir + "short.lz16", "error: File '" + dir + "short.lz16': Not a VGM file\n"},
        {"survey --max-buffer 8 " + dir + "nine.vgm",
         p + " survey: no setting's buffer fits in 8 bytes; the smallest needs 9\n"},
        {"vgm -o 8 -l 8 " + dir + "tune.lz16 out", p + " vgm: error, the file's settings are needed: --offset, --length and --min\n"
                                 "Try '" + p + " vgm -h' for help.\n"},
        {"vgm -o 8 -l 8 -m 1 " + dir + "short.lz16 " + dir + "out.vgm",
         p + " vgm: '" + dir + "short.lz16" + with + "initial values cut short\n"},
        {"vgm -o 8 -l 8 -m 1 " + dir + "early.lz16 " + dir + "out.vgm",
         p + " vgm: '" + dir + "early.lz16" + with + "match before the first frame at frame 1\n"},
        {"sap -o 8 -l 8 -m 1 " + dir + "early.lz16 " + dir + "out.sap",
         p + " sap: '" + dir + "early.lz16" + with + "match before the first frame at frame 1\n"},
        {"xex -o 8 -l 8 -m 2 " + dir + "tune.lz16 " + dir + "out.xex",
         p + " xex: '" + dir + "tune.lz16' was made with -o 8 -l 8 -m 1, not -o 8 -l 8 -m 2\n"},
        {"vgm -o 4 -l 4 -m 1 --loop-frame 2 " + dir + "pattern.lz16 " + dir + "out.vgm", p + " vgm" + noRestart},
        {"sap -o 4 -l 4 -m 1 --loop-frame 2 " + dir + "pattern.lz16 " + dir + "out.sap", p + " sap" + noRestart},
        {"xex -o 4 -l 4 -m 1 --loop-frame 2 " + dir + "pattern.lz16 " + dir + "out.xex", p + " xex" + noRestart},
        {"sap --stereo" + big_to + "sap", p + " sap: '" + dir + "big.lz16' has an odd number of frames (97601), so "
                                          "it holds no whole pairs of chip 1 and chip 2 frames for --stereo\n"},
        {"vgm -r 1" + big_to + "vgm", p + " vgm: '" + dir + "big.lz16' is too long for a VGM file: 97601 frames at 1 a "
                                        "second last 4304204100 samples, and the header counts at most 4294967295\n"},
        {"sap --stereo --fastplay 51" + big_to + "sap", p + " sap: error, --fastplay should be from 52 to 312: a PLAYER "
                                                  "call for two chips takes up to 5855 cycles, 52 scan lines\nTry '" + p + " sap -h' for help.\n"},
        {"xex --stereo " + dir + "tune.vgm " + dir + "out.xex",
         p + " xex: '" + dir + "tune.vgm' is a song for one chip: --stereo is for a song for two\n"},
        {"vgm -t" + big_to + "vgm", p + " vgm: error, -t, --loop, --song, --seconds and --tv-frames are for songs, and '" +
                                       dir + "big.lz16' is a .lz16 file\nTry '" + p + " vgm -h' for help.\n"},
        {"PATH= xex" + big_to + "xex", p + " xex: building the player needs ca65 and ld65 from the cc65 package, "
                                       "and ca65 is not in PATH\n"},
#ifdef LZ16_HAS_CC65
        // The code's size varies with the settings: what follows the figure is left out.
        {"sap" + big_to + "sap", p + " sap: '" + dir + "big.lz16' does not fit in memory by "},
        {"xex" + big_to + "xex", p + " xex: '" + dir + "big.lz16' does not fit in memory by "},
#endif
    };
    for (const auto& [arguments, message] : cases) {
        const bool noPath = arguments.starts_with("PATH= ");
        const Outcome result = noPath ? run("PATH= " + p, arguments.substr(6)) : lz16(arguments);
        EXPECT_EQ(result.status, 1) << arguments;
        EXPECT_EQ(result.err.substr(0, message.size()), message) << arguments;
        EXPECT_TRUE(message.ends_with("by ") || result.err == message) << result.err;
    }
    for (const char* out : {"out.vgm", "out.sap", "out.xex"}) EXPECT_FALSE(fs::exists(dir + out));
}

// A looping file goes to a VGM file whose header carries its loop, and
// regsqueeze --loop makes the same file of that.
TEST_F(Lz16, LoopingSongsKeepTheirLoopThroughVgm)
{
    std::mt19937 rng(9);
    writeFile(dir + "tune.vgm", testing_support::makeSong(rng, 900, testing_support::SongShape::Music));
    for (const std::string frame : {"0", "1", "450", "899"}) {
        ASSERT_EQ(regsqueeze("--loop-frame " + frame + " " + dir + "tune.vgm " + dir + "looped.lz16"), 0);
        const Outcome out = lz16("vgm -o 8 -l 8 -m 1 --loop-frame " + frame + " " + dir + "looped.lz16 " + dir + "looped.vgm");
        ASSERT_EQ(out.status, 0) << out.err;
        ASSERT_EQ(regsqueeze("--loop " + dir + "looped.vgm " + dir + "again.lz16"), 0);
        EXPECT_EQ(slurp(dir + "looped.lz16"), slurp(dir + "again.lz16")) << frame;
    }
}

// A write that fails part-way (the file-size limit, with SIGXFSZ ignored so
// that write says EFBIG) and a run ended by SIGINT (sent by a stand-in for
// ca65) or SIGTERM leave the old output and no temporary file or folder.
TEST_F(Lz16, FailedAndInterruptedWritesKeepTheOldOutput)
{
    std::mt19937 rng(3);
    writeFile(dir + "song.vgm", testing_support::makeSong(rng, 1500, testing_support::SongShape::Noise));
    ASSERT_EQ(regsqueeze("-o 8 -l 8 -m 1 " + dir + "song.vgm " + dir + "song.lz16"), 0);
    fs::create_directories(dir + "bin");
    std::ofstream(dir + "bin/ca65") << "#!/bin/sh\nkill -INT $PPID; sleep 1\n";  // ld65 too: the build ends at once
    fs::permissions(dir + "bin/ca65", fs::perms::owner_all);
    fs::copy(dir + "bin/ca65", dir + "bin/ld65");
    const std::string limit = "ulimit -f 1; trap '' XFSZ; ", p = LZ16_BINARY, old = dir + "old";
    const std::string to = " -o 8 -l 8 -m 1 " + dir + "song.lz16 " + old;
    const std::string commands[] = {
        limit + REGSQUEEZE_BINARY + " " + dir + "song.vgm " + old, limit + p + " vgm" + to,
        limit + REGSQUEEZE_BINARY + " --loop-frame 10 " + dir + "song.vgm " + old,
        limit + p + " sap --registers" + to,
#ifdef LZ16_HAS_CC65
        limit + p + " sap" + to, limit + p + " xex" + to,
#endif
        "TMPDIR=" + dir + " PATH=" + dir + "bin " + p + " xex" + to,
        "(cat " + dir + "song.vgm; sleep 2) | " + REGSQUEEZE_BINARY + " - " + old + " & sleep 0.2; kill $!; wait $!",
    };
    for (const std::string& command : commands) {
        std::ofstream(old) << "old";
        const Outcome result = run(command, "");
        EXPECT_NE(result.status, 0) << command;
        EXPECT_EQ(slurp(dir + "old"), "old") << command;
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
        EXPECT_EQ(names, (std::set<std::string>{"bin", "err", "old", "out", "song.lz16", "song.vgm"})) << command;
    }
}

// A song given to lz16 is converted as regsqueeze converts it: the output
// is the one the .lz16 file gives, with the song's chips and, for a SAP
// tune, its rate, name and author.
TEST_F(Lz16, SongsGiveWhatTheirFilesGive)
{
    std::mt19937 rng(6);
    writeFile(dir + "one.vgm", testing_support::makeSong(rng, 700, testing_support::SongShape::Music));
    writeFile(dir + "two.vgm", testing_support::makeSong(rng, 800, testing_support::SongShape::Music), 2);
    const std::vector<uint8_t> tune =
        sap_songs::countingTune('B', {"FASTPLAY 156", "NAME \"Tune\"", "AUTHOR \"Me\"", "TIME 00:04"});
    std::ofstream(dir + "tune.sap", std::ios::binary) << std::string(tune.begin(), tune.end());
    // The song, what regsqueeze is given, and what lz16 is given with its file.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"one.vgm vgm", "-t -o 7 -l 5", "-o 7 -l 5 -m 1"},
        {"one.vgm vgm", "-x -o 4", "-o 4 -l 12 -m 1 -x"},
        {"two.vgm vgm", "", "-o 8 -l 8 -m 1 --stereo"},
        {"two.vgm vgm", "--loop-frame 100", "-o 8 -l 8 -m 1 --stereo --loop-frame 100"},
        {"two.vgm sap --registers", "-m 2 -t", "-o 8 -l 8 -m 2 --stereo"},
        {"tune.sap sap --registers", "", "-o 8 -l 8 -m 1 --name Tune --author Me --fastplay 156"},
        {"tune.sap sap --registers", "--tv-frames --seconds 2", "-o 8 -l 8 -m 1 --name Tune --author Me"},
#ifdef LZ16_HAS_CC65
        {"tune.sap sap", "--song 0", "-o 8 -l 8 -m 1 --name Tune --author Me --fastplay 156"},
        {"two.vgm xex", "-o 9 -l 7", "-o 9 -l 7 -m 1 --stereo"},
        {"two.vgm xex", "-x --loop-frame 100", "-o 8 -l 8 -m 1 -x --stereo --loop-frame 100"},
        {"one.vgm sap", "-o 6 -l 4 --loop-frame 99", "-o 6 -l 4 -m 1 --loop-frame 99"},
#endif
    };
    for (const auto& [songAndCommand, conversion, settings] : cases) {
        const std::string song = dir + songAndCommand.substr(0, songAndCommand.find(' '));
        const std::string command = songAndCommand.substr(songAndCommand.find(' ') + 1);
        ASSERT_EQ(regsqueeze(conversion + " " + song + " " + dir + "song.lz16"), 0) << songAndCommand;
        ASSERT_EQ(lz16(command + " " + settings + " " + dir + "song.lz16 " + dir + "fromFile").status, 0);
        const Outcome direct = lz16(command + " " + conversion + " " + song + " " + dir + "fromSong");
        ASSERT_EQ(direct.status, 0) << songAndCommand << direct.err;
        EXPECT_TRUE(slurp(dir + "fromSong") == slurp(dir + "fromFile")) << songAndCommand << " " << conversion;
        const bool looping = command == "sap" && conversion.find("loop") != std::string::npos;
        EXPECT_TRUE(!looping || slurp(dir + "fromSong").find(" LOOP\r\n") != std::string::npos);
    }
}

// Standard input and a FIFO read to the end, as the file itself.
TEST_F(Lz16, PipesGiveWhatTheFileGives)
{
    std::mt19937 rng(4);
    writeFile(dir + "song.vgm", testing_support::makeSong(rng, 800, testing_support::SongShape::Music));
    ASSERT_EQ(run("gzip " + dir + "song.vgm && mv " + dir + "song.vgm.gz", dir + "song.vgz").status, 0);
    ASSERT_EQ(::mkfifo((dir + "fifo").c_str(), 0600), 0);
    ASSERT_EQ(regsqueeze(dir + "song.vgz " + dir + "file.lz16"), 0);
    ASSERT_EQ(regsqueeze("- " + dir + "stdin.lz16 <" + dir + "song.vgz"), 0);
    ASSERT_EQ(run("cat " + dir + "song.vgz >" + dir + "fifo & " + REGSQUEEZE_BINARY, dir + "fifo " + dir + "fifo.lz16").status, 0);
    EXPECT_EQ(slurp(dir + "file.lz16"), slurp(dir + "stdin.lz16"));
    EXPECT_EQ(slurp(dir + "file.lz16"), slurp(dir + "fifo.lz16"));
}

}  // namespace
