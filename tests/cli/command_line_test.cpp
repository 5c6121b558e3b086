// The real program, one command line at a time: what it prints, its exit
// status and the files it leaves.
#include "atari/loop_record.h"
#include "vgm/gzip_output.h"
#include "songs.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

using namespace testing_support;

namespace {

const std::string usage = "\nTry 'regsqueeze -h' for help.\n";
const std::vector<uint8_t> sixFrameFile = {0x7F, 0x28, 0,    0,    0,    0,    0,    0,    0xA4, 0x10,
                                           0x7A, 0xFE, 0x02, 0x20, 0xFE, 0x03, 0xA6, 0xA6, 0xA8, 0x30};

std::string skipNotices()
{
    std::string notices;
    for (int c = 8; c >= 2; --c) notices += "Skipping channel #" + std::to_string(c) + ", set with $" + (c == 8 ? "28" : "00") + ".\n";
    return notices;
}

struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string err;     // exactly, unless it ends in "..."
    std::string output;  // the file that must hold the six-frame song's bytes afterwards, if any
};

}  // namespace

TEST(CommandLine, OutcomesMessagesAndFiles)
{
    const RegisterFrame a{10, 0xA8}, silent{};
    const std::vector<Case> cases = {
        {{"-q", "six.vgm"}, 0, "LZSS: max offset= 256,\tmax len= 256,\tmatch bits= 16,\tratio:    20 / 54 = 37.04%\n", "six.lz16"},
        {{"-q", "six.vgz", "out.lz16"}, 0, "LZSS: ...", "out.lz16"},
        {{"six.vgm", "six.vgm"}, 1, "error: Output file 'six.vgm' is the input file\n\n", ""},
        {{"six.vgm", "./six.vgm"}, 1, "error: Output file './six.vgm' is the input file\n\n", ""},
        {{"six.vgm", "link.vgm"}, 1, "error: Output file 'link.vgm' is the input file\n\n", ""},
        {{"six.vgm", "hard.vgm"}, 1, "error: Output file 'hard.vgm' is the input file\n\n", ""},
        {{"copy.lz16"}, 1, "error: Output file 'copy.lz16' is the input file\n\n", ""},
        {{}, 1, "regsqueeze: error, regsqueeze requires atleast one input file" + usage, ""},
        {{"a", "b", "c"}, 1, "error: too many positional options have been specified on the command line\n", ""},
        {{"-o", "13", "six.vgm"}, 1, "regsqueeze: error, match offset bits should be from 0 to 12" + usage, ""},
        {{"-o", "4", "-l", "1", "six.vgm"}, 1, "regsqueeze: error, match length bits should be from 2 to 16" + usage, ""},
        {{"-m", "17", "six.vgm"}, 1, "regsqueeze: error, minimum match length should be from 1 to 16" + usage, ""},
        {{"-b", "7", "six.vgm"}, 1, "regsqueeze: error, total match bits should be from 8 to 16" + usage, ""},
        {{"-o", "12", "-l", "5", "six.vgm"}, 1, "regsqueeze: error, total match bits should be from 8 to 16" + usage, ""},
        {{"-o", "9", "-l", "3", "six.vgm"}, 1,
         "regsqueeze: error, match offset bits should be from 0 to 8 for 9 to 12 total bits" + usage, ""},
        {{"-o", "4", "-l", "4", "-b", "8", "six.vgm"}, 1,
         "regsqueeze: error, only two of OFFSET, LENGTH and TOTAL bits should be given" + usage, ""},
        {{"--bogus", "six.vgm"}, 1, "error: unrecognised option '--bogus'\n", ""},
        {{"-"}, 1, "regsqueeze: error, an output file name is needed when the input is standard input" + usage, ""},
        {{"missing.vgm"}, 1, "error: File 'missing.vgm' does not exist\n\n", ""},
        {{"empty.vgm"}, 1, "error: File 'empty.vgm' is empty\n\n", ""},
        {{"-t", "silent.vgm"}, 0, "regsqueeze: song is completely silent, skipping.", ""},
        {{"-t", "tail.vgm", "no/dir/out.lz16"}, 1,
         "regsqueeze: skipping 1 frames from the end.regsqueeze: can't open output file 'no/dir/out.lz16': No such file or directory\n", ""},
        {{"--loop", "-e", "six.vgm"}, 1,
         "regsqueeze: error, --loop and --loop-frame cannot be combined with -e: a file whose streams may end early "
         "cannot restart" + usage, ""},
        {{"--loop-frame", "6", "six.vgm"}, 1, "error: File 'six.vgm' has 6 frames: --loop-frame 6 lies outside the song\n\n", ""},
        {{"--loop", "six.vgm"}, 1, "error: File 'six.vgm' shows no loop to repeat; ...", ""},
        {{"-q", "--loop-frame", "2", "six.vgm"}, 0, "LZSS: ...", "six.lz16"},
        {{"--loop-frame", "2", "six.vgm", "six.inc"}, 1, "regsqueeze: the output file 'six.inc' has the name of its "
         "loop's .inc file: give the output another name, such as one ending in .lz16\n", ""},
        {{"six.vgm", "/dev/full"}, 1, skipNotices() + "regsqueeze: can't write output file '/dev/full': No space left on device\n", ""},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::vector<uint8_t> six = vgm::writeVgm(sixFrameSong());
        writeFile(dir / "six.vgm", six);
        writeFile(dir / "six.vgz", gzipBytes(six));
        writeFile(dir / "copy.lz16", six);
        writeFile(dir / "empty.vgm", {});
        writeFile(dir / "silent.vgm", vgm::writeVgm(std::vector<vgm::Frame>(30, silent)));
        writeFile(dir / "tail.vgm", vgm::writeVgm({a, a, silent}));
        std::filesystem::create_symlink("six.vgm", dir / "link.vgm");
        std::filesystem::create_hard_link(dir / "six.vgm", dir / "hard.vgm");

        const ProgramResult result = runRegsqueeze(dir / "", c.arguments);
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        EXPECT_EQ(result.status, c.status);
        if (c.err.ends_with("...")) {
            EXPECT_TRUE(result.err.starts_with(c.err.substr(0, c.err.size() - 3))) << result.err;
        } else {
            EXPECT_EQ(result.err, c.err);
        }
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(readFile(dir / "six.vgm"), six);
        EXPECT_EQ(std::filesystem::exists(dir / "six.lz16"), c.output == "six.lz16");
        EXPECT_EQ(std::filesystem::exists(dir / "out.lz16"), c.output == "out.lz16");
        if (!c.output.empty()) {
            EXPECT_EQ(readFile(dir / c.output), sixFrameFile);
        }
    }
}

// A looping song's .inc file, beside the output: its settings and, read
// back from the text, the record of the file written.
TEST(CommandLine, ALoopingSongHasItsIncludeFileBeside)
{
    TempDir dir;
    std::mt19937 rng(8);
    writeFile(dir / "two.vgm", vgm::writeVgm(makeSong(rng, 300, SongShape::Music), {.chips = 2}));
    ASSERT_EQ(runRegsqueeze(dir / "", {"-x", "-o", "6", "-l", "4", "--loop-frame", "100", "two.vgm", "out.lz16"}).status, 0);
    const std::vector<uint8_t> include = readFile(dir / "out.inc");
    const std::string text(include.begin(), include.end());
    EXPECT_TRUE(text.starts_with("; out.lz16: the settings and the loop, for the 6502 player\nLZ_OFFSET_BITS = 6\n"
                                 "LZ_LENGTH_BITS = 4\nLZ_MIN_MATCH   = 1\nLZ_OLD_FORMAT  = 1\nLZ_STEREO      = 1\n"
                                 "LZ_LOOP        = 1\nLZ_LOOP_FRAME  = 100                ; frames 100 to 299 play "
                                 "again and again\n")) << text;
    std::vector<uint8_t> bytes;
    for (size_t at = text.find('$'); at != std::string::npos; at = text.find('$', at + 1))
        bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(at + 1, 2), nullptr, 16)));
    const LoopRecord record = makeLoopRecord(readFile(dir / "out.lz16"), {6, 4, 1}, {true, true}, 2, 100);
    EXPECT_EQ(bytes, std::vector<uint8_t>(record.bytes.begin(), record.bytes.end()));
}

TEST(CommandLine, HelpShowsTheDefaultsOnStandardOutput)
{
    TempDir dir;
    const ProgramResult result = runRegsqueeze(dir / "", {"-8", "-m", "3", "-h"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.out.starts_with("Allowed options:\n  -h [ --help ]")) << result.out;
    EXPECT_NE(result.out.find("Sets match total bits (=offset+length) (default = 16)"), std::string::npos);
}

TEST(CommandLine, ReportAtEveryVerbosity)
{
    TempDir dir;
    writeFile(dir / "six.vgm", vgm::writeVgm(sixFrameSong()));
    const std::string settingsLine = "LZSS: max offset= 16,\tmax len= 16,\tmatch bits= 8,\tratio:    18 / 54 = 33.33%\n";
    const std::string streams = " Stream #0: 36 bits,\t75.00%,\t25.00% of output\n"
                                " Stream #1: 45 bits,\t93.75%,\t31.25% of output\n";
    std::string table = "\nvalue\t  POS\t  LEN\n";
    const int pos[17] = {0, 1, 1}, len[17] = {5, 0, 1, 1};
    for (int v = 0; v <= 16; ++v) {
        char row[32];
        std::snprintf(row, sizeof row, "%2d\t%5d\t%5d\n", v, pos[v], len[v]);
        table += row;
    }
    EXPECT_EQ(runRegsqueeze(dir / "", {"-8", "-q", "six.vgm"}).err, settingsLine);
    EXPECT_EQ(runRegsqueeze(dir / "", {"-8", "six.vgm"}).err, skipNotices() + settingsLine + streams);
    EXPECT_EQ(runRegsqueeze(dir / "", {"-8", "-v", "six.vgm"}).err, skipNotices() + settingsLine + streams + table);
}

TEST(CommandLine, BundledExampleMatchesItsGenerator)
{
    EXPECT_EQ(readFile(REGSQUEEZE_SOURCE_DIR "/examples/example.vgm"), readFile(REGSQUEEZE_BUILD_DIR "/example.vgm"));
}

TEST(CommandLine, EveryCorpusSongConverts)
{
    if (!std::filesystem::exists(corpusDir())) GTEST_SKIP() << "no corpus at " << corpusDir();
    TempDir dir;
    for (const auto& entry : std::filesystem::directory_iterator(corpusDir())) {
        if (entry.path().extension() != ".vgm") continue;
        const ProgramResult result = runRegsqueeze(dir / "", {"-q", "-t", entry.path().string(), "out.lz16"});
        EXPECT_EQ(result.status, 0) << entry.path() << result.err;
    }
}
