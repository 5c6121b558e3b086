// SAP files of our own: the counting tune's frames under every type, chip
// count, frame rule and time source, TYPE R against the same frames in a
// VGM file, and one message for each way a file can be wrong.
#include "atari/sap_writer.h"
#include "common/ex.h"
#include "conversion/conversion.h"
#include "sap_songs.h"
#include "songs.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace testing_support;
using namespace sap_songs;

namespace {

struct TuneCase {
    std::vector<uint8_t> file;
    SapChoices choices;
    int32_t frames;
    int scanLinesPerFrame;  // between the ends of two frames
    int fastplay;           // between two calls
    bool stereo = false;
    int song = 0;
    bool typeC = false;
};

// Frame k follows every call that starts before its end, counting from the
// first call at scan line 0.
RegisterStreamSet expectedFrames(const TuneCase& c)
{
    std::vector<vgm::Frame> frames;
    for (int64_t k = 0, calls = 0; k < c.frames; ++k) {
        while (calls * c.fastplay < (k + 1) * c.scanLinesPerFrame) ++calls;
        const auto count = static_cast<uint8_t>(calls);
        const uint8_t music[2] = {uint8_t(c.typeC ? 0x34 : 0), uint8_t(c.typeC ? 0x12 : 0)};
        // $D210 writes chip 2's AUDF1, or repeats chip 1's.
        frames.push_back({uint8_t(c.stereo ? count : count * 2), 0, uint8_t(c.song), 0, music[0], 0, music[1]});
        if (c.stereo) frames.push_back({uint8_t(count * 2)});
    }
    return toStreams(frames);
}

std::string captureError(const std::vector<uint8_t>& file, const SapChoices& choices = {})
{
    try {
        Notices notices;
        captureSong(file, "t.sap", choices, notices);
    } catch (const Ex& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(SapInput, CountingTunesGiveTheirFrames)
{
    const std::vector<TuneCase> cases = {
        {countingTune('B', {"SONGS 3", "DEFSONG 2"}), {.seconds = 1}, 50, 312, 312, false, 2},
        {countingTune('B', {"STEREO", "FASTPLAY 156", "TIME 00:01.00"}), {}, 100, 156, 156, true},
        {countingTune('B', {"STEREO", "FASTPLAY 156"}), {.seconds = 1, .tvFrames = true}, 50, 312, 156, true},
        {countingTune('C', {"SONGS 2", "TIME 9:00", "TIME 0:01.5 LOOP"}), {.song = 1}, 75, 312, 312, false, 1, true},
        {countingTune('C', {"NTSC", "FASTPLAY 100"}), {.seconds = 1, .tvFrames = true}, 60, 262, 100, false, 0, true},
    };
    for (const TuneCase& c : cases) {
        Notices notices;
        EXPECT_TRUE(captureSong(c.file, "t.sap", c.choices, notices).streams == expectedFrames(c).streams)
            << c.frames << " frames";
        EXPECT_TRUE(notices.empty());
    }
}

TEST(SapInput, RegisterFilesEqualTheSameFramesInAVgmFile)
{
    std::mt19937 rng(3);
    const std::vector<vgm::Frame> frames = makeSong(rng, 40, SongShape::Music);
    std::vector<uint8_t> bytes;
    for (const vgm::Frame& frame : frames) bytes.insert(bytes.end(), frame.begin(), frame.end());
    for (int chips : {1, 2}) {
        for (const std::string& separator : {std::string("\r\n"), std::string("\xFF\xFF")}) {
            std::vector<uint8_t> body(separator.begin(), separator.end());
            body.insert(body.end(), bytes.begin(), bytes.end() - 4);  // with leftover bytes
            Notices notices;
            const RegisterStreamSet song = captureSong(
                sapFile({"TYPE R", chips == 2 ? "STEREO" : "NAME \"R\""}, body), "r.sap", {}, notices);
            const std::vector<vgm::Frame> whole(frames.begin(), frames.end() - chips);
            EXPECT_TRUE(song.streams == captureSong(vgm::writeVgm(whole, {.chips = chips}), "x").streams);
            ASSERT_EQ(notices.size(), 1u);
            EXPECT_EQ(describe(notices[0]), "File 'r.sap' ends with " + std::to_string(9 * chips - 4) +
                                           " bytes that make no whole frame: left out\n");
        }
    }
}

// The TIME that lz16 sap writes gives back the song's calls wherever a
// millisecond can say them, as the FASTPLAY limit makes it from 31 lines on.
TEST(SapInput, WrittenTimeGivesBackTheCalls)
{
    for (int lines = 17; lines <= 312; lines += 7) {
        for (const int64_t calls : {1, 997, 5449}) {
            const SapTime time = sapTime(calls, lines, lines == 262);
            std::vector<std::string> tags{"FASTPLAY " + std::to_string(lines), "TIME " + time.text};
            if (lines == 262) tags.push_back("NTSC");
            Notices notices;
            EXPECT_TRUE(time.exact || lines < 31) << lines << " " << calls;
            if (time.exact) {
                EXPECT_EQ(captureSong(countingTune('B', tags), "t.sap", {}, notices).frameCount(), calls);
            }
        }
    }
}

TEST(SapInput, BrokenFilesGetTheirMessages)
{
    const std::vector<uint8_t> tune = countingTune('B', {});
    const std::vector<uint8_t> kil = {0x02}, jumpHere = {0x4C, 0x00, 0x30}, loopOnThird = {
        0xE6, 0x80, 0xA5, 0x80, 0xC9, 0x03, 0xF0, 0xFE, 0x60};  // INC $80, LDA $80, CMP #3, BEQ *, RTS
    const std::vector<std::string> b = {"TYPE B", "INIT 3000", "PLAYER 2000"};
    const std::vector<uint8_t> marker = {0xFF, 0xFF};
    std::vector<uint8_t> twoSegments = segment(0x3000, {0x60}), player = segment(0x2000, loopOnThird);
    twoSegments.insert(twoSegments.end(), player.begin() + 2, player.end());  // no $FF $FF before the second
    // About 1.65 M cycles a call, under the one-second limit, for a call of 114 cycles.
    std::vector<uint8_t> runaway = segment(0x3000, {0x60}), slowPlayer = segment(0x2000, {
        0xA9, 0x05, 0x85, 0x80, 0xA2, 0x00, 0xA0, 0x00, 0x88, 0xD0, 0xFD, 0xCA, 0xD0, 0xF8, 0xC6, 0x80, 0xD0, 0xF2, 0x60});
    runaway.insert(runaway.end(), slowPlayer.begin(), slowPlayer.end());
    std::vector<std::string> fast = b;
    fast.push_back("FASTPLAY 1");
    const std::vector<std::tuple<std::vector<uint8_t>, SapChoices, std::string>> cases = {
        {sapFile({"TYPE B"}, {}), {}, " is truncated in its header"},
        {sapFile({"AUTHOR \"x\""}, segment(0x2000, kil)), {}, " has no TYPE"},
        {sapFile({"TYPE D"}, segment(0x2000, kil)), {}, " is of TYPE D, which is not supported (only B, C and R are)"},
        {sapFile({"TYPE Q"}, {}), {}, " has an unknown TYPE 'Q'"},
        {sapFile({"TYPE B", "FASTPLAY 0"}, {}), {}, " has a bad value in its header: 'FASTPLAY 0'"},
        {sapFile({"TYPE B", "INIT 12345"}, {}), {}, " has a bad value in its header: 'INIT 12345'"},
        {sapFile({"TYPE B", "TIME 1:60"}, {}), {}, " has a bad value in its header: 'TIME 1:60'"},
        {sapFile({"TYPE R", "SONGS 2", "DEFSONG 2", ""}, {}), {}, " has DEFSONG 2 but only 2 subsongs"},
        {sapFile({"TYPE B", "PLAYER 2000"}, marker), {}, " has no INIT address, which TYPE B needs"},
        {sapFile({"TYPE C", "PLAYER 2000"}, marker), {}, " has no MUSIC address, which TYPE C needs"},
        {sapFile({"TYPE C", "MUSIC 2000"}, marker), {}, " has no PLAYER address, which TYPE C needs"},
        {sapFile(b, {0xFF, 0xFF, 0x00}), {}, " is truncated in a segment's addresses"},
        {sapFile(b, {0xFF, 0xFF, 0x00, 0x30, 0x01, 0x30, 0x02}), {}, " is truncated in the segment $3000-$3001"},
        {sapFile(b, {0xFF, 0xFF, 0x01, 0x30, 0x00, 0x30}), {}, " has a segment that ends before it starts ($3001-$3000)"},
        {sapFile(b, segment(0xCFFF, {0x02, 0x02})), {}, " has a segment over the I/O area $D000-$D7FF ($CFFF-$D000)"},
        {sapFile(b, {'\r', '\n', 0x00, 0x30}), {}, " has no $FF $FF before its program"},
        {tune, {.song = 1}, " has no subsong 1: it has only subsong 0"},
        {countingTune('B', {"SONGS 3"}), {.song = 3}, " has no subsong 3: it has 3, numbered 0 to 2"},
        {countingTune('B', {"FASTPLAY 1"}), {.seconds = 1e6}, " is too long: more than 16777216 frames"},
        {sapFile(b, segment(0x3000, kil)), {}, ": undocumented opcode $02 at $3000 in INIT"},
        {sapFile(b, segment(0x3000, jumpHere)), {}, ": INIT has not returned after one second of emulated time"},
        {sapFile(b, twoSegments), {.seconds = 1},
         ": player call 3 has not returned after one second of emulated time"},
        {sapFile(fast, runaway), {.seconds = 180}, ": player call 2 runs too long: the player calls would take more "
                                                   "than 4 times the time of the music they play, and one second more"},
    };
    for (const auto& [file, choices, message] : cases)
        EXPECT_EQ(captureError(file, choices), "File 't.sap'" + message + "\n");
}

TEST(SapInput, CommandLineOutcomes)
{
    const std::string usage = "\nTry 'regsqueeze -h' for help.\n";
    const std::vector<std::tuple<std::vector<std::string>, int, std::string>> cases = {
        {{"-q", "t.sap"}, 0, "File 't.sap' gives no TIME for subsong 0: playing 180 seconds\nLZSS: ..."},
        {{"-q", "--seconds", "0.5", "--tv-frames", "--song", "0", "t.sap"}, 0, "LZSS: ..."},
        {{"--seconds", "0", "t.sap"}, 1, "regsqueeze: error, the seconds should be more than 0" + usage},
        {{"--song", "-1", "t.sap"}, 1, "regsqueeze: error, the subsong should be 0 or more" + usage},
        {{"--tv-frames", "t.vgm"}, 1,
         "regsqueeze: error, --song, --seconds and --tv-frames are for SAP files, and 't.vgm' is not one" + usage},
        {{"--song", "2", "t.sap"}, 1, "error: File 't.sap' has no subsong 2: it has only subsong 0\n\n"},
    };
    for (const auto& [arguments, status, err] : cases) {
        TempDir dir;
        writeFile(dir / "t.sap", countingTune('C', {}));
        writeFile(dir / "t.vgm", vgm::writeVgm(sixFrameSong()));
        const ProgramResult result = runRegsqueeze(dir / "", arguments);
        SCOPED_TRACE(testing::PrintToString(arguments));
        EXPECT_EQ(result.status, status);
        if (err.ends_with("...")) {
            EXPECT_TRUE(result.err.starts_with(err.substr(0, err.size() - 3))) << result.err;
        } else {
            EXPECT_EQ(result.err, err);
        }
        EXPECT_EQ(std::filesystem::exists(dir / "t.lz16"), status == 0);
    }
}
